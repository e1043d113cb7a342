#include "core/connection.h"

#include "core/end_program.h"
#include "core/operator.h"
#include "core/pause.h"
#include "core/program_state.h"
#include "platform/link_library.h"
#include "settings/memory_map.h"

#include <array>

namespace ksx4 {
namespace {

// waitForTester polls the device count this many times per round.
constexpr int kDeviceCountPolls = 2001;
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
    const QString prefix = QStringLiteral("TessCommGetDeviceCount = ");
    for (;;) {
        pauseMs(state, kRoundPauseMs);
        QStringList lines;
        bool found = false;
        for (int poll = 0; poll < kDeviceCountPolls && !found; ++poll) {
            const int32_t count = state.link.getDeviceCount();
            lines.append(prefix + QString::number(count));
            found = count == 1;
        }
        // One append per round keeps the list fast with thousands of lines.
        state.ui.appendToList(lines);
        if (found) return 0;

        const Answer answer =
            state.ui.message(QStringLiteral("Unable to find a connected KSX-4") + kCrLf + kCrLf +
                                 QStringLiteral("Connect KSX-4 to the PC USB port"),
                             Buttons::OkCancel, Icon::Critical);
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
    state.ui.message(QStringLiteral("Unable to Open KSX-4. Return Value: ") +
                         QString::number(result) + kCrLf + kCrLf + returnCodeName(result) + kCrLf +
                         kCrLf + QStringLiteral("Exiting Program"),
                     Buttons::Ok, Icon::Critical);
    throw EndProgram{};
}

void closeTesterConnection(ProgramState& state) {
    const int32_t result = state.link.closeDevice();
    if (result == OPERATION_SUCCESS) return;
    state.ui.message(QStringLiteral("Unable to Close KSX-4") + kCrLf + kCrLf +
                         returnCodeName(result) + kCrLf + kCrLf + QStringLiteral("Exiting Program"),
                     Buttons::Ok, Icon::Critical);
    throw EndProgram{};
}

uint16_t readTesterType(ProgramState& state) {
    std::array<uint8_t, eeprom::kSerialNumber.length> serialBytes{};
    const int32_t result = state.link.readEEMemory(
        eeprom::kSerialNumber.address, eeprom::kSerialNumber.length, serialBytes.data());
    if (result != OPERATION_SUCCESS) return kTypeUnknown;
    const uint32_t serial = serialBytes[0] * 256u + serialBytes[1];
    return serial >= eeprom::kPaSerialBase ? kKsx4Pa : kKsx4;
}

}  // namespace ksx4
