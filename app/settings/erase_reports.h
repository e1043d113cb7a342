#pragma once
// "Erase Reports in KSX-4": sets the tester's erase-all indicator, so that
// the tester erases its stored reports at its next start.
#include "core/outcome.h"

namespace ksx4 {

struct ProgramState;

// Opens the connection, asks, and on OK writes 21845 (0x55 0x55) at 114.
// Done when the indicator was written, Cancelled when the user said Cancel.
// A failed write ends the program.
Outcome mnuErase_Click(ProgramState& state);

}  // namespace ksx4
