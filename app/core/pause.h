#pragma once
// Pauses that keep the window alive, over a table of ten interval timers on
// the injected monotonic clock.
#include <cstdint>

namespace ksx4 {

struct ProgramState;

// Returns after at least ms milliseconds, processing window events meanwhile.
// pauseMs(0) returns after the first check.
void pauseMs(ProgramState& state, int64_t ms);

// Timer n = 1..10. A timer number outside that range shows "Timer Error: "
// with the description (OK only).
void startTimer(ProgramState& state, int n, int64_t ms);
void checkTimer(ProgramState& state, int n);

}  // namespace ksx4
