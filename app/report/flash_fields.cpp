#include "report/flash_fields.h"

#include "core/operator.h"
#include "core/program_state.h"
#include "platform/ansi_text.h"
#include "report/record_layout.h"
#include "settings/memory_map.h"
#include "settings/tester_texts.h"

namespace ksx4 {
namespace {

constexpr int kTimeStampLength = 4;

// Removes the time-zone part ("t" runs outside quoted text), the brackets
// some locales put round it ("H:mm:ss (t)", "Bh:mm:ss [t]") and the blanks
// that joined it to the rest of the format.
QString withoutTimeZone(const QString& format) {
    QString result;
    bool quoted = false;
    bool skipBlanks = false;
    for (int i = 0; i < format.size(); ++i) {
        const QChar c = format[i];
        if (c == u'\'') quoted = !quoted;
        if (!quoted && c == u't') {
            while (i + 1 < format.size() && format[i + 1] == u't') ++i;
            const QChar after = i + 1 < format.size() ? format[i + 1] : QChar();
            if ((result.endsWith(u'(') && after == u')') ||
                (result.endsWith(u'[') && after == u']')) {
                result.chop(1);
                ++i;
            }
            while (result.endsWith(u' ')) result.chop(1);
            skipBlanks = result.isEmpty();
            continue;
        }
        if (skipBlanks && c == u' ') continue;
        skipBlanks = false;
        result += c;
    }
    return result;
}

// Width the field actually occupies in the image.
int fieldWidth(int length, FlashFieldKind kind) {
    switch (kind) {
        case FlashFieldKind::Number:
            return length == 2 ? 2 : 1;
        case FlashFieldKind::TimeStamp:
            return kTimeStampLength;
        case FlashFieldKind::Text:
            break;
    }
    return length;
}

}  // namespace

uint8_t flashByte(const ProgramState& state, int address) {
    return state.flashImage[static_cast<std::size_t>(address)];
}

uint16_t flashWord(const ProgramState& state, int address) {
    return static_cast<uint16_t>(flashByte(state, address) + 256 * flashByte(state, address + 1));
}

std::optional<QDateTime> flashTimeStamp(const ProgramState& state, int start) {
    if (flashByte(state, start) == 0) return std::nullopt;
    uint64_t ticks = 0;
    for (int i = 0; i < kTimeStampLength; ++i) ticks = ticks * 256 + flashByte(state, start + i);
    const uint64_t milliseconds = ticks * 2048;
    const auto seconds = static_cast<qint64>((milliseconds + 500) / 1000);
    return QDateTime(QDate(1972, 1, 1), QTime(0, 0), Qt::UTC).addSecs(seconds);
}

QString generalDateText(const QDateTime& moment, const QLocale& locale) {
    const QString date = locale.toString(moment.date(), locale.dateFormat(QLocale::ShortFormat));
    if (moment.time() == QTime(0, 0)) return date;
    return date + u' ' +
           locale.toString(moment.time(), withoutTimeZone(locale.timeFormat(QLocale::LongFormat)));
}

QString readFlashField(ProgramState& state, int start, int length, FlashFieldKind kind) {
    return readFlashField(state, start, length, kind, QLocale::system());
}

QString readFlashField(ProgramState& state, int start, int length, FlashFieldKind kind,
                       const QLocale& locale) {
    const int width = fieldWidth(length, kind);
    if (start < 0 || width < 0 || start > flash::kSize - width) {
        state.ui.message(QStringLiteral("Error Extracting data from Raw Array"));
        return {};
    }
    switch (kind) {
        case FlashFieldKind::Text:
            return ansiToText(state.flashImage.data() + start, static_cast<std::size_t>(width));
        case FlashFieldKind::Number:
            return QString::number(width == 2 ? flashWord(state, start) : flashByte(state, start));
        case FlashFieldKind::TimeStamp:
            if (const auto moment = flashTimeStamp(state, start)) {
                return u' ' + generalDateText(*moment, locale);
            }
            return QStringLiteral("Not Available");
    }
    return {};
}

bool slotHoldsReport(const ProgramState& state, int slot) {
    return flashByte(state, flash::slotBase(slot) + flash::kSlotStatusOffset) ==
           flash::kSlotHoldsReport;
}

bool slotChecksumGood(const ProgramState& state, int slot) {
    const int base = flash::slotBase(slot);
    unsigned sum = 0;
    for (int offset = 0; offset < flash::kSlotChecksumOffset; ++offset) {
        sum = (sum + flashByte(state, base + offset)) % 256;
    }
    return sum == flashByte(state, base + flash::kSlotChecksumOffset);
}

uint16_t countDeviceEntries(const ProgramState& state, int slot) {
    return countDeviceEntriesAt(state, flash::slotBase(slot));
}

uint16_t countDeviceEntriesAt(const ProgramState& state, int slotBase) {
    const record::Layout& layout =
        state.testerType == kKsx4Pa ? record::kProfibusPa : record::kFieldbus;
    uint16_t count = 0;
    for (int entry = 1; entry <= record::kDeviceEntryCount; ++entry) {
        const int status = slotBase + record::deviceEntryOffset(layout, entry) + layout.entryStatus;
        if (flashByte(state, status) != record::kEntryEmpty) ++count;
    }
    return count;
}

QString storedLocationName(ProgramState& state, int slotBase) {
    return trimBlanks(readFlashField(state, slotBase + record::kLocationName,
                                     record::kLocationNameLength, FlashFieldKind::Text));
}

}  // namespace ksx4
