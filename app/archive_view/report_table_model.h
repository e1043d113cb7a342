#pragma once
// The archive window's table: one row per archived report (time, tester,
// location, devices, verdict in the workbook's judgement colours). Rows
// are fetched a page at a time as the view scrolls to them, and sorting
// asks the archive for its order, so that a large archive opens at once.
#include "archive/archive.h"

#include <QAbstractTableModel>

#include <functional>
#include <vector>

namespace ksx4 {

class ArchiveSession;

class ReportTableModel final : public QAbstractTableModel {
  public:
    enum Column { TimeColumn, TesterColumn, LocationColumn, DevicesColumn, VerdictColumn };
    static constexpr int kColumns = 5;
    static constexpr int kPageRows = 200;

    explicit ReportTableModel(ArchiveSession& session, QObject* parent = nullptr,
                              int pageRows = kPageRows);

    // Lists the reports filter lets through from the first row again.
    void setFilter(const archive::ListFilter& filter);
    // Lists again, from the archive the session has open now.
    void reload();
    const archive::ListFilter& filter() const { return filter_; }
    // The report of row (a row shown, so fetched).
    const archive::ReportSummary& report(int row) const { return rows_.at(row); }

    // Called with the archive's reason when a page query fails.
    std::function<void(const QString& reason)> onFailure;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    void sort(int column, Qt::SortOrder order) override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

  private:
    void requestPage();
    void takePage(unsigned generation, std::vector<archive::ReportSummary> page);

    ArchiveSession& session_;
    int pageRows_;
    archive::ListFilter filter_;
    archive::ListOrder order_;
    std::vector<archive::ReportSummary> rows_;
    // Answers to an earlier filter or order are dropped.
    unsigned generation_ = 0;
    bool pending_ = false;
    bool complete_ = false;
};

// "KSX-4 1234" or "KSX-4-PA 17".
QString testerText(const archive::ReportSummary& report);
// The report time as the table shows it: "2026-03-01 09:30:00".
QString reportTimeText(const archive::ReportSummary& report);

}  // namespace ksx4
