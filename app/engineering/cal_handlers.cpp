#include "engineering/cal_handlers.h"

#include "core/connection.h"
#include "core/end_program.h"
#include "core/fatal_ending.h"
#include "core/operator.h"
#include "core/pause.h"
#include "core/program_state.h"
#include "engineering/cal_form.h"
#include "engineering/command_error.h"
#include "engineering/default_data.h"
#include "platform/ansi_text.h"
#include "platform/link_library.h"
#include "settings/memory_map.h"
#include "settings/tester_texts.h"

#include <algorithm>
#include <array>
#include <functional>

namespace ksx4 {
namespace {

constexpr uint32_t kLargestShownValue = 9999;  // more digits: "too large"
const QString kCloseDeviceLine = QStringLiteral("TessCommCloseDevice");

struct WordRead {
    int32_t result;
    std::array<uint8_t, 2> bytes;
    QString text() const { return QString::number(bytes[0] * 256u + bytes[1]); }
    bool tooLarge() const { return bytes[0] * 256u + bytes[1] > kLargestShownValue; }
};

WordRead readWord(ProgramState& state, uint32_t address) {
    WordRead read{OPERATION_SUCCESS, {0, 0}};
    read.result = state.link.readEEMemory(address, 2, read.bytes.data());
    return read;
}

// Whether the calibration save writes its link results into List1.
enum class ListLog { Off, On };

// The window's opening sequence: closes any connection, waits for the tester
// and opens it once.
void openCalConnection(ProgramState& state, ListLog log) {
    state.link.closeDevice();
    state.link.closeDevice();
    state.ui.setStatus(QStringLiteral("Looking for Device"));
    if (waitForTester(state) != 0) throw EndProgram{};
    state.ui.setStatus(QStringLiteral("1 Device Found"));
    pauseMs(state, 200);
    state.ui.setStatus(QStringLiteral("Opening Device"));
    const int32_t opened = state.link.openDevice(0);
    if (log == ListLog::On) {
        state.ui.appendToList({QStringLiteral("TessCommOpenDevice = ") + QString::number(opened)});
    }
    if (opened != OPERATION_SUCCESS) {
        endProgramWithMessage(
            state, QStringLiteral("Unable to Open KSX-4. Return Value: ") + QString::number(opened),
            opened);
    }
    state.ui.setStatus(QStringLiteral("Device Opened"));
    pauseMs(state, 1000);
}

// A read or write failure: the connection is closed by the fatal ending.
[[noreturn]] void linkFailure(ProgramState& state, ListLog log, const QString& text, int32_t code) {
    if (log == ListLog::On) state.ui.appendToList({kCloseDeviceLine});
    endProgramWithMessage(state, text, code);
}

void closeCalConnection(ProgramState& state) {
    const int32_t closed = state.link.closeDevice();
    if (closed != OPERATION_SUCCESS) {
        endProgramWithMessage(state, QStringLiteral("Unable to Close KSX-4"), closed);
    }
}

void showTooLarge(ProgramState& state, int box) {
    state.ui.message(QStringLiteral("Calibration value too large.") + kCrLf + kCrLf +
                     QStringLiteral("textLoc: ") + QString::number(box));
}

enum class FieldSave { Saved, NotEncoded, Mismatch };

struct FieldToSave {
    int box;
    uint32_t address;
    const char* mismatchText;
};

// Encodes a box's text, writes it, reads it back and compares the read
// value's decimal text with the box's text (so "0500" does not match 500).
FieldSave saveField(ProgramState& state, const CalForm& form, const FieldToSave& field,
                    ListLog log) {
    const QString text = trimBlanks(form.text(field.box));
    const EncodedWord word = encodeWord(state.ui, text);
    if (!word.ok) return FieldSave::NotEncoded;

    const int32_t written = state.link.writeEEMemory(field.address, 2, word.bytes.data());
    if (log == ListLog::On) {
        state.ui.appendToList(
            {QStringLiteral("TessCommWriteEEMemory = ") + QString::number(written)});
    }
    if (written != OPERATION_SUCCESS) {
        linkFailure(state, log, QStringLiteral("Unable to Write KSX-4 EEPROM"), written);
    }
    const WordRead back = readWord(state, field.address);
    if (back.result != OPERATION_SUCCESS) {
        linkFailure(state, log, QStringLiteral("Unable to Read KSX-4 EEPROM"), back.result);
    }
    if (back.text() == text) return FieldSave::Saved;

    state.link.closeDevice();
    if (log == ListLog::On) {
        state.ui.setStatus(QStringLiteral("sends = ") +
                           ansiToText(word.bytes.data(), word.bytes.size()) +
                           QStringLiteral(" reads = ") + back.text());
    }
    state.ui.message(QString::fromLatin1(field.mismatchText) + kCrLf + kCrLf);
    return FieldSave::Mismatch;
}

// Going on after a mismatch would only end the program: the connection is
// closed, so the next write (or the final close) fails.
Outcome outcomeOf(FieldSave save) {
    return save == FieldSave::NotEncoded ? Outcome::Refused : Outcome::Failed;
}

const char* const kCalibrationMismatch = "Verification of calibration write failed";

Outcome readCalibration(ProgramState& state, CalForm& form) {
    openCalConnection(state, ListLog::Off);
    state.ui.setStatus(QStringLiteral("Reading calibration data"));
    for (const int box : cal::tableWalk()) {
        const WordRead read = readWord(state, cal::tableAddress(box));
        if (read.result != OPERATION_SUCCESS) {
            linkFailure(state, ListLog::Off, QStringLiteral("Unable to Read KSX-4 EEPROM"),
                        read.result);
        }
        if (read.tooLarge()) showTooLarge(state, box);
        form.setText(box, read.text());
    }

    pauseMs(state, 1000);
    state.ui.setStatus(QStringLiteral("Reading temperature"));
    const WordRead temperature =
        readWord(state, static_cast<uint32_t>(eeprom::kCalibrationTemperature.address));
    if (temperature.result != OPERATION_SUCCESS) {
        linkFailure(state, ListLog::Off,
                    QStringLiteral("Unable to Read Temperature from KSX-4 EEPROM"),
                    temperature.result);
    }
    if (temperature.tooLarge()) {
        showTooLarge(state, cal::kTemperatureBox);
        return Outcome::Refused;
    }
    form.setText(cal::kTemperatureBox, temperature.text());

    pauseMs(state, 1000);
    state.ui.setStatus(QStringLiteral("Reading serial number"));
    const WordRead serial = readWord(state, static_cast<uint32_t>(eeprom::kSerialNumber.address));
    if (serial.result != OPERATION_SUCCESS) {
        linkFailure(state, ListLog::Off,
                    QStringLiteral("Unable to Read Serial Number from KSX-4 EEPROM"),
                    serial.result);
    }
    form.setText(cal::kSerialNumberBox, serial.text());

    pauseMs(state, 1000);
    state.ui.setStatus(QStringLiteral("Reading erase-all indicator"));
    const WordRead erase = readWord(state, static_cast<uint32_t>(eeprom::kEraseIndicator.address));
    if (erase.result != OPERATION_SUCCESS) {
        linkFailure(state, ListLog::Off,
                    QStringLiteral("Unable to read erase-all indicator from KSX-4 EEPROM"),
                    erase.result);
    }
    form.setText(cal::kEraseIndicatorBox, erase.text());

    closeCalConnection(state);
    pauseMs(state, 1000);
    state.ui.setStatus(QStringLiteral("Calibration read complete"));
    return Outcome::Done;
}

// Which boxes a save writes: every box of its button, or (on the console)
// only the boxes named.
using BoxSelection = std::function<bool(int box)>;
bool everyBox(int) {
    return true;
}

// "Save Calibration Data to EEPROM" over the selected table boxes, in the
// table walk's order.
Outcome saveCalibration(ProgramState& state, const CalForm& form, const BoxSelection& selected) {
    openCalConnection(state, ListLog::On);
    for (const int box : cal::tableWalk()) {
        if (!selected(box)) continue;
        const FieldSave save = saveField(
            state, form, {box, cal::tableAddress(box), kCalibrationMismatch}, ListLog::On);
        if (save != FieldSave::Saved) return outcomeOf(save);
    }
    closeCalConnection(state);
    state.ui.setStatus(QStringLiteral("Calibration write complete"));
    return Outcome::Done;
}

// "Save Temperature, Serial Number and Erase-all Indicator to EEPROM" over
// the selected ones, in that order.
const std::array<FieldToSave, 3> kSingleFields{{
    {cal::kTemperatureBox, static_cast<uint32_t>(eeprom::kCalibrationTemperature.address),
     kCalibrationMismatch},
    {cal::kSerialNumberBox, static_cast<uint32_t>(eeprom::kSerialNumber.address),
     kCalibrationMismatch},
    {cal::kEraseIndicatorBox, static_cast<uint32_t>(eeprom::kEraseIndicator.address),
     "Verification of erase-all indicator write failed"},
}};

Outcome saveSingleFields(ProgramState& state, const CalForm& form, const BoxSelection& selected) {
    openCalConnection(state, ListLog::Off);
    for (const FieldToSave& field : kSingleFields) {
        if (!selected(field.box)) continue;
        const FieldSave save = saveField(state, form, field, ListLog::Off);
        if (save != FieldSave::Saved) return outcomeOf(save);
    }
    closeCalConnection(state);
    state.ui.setStatus(QStringLiteral("EEPROM write complete"));
    return Outcome::Done;
}

bool isSingleBox(int box) {
    return std::any_of(kSingleFields.begin(), kSingleFields.end(),
                       [box](const FieldToSave& field) { return field.box == box; });
}

// The two saves over the named boxes, in the order of their buttons; a save
// none of whose boxes is named is not run.
Outcome saveNamedBoxes(ProgramState& state, const std::map<int, QString>& changes) {
    CalTexts form;
    bool tableNamed = false, singleNamed = false;
    for (const auto& [box, text] : changes) {
        form.setText(box, text);
        (isSingleBox(box) ? singleNamed : tableNamed) = true;
    }
    const BoxSelection named = [&changes](int box) { return changes.count(box) > 0; };
    Outcome outcome = Outcome::Done;
    if (tableNamed) outcome = saveCalibration(state, form, named);
    if (outcome == Outcome::Done && singleNamed) outcome = saveSingleFields(state, form, named);
    return outcome;
}

Outcome saveDefaultData(ProgramState& state) {
    const int32_t result = makeSends(state);
    if (result != OPERATION_SUCCESS) {
        state.link.closeDevice();
        state.ui.appendToList({kCloseDeviceLine});
        endProgramWithMessage(state, QStringLiteral("Unable to save default data"), result);
    }
    closeCalConnection(state);
    return Outcome::Done;
}

}  // namespace

Outcome mnuEngCal_Click(ProgramState&, CalForm& form) {
    form.show();
    return Outcome::Done;
}

Outcome cmdReadCal_Click(ProgramState& state, CalForm& form) {
    return runShowingCommandError(state.ui, [&] { return readCalibration(state, form); });
}

Outcome cmdSaveCal_Click(ProgramState& state, CalForm& form) {
    return runShowingCommandError(state.ui, [&] { return saveCalibration(state, form, everyBox); });
}

Outcome cmdSaveSN_Click(ProgramState& state, CalForm& form) {
    return runShowingCommandError(state.ui,
                                  [&] { return saveSingleFields(state, form, everyBox); });
}

Outcome saveCalBoxes(ProgramState& state, const std::map<int, QString>& changes) {
    return runShowingCommandError(state.ui, [&] { return saveNamedBoxes(state, changes); });
}

Outcome cmdSaveDefaultData_Click(ProgramState& state, CalForm&) {
    return runShowingCommandError(state.ui, [&] { return saveDefaultData(state); });
}

}  // namespace ksx4
