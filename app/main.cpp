// ksx4_assistant: the program's wiring (the state, the one operation runner,
// the windows with their handlers), start-up, then the event loop.
#include "core/clock.h"
#include "core/main_window.h"
#include "core/operation_runner.h"
#include "core/program_state.h"
#include "engineering/cal_handlers.h"
#include "engineering/cal_window.h"
#include "engineering/noise_calibration.h"
#include "engineering/noise_test.h"
#include "platform/gpib_binding.h"
#include "platform/link_library.h"
#include "platform/qt/qt_operator.h"
#include "report/transfer.h"

#include <QApplication>
#include <QDir>

namespace {

ksx4::MainWindowHandlers mainWindowHandlers() {
    ksx4::MainWindowHandlers handlers;
    handlers.transferReports = [](ksx4::ProgramState& state, ksx4::MainWindowForm&) {
        ksx4::cmddownloaddata_Click(state);
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
    QApplication::setApplicationName(QStringLiteral("KSX-4 Assistant"));
    QApplication::setApplicationVersion(QStringLiteral(KSX4_PROJECT_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("example.tessel.KSX4Assistant"));
    // The program's own folder is the current folder, as on every start.
    QDir::setCurrent(QCoreApplication::applicationDirPath());

    ksx4::SteadyClock clock;
    ksx4::LinkLibrary link;  // loaded at its first call
    ksx4::GpibBinding gpib;  // loaded at its first call, like the link library
    ksx4::CalWindow calWindow;
    ksx4::MainWindow window(withEngineeringHandlers(mainWindowHandlers(), gpib, calWindow));
    ksx4::QtOperator ui(&window, window.statusField(), window.statusList());
    ksx4::ProgramState state(ui, clock, link);
    // Closing the main window runs its exit sequence; the other windows go
    // with it.
    ksx4::OperationRunner runner(ui, [] { QApplication::closeAllWindows(); });
    window.attach(state, runner);
    calWindow.attach(state, runner);

    if (!window.start()) return 0;
    return QApplication::exec();
}
