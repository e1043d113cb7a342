#pragma once
// Writes one stored report's values, limits, judgements, device table and
// summary into the template in session.reportSheet.
#include <QLocale>

#include <cstdint>

namespace ksx4 {

struct ProgramState;
struct TransferSession;

// False on any failure, without a message of its own: a voltage limit that
// the EEPROM image cannot give (it is shown in volts, so it must be a
// number), a deviceEntryCount that disagrees with the slot's device table,
// or a slot outside the image. Any other limit the image cannot give (its
// decoder has shown why) shows only its unit and counts as 0.
// Volts and time stamps follow the system's regional settings.
bool fillReport(ProgramState& state, TransferSession& session, int slot, int slotBase,
                uint16_t deviceEntryCount);
// The same in the given locale.
bool fillReport(ProgramState& state, TransferSession& session, int slot, int slotBase,
                uint16_t deviceEntryCount, const QLocale& locale);

}  // namespace ksx4
