// The archive window's costs on an SQLite archive of 100,000 reports, and a
// trend chart of 10,000 points. The archive is filled with one INSERT ...
// SELECT (1,000 locations, 50 testers, every tenth report BAD).
#include "archive/archive.h"
#include "archive_view/archive_handlers.h"
#include "archive_view/archive_window.h"
#include "archive_view/report_table_model.h"
#include "archive_view/trend_window.h"
#include "core/operation_runner.h"
#include "core/program_state.h"
#include "platform/link_library.h"
#include "scripted_operator.h"

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QImage>
#include <QPainter>
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

constexpr int kReports = 100'000;

QTemporaryDir& workFolder() {
    static QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/ksx4-window-bench-XXXXXX"));
    return folder;
}

bool fill(const QString& path) {
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "fill");
        db.setDatabaseName(path);
        QSqlQuery query(db);
        ok = db.open() &&
             query.exec(
                 QStringLiteral(
                     "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                     "INSERT INTO report (tester_serial, tester_kind, firmware_marker, slot, "
                     "slot_sha256, location, report_name, search_key, saved, transferred_ms, "
                     "utc_offset, report_time, devices, verdict, workbook_path, workbook_sha256, "
                     "locale_name, program_version) "
                     "SELECT 1000 + i % 50, 0, 0, 1 + i % 8, 'digest' || i, "
                     "printf('Site %05d', i % 1000), 'Report 1', "
                     "lower(printf('Site %05d', i % 1000)) || char(10) || 'report 1', "
                     "strftime('%Y-%m-%dT%H:%M:%S', 1600000000 + i * 3600, 'unixepoch'), "
                     "1600000000000 + i * 3600000, 0, "
                     "strftime('%Y-%m-%dT%H:%M:%S', 1600000000 + i * 3600, 'unixepoch'), "
                     "i % 33, CASE WHEN i % 10 = 0 THEN 'BAD' ELSE 'OK' END, "
                     "'/home/tech/reports/x.xls', 'sha', 'en_US', '2.09' FROM n")
                     .arg(kReports)) &&
             query.exec(QStringLiteral("ANALYZE"));
        if (!ok) std::fprintf(stderr, "%s\n", qPrintable(query.lastError().text()));
        db.close();
    }
    QSqlDatabase::removeDatabase("fill");
    return ok;
}

// The archive of kReports reports, made once.
const QString& largeArchive() {
    static const QString path = [] {
        archive::ArchiveLocation location;
        location.engine = archive::ArchiveLocation::Engine::Sqlite;
        location.path = workFolder().filePath(QStringLiteral("large.sqlite"));
        if (std::holds_alternative<archive::ArchiveError>(archive::Archive::open(location)) ||
            !fill(location.path))
            return QString();
        return location.path;
    }();
    return path;
}

// What main() gives a window.
struct Program {
    test::VirtualClock clock;
    test::ScriptedOperator ui{clock};
    LinkLibrary link;
    ProgramState state{ui, clock, link};
    OperationRunner runner{ui, [] {}};
    QSettings settings{workFolder().filePath(QStringLiteral("settings.ini")), QSettings::IniFormat};
};

void BM_ArchiveWindowOpensOn100000Reports(benchmark::State& bench) {
    if (largeArchive().isEmpty()) return bench.SkipWithError("archive not made");
    ::setenv(archive::kArchiveEnvironment, largeArchive().toUtf8().constData(), 1);
    Program program;
    for (auto _ : bench) {
        ArchiveWindow window(program.state, program.runner, program.settings);
        mnuReportArchive_Click(program.state, window, program.settings);
        window.session().waitIdle();
        QApplication::processEvents();
        if (window.reports().rowCount() != ReportTableModel::kPageRows)
            return bench.SkipWithError("first page missing");
        benchmark::DoNotOptimize(window.grab());
    }
    ::unsetenv(archive::kArchiveEnvironment);
}
BENCHMARK(BM_ArchiveWindowOpensOn100000Reports)->Unit(benchmark::kMillisecond);

// The first page in each order: the time one is answered and shown after
// a click on a column heading.
void BM_FirstPageSortedBy(benchmark::State& bench) {
    if (largeArchive().isEmpty()) return bench.SkipWithError("archive not made");
    archive::ArchiveLocation location;
    location.engine = archive::ArchiveLocation::Engine::Sqlite;
    location.path = largeArchive();
    ArchiveSession session;
    session.open(location);
    ReportTableModel model(session);
    const int column = static_cast<int>(bench.range(0));
    bool descending = false;
    for (auto _ : bench) {
        descending = !descending;
        model.sort(column, descending ? Qt::DescendingOrder : Qt::AscendingOrder);
        session.waitIdle();
        QApplication::processEvents();
        if (model.rowCount() != ReportTableModel::kPageRows)
            return bench.SkipWithError("first page missing");
    }
}
BENCHMARK(BM_FirstPageSortedBy)
    ->ArgName("column")
    ->DenseRange(0, ReportTableModel::kColumns - 1)
    ->Unit(benchmark::kMillisecond);

TrendChart trendOf(int points) {
    TrendChart chart{QStringLiteral("Segment Voltage"), QStringLiteral("V"), 1000, {}};
    for (int i = 0; i < points; ++i) {
        archive::TrendPoint p;
        p.reportId = i + 1;
        p.time = QDateTime::fromSecsSinceEpoch(1600000000 + int64_t{i} * 3600, Qt::UTC)
                     .toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
        p.location = QStringLiteral("Site 1");
        p.value = 18000 + (i * 7919) % 9000;
        p.limit = i < points / 2 ? 19000 : 20000;  // a limit changed half-way
        p.judgement = *p.value >= *p.limit ? QStringLiteral("OK") : QStringLiteral("BAD");
        chart.points.push_back(std::move(p));
    }
    return chart;
}

// Made into a chart and drawn at the trend window's size.
void BM_TrendChartDrawn(benchmark::State& bench) {
    const TrendChart data = trendOf(static_cast<int>(bench.range(0)));
    QImage image(800, 280, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : bench) {
        QChartView view(makeTrendChart(data));
        view.setRenderHint(QPainter::Antialiasing);
        view.resize(image.size());
        image.fill(Qt::white);
        QPainter painter(&image);
        view.render(&painter);
    }
}
BENCHMARK(BM_TrendChartDrawn)->Arg(100)->Arg(10'000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace ksx4
