#pragma once
// A monotonic clock, injected so that tests run pauses on virtual time.
#include <chrono>

namespace ksx4 {

class Clock {
  public:
    virtual ~Clock() = default;
    virtual std::chrono::nanoseconds now() const = 0;
};

class SteadyClock final : public Clock {
  public:
    std::chrono::nanoseconds now() const override {
        return std::chrono::steady_clock::now().time_since_epoch();
    }
};

}  // namespace ksx4
