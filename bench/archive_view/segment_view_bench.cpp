// The segment view's cost on an SQLite archive of 100,000 reports in 2,000
// segments, 50 visits each, every report with its source bytes and judged
// values as a transfer keeps them (each tenth segment's latest report with
// a device's signal fallen): the archive window opened until its first
// segment rows are painted, and one segment's findings and comparison read.
#include "archive/archive.h"
#include "archive_view/archive_handlers.h"
#include "archive_view/archive_session.h"
#include "archive_view/archive_window.h"
#include "archive_view/segment_table_model.h"
#include "archive_view/segment_view_window.h"
#include "core/operation_runner.h"
#include "core/program_state.h"
#include "platform/link_library.h"
#include "report/segment_detail.h"
#include "scripted_operator.h"
#include "settings/memory_map.h"
#include "tester_image.h"

#include <QApplication>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>

namespace ksx4 {
namespace {

constexpr int kSegments = 2'000;
constexpr int kVisits = 50;

QTemporaryDir& workFolder() {
    static QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/ksx4-segment-bench-XXXXXX"));
    return folder;
}

// A KSX-4 report of ten devices at 800..890 mV, device 20 at device20.
archive::ArchivedReport visitReport(uint16_t device20, int seed) {
    sim::TesterImage image = sim::blankTester(false, 1001);
    sim::Report r;
    r.locationName = "Template";
    r.savedTicks = 900'000'000;
    r.connectedTicks = r.savedTicks - 300;
    r.voltage = 24000;
    r.lasAddress = 16;
    r.activeDevices = 10;
    archive::ArchivedReport report;
    report.values = {
        {"voltage", std::nullopt, 24000, "24.0V", 9000, "9.0V Minimum", "OK"},
        {"signal", std::nullopt, device20, "", 150, "150mV Minimum", "OK"},
        {"ff-avg", std::nullopt, 10, "10mV", 75, "75mV Maximum", "OK"},
        {"ff-peak", std::nullopt, 20, "20mV", 75, "75mV Maximum", "OK"},
        {"lf-avg", std::nullopt, 10, "10mV", 150, "150mV Maximum", "OK"},
        {"lf-peak", std::nullopt, 20, "20mV", 150, "150mV Maximum", "OK"},
        {"hf-avg", std::nullopt, 10, "10mV", 150, "150mV Maximum", "OK"},
        {"hf-peak", std::nullopt, 20, "20mV", 150, "150mV Maximum", "OK"},
    };
    for (int d = 0; d < 10; ++d) {
        const auto address = static_cast<uint8_t>(20 + d);
        const auto signal = static_cast<uint16_t>(d == 0 ? device20 : 800 + 10 * d);
        r.devices[static_cast<std::size_t>(d)] =
            sim::DeviceEntry{.address = address, .signal = signal, .retransmits = 1};
        report.values.push_back({"signal", address, signal, "", 150, "150mV Minimum", "OK"});
        report.values.push_back({"retransmits", address, 1, "1", 10, "10", "OK"});
    }
    r.lowestSignal = device20;
    r.lowestSignalAddress = 20;
    sim::storeReport(image, false, 1, r);
    archive::ReportSummary& s = report.summary;
    s.testerSerial = 1001;
    s.slot = 1;
    s.location = QStringLiteral("Template %1").arg(seed);
    s.reportName = QStringLiteral("Report 1");
    s.saved = QStringLiteral("2026-01-01T10:00:00");
    s.transferredMs = 1'780'000'000'000 + seed;
    s.devices = 10;
    s.verdict = QStringLiteral("OK");
    s.workbookPath = QStringLiteral("/home/tech/reports/x.xls");
    s.workbookSha256 = QString(64, u'a');
    report.slotBytes = QByteArray(
        reinterpret_cast<const char*>(image.flash.data()) + flash::slotBase(1), flash::kSlotSize);
    report.slotBytes[0] = static_cast<char>(seed);  // unique bytes
    report.eepromBytes =
        QByteArray(reinterpret_cast<const char*>(image.eeprom.data()), archive::kSourceBytes);
    return report;
}

// Each report copies template 1 (healthy) or, for the latest visit of each
// tenth segment, template 2 (device 20 fallen).
bool fill(const QString& path, int64_t healthy, int64_t fallen) {
    const QString reports = QString::number(kSegments * kVisits);
    const QString templateOf =
        QStringLiteral("CASE WHEN (%1) / %2 = %3 AND (%1) % %2 % 10 = 0 THEN %4 ELSE %5 END")
            .arg(QStringLiteral("r.id - 1000"))
            .arg(kSegments)
            .arg(kVisits - 1)
            .arg(fallen)
            .arg(healthy);
    const QString segment = QStringLiteral("printf('Site %04d', i % 2000)");
    const QStringList statements{
        QStringLiteral(
            "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < %1 - 1) "
            "INSERT INTO report (id, tester_serial, tester_kind, firmware_marker, slot, "
            "slot_sha256, location, report_name, search_key, saved, transferred_ms, utc_offset, "
            "report_time, devices, verdict, workbook_path, workbook_sha256, locale_name, "
            "program_version, segment_key) "
            "SELECT 1000 + i, 1000 + i % 50, 0, 0, 1 + i % 8, 'digest' || i, %2, 'Report 1', "
            "lower(%2) || char(10) || 'report 1', "
            "strftime('%Y-%m-%dT%H:%M:%S', 1700000000 + (i / 2000) * 604800 + (i % 2000) * 60, "
            "'unixepoch'), 1700000000000 + i, 0, "
            "strftime('%Y-%m-%dT%H:%M:%S', 1700000000 + (i / 2000) * 604800 + (i % 2000) * 60, "
            "'unixepoch'), 10, 'OK', '/home/tech/reports/x.xls', 'sha', 'en_US', '2.09', "
            "lower(%2) FROM n")
            .arg(reports, segment),
        QStringLiteral("INSERT INTO report_source (report_id, slot_bytes, eeprom_bytes, "
                       "shown_texts) SELECT r.id, s.slot_bytes, s.eeprom_bytes, s.shown_texts "
                       "FROM report r JOIN report_source s ON s.report_id = %1 WHERE r.id >= 1000")
            .arg(templateOf),
        QStringLiteral("INSERT INTO judged_value (report_id, value, limit_value, position, device, "
                       "measure, judgement) SELECT r.id, v.value, v.limit_value, v.position, "
                       "v.device, v.measure, v.judgement FROM report r JOIN judged_value v ON "
                       "v.report_id = %1 WHERE r.id >= 1000 ORDER BY r.id, v.position")
            .arg(templateOf),
        QStringLiteral("DELETE FROM judged_value WHERE report_id < 1000"),
        QStringLiteral("DELETE FROM report_source WHERE report_id < 1000"),
        QStringLiteral("DELETE FROM report WHERE id < 1000"),
        QStringLiteral("ANALYZE"),
    };
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "fill");
        db.setDatabaseName(path);
        ok = db.open() && db.transaction();
        QSqlQuery query(db);
        for (const QString& sql : statements) {
            if (!ok) break;
            if (sql == QLatin1String("ANALYZE")) ok = db.commit();
            ok = ok && query.exec(sql);
            if (!ok) std::fprintf(stderr, "%s\n", qPrintable(query.lastError().text()));
        }
        db.close();
    }
    QSqlDatabase::removeDatabase("fill");
    return ok;
}

