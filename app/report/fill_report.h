#pragma once
// Writes one stored report's values, limits, judgements, device table and
// summary into the template in session.reportSheet.
#include <QLocale>

#include <cstdint>
#include <vector>

namespace ksx4 {

namespace archive {
struct JudgedValue;
}

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
// The same, appending to judged every value the sheet judges (and the lowest
// device signal where the tester saw none to judge), in sheet order, with
// the texts of its B, C and D cells.
bool fillReport(ProgramState& state, TransferSession& session, int slot, int slotBase,
                uint16_t deviceEntryCount, const QLocale& locale,
                std::vector<archive::JudgedValue>* judged);

}  // namespace ksx4
