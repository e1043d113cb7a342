#include "core/connection.h"
#include "core/device_count_poll.h"
#include "core/end_program.h"
#include "core/main_window_form.h"
#include "core/operator.h"
#include "core/pause.h"
#include "core/program_state.h"
#include "platform/link_library.h"

namespace ksx4 {
namespace {

void discoverTester(ProgramState& state) {
    for (;;) {
        const int32_t count = pollDeviceCount(state.link);
        if (count == 1) {
            state.ui.setStatus(QStringLiteral("Found KSX-4"));
            pauseMs(state, 1000);
            state.ui.setStatus(QStringLiteral("Ready"));
            state.ui.processEvents();
            return;
        }
        Answer answer;
        if (count == 0) {
            state.ui.setStatus(QStringLiteral("KSX-4 not found"));
            answer =
                state.ui.askToConnectTester(QStringLiteral("Connect KSX-4 to the PC USB port"));
        } else {
            state.ui.setStatus(QStringLiteral("Found more than one KSX-4"));
            answer =
                state.ui.askToConnectTester(QStringLiteral("Only connect one KSX-4 at a time"));
        }
        if (answer == Answer::Cancel) {
            state.ui.setStatus(QStringLiteral("Exiting"));
            pauseMs(state, 500);
            throw EndProgram{};
        }
        pauseMs(state, 1000);
        state.ui.processEvents();
    }
}

}  // namespace

void startProgram(ProgramState& state, MainWindowForm& window) {
    window.hideEngineeringEntries();
    try {
        // Clears whatever connection an earlier run left; the first call also
        // loads the link library.
        state.link.closeDevice();
        state.link.closeDevice();
    } catch (const LinkLibraryUnavailable& error) {
        // The window stays hidden: nothing can be done without the library.
        state.ui.message(QString::fromLocal8Bit(error.what()));
        throw EndProgram{};
    }
    window.showMainWindow();
    try {
        discoverTester(state);
    } catch (const EndProgram&) {
        throw;
    } catch (const std::exception& error) {
        state.ui.message(QString::fromLocal8Bit(error.what()));
    }
}

}  // namespace ksx4
