#include "archive_view/segment_table_model.h"

#include "archive_view/archive_session.h"
#include "archive_view/judgement_colours.h"

#include <QBrush>
#include <QPointer>

namespace ksx4 {
namespace {

int verdictRank(const QString& verdict) {
    if (verdict == QLatin1String("BAD")) return 0;
    if (verdict == QLatin1String("WARN")) return 1;
    if (verdict == QLatin1String("OK")) return 2;
    return 3;
}

}  // namespace

SegmentTableModel::SegmentTableModel(ArchiveSession& session, std::function<QDateTime()> now,
                                     QObject* parent)
    : QAbstractTableModel(parent), session_(session), now_(std::move(now)) {}

void SegmentTableModel::reload() {
    beginResetModel();
    rows_.clear();
    endResetModel();
    const unsigned generation = ++generation_;
    pending_ = true;
    const QDateTime now = now_();
    QPointer<SegmentTableModel> self(this);
    session_.ask<std::vector<SegmentFindings>>(
        [now](archive::Archive& a) { return segmentsWithFindings(a, now); },
        [self, generation](archive::Result<std::vector<SegmentFindings>> answer) {
            // Back on the model's thread; dropped when the model is gone.
            QMetaObject::invokeMethod(
                self.data(),
                [self, generation, answer = std::move(answer)]() mutable {
                    if (self) self->take(generation, std::move(answer));
                },
                Qt::QueuedConnection);
        });
}

void SegmentTableModel::take(unsigned generation,
                             archive::Result<std::vector<SegmentFindings>> answer) {
    if (generation != generation_) return;
    pending_ = false;
    if (auto* failure = std::get_if<archive::ArchiveError>(&answer)) {
        empty_ = failure->noArchiveYet;
        if (onAnswered) onAnswered(failure->reason);
        return;
    }
    auto& rows = std::get<std::vector<SegmentFindings>>(answer);
    empty_ = rows.empty();
    if (!rows.empty()) {
        beginInsertRows({}, 0, static_cast<int>(rows.size()) - 1);
        rows_ = std::move(rows);
        endInsertRows();
    }
    if (onAnswered) onAnswered(std::nullopt);
}

int SegmentTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int SegmentTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QVariant SegmentTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const std::size_t row = static_cast<std::size_t>(index.row());
    const SegmentFindings& r = rows_[row];
    const archive::SegmentSummary& s = r.segment;
    if (role == Qt::DisplayRole) {
        switch (index.column()) {
            case NameColumn:
                return s.name;
            case ReportsColumn:
                return static_cast<qlonglong>(s.reports);
            case FirstColumn:
                return segmentTimeText(s.firstReport);
            case LastColumn:
                return segmentTimeText(s.lastReport);
            case DaysColumn:
                return s.daysSinceLast ? QVariant(*s.daysSinceLast) : QVariant();
            case VerdictColumn:
                return s.lastVerdict;
            case FindingColumn:
                return r.worst ? r.worst->summary : QStringLiteral("No findings");
        }
    }
    if (role == kSortRole) {
        switch (index.column()) {
            case NameColumn:
                return s.key;
            case ReportsColumn:
                return static_cast<qlonglong>(s.reports);
            case FirstColumn:
                return s.firstReport;
            case LastColumn:
                return s.lastReport;
            case DaysColumn:
                return s.daysSinceLast ? *s.daysSinceLast : -1;
            case VerdictColumn:
                return verdictRank(s.lastVerdict);
            case FindingColumn:
                // The rows arrive worst first: their order is the finding's rank.
                return static_cast<qlonglong>(row);
        }
    }
    if (role == Qt::ToolTipRole && index.column() == FindingColumn && r.worst)
        return diagnosis::severityName(r.worst->severity) + QStringLiteral(": ") + r.worst->summary;
    if (role == Qt::DecorationRole && index.column() == FindingColumn && r.worst)
        return icons_[static_cast<std::size_t>(r.worst->severity)];
    if (index.column() == VerdictColumn) {
        const std::optional<QColor> fill = judgementFill(s.lastVerdict);
        if (role == Qt::BackgroundRole && fill) return QBrush(*fill);
        if (role == Qt::ForegroundRole && fill) return QBrush(Qt::black);
        if (role == Qt::TextAlignmentRole) return int(Qt::AlignCenter);
    }
    if ((index.column() == ReportsColumn || index.column() == DaysColumn) &&
        role == Qt::TextAlignmentRole)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant SegmentTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    static const char* const kTitles[kColumns] = {"Segment",      "Reports",    "First Test",
                                                  "Last Test",    "Days Since", "Last Verdict",
                                                  "Worst Finding"};
    return section >= 0 && section < kColumns ? QString::fromLatin1(kTitles[section]) : QVariant();
}

QString segmentTimeText(const QString& reportTime) {
    QString text = reportTime.left(16);
    return text.replace(u'T', u' ');
}

}  // namespace ksx4
