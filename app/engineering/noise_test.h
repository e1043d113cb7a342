#pragma once
// "&Noise Level Test" (mnuManTest): checks a calibrated tester. For each band
// and step the generator feeds a known sine and the operator confirms that
// the tester's peak noise lies inside the step's window. Nothing is written
// to the tester.
#include "core/outcome.h"

namespace ksx4 {

struct ProgramState;
class MainWindowForm;
class Gpib;

// Opens the generator on gpib for this run. Done when every answer was Yes
// ("KSX-4 noise test passed"); Failed when one was No ("KSX-4 noise test
// failed") or the generator could not be opened. Cancel ends the program.
Outcome mnuManTest_Click(ProgramState& state, MainWindowForm& window, Gpib& gpib);

}  // namespace ksx4
