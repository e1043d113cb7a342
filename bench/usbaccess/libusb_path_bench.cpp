// The real-tester path without a USB bus: the link library and the libusb
// access library over the tests' scripted libusb, with one tester attached
// and hotplug available. Targets: 2001 device counts (one tester wait) under
// 5 ms; a whole flash read (32767 bytes, 556 exchanges) under 5 ms.
#include "bench_link.h"
#include "scripted_libusb.h"

#include <benchmark/benchmark.h>
#include <optional>
#include <vector>

namespace {

namespace bus = ksx4::test::scripted_libusb;

using ksx4::bench::LinkExports;

// This program links the scripted libusb, so the access library that the
// link library loads (through its RUNPATH) binds to it.
const LinkExports* bindOnce() {
    static const std::optional<LinkExports> bound = [] {
        bus::reset(true);
        bus::plugIn(bus::testerDevice(ksx4::sim::sampleTester({})));
        return ksx4::bench::loadLinkLibrary(LINK_LIBRARY_PATH);
    }();
    return bound ? &*bound : nullptr;
}

void BM_2001DeviceCountsWithATester(benchmark::State& state) {
    const LinkExports* link = bindOnce();
    if (!link) {
        state.SkipWithError("cannot load the link library");
        return;
    }
    for (auto _ : state) {
        int32_t total = 0;
        for (int poll = 0; poll < 2001; ++poll) total += link->count();
        if (total != 2001) {
            state.SkipWithError("the tester is not counted");
            break;
        }
    }
    state.counters["deviceLists"] = bus::counters().deviceLists;
}
BENCHMARK(BM_2001DeviceCountsWithATester)->Unit(benchmark::kMillisecond);

void BM_ReadWholeFlash(benchmark::State& state) {
    const LinkExports* link = bindOnce();
    if (!link) {
        state.SkipWithError("cannot load the link library");
        return;
    }
    link->close();
    if (link->open(0) != OPERATION_SUCCESS) {
        state.SkipWithError("cannot open the scripted tester");
        return;
    }
    std::vector<uint8_t> flash(32767);
    for (auto _ : state) {
        if (link->readFlash(0, 32767, flash.data()) != OPERATION_SUCCESS) {
            state.SkipWithError("read failed");
            break;
        }
        benchmark::DoNotOptimize(flash.data());
    }
    link->close();
}
BENCHMARK(BM_ReadWholeFlash)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
