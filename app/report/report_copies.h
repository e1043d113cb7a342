#pragma once
// The copies a transfer keeps of each report beside its workbook (the
// archive), and whether every report has every copy: the tester is told to
// erase its reports only then.
#include "archive/archive.h"
#include "archive/archive_location.h"

#include <QString>

#include <optional>
#include <variant>
#include <vector>

namespace ksx4 {

class Operator;

class ReportCopies {
  public:
    // No archive: every copy is the workbook, as before there was one.
    ReportCopies() = default;
    explicit ReportCopies(archive::ArchiveLocation location) : location_(std::move(location)) {}
    // A resolved location, or the problem with it, which then fails every
    // report's archive copy.
    static ReportCopies forLocation(
        const std::variant<archive::ArchiveLocation, QString>& resolved);

    // After a report's workbook is durably on disk: stores the report in
    // the archive, and works out its findings there. The archive is opened,
    // written and closed within one
    // ui.waitFor call, so that the window stays alive on a worker thread
    // while a busy file or a slow server is waited for (a connection
    // belongs to the thread that opened it). After a failure, later reports
    // are not tried; the first reason is kept.
    void keep(Operator& ui, const archive::ArchivedReport& report);

    // True when every report given to keep has all its copies.
    bool allKept() const { return !failure_; }
    // Why a copy failed (the first reason), or nullopt.
    const std::optional<QString>& failure() const { return failure_; }

    // After the transfer: the archive's reason in one message when a copy
    // failed, else archivedLine() and findingLines() on the status list
    // (the status field keeps the transfer's own closing text).
    void tellOutcome(Operator& ui) const;
    // "Archived N reports in LOCATION" when every report given to keep is
    // in the archive and there was one, with how many of them were there
    // already ("7 already there") and how many were there with other
    // limits or names and so kept again ("1 kept again with changed limits
    // or names"); else nullopt.
    std::optional<QString> archivedLine() const;
    // After archivedLine, one line per report with an alarm or a warning
    // ("Tank 3: device 20's signal down 34 % since 2026-03-01 (2 more
    // findings)"), in the order the reports were kept; none when the
    // archive failed.
    std::vector<QString> findingLines() const;

    int storedCount() const { return stored_; }
    int alreadyKeptCount() const { return alreadyKept_; }
    int keptAgainCount() const { return keptAgain_; }

  private:
    archive::ArchiveLocation location_;
    std::optional<QString> failure_;
    int stored_ = 0;
    int alreadyKept_ = 0;
    int keptAgain_ = 0;
    std::vector<QString> findingLines_;
};

}  // namespace ksx4
