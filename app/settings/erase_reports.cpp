#include "settings/erase_reports.h"

#include "core/connection.h"
#include "core/fatal_ending.h"
#include "core/operator.h"
#include "core/program_state.h"
#include "platform/link_library.h"
#include "settings/memory_map.h"

namespace ksx4 {

Outcome mnuErase_Click(ProgramState& state) {
    // The question comes only once a tester is attached and open.
    openTesterConnection(state);
    const Answer answer = state.ui.message(QStringLiteral("Erase all Reports Stored in the KSX-4?"),
                                           Buttons::OkCancel, Icon::None);
    Outcome outcome = Outcome::Cancelled;
    if (answer == Answer::Ok) {
        const EncodedWord word = encodeWord(state.ui, QString::number(eeprom::kEraseAllValue));
        if (!word.ok) return Outcome::Failed;  // never two blanks into the indicator
        const int32_t result = state.link.writeEEMemory(
            static_cast<uint32_t>(eeprom::kEraseIndicator.address),
            static_cast<uint32_t>(eeprom::kEraseIndicator.length), word.bytes.data());
        if (result != OPERATION_SUCCESS) {
            endProgramWithMessage(state, QStringLiteral("Unable to Write KSX-4 EEPROM"), result);
        }
        outcome = Outcome::Done;
    }
    state.ui.setStatus(QStringLiteral("Ready"));
    return outcome;
}

}  // namespace ksx4
