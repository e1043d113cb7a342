#pragma once
// Decoding stored reports from state.flashImage: the eight slots, their
// checksum, field decoding and the two record layouts.
#include <QDateTime>
#include <QLocale>
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
// A field reaching past the image's end is refused the same way.
QString readFlashField(ProgramState& state, int start, int length, FlashFieldKind kind);
// The same, writing time stamps in the given locale's formats.
QString readFlashField(ProgramState& state, int start, int length, FlashFieldKind kind,
                       const QLocale& locale);

// The moment of a 4-byte time stamp (2.048-second ticks from 1 January 1972,
// high byte first), rounded to the nearest whole second in integers
// (ticks x 2048 ms); a tick count never lands on half a second, since 2048
// ms ticks are whole multiples of 8 ms, but a half would round up. Counted in
// UTC, so no zone or daylight saving shift applies. nullopt when the first
// byte is 0 (no time stored). The caller keeps start..start+3 in range.
std::optional<QDateTime> flashTimeStamp(const ProgramState& state, int start);

// The locale's short date, a blank and its long time format without any
// time-zone part; the date alone when the moment is exactly midnight.
QString generalDateText(const QDateTime& moment, const QLocale& locale = QLocale::system());

// The location name stored with the report at slotBase, trailing blanks
// removed: the workbook's left footer.
QString storedLocationName(ProgramState& state, int slotBase);

// Raw values at a flash address; the caller keeps the address in range.
uint8_t flashByte(const ProgramState& state, int address);
uint16_t flashWord(const ProgramState& state, int address);  // low byte first

bool slotHoldsReport(const ProgramState& state, int slot);
bool slotChecksumGood(const ProgramState& state, int slot);
// Occupied entries (status byte not 0) of the slot's device table; the
// layout follows state.testerType.
uint16_t countDeviceEntries(const ProgramState& state, int slot);
// The same for the slot at slotBase.
uint16_t countDeviceEntriesAt(const ProgramState& state, int slotBase);

}  // namespace ksx4
