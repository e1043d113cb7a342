#include "latency.h"

#include <algorithm>
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
    const int64_t giveBack = std::min(overshootCreditNs_, perExchangeNs_);
    overshootCreditNs_ -= giveBack;
    dueNs_ = monotonicNs() + perExchangeNs_ - giveBack;
}

void Latency::awaitReply() {
    if (perExchangeNs_ == 0) return;
    timespec due{static_cast<time_t>(dueNs_ / 1000000000), static_cast<long>(dueNs_ % 1000000000)};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &due, nullptr) == EINTR) {
    }
    overshootCreditNs_ += std::max<int64_t>(0, monotonicNs() - dueNs_);
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
