#include "latency.h"

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>

namespace ksx4::sim {
namespace {

int64_t monotonicNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t{now.tv_sec} * 1000000000 + now.tv_nsec;
}

}  // namespace

void Latency::exchangeStarted() {
    if (perExchangeNs_ == 0) return;
    const int64_t now = monotonicNs();
    // Back to back with the previous exchange: continue its schedule, which
    // absorbs the previous wake-up's overshoot. After a pause: start afresh.
    const bool backToBack = dueNs_ != 0 && now - dueNs_ < perExchangeNs_;
    dueNs_ = (backToBack ? dueNs_ : now) + perExchangeNs_;
}

void Latency::awaitReply() const {
    if (perExchangeNs_ == 0) return;
    timespec due{static_cast<time_t>(dueNs_ / 1000000000), static_cast<long>(dueNs_ % 1000000000)};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &due, nullptr) == EINTR) {
    }
}

uint32_t latencyFromEnvironment() {
    const char* text = std::getenv("KSX4_SIM_LATENCY_US");
    if (!text) return 0;
    uint32_t us = 0;
    const char* end = text + std::strlen(text);
    const auto [stop, error] = std::from_chars(text, end, us);
    return error == std::errc{} && stop == end ? us : 0;
}

}  // namespace ksx4::sim
