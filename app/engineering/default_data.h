#pragma once
// makeSends: puts a tester's report names, OK/BAD limits and DC calibration
// back to the factory values. It opens its own connection and leaves it open;
// the caller closes it and reports failures.
#include <cstdint>

namespace ksx4 {

struct ProgramState;

// A link-library return code: 0 after the last write, the code of the first
// failing call, 2 when the tester search was cancelled, 9
// (OPERATION_FAILURE) when a value could not be converted or something
// unexpected went wrong (after its "Command Error: " message).
int32_t makeSends(ProgramState& state);

}  // namespace ksx4
