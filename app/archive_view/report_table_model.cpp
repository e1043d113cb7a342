#include "archive_view/report_table_model.h"

#include "archive_view/archive_session.h"
#include "archive_view/judgement_colours.h"

#include <QBrush>
#include <QPointer>

namespace ksx4 {

using archive::ListOrder;

ReportTableModel::ReportTableModel(ArchiveSession& session, QObject* parent, int pageRows)
    : QAbstractTableModel(parent), session_(session), pageRows_(pageRows) {}

void ReportTableModel::setFilter(const archive::ListFilter& filter) {
    filter_ = filter;
    reload();
}

void ReportTableModel::reload() {
    beginResetModel();
    rows_.clear();
    ++generation_;
    pending_ = false;
    complete_ = false;
    endResetModel();
    requestPage();
}

int ReportTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int ReportTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QVariant ReportTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const archive::ReportSummary& r = rows_[static_cast<std::size_t>(index.row())];
    if (role == Qt::DisplayRole) {
        switch (index.column()) {
            case TimeColumn:
                return reportTimeText(r);
            case TesterColumn:
                return testerText(r);
            case LocationColumn:
                return r.location;
            case DevicesColumn:
                return r.devices;
            case VerdictColumn:
                return r.verdict;
        }
    }
    if (index.column() == VerdictColumn) {
        const std::optional<QColor> fill = judgementFill(r.verdict);
        if (role == Qt::BackgroundRole && fill) return QBrush(*fill);
        if (role == Qt::ForegroundRole && fill) return QBrush(Qt::black);
        if (role == Qt::TextAlignmentRole) return int(Qt::AlignCenter);
    }
    if (index.column() == DevicesColumn && role == Qt::TextAlignmentRole)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant ReportTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    static const char* const kTitles[kColumns] = {"Time", "Tester", "Location", "Devices",
                                                  "Verdict"};
    return section >= 0 && section < kColumns ? QString::fromLatin1(kTitles[section]) : QVariant();
}

void ReportTableModel::sort(int column, Qt::SortOrder order) {
    static constexpr ListOrder::Key kKeys[kColumns] = {
        ListOrder::Key::Time, ListOrder::Key::Tester, ListOrder::Key::Location,
        ListOrder::Key::Devices, ListOrder::Key::Verdict};
    if (column < 0 || column >= kColumns) return;
    const ListOrder wanted{kKeys[column], order == Qt::DescendingOrder};
    if (wanted.key == order_.key && wanted.descending == order_.descending) return;
    order_ = wanted;
    reload();
}

bool ReportTableModel::canFetchMore(const QModelIndex& parent) const {
    return !parent.isValid() && !pending_ && !complete_;
}

void ReportTableModel::fetchMore(const QModelIndex& parent) {
    if (canFetchMore(parent)) requestPage();
}

void ReportTableModel::requestPage() {
    pending_ = true;
    const unsigned generation = generation_;
    QPointer<ReportTableModel> self(this);
    // Keyset: the next page starts after the last row shown, wherever
    // reports stored meanwhile put it.
    archive::ListPage next{0, pageRows_};
    if (!rows_.empty()) next.after = rows_.back().id;
    session_.fetchPage(filter_, order_, next, [self, generation](ArchiveSession::Page page) {
        // Back on the model's thread; dropped when the model is gone.
        QMetaObject::invokeMethod(
            self.data(),
            [self, generation, page = std::move(page)]() mutable {
                if (!self) return;
                if (auto* failure = std::get_if<archive::ArchiveError>(&page)) {
                    if (generation != self->generation_) return;
                    self->pending_ = false;
                    self->complete_ = true;
                    if (self->onFailure) self->onFailure(failure->reason);
                    return;
                }
                self->takePage(generation, std::move(std::get<0>(page)));
            },
            Qt::QueuedConnection);
    });
}

void ReportTableModel::takePage(unsigned generation, std::vector<archive::ReportSummary> page) {
    if (generation != generation_) return;
    pending_ = false;
    complete_ = page.size() < static_cast<std::size_t>(pageRows_);
    if (page.empty()) return;
    const int first = rowCount();
    beginInsertRows({}, first, first + static_cast<int>(page.size()) - 1);
    for (auto& r : page) rows_.push_back(std::move(r));
    endInsertRows();
}

QString testerText(const archive::ReportSummary& report) {
    return report.testerKindName() + u' ' + QString::number(report.testerSerial);
}

QString reportTimeText(const archive::ReportSummary& report) {
    QString text = report.reportTime();
    return text.replace(u'T', u' ');
}

}  // namespace ksx4
