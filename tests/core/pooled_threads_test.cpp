// Joining Qt's pool threads: when the join returns (called, or at the
// application's end), every pool thread has ended completely. The threads
// here hold their thread-exit clean-up, which runs after QThread::wait()
// has returned: a join that only stops the pool finds them still running.
#include "platform/pooled_threads.h"

#include <QCoreApplication>
#include <QThread>
#include <QThreadPool>

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <latch>
#include <memory>
#include <mutex>

namespace ksx4 {
namespace {

// Opens once; bounded, so that a broken join fails instead of hanging.
class Gate {
  public:
    void open() {
        const std::lock_guard lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }
    bool waitOpen() {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(10), [this] { return open_; });
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool open_ = false;
};

// Lives in a pool thread's thread-local storage, so it is destroyed in the
// thread's exit clean-up, next to the clean-up that frees Qt's thread data.
// It holds that clean-up until its gate opens.
class HeldExitCleanUp {
  public:
    HeldExitCleanUp(std::shared_ptr<Gate> gate, std::shared_ptr<std::atomic<int>> done)
        : gate_(std::move(gate)), done_(std::move(done)) {}
    ~HeldExitCleanUp() {
        if (gate_->waitOpen()) ++*done_;
    }

  private:
    std::shared_ptr<Gate> gate_;
    std::shared_ptr<std::atomic<int>> done_;
};

struct PoolThreads {
    int count = 0;
    std::shared_ptr<std::atomic<int>> cleanedUp = std::make_shared<std::atomic<int>>(0);
};

// Occupies every thread the global pool may start at once, so that each
// one holds its clean-up behind gate.
PoolThreads occupyEveryPoolThread(const std::shared_ptr<Gate>& gate) {
    PoolThreads threads;
    QThreadPool* pool = QThreadPool::globalInstance();
    threads.count = pool->maxThreadCount();
    // Shared: a task may still be leaving the latch when this returns.
    const auto allStarted = std::make_shared<std::latch>(threads.count);
    for (int i = 0; i < threads.count; ++i) {
        pool->start([allStarted, gate, done = threads.cleanedUp] {
            thread_local HeldExitCleanUp held(gate, done);
            allStarted->arrive_and_wait();
        });
    }
    allStarted->wait();
    return threads;
}

TEST(PooledThreads, TheJoinWaitsUntilTheThreadsHaveEnded) {
    const auto gate = std::make_shared<Gate>();
    const PoolThreads threads = occupyEveryPoolThread(gate);
    // The join finds the pool threads by the name Qt gives them.
    ASSERT_EQ(runningPooledThreads(), threads.count);
    // Asked for the threads left, the pool is stopped: only now may their
    // clean-up go on.
    int asked = 0;
    const bool joined = joinPooledThreads(std::chrono::seconds(20), [&] {
        if (asked++ == 0) gate->open();
        return runningPooledThreads();
    });
    const int cleanedUpWhenJoined = *threads.cleanedUp;
    const int runningWhenJoined = runningPooledThreads();
    gate->open();  // a join that never asked lets them go only now
    EXPECT_TRUE(joined);
    EXPECT_EQ(cleanedUpWhenJoined, threads.count);
    EXPECT_EQ(runningWhenJoined, 0);
}

TEST(PooledThreads, TheApplicationsEndJoinsThem) {
    int argc = 1;
    char name[] = "pooled_threads_test";
    char* argv[] = {name, nullptr};
    const auto gate = std::make_shared<Gate>();
    PoolThreads threads;
    {
        const QCoreApplication app(argc, argv);
        joinPooledThreadsWhenTheApplicationEnds();
        threads = occupyEveryPoolThread(gate);
        ASSERT_EQ(runningPooledThreads(), threads.count);
        gate->open();
    }
    EXPECT_EQ(*threads.cleanedUp, threads.count);
    EXPECT_EQ(runningPooledThreads(), 0);
}

}  // namespace
}  // namespace ksx4
