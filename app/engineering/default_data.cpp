#include "engineering/default_data.h"

#include "core/connection.h"
#include "core/operator.h"
#include "core/pause.h"
#include "core/program_state.h"
#include "engineering/cal_table.h"
#include "platform/ansi_text.h"
#include "platform/link_library.h"
#include "settings/defaults.h"
#include "settings/memory_map.h"

#include <exception>

namespace ksx4 {
namespace {

constexpr int64_t kStepPauseMs = 1000;

// Encodes and writes one word; 0, the write's code, or 9 after message when
// the value cannot be encoded.
int32_t writeWord(ProgramState& state, int address, uint16_t value, const QString& message) {
    const EncodedWord word = encodeWord(state.ui, QString::number(value));
    if (!word.ok) {
        state.ui.message(message);
        return OPERATION_FAILURE;
    }
    return state.link.writeEEMemory(static_cast<uint32_t>(address), 2, word.bytes.data());
}

int32_t writeDefaults(ProgramState& state) {
    state.link.closeDevice();
    state.link.closeDevice();
    if (const int16_t found = waitForTester(state); found != 0) return found;
    state.ui.setStatus(QStringLiteral("Opening Device"));
    if (const int32_t opened = state.link.openDevice(0); opened != OPERATION_SUCCESS) {
        return opened;
    }

    pauseMs(state, kStepPauseMs);
    state.ui.setStatus(QStringLiteral("Writing default file names to EEPROM"));
    for (int location = 1; location <= eeprom::kLocationCount; ++location) {
        const eeprom::Field field = eeprom::reportName(location);
        const QByteArray name = textToAnsi(storedDefaultReportName(location));
        const int32_t result = state.link.writeEEMemory(
            static_cast<uint32_t>(field.address), static_cast<uint32_t>(field.length),
            reinterpret_cast<const uint8_t*>(name.constData()));
        if (result != OPERATION_SUCCESS) return result;
    }

    pauseMs(state, kStepPauseMs);
    state.ui.setStatus(QStringLiteral("Writing default OK/BAD/HIGH limits to EEPROM"));
    for (const LimitDefault& limit : kDefaultLimits) {
        const int32_t result = writeWord(
            state, limit.field.address, limit.value,
            QStringLiteral("makeSends error: Write default OK/BAD/HIGH limits to EEPROM"));
        if (result != OPERATION_SUCCESS) return result;
    }

    pauseMs(state, kStepPauseMs);
    state.ui.setStatus(QStringLiteral("Writing default voltage and signal level parameters"));
    for (const cal::DcDefault& dc : cal::kDcDefaults) {
        const int32_t result = writeWord(
            state, static_cast<int>(cal::tableAddress(dc.box)), dc.value,
            QStringLiteral("makeSends error: Write default voltage and signal level parameters"));
        if (result != OPERATION_SUCCESS) return result;
    }

    pauseMs(state, kStepPauseMs);
    state.ui.setStatus(QStringLiteral("Default data write complete"));
    return OPERATION_SUCCESS;
}

}  // namespace

int32_t makeSends(ProgramState& state) {
    try {
        return writeDefaults(state);
    } catch (const std::exception& error) {
        state.ui.message(QStringLiteral("Command Error: ") + QString::fromLocal8Bit(error.what()));
        // Not success: nothing says the defaults were written.
        return OPERATION_FAILURE;
    }
}

}  // namespace ksx4
