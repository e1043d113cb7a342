// The archive's costs on SQLite and PostgreSQL. Large archives are filled
// with one INSERT ... SELECT each (the store path is measured on its own),
// with 1,000 location names, 50 testers and 8 slots spread over the rows.
#include "archive/archive.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <unistd.h>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <memory>

namespace ksx4::archive {
namespace {

using Engine = ArchiveLocation::Engine;

constexpr int kDevices = 32;

QTemporaryDir& workFolder() {
    static QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/ksx4-archive-bench-XXXXXX"));
    return folder;
}

// A PostgreSQL server for the whole run, stopped at exit.
class BenchServer {
  public:
    static BenchServer& get() {
        static BenchServer server;
        return server;
    }
    bool running() const { return running_; }
    const QString& socket() const { return socket_; }
    ~BenchServer() {
        if (running_) QProcess::execute(script_, {"stop", socket_});
    }

  private:
    BenchServer()
        : script_(QStringLiteral(KSX4_SOURCE_DIR "/scripts/pg-test-server.sh")),
          socket_(QStringLiteral("/tmp/ksx4pg-bench-%1").arg(::getpid())) {
        // Durable: a commit's time includes the server's fsync.
        running_ = QProcess::execute(script_, {"start", socket_, "--durable"}) == 0;
    }
    QString script_, socket_;
    bool running_ = false;
};

bool execOn(const ArchiveLocation& location, const QString& sql) {
    static std::atomic<int> counter{0};
    const QString name = QStringLiteral("bench-direct-%1").arg(++counter);
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(
            location.engine == Engine::Sqlite ? "QSQLITE" : "QPSQL", name);
        db.setDatabaseName(location.engine == Engine::Sqlite ? location.path
                                                             : location.databaseName);
        db.setHostName(location.host);
        db.setUserName(location.user);
        if (db.open()) {
            QSqlQuery query(db);
            ok = query.exec(sql);
            if (!ok)
                std::fprintf(stderr, "%s\n%s\n", qPrintable(query.lastError().text()),
                             qPrintable(sql.left(300)));
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

// A fresh archive with its schema, or nullopt where the engine cannot run.
std::optional<ArchiveLocation> freshArchive(Engine engine, const QString& name) {
    ArchiveLocation location;
    location.engine = engine;
    if (engine == Engine::Sqlite) {
        location.path = workFolder().filePath(name + QStringLiteral(".sqlite"));
        QFile::remove(location.path);
    } else {
        if (!BenchServer::get().running()) return std::nullopt;
        location.host = BenchServer::get().socket();
        location.user = QStringLiteral("ksx4");
        location.databaseName = QStringLiteral("postgres");
        execOn(location, QStringLiteral("DROP DATABASE IF EXISTS ") + name);
        if (!execOn(location, QStringLiteral("CREATE DATABASE ") + name)) return std::nullopt;
        location.databaseName = name;
    }
    if (std::holds_alternative<ArchiveError>(Archive::open(location))) return std::nullopt;
    return location;
}

std::unique_ptr<Archive> openOrNull(const ArchiveLocation& location) {
    auto opened = Archive::open(location);
    if (auto* archive = std::get_if<std::unique_ptr<Archive>>(&opened)) return std::move(*archive);
    return nullptr;
}

// A 32-device report as a transfer stores it; seed makes its bytes unique.
ArchivedReport report32(int64_t seed) {
    ArchivedReport r;
    r.summary.testerSerial = 1001;
    r.summary.slot = 1 + static_cast<int>(seed % 8);
    r.summary.location = QStringLiteral("Pump Station A");
    r.summary.reportName = QStringLiteral("Report 1");
    r.summary.saved = QStringLiteral("2025-07-29T08:51:56");
    r.summary.transferredMs = 1'780'000'000'000 + seed;
    r.summary.devices = kDevices;
    r.summary.verdict = QStringLiteral("BAD");
    r.summary.workbookPath = QStringLiteral("/home/tech/reports/Report 1 2025-07-29 08-51.xls");
    r.summary.workbookSha256 = QString(64, u'a');
    r.slotBytes = QByteArray(kSourceBytes, '\x41');
    std::memcpy(r.slotBytes.data() + 100, &seed, sizeof seed);
    r.eepromBytes = QByteArray(kSourceBytes, '\x20');
    r.localeName = QStringLiteral("en_US");
    r.programVersion = QStringLiteral("2.09");
    const char* segment[] = {"voltage", "signal", "ff-avg",  "ff-peak",      "lf-avg",
                             "lf-peak", "hf-avg", "hf-peak", "shield-short", "add-drop"};
    for (const char* measure : segment)
        r.values.push_back({measure, std::nullopt, 8600, "8.6V", 9000, "9.0V Minimum", "BAD"});
    for (int d = 0; d < kDevices; ++d) {
        r.values.push_back({"signal", 20 + d, 325, "325mV", 150, "150mV Minimum", "OK"});
        r.values.push_back({"added-dropped", 20 + d, 1, "Not Added/Dropped", std::nullopt,
                            "Not Added/Dropped", "OK"});
        r.values.push_back({"retransmits", 20 + d, 2, "2", 0, "0", "BAD"});
    }
    return r;
}

// Reports 1..count: "Site NNNNN" for n % locations, tester 1000 + n % 50.
QString fillReports(Engine engine, int count, int locations) {
    const QString columns = QStringLiteral(
        "INSERT INTO report (tester_serial, tester_kind, firmware_marker, slot, slot_sha256, "
        "location, report_name, search_key, saved, transferred_ms, utc_offset, report_time, "
        "devices, verdict, workbook_path, workbook_sha256, locale_name, program_version) ");
    const QString site =
        engine == Engine::Sqlite
            ? QStringLiteral("printf('Site %05d', i % %1)").arg(locations)
            : QStringLiteral("'Site ' || lpad((i % %1)::text, 5, '0')").arg(locations);
    const QString time =
        engine == Engine::Sqlite
            ? QStringLiteral("strftime('%Y-%m-%dT%H:%M:%S', 1600000000 + i * 3600, 'unixepoch')")
            : QStringLiteral(
                  "to_char(to_timestamp(1600000000 + i * 3600) AT TIME ZONE 'UTC', "
                  "'YYYY-MM-DD\"T\"HH24:MI:SS')");
    const QString select =
        QStringLiteral(
            "SELECT 1000 + i % 50, 0, 0, 1 + i % 8, 'digest' || i, %1, 'Report 1', "
            "lower(%1) || '\n' || 'report 1', %2, 1600000000000 + CAST(i AS BIGINT) * 3600000, 0, "
            "%2, "
            "32, 'OK', '/home/tech/reports/x.xls', 'sha', 'en_US', '2.09' ")
            .arg(site, time);
    if (engine == Engine::Sqlite) {
        return QStringLiteral(
                   "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                   "WHERE i < %1) ")
                   .arg(count) +
               columns + select + QStringLiteral("FROM n");
    }
    return columns + select + QStringLiteral("FROM generate_series(1, %1) AS n(i)").arg(count);
}

// For every report, its 106 values as a transfer stores them.
const char* const kFillValues =
    "INSERT INTO judged_value (report_id, value, limit_value, position, device, measure, "
    "judgement) "
    "SELECT r.id, 300 + r.id % 100, 150, m.position, m.device, m.measure, 'OK' "
    "FROM report r CROSS JOIN measures m ORDER BY r.id, m.position";

QString fillMeasures() {
    QString values;
    int position = 0;
    const char* segment[] = {"voltage", "signal", "ff-avg",  "ff-peak",      "lf-avg",
                             "lf-peak", "hf-avg", "hf-peak", "shield-short", "add-drop"};
    for (const char* measure : segment)
        values += QStringLiteral("(%1, '%2', NULL),").arg(++position).arg(measure);
    for (int d = 0; d < kDevices; ++d) {
        for (const char* measure : {"signal", "added-dropped", "retransmits"})
            values += QStringLiteral("(%1, '%2', %3),").arg(++position).arg(measure).arg(20 + d);
    }
    values.chop(1);
    return QStringLiteral(
               "CREATE TABLE measures AS WITH m(position, measure, device) AS (VALUES %1) "
               "SELECT * FROM m")
        .arg(values);
}

// What a live archive's statistics (and PostgreSQL's autovacuum) give a
// table filled in one statement.
bool analyze(Engine engine, const ArchiveLocation& location) {
    return execOn(location, engine == Engine::Sqlite ? QStringLiteral("ANALYZE")
                                                     : QStringLiteral("VACUUM ANALYZE"));
}

void skipUnless(benchmark::State& state, bool ok, const char* why) {
    if (!ok) state.SkipWithError(why);
}

void BM_Store32DeviceReport(benchmark::State& state, Engine engine) {
    const auto location = freshArchive(engine, QStringLiteral("store"));
    skipUnless(state, location.has_value(), "engine not available");
    if (!location) return;
    auto archive = openOrNull(*location);
    int64_t seed = 0;
    for (auto _ : state) {
        const ArchivedReport report = report32(++seed);
        auto stored = archive->store(report);
        if (!std::holds_alternative<StoreResult>(stored)) {
            state.SkipWithError("store failed");
            break;
        }
    }
}

// A report transferred again: the same (already there), or each time with
// another voltage limit, so that every transfer keeps a copy of its own.
void BM_StoreAgain32DeviceReport(benchmark::State& state, Engine engine, bool otherLimits) {
    const auto location = freshArchive(engine, QStringLiteral("again"));
    skipUnless(state, location.has_value(), "engine not available");
    if (!location) return;
    auto archive = openOrNull(*location);
    ArchivedReport report = report32(1);
    archive->store(report);
    const StoreOutcome expected = otherLimits ? StoreOutcome::KeptAgain : StoreOutcome::AlreadyKept;
    for (auto _ : state) {
        if (otherLimits) report.values[0].limit = *report.values[0].limit + 1;
        auto stored = archive->store(report);
        if (!std::holds_alternative<StoreResult>(stored) ||
            std::get<StoreResult>(stored).outcome != expected) {
            state.SkipWithError("store failed");
            break;
        }
    }
}

void BM_ListByLocation(benchmark::State& state, Engine engine) {
    const int reports = 100'000;
    const auto location = freshArchive(engine, QStringLiteral("list100k"));
    skipUnless(state,
               location && execOn(*location, fillReports(engine, reports, 1000)) &&
                   analyze(engine, *location),
               "engine not available");
    if (!location) return;
    auto archive = openOrNull(*location);
    std::size_t found = 0;
    for (auto _ : state) {
        auto listed = archive->list({.text = QStringLiteral("site 00123")});
        found = std::get<std::vector<ReportSummary>>(listed).size();
        benchmark::DoNotOptimize(found);
    }
    state.counters["reports_listed"] = static_cast<double>(found);
}

void BM_TrendOverReports(benchmark::State& state, Engine engine) {
    const int reports = 10'000;
    const auto location = freshArchive(engine, QStringLiteral("trend10k"));
    // One location: every report is in the trend.
    skipUnless(state,
               location && execOn(*location, fillReports(engine, reports, 1)) &&
                   execOn(*location, fillMeasures()) && execOn(*location, kFillValues) &&
                   analyze(engine, *location),
               "engine not available");
    if (!location) return;
    auto archive = openOrNull(*location);
    std::size_t points = 0;
    for (auto _ : state) {
        auto trend = archive->trend({QStringLiteral("site 00000"), "signal", 20});
        points = std::get<std::vector<TrendPoint>>(trend).size();
        benchmark::DoNotOptimize(points);
    }
    state.counters["points"] = static_cast<double>(points);
}

// The space an archive takes: the SQLite file (its log checkpointed into
// it), or PostgreSQL's tables with their indexes and TOAST.
double archiveBytes(Engine engine, const ArchiveLocation& location) {
    if (engine == Engine::Sqlite) {
        execOn(location, QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
        return static_cast<double>(QFileInfo(location.path).size());
    }
    double bytes = 0;
    const QString name = QStringLiteral("ksx4-size");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QPSQL", name);
        db.setDatabaseName(location.databaseName);
        db.setHostName(location.host);
        db.setUserName(location.user);
        db.open();
        QSqlQuery query(db);
        query.exec(
            QStringLiteral("SELECT pg_total_relation_size('report') + "
                           "pg_total_relation_size('report_source') + "
                           "pg_total_relation_size('judged_value')"));
        if (query.next()) bytes = query.value(0).toDouble();
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return bytes;
}

// The space of 32-device reports stored through the archive: per report of
// the first 500, and what each of 500 more adds (without the fixed space of
// tables and half-filled last pages that a small archive spreads over few
// reports).
void BM_SizePerReport(benchmark::State& state, Engine engine) {
    const int count = 500;
    for (auto _ : state) {
        const auto location = freshArchive(engine, QStringLiteral("size"));
        skipUnless(state, location.has_value(), "engine not available");
        if (!location) return;
        auto archive = openOrNull(*location);
        for (int i = 0; i < count; ++i) archive->store(report32(i));
        const double first = archiveBytes(engine, *location);
        for (int i = count; i < 2 * count; ++i) archive->store(report32(i));
        archive.reset();
        const double second = archiveBytes(engine, *location);
        state.counters["bytes_per_report"] = first / count;
        state.counters["bytes_per_added_report"] = (second - first) / count;
    }
}

BENCHMARK_CAPTURE(BM_Store32DeviceReport, sqlite, Engine::Sqlite)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Store32DeviceReport, postgres, Engine::Postgres)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_StoreAgain32DeviceReport, sqlite_same, Engine::Sqlite, false)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_StoreAgain32DeviceReport, postgres_same, Engine::Postgres, false)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_StoreAgain32DeviceReport, sqlite_other_limits, Engine::Sqlite, true)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_StoreAgain32DeviceReport, postgres_other_limits, Engine::Postgres, true)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ListByLocation, sqlite, Engine::Sqlite)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ListByLocation, postgres, Engine::Postgres)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TrendOverReports, sqlite, Engine::Sqlite)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TrendOverReports, postgres, Engine::Postgres)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SizePerReport, sqlite, Engine::Sqlite)
    ->Iterations(1)
    ->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(BM_SizePerReport, postgres, Engine::Postgres)
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

}  // namespace
}  // namespace ksx4::archive

BENCHMARK_MAIN();
