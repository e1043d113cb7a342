#pragma once
// Decoding stored reports from state.flashImage: the eight slots, their
// checksum, field decoding and the two record layouts.
#include <QDateTime>
#include <QString>

#include <cstdint>
#include <optional>

namespace ksx4 {

struct ProgramState;

enum class FlashFieldKind { Text = 0, Number = 1, TimeStamp = 2 };

// Text: every byte through the ANSI code page, nothing trimmed. Number: the
// low-byte-first word for length 2, else the byte, in decimal. Time stamp:
// "Not Available" when the first byte is 0, else one blank followed by the
// moment in the system's short date and long time format (the date alone at
// midnight). A start outside 0..32767 shows "Error Extracting data from Raw
// Array" and gives empty text.
QString readFlashField(ProgramState& state, int start, int length, FlashFieldKind kind);

// The moment of a 4-byte time stamp (2.048-second ticks from 1 January 1972,
// high byte first); nullopt when its first byte is 0 (no time stored).
std::optional<QDateTime> flashTimeStamp(const ProgramState& state, int start);

bool slotHoldsReport(const ProgramState& state, int slot);
bool slotChecksumGood(const ProgramState& state, int slot);
// Occupied entries (status byte not 0) of the slot's device table; the
// layout follows state.testerType.
uint16_t countDeviceEntries(const ProgramState& state, int slot);

}  // namespace ksx4
