#pragma once
// The rows of the status list List1. Lines arrive in batches of up to 2001
// (one device-count round) and are never removed, so a batch is one
// insertion; with uniform item sizes in the view the list stays fast at
// hundreds of thousands of lines.
#include <QAbstractListModel>
#include <QStringList>

namespace ksx4 {

class StatusListModel final : public QAbstractListModel {
  public:
    using QAbstractListModel::QAbstractListModel;

    void appendLines(const QStringList& lines);
    const QStringList& lines() const { return lines_; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

  private:
    QStringList lines_;
};

}  // namespace ksx4
