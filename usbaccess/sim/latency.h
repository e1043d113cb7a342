#pragma once
// The latency model for benchmarks: every exchange waits a fixed time for
// its reply. Deadlines are absolute and follow on from each other, so the
// timer's overshoot on one exchange is taken back on the next instead of
// adding up over thousands of exchanges.
#include <cstdint>
#include <ctime>

namespace ksx4::sim {

class Latency {
  public:
    void setMicroseconds(uint32_t us) { perExchangeNs_ = int64_t{us} * 1000; }
    // A write arrived: the reply is due one latency later.
    void exchangeStarted();
    // Waits until the current reply is due.
    void awaitReply() const;

  private:
    int64_t perExchangeNs_ = 0;
    int64_t dueNs_ = 0;
};

// KSX4_SIM_LATENCY_US as a number of microseconds, 0 when unset or not a
// number.
uint32_t latencyFromEnvironment();

}  // namespace ksx4::sim
