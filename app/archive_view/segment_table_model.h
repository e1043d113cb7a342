#pragma once
// The segment view's table: one row per segment (its name, how many
// reports, the first and the last test, days since the last, the last
// verdict in the workbook's judgement colours, and its latest report's
// worst finding with its severity's icon), worst first. The rows are
// worked out on the archive session's worker thread and arrive together.
#include "report/segment_findings.h"

#include <QAbstractTableModel>
#include <QDateTime>
#include <QIcon>

#include <array>
#include <functional>
#include <vector>

namespace ksx4 {

class ArchiveSession;

class SegmentTableModel final : public QAbstractTableModel {
  public:
    enum Column {
        NameColumn,
        ReportsColumn,
        FirstColumn,
        LastColumn,
        DaysColumn,
        VerdictColumn,
        FindingColumn
    };
    static constexpr int kColumns = 7;
    // What a column sorts by: numbers as numbers, the finding and the
    // verdict by how bad they are (worst first ascending).
    static constexpr int kSortRole = Qt::UserRole;

    // now: the time days since the last report count to.
    SegmentTableModel(ArchiveSession& session, std::function<QDateTime()> now,
                      QObject* parent = nullptr);

    // Reads the segments again from the archive the session has open now.
    void reload();
    // Icons for alarms, warnings and notes, in that order.
    void setSeverityIcons(std::array<QIcon, 3> icons) { icons_ = std::move(icons); }

    const SegmentFindings& segment(int row) const {
        return rows_.at(static_cast<std::size_t>(row));
    }
    bool loading() const { return pending_; }
    // The last answer: the archive holds no report (or is not there yet).
    bool archiveEmpty() const { return empty_; }

    // Called when an answer has been taken: the rows, or failure's reason
    // (the rows then are none).
    std::function<void(const std::optional<QString>& failure)> onAnswered;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  private:
    void take(unsigned generation, archive::Result<std::vector<SegmentFindings>> answer);

    ArchiveSession& session_;
    std::function<QDateTime()> now_;
    std::vector<SegmentFindings> rows_;
    std::array<QIcon, 3> icons_;
    unsigned generation_ = 0;  // answers to an earlier reload are dropped
    bool pending_ = false;
    bool empty_ = false;
};

// "2026-03-01 09:30" of a report time "2026-03-01T09:30:00".
QString segmentTimeText(const QString& reportTime);

}  // namespace ksx4
