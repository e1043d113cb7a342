#include "settings/limits_editor.h"

#include "core/connection.h"
#include "core/fatal_ending.h"
#include "core/operator.h"
#include "core/program_state.h"
#include "platform/link_library.h"
#include "settings/defaults.h"
#include "settings/limits_table.h"
#include "settings/memory_map.h"
#include "settings/tester_texts.h"

#include <cmath>

namespace ksx4 {
namespace {

constexpr double kMillivoltsPerVolt = 1000;

const QString kChangeThisLimit = QStringLiteral("Change this limit before saving to the KSX-4.");

QString notANumberMessage() {
    return QStringLiteral("Be sure that only numbers are entered for OK/BAD limits.") + kCrLf +
           QStringLiteral("No letters or other characters should be used.") + kCrLf +
           QStringLiteral("Check all limits before saving to the KSX-4.");
}

// The voltage as stored: whole millivolts, written with at least four
// digits (9.0 gives 9000).
QString millivoltText(double volts) {
    return QStringLiteral("%1").arg(std::llround(volts * kMillivoltsPerVolt), 4, 10,
                                    QLatin1Char('0'));
}

void fillBoxesFromImage(ProgramState& state, LimitsForm& form) {
    for (const LimitRow& row : kLimitRows) {
        // Empty text when the word cannot be decoded (the decoder has said
        // so); a later Save then asks for a number.
        const QString word = readEepromField(state, row.field);
        bool decoded = false;
        const uint16_t stored = word.toUShort(&decoded);
        form.setText(row.box,
                     decoded ? limitBoxText(row, stored, form.numberFormat(), form.voltDecimals())
                             : QString());
    }
}

// A box as it was checked.
struct CheckedBox {
    QString text;
    double number = 0;
};
using CheckedBoxes = std::array<CheckedBox, kLimitRows.size()>;

// Every box in order, lower bound then upper bound; the first failure is
// shown. All checks come before the first write, and what is written is what
// was checked: the boxes stay editable while the connection is opened.
std::optional<CheckedBoxes> checkBoxes(ProgramState& state, const LimitsForm& form) {
    CheckedBoxes checked{};
    for (std::size_t i = 0; i < kLimitRows.size(); ++i) {
        const LimitRow& row = kLimitRows[i];
        const QString text = form.text(row.box);
        const auto number = readLimitNumber(text, form.numberFormat());
        if (!number) {
            state.ui.message(notANumberMessage(), Buttons::Ok, Icon::None, kLimitsTitle);
            return std::nullopt;
        }
        const char* problem = *number < row.lower   ? row.belowMessage
                              : *number > row.upper ? row.aboveMessage
                                                    : nullptr;
        if (problem) {
            state.ui.message(QString::fromLatin1(problem) + kCrLf + kChangeThisLimit, Buttons::Ok,
                             Icon::None, kLimitsTitle);
            return std::nullopt;
        }
        checked[i] = {text, *number};
    }
    return checked;
}

}  // namespace

const LimitRow& limitRow(LimitBox box) {
    for (const LimitRow& row : kLimitRows) {
        if (row.box == box) return row;
    }
    return kLimitRows.front();
}

QString limitBoxText(const LimitRow& row, uint16_t stored, const QLocale& numberFormat,
                     int voltDecimals) {
    if (!row.inVolts) return QString::number(stored);
    QLocale format = numberFormat;
    format.setNumberOptions(QLocale::OmitGroupSeparator);
    return format.toString(stored / kMillivoltsPerVolt, 'f', voltDecimals);
}

std::optional<double> readLimitNumber(const QString& text, const QLocale& numberFormat) {
    bool isNumber = false;
    // Group separators are accepted only where the number format puts them
    // ("1,000" in en_US); a misplaced one ("1,5" there) is no number.
    const double number = numberFormat.toDouble(text.trimmed(), &isNumber);
    // "nan" and "inf" pass every bound check and could not be stored.
    if (!isNumber || !std::isfinite(number)) return std::nullopt;
    return number;
}

void mnuOKBADLimits_Click(ProgramState& state, LimitsForm& form) {
    readEepromImage(state);
    fillBoxesFromImage(state, form);
    form.show();
    state.ui.setStatus(QStringLiteral("Set OK/BAD limits"));
}

void showDefaultLimits(ProgramState&, LimitsForm& form) {
    for (const LimitRow& row : kLimitRows) {
        form.setText(row.box, limitBoxText(row, defaultLimitValue(row.field), form.numberFormat(),
                                           form.voltDecimals()));
    }
}

void readLimitsFromTester(ProgramState& state, LimitsForm& form) {
    readEepromImage(state);
    fillBoxesFromImage(state, form);
    state.ui.setStatus(QStringLiteral("OK/BAD limits read from KSX-4.  Ready..."));
}

Outcome saveLimitsToTester(ProgramState& state, LimitsForm& form) {
    const auto checked = checkBoxes(state, form);
    if (!checked) return Outcome::Refused;

    openTesterConnection(state);
    for (std::size_t i = 0; i < kLimitRows.size(); ++i) {
        const LimitRow& row = kLimitRows[i];
        const CheckedBox& box = (*checked)[i];
        // Every limit but the voltage goes as typed, read in the number
        // format it was checked in.
        const EncodedWord word =
            row.inVolts ? encodeWord(state.ui, millivoltText(box.number))
                        : encodeWord(state.ui, trimBlanks(box.text), form.numberFormat());
        if (!word.ok) {
            state.ui.message(QString::fromLatin1(row.formatMessage), Buttons::Ok, Icon::None,
                             kLimitsTitle);
            return Outcome::Failed;
        }
        const int32_t result =
            state.link.writeEEMemory(static_cast<uint32_t>(row.field.address),
                                     static_cast<uint32_t>(row.field.length), word.bytes.data());
        if (result != OPERATION_SUCCESS) {
            endProgramWithMessage(state,
                                  QString::fromLatin1(row.writeMessage) + kCrLf +
                                      QStringLiteral("TessCommWriteEEMemory Return Value: ") +
                                      QString::number(result) + kCrLf + kCrLf,
                                  std::nullopt, QString());
        }
    }
    state.ui.setStatus(QStringLiteral("OK/BAD limits written to KSX-4.  Ready..."));
    form.hide();
    return Outcome::Done;
}

void cancelLimitsEditor(ProgramState& state, LimitsForm& form) {
    form.hide();
    state.ui.setStatus(QStringLiteral("Ready"));
}

}  // namespace ksx4
