#pragma once
// The latency model for benchmarks: the reply to every exchange is due a
// fixed time after its write. Waits run against absolute deadlines on the
// monotonic clock, and the time a wait overshoots its deadline (timer slack,
// scheduling) is taken off the next deadlines, so it does not add up over
// thousands of exchanges. The host's own time between exchanges still counts.
#include <cstdint>
#include <ctime>

namespace ksx4::sim {

class Latency {
  public:
    void setMicroseconds(uint32_t us) { perExchangeNs_ = int64_t{us} * 1000; }
    // A write arrived: the reply is due one latency later.
    void exchangeStarted();
    // Waits until the current reply is due.
    void awaitReply();

  private:
    int64_t perExchangeNs_ = 0;
    int64_t dueNs_ = 0;
    int64_t overshootCreditNs_ = 0;  // waited too long so far, not yet given back
};

// KSX4_SIM_LATENCY_US as a number of microseconds, 0 when unset or not a
// number.
uint32_t latencyFromEnvironment();

}  // namespace ksx4::sim
