#pragma once
// Writes one stored report's values, limits, judgements, device table and
// summary into the template in state.reportSheet.
#include <QLocale>

#include <cstdint>

namespace ksx4 {

struct ProgramState;

// False on any failure, without a message of its own. A limit that the
// EEPROM image cannot give (its decoder has shown why) is such a failure: no
// measurement is judged against an unknown limit. So is a deviceEntryCount
// that disagrees with the slot's device table, or a slot outside the image.
// Volts and time stamps follow the system's regional settings.
bool fillReport(ProgramState& state, int slot, int slotBase, uint16_t deviceEntryCount);
// The same in the given locale.
bool fillReport(ProgramState& state, int slot, int slotBase, uint16_t deviceEntryCount,
                const QLocale& locale);

}  // namespace ksx4
