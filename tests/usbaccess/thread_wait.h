#pragma once
// For tests of two threads: waiting, without a clock, until another thread
// has finished its step or sleeps in the kernel, which is where a library
// that makes it wait (for a lock, say) leaves it.
#include <sys/types.h>

#include <atomic>

namespace ksx4::test {

// The calling thread's id in the kernel.
pid_t kernelThreadId();

// A step another thread takes: it names itself, then says when it is done.
struct ThreadStep {
    std::atomic<pid_t> thread{0};
    std::atomic<bool> done{false};
};

// Yields until the step is done or its thread sleeps in the kernel (state S
// in /proc/self/task/ID/stat); true when it sleeps.
bool waitUntilAsleepOrDone(const ThreadStep& step);

}  // namespace ksx4::test
