// Screenshots of the archive window and a location's trend from the screen
// they are shown on (run under Xvfb by scripts/archive-screenshots.sh):
//   ksx4_archive_screenshots ARCHIVE LOCATION DEVICE OUTDIR
// writes OUTDIR/segment-view.png (the segments worst first, the worst
// one's findings and its comparison with its baseline),
// OUTDIR/archive-window.png (the report table), OUTDIR/report-page.png
// (the third report's first page) and OUTDIR/trend-chart.png.
#include "archive_view/archive_handlers.h"
#include "archive_view/archive_window.h"
#include "archive_view/report_pages_window.h"
#include "archive_view/report_table_model.h"
#include "archive_view/segment_view_window.h"
#include "archive_view/trend_window.h"
#include "core/operation_runner.h"
#include "core/program_state.h"
#include "platform/link_library.h"
#include "platform/pooled_threads.h"
#include "scripted_operator.h"

#include <QApplication>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

namespace {

// Lets the window manager and the painting settle without a timer: every
// pending event, a few rounds.
void settle() {
    for (int round = 0; round < 20; ++round) QApplication::processEvents();
}

bool shoot(QWidget& window, const QString& path) {
    settle();
    const QPixmap shot = window.screen()->grabWindow(window.winId());
    if (shot.isNull() || !shot.save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ksx4::joinPooledThreadsWhenTheApplicationEnds();
    if (argc != 5) {
        std::fprintf(stderr, "usage: ksx4_archive_screenshots ARCHIVE LOCATION DEVICE OUTDIR\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[4]);
    ::setenv("KSX4_ARCHIVE", argv[1], 1);
    QTemporaryDir folder;
    ksx4::test::VirtualClock clock;
    ksx4::test::ScriptedOperator ui{clock};
    ksx4::LinkLibrary link;
    ksx4::ProgramState state{ui, clock, link};
    ksx4::OperationRunner runner{ui, [] {}};
    QSettings settings{folder.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat};

    ksx4::ArchiveWindow window(state, runner, settings);
    window.resize(1200, 760);
    ksx4::mnuReportArchive_Click(state, window, settings);
    // The segments, then the worst one's findings they ask for.
    for (int round = 0; round < 3; ++round) {
        window.session().waitIdle();
        settle();
    }
    if (!shoot(window, out + QStringLiteral("/segment-view.png"))) return 1;

    window.resize(960, 560);
    window.tabs()->setCurrentIndex(1);
    window.table()->setCurrentIndex(window.reports().index(2, 0));
    if (!shoot(window, out + QStringLiteral("/archive-window.png"))) return 1;

    window.findChild<QPushButton*>(QStringLiteral("cmdOpenReport"))->click();
    ksx4::ReportPagesWindow* pages = window.reportPagesWindow();
    if (pages == nullptr || !ui.messages.empty()) {
        std::fprintf(stderr, "no pages: %s\n",
                     ui.messages.empty() ? "" : qPrintable(ui.messages.back().text));
        return 1;
    }
    pages->resize(900, 1000);
    if (!shoot(*pages, out + QStringLiteral("/report-page.png"))) return 1;

    // The trend charts the reports whose names hold the Location box's text.
    window.setText(ksx4::ArchiveBox::Location, QString::fromLocal8Bit(argv[2]));
    window.setText(ksx4::ArchiveBox::Device, QString::fromLocal8Bit(argv[3]));
    window.findChild<QPushButton*>(QStringLiteral("cmdTrend"))->click();
    ksx4::TrendWindow* trend = window.trendWindow();
    if (trend == nullptr || !ui.messages.empty()) {
        std::fprintf(stderr, "no trend: %s\n",
                     ui.messages.empty() ? "" : qPrintable(ui.messages.back().text));
        return 1;
    }
    trend->resize(900, 700);
    return shoot(*trend, out + QStringLiteral("/trend-chart.png")) ? 0 : 1;
}
