#include "core/connection.h"
#include "core/end_program.h"
#include "core/main_window_controls.h"
#include "core/operator.h"
#include "core/pause.h"
#include "core/program_state.h"
#include "platform/link_library.h"

namespace ksx4 {
namespace {

constexpr int kDeviceCountPolls = 2001;

// Polls until a count of exactly one or the polls run out; the last count.
int32_t pollDeviceCount(LinkLibrary& link) {
    int32_t count = 0;
    for (int poll = 0; poll < kDeviceCountPolls; ++poll) {
        count = link.getDeviceCount();
        if (count == 1) break;
    }
    return count;
}

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
            answer = state.ui.message(QStringLiteral("Connect KSX-4 to the PC USB port"),
                                      Buttons::OkCancel, Icon::Critical);
        } else {
            state.ui.setStatus(QStringLiteral("Found more than one KSX-4"));
            answer = state.ui.message(QStringLiteral("Only connect one KSX-4 at a time"),
                                      Buttons::OkCancel, Icon::Critical);
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

void startProgram(ProgramState& state, MainWindowControls& window) {
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
