#pragma once
// Qt's global thread pool (image conversion, scaling and large fills while
// painting) runs on detached threads. QThread::wait() returns before such a
// thread has run its thread-exit clean-up, which frees Qt's data for that
// thread, and at static destruction Qt removes that clean-up. The pool is
// stopped only when the application object is destroyed, just before static
// destruction, so a pool thread still ending then keeps its data for ever,
// and the leak checker of the sanitizer build reports it now and then.
#include <chrono>
#include <functional>

namespace ksx4 {

// The threads of Qt's thread pools still running (on Linux; 0 elsewhere).
int runningPooledThreads();

// Stops Qt's global thread pool and waits until its threads have ended
// completely, their thread-exit clean-up included, for at most timeout.
// Returns whether none is left. running counts the threads left (tests
// watch the wait through it).
bool joinPooledThreads(std::chrono::milliseconds timeout,
                       const std::function<int()>& running = runningPooledThreads);

// Has the destruction of the application object join the pool's threads
// before Qt stops the pool itself. Call once the application object exists.
void joinPooledThreadsWhenTheApplicationEnds();

}  // namespace ksx4
