#include "platform/worker_call.h"

#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

namespace ksx4 {

void runWithTicks(const std::function<void()>& call, std::chrono::milliseconds interval,
                  const std::function<void(std::chrono::milliseconds elapsed)>& tick) {
    using Clock = std::chrono::steady_clock;
    std::mutex mutex;
    std::condition_variable returned;
    bool done = false;
    std::exception_ptr failure;
    std::thread worker([&] {
        try {
            call();
        } catch (...) {
            failure = std::current_exception();
        }
        const std::lock_guard lock(mutex);
        done = true;
        returned.notify_one();
    });

    const Clock::time_point start = Clock::now();
    std::exception_ptr tickFailure;
    const auto tickOnce = [&] {
        if (tickFailure) return;
        try {
            tick(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start));
        } catch (...) {
            // The worker still runs: wait for it before giving up.
            tickFailure = std::current_exception();
        }
    };
    tickOnce();
    std::unique_lock lock(mutex);
    for (;;) {
        if (returned.wait_for(lock, interval, [&] { return done; })) break;
        lock.unlock();
        tickOnce();
        lock.lock();
    }
    lock.unlock();
    worker.join();
    if (failure) std::rethrow_exception(failure);
    if (tickFailure) std::rethrow_exception(tickFailure);
}

}  // namespace ksx4
