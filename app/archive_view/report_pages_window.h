#pragma once
// An archived report's printed pages, drawn as its workbook prints: paged
// through and zoomed, saved as PDF, its workbook made again, or printed.
#include "archive_view/archive_form.h"

#include <QWidget>

#include <memory>

class QComboBox;
class QLabel;
class QPushButton;
class QScrollArea;

namespace ksx4 {

class SaveFolder;

namespace pages {
class SheetPages;
}
class OperationRunner;
struct ProgramState;

class ReportPagesWindow final : public QWidget, public ReportPagesForm {
  public:
    ReportPagesWindow(ProgramState& state, OperationRunner& runner, SaveFolder& folder,
                      QWidget* parent = nullptr);
    ~ReportPagesWindow() override;

    void setReport(archive::ArchivedReport report, ArchivedSheet sheet);

    const archive::ArchivedReport& report() const override { return report_; }
    QByteArray pdf() const override;
    PrintResult print() override;

    int page() const { return page_; }
    int pageCount() const;
    // The zoom in percent.
    int zoom() const;
    // The page as drawn on screen.
    const QLabel* pageView() const { return view_; }

  private:
    void showPage(int page);
    // Previous and Next, each where there is a page to go to.
    void enablePageButtons();
    QPushButton* addButton(const QString& caption, const char* name,
                           const std::function<void()>& handler);

    ProgramState& state_;
    OperationRunner& runner_;
    archive::ArchivedReport report_;
    std::unique_ptr<ArchivedSheet> sheet_;
    std::unique_ptr<pages::SheetPages> pages_;
    SaveFolder& folder_;
    int page_ = 0;
    QPushButton* previous_ = nullptr;
    QPushButton* next_ = nullptr;
    QLabel* view_ = nullptr;
    QScrollArea* scroll_ = nullptr;
    QLabel* pageLabel_ = nullptr;
    QComboBox* zoom_ = nullptr;
    std::vector<QPushButton*> buttons_;
};

}  // namespace ksx4
