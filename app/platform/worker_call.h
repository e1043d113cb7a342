#pragma once
// A call that blocks for long, run on a worker thread so that the calling
// thread can show that the program is still working.
#include <chrono>
#include <functional>

namespace ksx4 {

// Runs call on a worker thread. Meanwhile the calling thread calls tick with
// the time elapsed so far: at once, then every interval until call has
// returned. An exception from call (or from tick, once call has returned) is
// rethrown here.
void runWithTicks(const std::function<void()>& call, std::chrono::milliseconds interval,
                  const std::function<void(std::chrono::milliseconds elapsed)>& tick);

}  // namespace ksx4
