// ksx4_assistant: the program's wiring (the state, the one operation runner,
// the windows with their handlers), start-up, then the event loop.
#include "archive_view/archive_handlers.h"
#include "archive_view/archive_window.h"
#include "core/clock.h"
#include "core/main_window.h"
#include "core/operation_runner.h"
#include "core/program_state.h"
#include "engineering/cal_handlers.h"
#include "engineering/cal_window.h"
#include "engineering/noise_calibration.h"
#include "engineering/noise_test.h"
#include "firmware/firmware_update.h"
#include "platform/gpib_binding.h"
#include "platform/link_library.h"
#include "platform/pooled_threads.h"
#include "platform/qt/qt_operator.h"
#include "report/transfer.h"
#include "settings/erase_reports.h"
#include "settings/limits_editor.h"
#include "settings/limits_window.h"
#include "settings/report_names_editor.h"
#include "settings/report_names_window.h"

#include <QApplication>
#include <QDir>
#include <QSettings>

#include <memory>

namespace {

// The editor windows: each made at its first use, then only hidden and shown,
// so that its boxes keep their contents. The runner is known once the main
// window exists.
struct EditorWindows {
    ksx4::OperationRunner* runner = nullptr;
    std::unique_ptr<ksx4::LimitsWindow> limits;
    std::unique_ptr<ksx4::ReportNamesWindow> names;
    std::unique_ptr<ksx4::ArchiveWindow> archive;
    QSettings settings;

    ksx4::LimitsWindow& limitsWindow(ksx4::ProgramState& state) {
        if (!limits) limits = std::make_unique<ksx4::LimitsWindow>(state, *runner);
        return *limits;
    }
    ksx4::ReportNamesWindow& namesWindow(ksx4::ProgramState& state) {
        if (!names) names = std::make_unique<ksx4::ReportNamesWindow>(state, *runner);
        return *names;
    }
    ksx4::ArchiveWindow& archiveWindow(ksx4::ProgramState& state) {
        if (!archive) archive = std::make_unique<ksx4::ArchiveWindow>(state, *runner, settings);
        return *archive;
    }
};

ksx4::MainWindowHandlers mainWindowHandlers(EditorWindows& editors) {
    ksx4::MainWindowHandlers handlers;
    // The transfer keeps its reports in the archive the archive window shows.
    handlers.transferReports = [&editors](ksx4::ProgramState& state, ksx4::MainWindowForm& window) {
        ksx4::cmddownloaddata_Click(state,
                                    {.alsoSavePdf = window.alsoSaveReportsAsPdf(),
                                     .archive = ksx4::windowArchiveLocation(editors.settings)});
        // The archive window open meanwhile shows what the transfer kept.
        if (editors.archive && editors.archive->isVisible()) editors.archive->refresh();
    };
    handlers.eraseReports = [](ksx4::ProgramState& state, ksx4::MainWindowForm&) {
        ksx4::mnuErase_Click(state);
    };
    handlers.okBadLimits = [&editors](ksx4::ProgramState& state, ksx4::MainWindowForm&) {
        ksx4::mnuOKBADLimits_Click(state, editors.limitsWindow(state));
    };
    handlers.reportNames = [&editors](ksx4::ProgramState& state, ksx4::MainWindowForm&) {
        ksx4::mnuReportNames_Click(state, editors.namesWindow(state));
    };
    handlers.reportArchive = [&editors](ksx4::ProgramState& state, ksx4::MainWindowForm&) {
        ksx4::mnuReportArchive_Click(state, editors.archiveWindow(state), editors.settings);
    };
    handlers.updateFirmware = [](ksx4::ProgramState& state, ksx4::MainWindowForm&) {
        ksx4::cmdloadflash_Click(state);
    };
    return handlers;
}

// The engineering menu entries (hidden and disabled from the start): the
// noise procedures drive the generator through the program's one GPIB
// binding, and "EEPROM Access " shows the calibration window.
ksx4::MainWindowHandlers withEngineeringHandlers(ksx4::MainWindowHandlers handlers,
                                                 ksx4::Gpib& gpib, ksx4::CalWindow& calWindow) {
    handlers.noiseCalibration = [&gpib](ksx4::ProgramState& state, ksx4::MainWindowForm& window) {
        ksx4::mnuManCal_Click(state, window, gpib);
    };
    handlers.noiseTest = [&gpib](ksx4::ProgramState& state, ksx4::MainWindowForm& window) {
        ksx4::mnuManTest_Click(state, window, gpib);
    };
    handlers.eepromAccess = [&calWindow](ksx4::ProgramState& state, ksx4::MainWindowForm&) {
        ksx4::mnuEngCal_Click(state, calWindow);
    };
    return handlers;
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    ksx4::joinPooledThreadsWhenTheApplicationEnds();
    QApplication::setApplicationName(QStringLiteral("KSX-4 Assistant"));
    QApplication::setOrganizationName(QStringLiteral("KSX-4 Assistant"));  // the settings' folder
    QApplication::setApplicationVersion(QStringLiteral(KSX4_PROJECT_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("example.tessel.KSX4Assistant"));
    // The program's own folder is the current folder, as on every start.
    QDir::setCurrent(QCoreApplication::applicationDirPath());

    // Outlives the runner and the state its windows use: nothing of theirs
    // runs once the event loop has ended.
    EditorWindows editors;
    ksx4::SteadyClock clock;
    ksx4::LinkLibrary link;  // loaded at its first call
    ksx4::GpibBinding gpib;  // loaded at its first call, like the link library
    ksx4::CalWindow calWindow;
    ksx4::MainWindow window(withEngineeringHandlers(mainWindowHandlers(editors), gpib, calWindow));
    ksx4::QtOperator ui(&window, window.statusField(), window.statusList());
    ui.setBusyArea(window.busyArea());
    ksx4::ProgramState state(ui, clock, link);
    // Closing the main window runs its exit sequence; the other windows go
    // with it.
    ksx4::OperationRunner runner(ui, [] { QApplication::closeAllWindows(); });
    editors.runner = &runner;
    window.attach(state, runner);
    calWindow.attach(state, runner);

    if (!window.start()) return 0;
    return QApplication::exec();
}
