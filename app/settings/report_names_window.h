#pragma once
// frmReportNames "Display/Edit Report Names": the instruction text, eight
// name boxes labelled "Location 1" .. "Location 8" under the heading
// "Report Name", and four buttons. Created once, then hidden and shown again
// with its boxes kept.
#include "settings/report_names_form.h"

#include <QWidget>

#include <array>

class QLineEdit;
class QPushButton;

namespace ksx4 {

class OperationRunner;
struct ProgramState;

class ReportNamesWindow final : public QWidget, public ReportNamesForm {
  public:
    // Every button runs its handler through runner; the buttons are disabled
    // while any operation runs.
    ReportNamesWindow(ProgramState& state, OperationRunner& runner, QWidget* parent = nullptr);

    QString text(int location) const override;
    void setText(int location, const QString& text) override;
    void show() override;
    void hide() override;

  protected:
    // Closing the window is Cancel; it is only hidden, so its boxes stay.
    void closeEvent(QCloseEvent* event) override;

  private:
    QLineEdit* box(int location) const;
    void run(void (*handler)(ProgramState&, ReportNamesForm&));
    void setButtonsEnabled(bool enabled);

    ProgramState& state_;
    OperationRunner& runner_;
    std::array<QLineEdit*, 8> boxes_{};  // Text1(0) .. Text1(7)
    std::array<QPushButton*, 4> buttons_{};
};

}  // namespace ksx4
