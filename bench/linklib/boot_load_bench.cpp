// A full firmware image (the whole application area: 480 erases, 1920 row
// writes and 1920 read-backs) boot loaded through the link library into the
// simulated tester: CPU time of both at zero latency, and the wall time with
// a simulated USB latency of 1 ms per exchange (4320 exchanges).
#include "intel_hex_text.h"
#include "ksx4/ksx4_com.h"
#include "tester_image.h"

#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

struct Bound {
    TessCommOpenDeviceFn open = nullptr;
    TessCommCloseDeviceFn close = nullptr;
    TessCommBootLoadFn bootLoad = nullptr;
    std::string hexFile;
};

// Loads the simulator first, so that the link library's own load of
// libmpusbapi.so finds it already loaded; writes the image's HEX file.
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
        std::vector<uint8_t> image(0x7800);
        for (size_t i = 0; i < image.size(); ++i)
            image[i] = static_cast<uint8_t>(i * 31 + (i >> 8));
        const auto hexFile = std::filesystem::path(dir) / "firmware.hex";
        std::ofstream(hexFile) << ksx4::test::hexImageFile(0x0800, image);
        if (!dlopen(SIMULATOR_PATH, RTLD_NOW)) return b;
        void* link = dlopen(LINK_LIBRARY_PATH, RTLD_NOW);
        if (!link) return b;
        b.open = reinterpret_cast<TessCommOpenDeviceFn>(dlsym(link, "TessCommOpenDevice"));
        b.close = reinterpret_cast<TessCommCloseDeviceFn>(dlsym(link, "TessCommCloseDevice"));
        b.bootLoad = reinterpret_cast<TessCommBootLoadFn>(dlsym(link, "TessCommBootLoad"));
        b.hexFile = hexFile.string();
        return b;
    }();
    return bound.bootLoad ? &bound : nullptr;
}

void BM_BootLoadFullImage(benchmark::State& state) {
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
    for (auto _ : state) {
        if (link->bootLoad(link->hexFile.c_str()) != OPERATION_SUCCESS) {
            state.SkipWithError("boot load failed");
            break;
        }
    }
    state.counters["exchanges"] = benchmark::Counter(
        4320.0 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// CPU time of the link library and the simulator together (one thread).
BENCHMARK(BM_BootLoadFullImage)->Arg(0)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(BM_BootLoadFullImage)
    ->Arg(1000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
