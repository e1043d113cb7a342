#pragma once
// The device-count poll of start-up and waitForTester: up to 2001 calls in a
// row, without a pause, stopping at the first count of exactly one.
#include <QStringList>

#include <cstdint>

namespace ksx4 {

class LinkLibrary;

inline constexpr int kDeviceCountPolls = 2001;

// The last count seen (1 when a single tester answered). log, when given,
// receives one "TessCommGetDeviceCount = <count>" line per call.
int32_t pollDeviceCount(LinkLibrary& link, QStringList* log = nullptr);

}  // namespace ksx4
