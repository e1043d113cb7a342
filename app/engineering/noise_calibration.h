#pragma once
// "&Noise Level Calibration" (mnuManCal): a guided calibration of the three
// noise bands. The generator feeds known sines, the operator types the
// numbers the tester shows, and the computed segments, the temperature, the
// serial number and the default data are written to the tester.
#include "core/outcome.h"

namespace ksx4 {

struct ProgramState;
class MainWindowForm;
class Gpib;

// Opens the generator on gpib for this run. Done when the calibration is
// complete; Refused when the serial number cannot be encoded (the transfer
// and firmware buttons then stay disabled and the connection open); Failed
// when the generator could not be opened. Every other failure and every
// Cancel end the program.
Outcome mnuManCal_Click(ProgramState& state, MainWindowForm& window, Gpib& gpib);

}  // namespace ksx4
