#include "core/connection.h"

#include "core/device_count_poll.h"
#include "core/end_program.h"
#include "core/fatal_ending.h"
#include "core/operator.h"
#include "core/pause.h"
#include "core/program_state.h"
#include "platform/link_library.h"

#include <array>

namespace ksx4 {
namespace {

// openTesterConnection tries to open this many times.
constexpr int kOpenAttempts = 501;
constexpr int64_t kRoundPauseMs = 1000;

const std::array<const char*, 13> kReturnCodeNames = {
    "OPERATION_SUCCESS",        "DEVICE_ALREADY_OPENED",    "DEVICE_NOT_OPENED_YET",
    "COULD_NOT_OPEN_FILE",      "BAD_HEX_LINE_CHECKSUM",    "SHORT_HEX_FILE",
    "UNKNOWN_LINE_IN_HEX_FILE", "UNKNOWN_HEX_FILE_FAILURE", "DEVICE_COULD_NOT_BE_OPENED",
    "OPERATION_FAILURE",        "BAD_BUFFER_LENGTH",        "BAD_MEMORY_ADDRESS",
    "MEMORY_OPERATION_OVERRUN",
};

}  // namespace

QString returnCodeName(int32_t code) {
    if (code < 0) return {};
    if (code >= static_cast<int32_t>(kReturnCodeNames.size())) {
        return QStringLiteral("UNKNOWN_ERROR");
    }
    return QString::fromLatin1(kReturnCodeNames[static_cast<std::size_t>(code)]);
}

int16_t waitForTester(ProgramState& state) {
    for (;;) {
        pauseMs(state, kRoundPauseMs);
        QStringList lines;
        const bool found = pollDeviceCount(state.link, &lines) == 1;
        // One append per round keeps the list fast with thousands of lines.
        state.ui.appendToList(lines);
        if (found) return 0;

        const Answer answer =
            state.ui.askToConnectTester(QStringLiteral("Unable to find a connected KSX-4") + kCrLf +
                                        kCrLf + QStringLiteral("Connect KSX-4 to the PC USB port"));
        if (answer == Answer::Cancel) return 2;
        state.ui.processEvents();
    }
}

void openTesterConnection(ProgramState& state, bool showOpening) {
    state.link.closeDevice();
    state.link.closeDevice();
    if (showOpening) state.ui.setStatus(QStringLiteral("Opening KSX-4"));
    if (waitForTester(state) != 0) throw EndProgram{};

    int32_t result = -1;
    for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
        result = state.link.openDevice(0);
        if (result == OPERATION_SUCCESS) return;
    }
    endProgramWithMessage(
        state, QStringLiteral("Unable to Open KSX-4. Return Value: ") + QString::number(result),
        result);
}

void closeTesterConnection(ProgramState& state) {
    const int32_t result = state.link.closeDevice();
    if (result == OPERATION_SUCCESS) return;
    endProgramWithMessage(state, QStringLiteral("Unable to Close KSX-4"), result);
}

}  // namespace ksx4
