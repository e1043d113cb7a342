#pragma once
// "Update Firmware": load a chosen Intel HEX file into the tester, after
// checking that it suits the tester's kind and asking once more.
#include "core/outcome.h"

namespace ksx4 {

struct ProgramState;

// The whole update; throws EndProgram where the program ends. Done only when
// the firmware was loaded ("KSX-4 firmware loaded.  Ready...").
Outcome cmdloadflash_Click(ProgramState& state);

}  // namespace ksx4
