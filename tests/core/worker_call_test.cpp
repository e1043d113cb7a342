// runWithTicks: the call runs on a worker thread while the calling thread
// ticks; failures of either side come back to the caller after the call.
#include "platform/worker_call.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>

namespace ksx4 {
namespace {

using std::chrono::milliseconds;

TEST(WorkerCall, TicksAtOnceAndWhileTheCallRuns) {
    std::atomic<int> ticks = 0;
    std::thread::id callThread, tickThread;
    runWithTicks(
        [&] {
            callThread = std::this_thread::get_id();
            // Returns only once the caller has ticked during the call.
            while (ticks.load() < 3) std::this_thread::yield();
        },
        milliseconds(1),
        [&](milliseconds) {
            tickThread = std::this_thread::get_id();
            ++ticks;
        });
    EXPECT_GE(ticks.load(), 3);
    EXPECT_NE(callThread, std::this_thread::get_id());
    EXPECT_EQ(tickThread, std::this_thread::get_id());
}

TEST(WorkerCall, TheFirstTickComesEvenForAnInstantCall) {
    int ticks = 0;
    milliseconds first{-1};
    runWithTicks([] {}, std::chrono::hours(1),
                 [&](milliseconds elapsed) {
                     if (ticks++ == 0) first = elapsed;
                 });
    EXPECT_EQ(ticks, 1);
    EXPECT_LT(first.count(), 1000);
    EXPECT_GE(first.count(), 0);
}

TEST(WorkerCall, FailuresComeBackAfterTheCall) {
    EXPECT_THROW(runWithTicks([] { throw std::runtime_error("call"); }, milliseconds(1),
                              [](milliseconds) {}),
                 std::runtime_error);
    std::atomic<bool> finished = false;
    EXPECT_THROW(runWithTicks(
                     [&] {
                         // Ends only after the failing first tick.
                         for (int i = 0; i < 1000; ++i) std::this_thread::yield();
                         finished = true;
                     },
                     milliseconds(1), [](milliseconds) { throw std::logic_error("tick"); }),
                 std::logic_error);
    EXPECT_TRUE(finished.load()) << "the caller waited for the call";
}

}  // namespace
}  // namespace ksx4
