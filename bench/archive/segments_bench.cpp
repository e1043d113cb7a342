// The segments listing with each segment's worst finding, and one
// segment's diagnosis, on SQLite and PostgreSQL: 100,000 32-device reports
// in 2,000 segments (50 visits each, one an hour), every report with its
// 106 values and real slot bytes. Filled with INSERT ... SELECT; the
// PostgreSQL cases start their own server with scripts/pg-test-server.sh
// (skipped where none is installed).
#include "archive/archive.h"
#include "archive/segments.h"
#include "report/segment_findings.h"
#include "tester_image.h"

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
#include <memory>

namespace ksx4 {
namespace {

using archive::Archive;
using archive::ArchiveLocation;
using Engine = ArchiveLocation::Engine;

constexpr int kReports = 100'000;
constexpr int kSegments = 2'000;
constexpr int kDevices = 32;

QTemporaryDir& workFolder() {
    static QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/ksx4-segments-bench-XXXXXX"));
    return folder;
}

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
          socket_(QStringLiteral("/tmp/ksx4pg-segbench-%1").arg(::getpid())) {
        running_ = QProcess::execute(script_, {"start", socket_}) == 0;
    }
    QString script_, socket_;
    bool running_ = false;
};

bool execOn(const ArchiveLocation& location, const QString& sql, const QVariantList& values = {}) {
    static std::atomic<int> counter{0};
    const QString name = QStringLiteral("segbench-direct-%1").arg(++counter);
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
            ok = values.isEmpty() ? query.exec(sql) : query.prepare(sql);
            if (!values.isEmpty() && ok) {
                for (const QVariant& v : values) query.addBindValue(v);
                ok = query.exec();
            }
            if (!ok)
                std::fprintf(stderr, "%s\n%s\n", qPrintable(query.lastError().text()),
                             qPrintable(sql.left(300)));
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

// A 32-device report's 256 slot bytes, as a KSX-4 stores them.
QByteArray slotBytes() {
    sim::TesterImage image = sim::blankTester(false, 1001);
    sim::Report report;
    report.locationName = "Site";
    report.savedTicks = 1'700'000'000u / 2;
    report.voltage = 20000;
    report.lowestSignal = 780;
    report.lowestSignalAddress = 20;
    report.lasAddress = 20;
    report.activeDevices = kDevices;
    for (int d = 0; d < kDevices; ++d) {
        report.devices[static_cast<std::size_t>(d)] = sim::DeviceEntry{
            .address = static_cast<uint8_t>(20 + d), .signal = static_cast<uint16_t>(780 + d)};
    }
    sim::storeReport(image, false, 1, report);
    constexpr int kFirstSlot = 0x7500;
    return QByteArray(reinterpret_cast<const char*>(image.flash.data() + kFirstSlot),
                      archive::kSourceBytes);
}

QString fillReports(Engine engine) {
    const bool sqlite = engine == Engine::Sqlite;
    const QString site =
        sqlite ? QStringLiteral("printf('Site %05d', i % %1)").arg(kSegments)
               : QStringLiteral("'Site ' || lpad((i % %1)::text, 5, '0')").arg(kSegments);
    const QString time =
        sqlite ? QStringLiteral("strftime('%Y-%m-%dT%H:%M:%S', 1600000000 + i * 3600, 'unixepoch')")
               : QStringLiteral(
                     "to_char(to_timestamp(1600000000 + i * 3600) AT TIME ZONE 'UTC', "
                     "'YYYY-MM-DD\"T\"HH24:MI:SS')");
    const QString select =
        QStringLiteral(
            "SELECT 1000 + i % 50, 0, 0, 1 + i % 8, 'digest' || i, %1, 'Report 1', "
            "lower(%1) || '\n' || 'report 1', %2, "
            "1600000000000 + CAST(i AS BIGINT) * 3600000, 0, %2, 32, 'OK', 'x.xls', "
            "'sha', 'en_US', '2.09', lower(%1) ")
            .arg(site, time);
    const QString insert = QStringLiteral(
        "INSERT INTO report (tester_serial, tester_kind, firmware_marker, slot, slot_sha256, "
        "location, report_name, search_key, saved, transferred_ms, utc_offset, report_time, "
        "devices, verdict, workbook_path, workbook_sha256, locale_name, program_version, "
        "segment_key) ");
    if (sqlite) {
        return QStringLiteral(
                   "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                   "WHERE i < %1) ")
                   .arg(kReports) +
               insert + select + QStringLiteral("FROM n");
    }
    return insert + select + QStringLiteral("FROM generate_series(1, %1) AS n(i)").arg(kReports);
}

QString fillMeasures() {
    QString rows;
    int position = 0;
    const char* segment[] = {"voltage", "signal", "ff-avg",  "ff-peak",      "lf-avg",
                             "lf-peak", "hf-avg", "hf-peak", "shield-short", "add-drop"};
    const int limits[] = {9000, 150, 150, 300, 150, 300, 150, 300, -1, -1};
    for (int i = 0; i < 10; ++i) {
        rows += QStringLiteral("(%1, '%2', NULL, %3),")
                    .arg(++position)
                    .arg(segment[i])
                    .arg(limits[i] < 0 ? QStringLiteral("NULL") : QString::number(limits[i]));
    }
    for (int d = 0; d < kDevices; ++d) {
        rows += QStringLiteral("(%1, 'signal', %2, 150),").arg(++position).arg(20 + d);
        rows += QStringLiteral("(%1, 'added-dropped', %2, NULL),").arg(++position).arg(20 + d);
        rows += QStringLiteral("(%1, 'retransmits', %2, 3),").arg(++position).arg(20 + d);
    }
    rows.chop(1);
    return QStringLiteral(
               "CREATE TABLE measures AS WITH m(position, measure, device, lim) AS "
               "(VALUES %1) SELECT * FROM m")
        .arg(rows);
}

// The filled archive of the engine, made once per run.
std::optional<ArchiveLocation> filledArchive(Engine engine) {
    static std::optional<ArchiveLocation> made[3];
    static bool tried[3] = {};
    const auto index = static_cast<std::size_t>(engine);
    if (tried[index]) return made[index];
    tried[index] = true;
    ArchiveLocation location;
    location.engine = engine;
    if (engine == Engine::Sqlite) {
        location.path = workFolder().filePath(QStringLiteral("segments.sqlite"));
        // KSX4_BENCH_KEEP names a file kept between runs (filling takes a minute).
        if (const QString kept = qEnvironmentVariable("KSX4_BENCH_KEEP"); !kept.isEmpty()) {
            location.path = kept;
            if (QFileInfo::exists(kept)) return made[index] = location;
        }
    } else {
        // KSX4_BENCH_PG_SOCKET: a server of scripts/pg-test-server.sh that
        // keeps the filled database between runs.
        const QString kept = qEnvironmentVariable("KSX4_BENCH_PG_SOCKET");
        if (kept.isEmpty() && !BenchServer::get().running()) return std::nullopt;
        location.host = kept.isEmpty() ? BenchServer::get().socket() : kept;
        location.user = QStringLiteral("ksx4");
        location.databaseName = QStringLiteral("segments");
        if (!kept.isEmpty() && execOn(location, QStringLiteral("SELECT 1 FROM report LIMIT 1")))
            return made[index] = location;
        location.databaseName = QStringLiteral("postgres");
        execOn(location, QStringLiteral("DROP DATABASE IF EXISTS segments"));
        if (!execOn(location, QStringLiteral("CREATE DATABASE segments"))) return std::nullopt;
        location.databaseName = QStringLiteral("segments");
    }
    if (std::holds_alternative<archive::ArchiveError>(Archive::open(location))) return std::nullopt;
    const bool ok =
        execOn(location, fillReports(engine)) &&
        execOn(location,
               QStringLiteral("INSERT INTO report_source (report_id, slot_bytes, eeprom_bytes, "
                              "shown_texts) SELECT id, ?, ?, '[]' FROM report"),
               {slotBytes(), QByteArray(archive::kSourceBytes, '\x20')}) &&
        execOn(location, fillMeasures()) &&
        execOn(location,
               QStringLiteral("INSERT INTO judged_value (report_id, value, limit_value, position, "
                              "device, measure, judgement) SELECT r.id, 780, m.lim, m.position, "
                              "m.device, m.measure, 'OK' FROM report r CROSS JOIN measures m "
                              "ORDER BY r.id, m.position")) &&
        execOn(location, engine == Engine::Sqlite ? QStringLiteral("ANALYZE")
                                                  : QStringLiteral("VACUUM ANALYZE"));
    if (ok) made[index] = location;
    return made[index];
}

std::unique_ptr<Archive> openReadOnly(const ArchiveLocation& location) {
    auto opened = Archive::open(location, Archive::Access::ReadOnly);
    if (auto* a = std::get_if<std::unique_ptr<Archive>>(&opened)) return std::move(*a);
    return nullptr;
}

void BM_SegmentsWithWorstFinding(benchmark::State& state, Engine engine) {
    const auto location = filledArchive(engine);
    if (!location) {
        state.SkipWithError("engine not available");
        return;
    }
    auto archive = openReadOnly(*location);
    const QDateTime now(QDate(2026, 3, 14), QTime(10, 0));
    std::size_t rows = 0;
    for (auto _ : state) {
        auto listed = segmentsWithFindings(*archive, now);
        if (!std::holds_alternative<std::vector<SegmentFindings>>(listed)) {
            state.SkipWithError("listing failed");
            break;
        }
        rows = std::get<std::vector<SegmentFindings>>(listed).size();
        benchmark::DoNotOptimize(rows);
    }
    state.counters["segments"] = static_cast<double>(rows);
}

// One segment's latest report against its baseline and its 49 earlier
// reports, as `archive diagnose --segment` reads them.
void BM_DiagnoseSegment(benchmark::State& state, Engine engine) {
    const auto location = filledArchive(engine);
    if (!location) {
        state.SkipWithError("engine not available");
        return;
    }
    auto archive = openReadOnly(*location);
    for (auto _ : state) {
        auto latest = archive::latestReport(*archive, QStringLiteral("site 00123"));
        const int64_t id = std::get<std::optional<archive::ReportSummary>>(latest)->id;
        auto found = findingsOfReport(*archive, id);
        benchmark::DoNotOptimize(found);
    }
}

// Its parts: the listing's queries, and the reads of the reports compared.
void BM_ListSegmentsOnly(benchmark::State& state, Engine engine) {
    const auto location = filledArchive(engine);
    if (!location) {
        state.SkipWithError("engine not available");
        return;
    }
    auto archive = openReadOnly(*location);
    const QDateTime now(QDate(2026, 3, 14), QTime(10, 0));
    for (auto _ : state) {
        auto listed = archive::listSegments(*archive, now, static_cast<int>(state.range(0)));
        benchmark::DoNotOptimize(listed);
    }
}
void BM_ReadReports(benchmark::State& state, Engine engine) {
    const auto location = filledArchive(engine);
    if (!location) {
        state.SkipWithError("engine not available");
        return;
    }
    auto archive = openReadOnly(*location);
    std::vector<int64_t> ids;
    for (int64_t id = 1; id <= 4000; ++id) ids.push_back(id * 25);
    for (auto _ : state) {
        auto read = archive::reportsForReading(*archive, ids, state.range(0) != 0);
        benchmark::DoNotOptimize(read);
    }
}

BENCHMARK_CAPTURE(BM_ListSegmentsOnly, sqlite, Engine::Sqlite)
    ->Arg(0)
    ->Arg(kRecentReportsRead)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ListSegmentsOnly, postgres, Engine::Postgres)
    ->Arg(0)
    ->Arg(kRecentReportsRead)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ReadReports, sqlite, Engine::Sqlite)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ReadReports, postgres, Engine::Postgres)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SegmentsWithWorstFinding, sqlite, Engine::Sqlite)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SegmentsWithWorstFinding, postgres, Engine::Postgres)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DiagnoseSegment, sqlite, Engine::Sqlite)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DiagnoseSegment, postgres, Engine::Postgres)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace ksx4

BENCHMARK_MAIN();
