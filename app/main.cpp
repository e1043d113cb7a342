// ksx4_assistant: start-up, then the main window's event loop.
#include "core/clock.h"
#include "core/main_window.h"
#include "core/program_state.h"
#include "platform/link_library.h"
#include "platform/qt_operator.h"
#include "report/transfer.h"

#include <QApplication>
#include <QDir>

namespace {

ksx4::MainWindowOperations mainWindowOperations() {
    ksx4::MainWindowOperations operations;
    operations.transferReports = ksx4::cmddownloaddata_Click;
    return operations;
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
    ksx4::MainWindow window(mainWindowOperations());
    ksx4::QtOperator ui(&window, window.statusField(), window.statusList());
    ksx4::ProgramState state(ui, clock, link);
    window.attach(state, ui);

    if (!window.start()) return 0;
    return QApplication::exec();
}
