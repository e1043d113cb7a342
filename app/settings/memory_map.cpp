#include "settings/memory_map.h"

#include "core/connection.h"
#include "core/fatal_ending.h"
#include "core/operator.h"
#include "core/program_state.h"
#include "platform/ansi_text.h"
#include "platform/link_library.h"

#include <cmath>

namespace ksx4 {
namespace {

constexpr uint32_t kLargestReadableWord = 32767;
constexpr double kLargestWord = 65535;
constexpr int kImageReadAttempts = 11;

}  // namespace

QString readEepromField(ProgramState& state, int offset, int length, eeprom::FieldKind kind) {
    const auto& image = state.eepromImage;
    // A field outside the image is a caller's mistake; never read past it.
    if (offset < 0 || length < 0 || offset + length > static_cast<int>(image.size())) return {};
    const uint8_t* bytes = image.data() + offset;
    if (kind == eeprom::FieldKind::Text) {
        return ansiToText(bytes, static_cast<std::size_t>(length));
    }
    if (length != 2) return {};
    const uint32_t word = bytes[0] * 256u + bytes[1];
    if (word > kLargestReadableWord) {
        state.ui.message(QStringLiteral("Error Extracting data from raw EEPROM array"));
        return {};
    }
    return QString::number(word);
}

std::optional<QString> unstorableWordReason(double whole) {
    if (whole > kLargestWord) return QStringLiteral("Entered values should be less than 4 digits");
    // A negative value has no word; storing its low 16 bits would put a huge
    // limit into the tester.
    if (whole < 0) return QStringLiteral("Entered values should not be negative");
    return std::nullopt;
}

QLocale plainNumberFormat() {
    QLocale plain = QLocale::c();
    plain.setNumberOptions(QLocale::RejectGroupSeparator);
    return plain;
}

EncodedWord encodeWord(Operator& ui, const QString& text, const QLocale& numberFormat) {
    EncodedWord result;
    if (text.isEmpty()) {
        ui.message(QStringLiteral("Enter value"));
        return result;
    }
    bool isNumber = false;
    const double number = numberFormat.toDouble(text.trimmed(), &isNumber);
    if (!isNumber || !std::isfinite(number)) {
        ui.message(QStringLiteral("Command Error: Type mismatch"));
        return result;
    }
    // Halfway values round away from zero: 150.5 is stored as 151.
    const double whole = std::round(number);
    if (const auto problem = unstorableWordReason(whole)) {
        ui.message(*problem);
        return result;
    }
    const auto value = static_cast<uint32_t>(whole);
    result.bytes = {static_cast<uint8_t>(value / 256), static_cast<uint8_t>(value % 256)};
    result.ok = true;
    return result;
}

void readEepromImage(ProgramState& state) {
    // Read into a copy: a failed read leaves part of the buffer filled, and
    // the image must never show such a mix.
    std::array<uint8_t, eeprom::kSize> fresh{};
    int32_t result = OPERATION_SUCCESS;
    for (int retries = 0; retries < kImageReadAttempts; ++retries) {
        openTesterConnection(state, retries == 0);
        result = state.link.readEEMemory(0, eeprom::kImageReadLength, fresh.data());
        if (result == OPERATION_SUCCESS) {
            state.eepromImage = fresh;
            return;
        }
        state.ui.setStatus(QStringLiteral("Data transmission error, retrying..."));
    }
    endProgramWithMessage(state, QStringLiteral("Unable to Read KSX-4"), result);
}

uint16_t readTesterType(ProgramState& state) {
    std::array<uint8_t, eeprom::kSerialNumber.length> serialBytes{};
    const int32_t result = state.link.readEEMemory(
        eeprom::kSerialNumber.address, eeprom::kSerialNumber.length, serialBytes.data());
    if (result != OPERATION_SUCCESS) return kTypeUnknown;
    const uint32_t serial = serialBytes[0] * 256u + serialBytes[1];
    state.testerSerialWord = static_cast<uint16_t>(serial);
    return serial >= eeprom::kPaSerialBase ? kKsx4Pa : kKsx4;
}

}  // namespace ksx4
