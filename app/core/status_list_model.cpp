#include "core/status_list_model.h"

namespace ksx4 {

void StatusListModel::appendLines(const QStringList& lines) {
    if (lines.isEmpty()) return;
    const int first = static_cast<int>(lines_.size());
    beginInsertRows(QModelIndex(), first, first + static_cast<int>(lines.size()) - 1);
    lines_.append(lines);
    endInsertRows();
}

int StatusListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(lines_.size());
}

QVariant StatusListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= lines_.size()) return {};
    if (role != Qt::DisplayRole) return {};
    return lines_.at(index.row());
}

}  // namespace ksx4
