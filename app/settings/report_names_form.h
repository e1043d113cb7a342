#pragma once
// The report names editor frmReportNames as its handlers see it: the eight
// name boxes (Text1(0) .. Text1(7), one per storage location) and the
// window's visibility.
#include <QString>

namespace ksx4 {

class ReportNamesForm {
  public:
    virtual ~ReportNamesForm() = default;
    // location 1..8: the box Text1(location - 1).
    virtual QString text(int location) const = 0;
    virtual void setText(int location, const QString& text) = 0;
    // Shows the editor without blocking the main window.
    virtual void show() = 0;
    virtual void hide() = 0;
};

}  // namespace ksx4
