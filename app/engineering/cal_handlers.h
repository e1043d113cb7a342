#pragma once
// The calibration window's buttons: read the calibration table, temperature,
// serial number and erase-all indicator into the boxes, write them back field
// by field with a textual read-back comparison, and write the factory
// defaults. Every link failure ends the program after its message.
#include "core/outcome.h"

#include <QString>

#include <map>

namespace ksx4 {

struct ProgramState;
class CalForm;

// mnuEngCal: shows the window, not modal.
Outcome mnuEngCal_Click(ProgramState& state, CalForm& form);

// "Read EEPROM Data". Refused when the temperature is too large: the read
// stops there, with the connection open.
Outcome cmdReadCal_Click(ProgramState& state, CalForm& form);
// "Save Calibration Data to EEPROM". Refused when a box cannot be encoded
// (the connection stays open); Failed at a read-back mismatch, where the
// save stops with the connection closed.
Outcome cmdSaveCal_Click(ProgramState& state, CalForm& form);
// "Save Temperature, Serial Number and Erase-all Indicator to EEPROM", as
// the calibration save.
Outcome cmdSaveSN_Click(ProgramState& state, CalForm& form);
// "Save Default Data to EEPROM".
Outcome cmdSaveDefaultData_Click(ProgramState& state, CalForm& form);

// The two saves above as their buttons run them, but over the boxes in
// changes alone (box index to text), which get those texts: first the table
// boxes (when one is named), then the temperature, serial number and
// erase-all indicator (when one is named). Every other word stays untouched.
// The outcome of the first save that does not end Done, else Done.
Outcome saveCalBoxes(ProgramState& state, const std::map<int, QString>& changes);

}  // namespace ksx4
