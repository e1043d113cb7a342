#pragma once
// A monotonic clock, injected so that tests run pauses on virtual time, and
// the calendar time that goes into report file names.
#include <chrono>

namespace ksx4 {

class Clock {
  public:
    virtual ~Clock() = default;
    virtual std::chrono::nanoseconds now() const = 0;
    virtual std::chrono::system_clock::time_point wallTime() const {
        return std::chrono::system_clock::now();
    }
};

class SteadyClock final : public Clock {
  public:
    std::chrono::nanoseconds now() const override {
        return std::chrono::steady_clock::now().time_since_epoch();
    }
};

}  // namespace ksx4
