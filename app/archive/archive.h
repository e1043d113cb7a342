#pragma once
// The report archive: one connection to an SQLite file or a PostgreSQL
// database, its schema brought up to date on opening, and the store and
// queries the transfer, ksx4ctl and windows use.
//
// Every call blocks until the database answers (a busy SQLite file waits up
// to its time-out, an unreachable server up to the connect time-out, a
// server that stops answering or a lock held elsewhere up to the statement
// time-out). After a lost server connection every call fails with the
// reason the connection was lost for. An
// Archive and its connection belong to the thread that opened it, so this
// class is the one seam for running archive work off a user interface
// thread: open it and make every call on one worker thread, and hand the
// typed results (plain values, no Qt SQL types) back.
//
// Texts from testers and users (names, filters) are bound as parameters,
// never made part of SQL text. No message names a PostgreSQL password.
#include "archive/archive_location.h"
#include "archive/archived_report.h"

#include <QString>

#include <chrono>
#include <memory>
#include <optional>
#include <variant>
#include <vector>

namespace ksx4::archive {

// The schema version that keeps each report's segment key and the
// baselines chosen by hand.
inline constexpr int kSegmentsSchemaVersion = 4;
// The schema version this program writes; it reads every version from 1.
inline constexpr int kSchemaVersion = kSegmentsSchemaVersion;

// How long one PostgreSQL statement may run before it fails, and half of it
// how long it may wait for a lock another connection holds (a schema
// migration may run ten times as long). A tighter bound the server sets
// for the user stays.
inline constexpr std::chrono::milliseconds kStatementTimeout{60'000};

// A failure with its reason for the user, the location named without any
// password.
struct ArchiveError {
    QString reason;
    // Opened to read where nothing was ever stored (no file, no tables):
    // an archive that a first transfer makes, not a fault.
    bool noArchiveYet = false;
};

template <class T>
using Result = std::variant<T, ArchiveError>;

// A report is one measurement: one tester's 256 slot bytes, kept once. A
// transfer of it after its report name or limits changed in the tester (the
// erase had not reached it) wrote another workbook, judged against the new
// limits: that transfer's copy is kept too, and becomes the one the archive
// shows (listings, trends, searches and report()), matching the newest
// workbook; copies() gives every copy, so that each workbook can be made
// again.
enum class StoreOutcome {
    Stored,       // the report and its values are in the archive
    AlreadyKept,  // the same tester's same 256 slot bytes were already there,
                  // with the same report name and judged the same
    KeptAgain     // already there with another name or other limits: this
                  // transfer's copy is kept as the report's newest
};

struct StoreResult {
    StoreOutcome outcome;
    int64_t id;    // the report's id in the archive
    int copy = 1;  // the copy that the archive now shows, 1 the first
};

struct ListFilter {
    QString text = {};  // part of the location or report name, any case
    std::optional<int> testerSerial = {};
    // Bounds on the report time ("YYYY-MM-DDTHH:MM:SS", inclusive).
    std::optional<QString> since = {}, until = {};
    std::optional<QString> verdict = {};  // "OK", "WARN" or "BAD"
};

// The order of a listing and the part of it wanted, for windows that fetch
// rows as they are shown.
struct ListOrder {
    enum class Key { Time, Tester, Location, Devices, Verdict };
    Key key = Key::Time;
    bool descending = false;
};
struct ListPage {
    int64_t offset = 0;
    int limit = 200;
    // Keyset paging: the rows after this report in the order (offset then
    // counts from there), so that reports stored between two pages neither
    // repeat a row nor push one out of sight. A report no longer there
    // ends the listing.
    std::optional<int64_t> after = {};
};

struct TrendQuery {
    QString text;               // as ListFilter::text
    QString measure;            // a JudgedValue::measure
    std::optional<int> device;  // a device row's address; none: the segment's value
    // One segment (segmentKey of the location) instead of a part of the name.
    std::optional<QString> segment = {};
    // The reports charted: ListFilter's bounds, tester and verdict (its text
    // is not read).
    ListFilter within = {};
};

struct TrendPoint {
    int64_t reportId = 0;
    QString time;  // ReportSummary::reportTime()
    QString location;
    std::optional<int64_t> value, limit;
    QString judgement;
};

class Archive {
  public:
    enum class Access {
        ReadWrite,  // creates the database file and schema when missing
        ReadOnly    // never writes: a missing archive or schema is an error
    };

    // Opens location (not none) and, for ReadWrite, creates or migrates its
    // schema in one transaction. Fails on an archive a newer program made.
    static Result<std::unique_ptr<Archive>> open(
        const ArchiveLocation& location, Access access = Access::ReadWrite,
        std::chrono::milliseconds statementTimeout = kStatementTimeout);
    ~Archive();
    Archive(const Archive&) = delete;
    Archive& operator=(const Archive&) = delete;

    const ArchiveLocation& location() const { return location_; }

    // One transaction: the report and all its values, or nothing. Durable
    // on return (SQLite: full synchronous commit).
    Result<StoreResult> store(const ArchivedReport& report);

    // Sorted by report time, then slot, then id.
    Result<std::vector<ReportSummary>> list(const ListFilter& filter);
    // The page of the listing in order; ties in the key keep the report
    // time order. Verdicts sort OK, WARN, BAD; locations in any case.
    Result<std::vector<ReportSummary>> list(const ListFilter& filter, const ListOrder& order,
                                            const ListPage& page);
    // The report as the archive shows it (its newest copy); nullopt when
    // no report has that id.
    Result<std::optional<ArchivedReport>> report(int64_t id);
    // Every copy of the report, oldest (copy 1) first, the last the one
    // report(id) gives; empty when no report has that id.
    Result<std::vector<ArchivedReport>> copies(int64_t id);
    // Oldest first, as list sorts.
    Result<std::vector<TrendPoint>> trend(const TrendQuery& query);

    // The schema version stored in the database.
    Result<int> schemaVersion();
    // SQLite: PRAGMA integrity_check answered "ok". PostgreSQL: true.
    Result<bool> integrityOk();

  private:
    class Connection;
    friend struct ArchiveInternals;
    Archive(ArchiveLocation location, std::unique_ptr<Connection> connection);
    // Inside store's transaction, for a report already there with that id:
    // AlreadyKept, or KeptAgain with this transfer's copy written.
    Result<StoreResult> storeAgain(int64_t id, const ArchivedReport& report);

    ArchiveLocation location_;
    std::unique_ptr<Connection> connection_;
};

}  // namespace ksx4::archive
