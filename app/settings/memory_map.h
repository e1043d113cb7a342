#pragma once
// The tester's two memories: where every field the program uses lies, how it
// is encoded, and the shared encoder and decoder. Use these names instead of
// bare addresses everywhere.
#include <QLocale>
#include <QString>

#include <array>
#include <cstdint>
#include <optional>

namespace ksx4 {

class Operator;
struct ProgramState;

namespace eeprom {

enum class FieldKind { Text, Word };

struct Field {
    int address;
    int length;
    FieldKind kind;
};

inline constexpr int kSize = 256;
inline constexpr int kImageReadLength = 255;  // one read fills addresses 0..254

// Calibration table (words).
inline constexpr Field kDcvSlope{0, 2, FieldKind::Word};
inline constexpr Field kDcvOffset{2, 2, FieldKind::Word};
inline constexpr Field kSigSlope{4, 2, FieldKind::Word};
inline constexpr Field kSigOffset{6, 2, FieldKind::Word};
// Noise rows k = 1..4, each three words: slope, offset, range end.
inline constexpr int kLowNoiseRowBase = 8;
inline constexpr int kFieldbusNoiseRowBase = 44;
inline constexpr int kHighNoiseRowBase = 80;
constexpr int noiseRowAddress(int bandBase, int row) {
    return bandBase + 6 * (row - 1);
}

inline constexpr Field kRetransmitLimit{112, 2, FieldKind::Word};
inline constexpr Field kEraseIndicator{114, 2, FieldKind::Word};
inline constexpr uint16_t kEraseAllValue = 21845;  // 0x5555: erase reports at next start

// Report names: location n = 1..8, 15 characters filled up with blanks.
inline constexpr int kReportNameLength = 15;
inline constexpr int kLocationCount = 8;
constexpr Field reportName(int location) {
    return {116 + kReportNameLength * (location - 1), kReportNameLength, FieldKind::Text};
}

// OK/BAD limits.
inline constexpr Field kVoltageLimit{236, 2, FieldKind::Word};       // minimum, mV
inline constexpr Field kSignalLimit{238, 2, FieldKind::Word};        // minimum, mV
inline constexpr Field kAvgLowNoiseLimit{240, 2, FieldKind::Word};   // maximum, mV
inline constexpr Field kPeakLowNoiseLimit{242, 2, FieldKind::Word};  // maximum, mV
inline constexpr Field kAvgFieldbusNoiseLimit{244, 2, FieldKind::Word};
inline constexpr Field kPeakFieldbusNoiseLimit{246, 2, FieldKind::Word};
inline constexpr Field kAvgHighNoiseLimit{248, 2, FieldKind::Word};
inline constexpr Field kPeakHighNoiseLimit{250, 2, FieldKind::Word};

inline constexpr Field kCalibrationTemperature{252, 2, FieldKind::Word};
// Serial number; a KSX-4-PA stores its number plus 32768.
inline constexpr Field kSerialNumber{254, 2, FieldKind::Word};
inline constexpr uint32_t kPaSerialBase = 32768;

}  // namespace eeprom

namespace flash {

inline constexpr int kSize = 32768;
inline constexpr int kImageReadLength = 32767;  // one read fills addresses 0..32766
inline constexpr int kBootBlockEnd = 0x0800;    // 0x0000..0x07FF is never written
inline constexpr int kSlotCount = 8;
inline constexpr int kSlotSize = 256;
inline constexpr int kFirstSlotBase = 29952;  // 0x7500
constexpr int slotBase(int slot) {
    return kFirstSlotBase + kSlotSize * (slot - 1);
}
inline constexpr int kSlotChecksumOffset = 254;
inline constexpr int kSlotStatusOffset = 255;
inline constexpr int kSlotHoldsReport = 2;
inline constexpr int kFirmwareMarker = 32001;  // 0x7D01
inline constexpr int kUnmarkedFirmware = 255;

}  // namespace flash

// Decodes a field of state.eepromImage. Text: every byte through the ANSI code
// page, trailing blanks included. Word: decimal text of the high-byte-first
// word; a word of 32768 or more shows "Error Extracting data from raw EEPROM
// array" and gives empty text.
QString readEepromField(ProgramState& state, int offset, int length, eeprom::FieldKind kind);
inline QString readEepromField(ProgramState& state, const eeprom::Field& field) {
    return readEepromField(state, field.address, field.length, field.kind);
}

// Decimal text to a word, high byte first. On failure a message has been
// shown, ok is false and the bytes are two blanks. numberFormat: how the
// text writes its number; an editor passes the number format its boxes were
// checked in, so that both read the same number. The default is the plain
// form the program itself writes ("21845", "150.5", no group separators).
struct EncodedWord {
    bool ok = false;
    std::array<uint8_t, 2> bytes{0x20, 0x20};
};
QLocale plainNumberFormat();
EncodedWord encodeWord(Operator& ui, const QString& text,
                       const QLocale& numberFormat = plainNumberFormat());
// The message encodeWord shows for a whole number that has no word (negative
// or above 65535); nullopt when it can be stored.
std::optional<QString> unstorableWordReason(double whole);

// Opens the connection and fills state.eepromImage with one 255-byte read,
// retried up to 11 reads; ends the program after the 11th failure.
void readEepromImage(ProgramState& state);

// The tester's kind from its serial number (one 2-byte read): 0 KSX-4,
// 1 KSX-4-PA, 2 could not be read.
uint16_t readTesterType(ProgramState& state);

}  // namespace ksx4
