#pragma once
// Whether the chosen firmware suits the attached tester's kind, judged by
// its hardware marker (state.firmwareMarker against state.testerType).
namespace ksx4 {

struct ProgramState;

// true: accepted (an unmarked file always is). false: the refusal has been
// shown, the status text set and the connection closed.
bool checkFirmwareCompatibility(ProgramState& state);

}  // namespace ksx4
