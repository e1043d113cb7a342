#include "settings/report_names_editor.h"

#include "core/connection.h"
#include "core/fatal_ending.h"
#include "core/operator.h"
#include "core/program_state.h"
#include "platform/ansi_text.h"
#include "platform/link_library.h"
#include "settings/defaults.h"
#include "settings/memory_map.h"
#include "settings/tester_texts.h"

#include <algorithm>
#include <array>

namespace ksx4 {
namespace {

// Failed name writes a save survives; the next one ends the program.
constexpr int kMaxWriteFailures = 80;

const QString kChangeThisName = QStringLiteral("Change this name before saving to the KSX-4.");

QString locationText(int location) {
    return QStringLiteral("Location ") + QString::number(location);
}

// The message ends its list with the broken bar (code 166 in code page 1252)
// where the check refuses the vertical bar (code 124).
QString forbiddenCharsMessage(int location) {
    return locationText(location) + QStringLiteral(" name cannot contain \\/:*?\"<>") +
           QChar(0x00A6) + QStringLiteral(".") + kCrLf + kChangeThisName;
}

void fillBoxesFromImage(ProgramState& state, ReportNamesForm& form) {
    for (int location = 1; location <= eeprom::kLocationCount; ++location) {
        form.setText(location, readEepromField(state, eeprom::reportName(location)));
    }
}

// The 15 bytes stored for a checked name: without its leading and trailing
// blanks, filled up with blanks, in code page 1252.
std::array<uint8_t, eeprom::kReportNameLength> storedName(const QString& text) {
    std::array<uint8_t, eeprom::kReportNameLength> bytes;
    bytes.fill(' ');
    const QByteArray ansi = textToAnsi(trimBlanks(text));
    std::copy_n(ansi.begin(), std::min<qsizetype>(ansi.size(), eeprom::kReportNameLength),
                bytes.begin());
    return bytes;
}

}  // namespace

QString reportNamesInstruction() {
    return QStringLiteral(
        "The KSX-4 has eight locations available to store reports.  Report names should be from "
        "1 to 15 characters that can be letters or numbers, etc., but should not be "
        "\\/:*?\"<>|.");
}

bool checkChars(QChar character, const QString& text) {
    return text.contains(character);
}

std::optional<QString> reportNameProblem(int location, const QString& text) {
    for (QChar forbidden : kForbiddenNameChars) {
        if (checkChars(forbidden, text)) return forbiddenCharsMessage(location);
    }
    const QString name = trimBlanks(text);
    // Characters, not UTF-16 units: a character beyond the first plane counts
    // once (and is refused below).
    const auto length = name.toUcs4().size();
    if (length < 1) {
        return locationText(location) + QStringLiteral(" name not entered.") + kCrLf +
               QStringLiteral("Enter this name before saving to the KSX-4.");
    }
    if (length > eeprom::kReportNameLength) {
        return locationText(location) + QStringLiteral(" name should be 15 characters or less.") +
               kCrLf + kChangeThisName;
    }
    // Stored as something else ('?') it would name every report file wrongly.
    if (!isAnsiText(name)) {
        return locationText(location) +
               QStringLiteral(" name contains characters the KSX-4 cannot store.") + kCrLf +
               kChangeThisName;
    }
    return std::nullopt;
}

void mnuReportNames_Click(ProgramState& state, ReportNamesForm& form) {
    readEepromImage(state);
    fillBoxesFromImage(state, form);
    form.show();
    state.ui.setStatus(QStringLiteral("Edit report names"));
}

void showDefaultNames(ProgramState&, ReportNamesForm& form) {
    for (int location = 1; location <= eeprom::kLocationCount; ++location) {
        form.setText(location, defaultReportName(location));
    }
}

void readNamesFromTester(ProgramState& state, ReportNamesForm& form) {
    readEepromImage(state);
    fillBoxesFromImage(state, form);
    state.ui.setStatus(QStringLiteral("Report names read from KSX-4.  Ready..."));
}

Outcome saveNamesToTester(ProgramState& state, ReportNamesForm& form) {
    std::array<std::array<uint8_t, eeprom::kReportNameLength>, eeprom::kLocationCount> names{};
    for (int location = 1; location <= eeprom::kLocationCount; ++location) {
        const QString text = form.text(location);
        if (const auto problem = reportNameProblem(location, text)) {
            state.ui.message(*problem, Buttons::Ok, Icon::None, kReportNamesTitle);
            return Outcome::Refused;
        }
        names[static_cast<std::size_t>(location - 1)] = storedName(text);
    }

    // Counts failed writes over every location and pass of this save.
    int failures = 0;
    for (;;) {
        openTesterConnection(state, failures == 0);
        bool allWritten = true;
        for (int location = 1; location <= eeprom::kLocationCount && allWritten; ++location) {
            const eeprom::Field field = eeprom::reportName(location);
            const int32_t result = state.link.writeEEMemory(
                static_cast<uint32_t>(field.address), static_cast<uint32_t>(field.length),
                names[static_cast<std::size_t>(location - 1)].data());
            if (result == OPERATION_SUCCESS) continue;
            allWritten = false;
            ++failures;
            state.ui.setStatus(QStringLiteral("Data transmission error, retrying..."));
            if (failures > kMaxWriteFailures) {
                endProgramWithMessage(state,
                                      QStringLiteral("Unable to write report name for location ") +
                                          QString::number(location) + QStringLiteral(" to KSX-4.") +
                                          kCrLf +
                                          QStringLiteral("TessCommWriteEEMemory Return Value: ") +
                                          QString::number(result) + kCrLf + kCrLf,
                                      std::nullopt, QString());
            }
        }
        if (allWritten) break;
    }
    state.ui.setStatus(QStringLiteral("Report names written to KSX-4.  Ready..."));
    form.hide();
    return Outcome::Done;
}

void cancelNamesEditor(ProgramState& state, ReportNamesForm& form) {
    form.hide();
    state.ui.setStatus(QStringLiteral("Ready"));
}

}  // namespace ksx4
