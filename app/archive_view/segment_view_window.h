#pragma once
// The archive window's "Segments" tab: a table of the segments, worst
// first, filtered by name as it is typed; under it the selected segment's
// latest report's findings and that report beside its baseline. An archive
// with no reports says what fills it instead.
#include "archive_view/segment_form.h"
#include "report/segment_detail.h"

#include <QWidget>

#include <functional>
#include <optional>
#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;
class QSettings;
class QSortFilterProxyModel;
class QStackedWidget;
class QTableView;
class QTableWidget;
class QTextBrowser;

namespace ksx4 {

class ArchiveWindow;
class OperationRunner;
class SegmentTableModel;
struct ProgramState;

class SegmentViewWindow final : public QWidget, public SegmentForm {
  public:
    // settings keeps the table's order and column widths.
    SegmentViewWindow(ArchiveWindow& archive, ProgramState& state, OperationRunner& runner,
                      QSettings& settings, QWidget* parent = nullptr);

    std::optional<SegmentFindings> selectedSegment() const override;
    std::optional<diagnosis::Finding> shownFinding(int index) const override;
    void reloadSegments() override;
    void revealTrendChart(const QString& title) override;

    // Called with the archive's reason when the segments cannot be read.
    std::function<void(const QString& reason)> onFailure;

    SegmentTableModel& segments() { return *model_; }
    QTableView* table() const { return table_; }
    // The rows as shown: filtered and sorted.
    QSortFilterProxyModel& shownRows() { return *proxy_; }
    // The line beside the filter: how many segments it lets through.
    QString countText() const;
    // The findings pane as plain text, and the comparison's cell.
    QString findingsText() const;
    QTableWidget* comparison() const { return comparison_; }
    QString devicesText() const;
    // The text shown instead of the table; empty while the table shows.
    QString emptyText() const;

  private:
    void answered(const std::optional<QString>& failure);
    void selectionChanged();
    void showDetail(unsigned generation, archive::Result<std::optional<SegmentDetail>> answer);
    void clearDetail(const QString& text);
    void updateCount();
    void followLink(const QUrl& link);

    ArchiveWindow& archive_;
    ProgramState& state_;
    OperationRunner& runner_;
    QSettings& settings_;
    SegmentTableModel* model_ = nullptr;
    QSortFilterProxyModel* proxy_ = nullptr;
    QLineEdit* filter_ = nullptr;
    QLabel* count_ = nullptr;
    QStackedWidget* pages_ = nullptr;
    QLabel* empty_ = nullptr;
    QTableView* table_ = nullptr;
    QTextBrowser* findings_ = nullptr;
    QTableWidget* comparison_ = nullptr;
    QLabel* devices_ = nullptr;
    std::vector<QPushButton*> buttons_;
    std::optional<SegmentDetail> detail_;
    QString keptKey_;  // the segment selected before a reload
    unsigned detailGeneration_ = 0;
};

// The text an archive with no reports shows.
inline const QString kEmptyArchiveText =
    QStringLiteral("No reports here yet.\nTransfer reports from a KSX-4 to keep them here.");

}  // namespace ksx4
