#pragma once
// The routines every operation uses around the link library: waiting for
// exactly one tester, opening and closing the connection with their fixed
// messages, and naming return codes. (readTesterType reads a field of the
// memory map and lives with it, in the settings.)
#include <QString>

#include <cstdint>

namespace ksx4 {

struct ProgramState;

// The start procedure: hides the engineering menu entries (through
// MainWindowForm), closes any connection twice and polls until exactly
// one tester is attached ("Found KSX-4", then "Ready"). Throws EndProgram
// when the user cancels the search or the link library cannot be loaded
// (after showing the loader's description).
class MainWindowForm;
void startProgram(ProgramState& state, MainWindowForm& window);

// 0: exactly one tester is attached; 2: the user cancelled.
int16_t waitForTester(ProgramState& state);

// Returns only with an open connection; otherwise throws EndProgram after the
// message. showOpening: whether "Opening KSX-4" is shown (first pass only).
void openTesterConnection(ProgramState& state, bool showOpening = true);

// Closes the connection; a failure ends the program after its message.
void closeTesterConnection(ProgramState& state);

// "OPERATION_SUCCESS" .. "MEMORY_OPERATION_OVERRUN"; above 12 "UNKNOWN_ERROR";
// negative codes give empty text.
QString returnCodeName(int32_t code);

}  // namespace ksx4
