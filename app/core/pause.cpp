#include "core/pause.h"

#include "core/clock.h"
#include "core/operator.h"
#include "core/program_state.h"

#include <algorithm>
#include <chrono>
#include <stdexcept>

namespace ksx4 {
namespace {

constexpr int kPauseTimer = 1;
// Longest single wait for window events inside a pause, so the pause ends
// close to its deadline.
constexpr std::chrono::milliseconds kLongestEventWait{10};

IntervalTimer& timerAt(ProgramState& state, int n) {
    if (n < 1 || n > static_cast<int>(state.timers.size())) {
        throw std::out_of_range("Subscript out of range");
    }
    return state.timers[static_cast<std::size_t>(n - 1)];
}

void showTimerError(ProgramState& state, const std::exception& error) {
    state.ui.message(QStringLiteral("Timer Error: ") + QString::fromUtf8(error.what()));
}

double secondsSince(const ProgramState& state, std::chrono::nanoseconds start) {
    return std::chrono::duration<double>(state.clock.now() - start).count();
}

}  // namespace

void startTimer(ProgramState& state, int n, int64_t ms) {
    try {
        IntervalTimer& timer = timerAt(state, n);
        timer.durationSeconds = static_cast<double>(ms) / 1000.0;
        timer.start = state.clock.now();
        timer.elapsedSeconds = 0;
        timer.expired = false;
    } catch (const std::out_of_range& error) {
        showTimerError(state, error);
    }
}

void checkTimer(ProgramState& state, int n) {
    try {
        IntervalTimer& timer = timerAt(state, n);
        timer.elapsedSeconds = secondsSince(state, timer.start);
        if (timer.elapsedSeconds >= timer.durationSeconds) timer.expired = true;
    } catch (const std::out_of_range& error) {
        showTimerError(state, error);
    }
}

void pauseMs(ProgramState& state, int64_t ms) {
    startTimer(state, kPauseTimer, ms);
    const IntervalTimer& timer = state.timers[kPauseTimer - 1];
    for (;;) {
        checkTimer(state, kPauseTimer);
        if (timer.expired) return;
        // Wait for window events instead of spinning, but no longer than
        // what is left of the pause.
        const double leftSeconds = timer.durationSeconds - timer.elapsedSeconds;
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
            std::chrono::duration<double>(leftSeconds));
        state.ui.processEvents(std::clamp(left, std::chrono::milliseconds{1}, kLongestEventWait));
    }
}

}  // namespace ksx4
