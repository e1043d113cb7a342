#pragma once
// "Report Archive": the archived reports in a table with filters above it,
// and below it the trend of a location and the report's workbook made
// again. Created once, then hidden and shown again.
#include "archive_view/archive_form.h"
#include "archive_view/archive_session.h"
#include "archive_view/save_folder.h"

#include <QWidget>

#include <map>
#include <memory>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSettings;
class QTabWidget;
class QTableView;

namespace ksx4 {

class OperationRunner;
class ReportPagesWindow;
class ReportTableModel;
class SegmentViewWindow;
class TrendWindow;
struct ProgramState;

class ArchiveWindow final : public QWidget, public ArchiveForm {
  public:
    // settings keeps the archive location chosen here.
    ArchiveWindow(ProgramState& state, OperationRunner& runner, QSettings& settings,
                  QWidget* parent = nullptr);
    ~ArchiveWindow() override;

    QString text(ArchiveBox box) const override;
    void setText(ArchiveBox box, const QString& text) override;
    void listReports(const archive::ListFilter& filter) override;
    std::optional<archive::ReportSummary> selectedReport() const override;
    void showArchive(const archive::ArchiveLocation& location) override;
    void showTrend(const TrendHeading& heading, std::vector<TrendChart> charts) override;
    void showReportPages(archive::ArchivedReport report, ArchivedSheet sheet) override;
    void show() override;
    // Lists again with the same filter and order (F5); a transfer made while
    // the window is open calls it too.
    void refresh();

    ArchiveSession& session() { return session_; }
    ReportTableModel& reports() { return *model_; }
    QTableView* table() const { return table_; }
    // The first tab: the segments, worst first, with the findings.
    SegmentViewWindow& segmentView() { return *segments_; }
    QTabWidget* tabs() const { return tabs_; }
    TrendWindow* trendWindow() const { return trend_.get(); }
    ReportPagesWindow* reportPagesWindow() const { return pages_.get(); }
    // The line under the table: the archive shown, or why it cannot be.
    QString statusText() const;

  private:
    QPushButton* addButton(const QString& caption, const char* name,
                           const std::function<void()>& handler);

    ProgramState& state_;
    OperationRunner& runner_;
    QSettings& settings_;
    SaveFolder saveFolder_;   // before the windows that save
    ArchiveSession session_;  // before the model: answers reach a live model
    ReportTableModel* model_ = nullptr;
    QTabWidget* tabs_ = nullptr;
    SegmentViewWindow* segments_ = nullptr;
    std::map<ArchiveBox, QLineEdit*> boxes_;
    QComboBox* verdict_ = nullptr;
    QTableView* table_ = nullptr;
    QLabel* status_ = nullptr;
    std::vector<QPushButton*> buttons_;
    std::unique_ptr<TrendWindow> trend_;
    std::unique_ptr<ReportPagesWindow> pages_;
};

}  // namespace ksx4