const QString& segmentArchive() {
    static const QString path = [] {
        archive::ArchiveLocation location;
        location.engine = archive::ArchiveLocation::Engine::Sqlite;
        location.path = workFolder().filePath(QStringLiteral("segments.sqlite"));
        int64_t ids[2] = {0, 0};
        {
            auto opened = archive::Archive::open(location);
            auto* made = std::get_if<std::unique_ptr<archive::Archive>>(&opened);
            if (made == nullptr) return QString();
            for (int t = 0; t < 2; ++t) {
                auto stored = (*made)->store(visitReport(t == 0 ? 800 : 540, t + 1));
                const auto* result = std::get_if<archive::StoreResult>(&stored);
                if (result == nullptr) return QString();
                ids[t] = result->id;
            }
        }
        return fill(location.path, ids[0], ids[1]) ? location.path : QString();
    }();
    return path;
}

struct Program {
    test::VirtualClock clock;
    test::ScriptedOperator ui{clock};
    LinkLibrary link;
    ProgramState state{ui, clock, link};
    OperationRunner runner{ui, [] {}};
    QSettings settings{workFolder().filePath(QStringLiteral("settings.ini")), QSettings::IniFormat};
};

// Opened until the first segment rows are painted (the report table's
// first page is asked for first, on the same connection).
void BM_SegmentViewOpensOn100000ReportsIn2000Segments(benchmark::State& bench) {
    if (segmentArchive().isEmpty()) return bench.SkipWithError("archive not made");
    ::setenv(archive::kArchiveEnvironment, segmentArchive().toUtf8().constData(), 1);
    Program program;
    int withFindings = 0;
    for (auto _ : bench) {
        auto window =
            std::make_unique<ArchiveWindow>(program.state, program.runner, program.settings);
        mnuReportArchive_Click(program.state, *window, program.settings);
        SegmentTableModel& rows = window->segmentView().segments();
        while (rows.rowCount() == 0 && rows.loading()) {
            window->session().waitIdle();
            QApplication::processEvents();
        }
        if (rows.rowCount() != kSegments) return bench.SkipWithError("segments missing");
        benchmark::DoNotOptimize(window->grab());
        bench.PauseTiming();
        withFindings = 0;
        for (int row = 0; row < rows.rowCount(); ++row)
            withFindings += rows.segment(row).worst ? 1 : 0;
        window.reset();  // waits for the selected segment's findings
        bench.ResumeTiming();
    }
    bench.counters["with_findings"] = withFindings;
    ::unsetenv(archive::kArchiveEnvironment);
}
BENCHMARK(BM_SegmentViewOpensOn100000ReportsIn2000Segments)->Unit(benchmark::kMillisecond);

// A selected segment's findings and its latest report beside its baseline.
void BM_SegmentDetailRead(benchmark::State& bench) {
    if (segmentArchive().isEmpty()) return bench.SkipWithError("archive not made");
    archive::ArchiveLocation location;
    location.engine = archive::ArchiveLocation::Engine::Sqlite;
    location.path = segmentArchive();
    auto opened = archive::Archive::open(location, archive::Archive::Access::ReadOnly);
    auto& a = *std::get<std::unique_ptr<archive::Archive>>(opened);
    for (auto _ : bench) {
        auto detail = segmentDetail(a, QStringLiteral("Site 0010"));
        const auto* found = std::get_if<std::optional<SegmentDetail>>(&detail);
        if (found == nullptr || !found->has_value() || (*found)->latest.findings.empty())
            return bench.SkipWithError("no findings read");
        benchmark::DoNotOptimize(detail);
    }
}
BENCHMARK(BM_SegmentDetailRead)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace ksx4
