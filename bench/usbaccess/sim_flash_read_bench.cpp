// The report transfer's whole-flash read (32767 bytes, 556 exchanges) through
// the link library and the simulated tester, without and with a simulated
// USB latency of 1 ms per exchange.
#include "bench_link.h"

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <optional>
#include <string>
#include <vector>

namespace {

using ksx4::bench::LinkExports;

const LinkExports* bindOnce() {
    static const std::optional<LinkExports> bound =
        ksx4::bench::startSimulator(SIMULATOR_PATH).empty()
            ? std::nullopt
            : ksx4::bench::loadLinkLibrary(LINK_LIBRARY_PATH);
    return bound ? &*bound : nullptr;
}

void BM_ReadWholeFlash(benchmark::State& state) {
    const LinkExports* link = bindOnce();
    if (!link) {
        state.SkipWithError("cannot load the link library and the simulator");
        return;
    }
    // The simulator takes its latency when the connection is opened.
    setenv("KSX4_SIM_LATENCY_US", std::to_string(state.range(0)).c_str(), 1);
    link->close();
    if (link->open(0) != OPERATION_SUCCESS) {
        state.SkipWithError("no simulated tester");
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
    state.counters["exchanges"] = benchmark::Counter(
        556.0 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

BENCHMARK(BM_ReadWholeFlash)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadWholeFlash)
    ->Arg(1000)
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The program's wait for a tester: 2001 device counts in a row, each of which
// makes the simulator look at its state folder again.
void BM_2001DeviceCountPolls(benchmark::State& state) {
    const LinkExports* link = bindOnce();
    if (!link) {
        state.SkipWithError("cannot load the link library and the simulator");
        return;
    }
    for (auto _ : state) {
        int32_t total = 0;
        for (int poll = 0; poll < 2001; ++poll) total += link->count();
        benchmark::DoNotOptimize(total);
    }
}

BENCHMARK(BM_2001DeviceCountPolls)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
