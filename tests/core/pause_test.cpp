// Pauses on the virtual clock, and the timer table behind them.
#include "core/pause.h"
#include "fake_program.h"

#include <gtest/gtest.h>

namespace ksx4 {
namespace {

using test::FakeProgram;

TEST(PauseMs, ZeroReturnsAfterTheFirstCheck) {
    FakeProgram p;
    pauseMs(p.state, 0);
    EXPECT_EQ(p.ui.eventRounds, 0);
}

TEST(PauseMs, WaitsAtLeastTheTimeWhileProcessingEvents) {
    FakeProgram p;
    const auto start = p.clock.now();
    pauseMs(p.state, 1500);
    const auto waited = p.clock.now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(1500));
    EXPECT_LT(waited, std::chrono::milliseconds(1520));
    EXPECT_GT(p.ui.eventRounds, 0);
}

TEST(Timers, NumberOutsideTheTableShowsTimerError) {
    FakeProgram p;
    startTimer(p.state, 0, 10);
    checkTimer(p.state, 11);
    ASSERT_EQ(p.ui.messages.size(), 2u);
    EXPECT_EQ(p.ui.messages[0].text, "Timer Error: Subscript out of range");
    EXPECT_EQ(p.ui.messages[0].buttons, Buttons::Ok);
}

TEST(Timers, TimerTenExpiresOnItsOwn) {
    FakeProgram p;
    startTimer(p.state, 10, 250);
    p.clock.advance(std::chrono::milliseconds(249));
    checkTimer(p.state, 10);
    EXPECT_FALSE(p.state.timers[9].expired);
    p.clock.advance(std::chrono::milliseconds(1));
    checkTimer(p.state, 10);
    EXPECT_TRUE(p.state.timers[9].expired);
    EXPECT_FALSE(p.state.timers[0].expired);
}

}  // namespace
}  // namespace ksx4
