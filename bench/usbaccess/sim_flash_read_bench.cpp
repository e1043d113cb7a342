// The report transfer's whole-flash read (32767 bytes, 556 exchanges) through
// the link library and the simulated tester, without and with a simulated
// USB latency of 1 ms per exchange.
#include "ksx4/ksx4_com.h"
#include "tester_image.h"

#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

struct Bound {
    TessCommGetDeviceCountFn count = nullptr;
    TessCommOpenDeviceFn open = nullptr;
    TessCommCloseDeviceFn close = nullptr;
    TessCommReadFlashMemoryFn readFlash = nullptr;
};

// Loads the simulator first, so that the link library's own load of
// libmpusbapi.so finds it already loaded.
const Bound* bindOnce() {
    static const Bound bound = [] {
        Bound b;
        std::string dir = (std::filesystem::temp_directory_path() / "ksx4-bench-XXXXXX").string();
        if (!mkdtemp(dir.data())) return b;
        setenv("KSX4_SIM_DIR", dir.c_str(), 1);
        static const std::filesystem::path made = dir;
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(made, ec);
        });
        if (!ksx4::sim::writeTester(dir, 1, ksx4::sim::sampleTester({}))) return b;
        if (!dlopen(SIMULATOR_PATH, RTLD_NOW)) return b;
        void* link = dlopen(LINK_LIBRARY_PATH, RTLD_NOW);
        if (!link) return b;
        b.count = reinterpret_cast<TessCommGetDeviceCountFn>(dlsym(link, "TessCommGetDeviceCount"));
        b.open = reinterpret_cast<TessCommOpenDeviceFn>(dlsym(link, "TessCommOpenDevice"));
        b.close = reinterpret_cast<TessCommCloseDeviceFn>(dlsym(link, "TessCommCloseDevice"));
        b.readFlash =
            reinterpret_cast<TessCommReadFlashMemoryFn>(dlsym(link, "TessCommReadFlashMemory"));
        return b;
    }();
    return bound.readFlash ? &bound : nullptr;
}

void BM_ReadWholeFlash(benchmark::State& state) {
    const Bound* link = bindOnce();
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
    const Bound* link = bindOnce();
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
