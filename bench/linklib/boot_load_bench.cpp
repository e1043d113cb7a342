// A full firmware image (the whole application area: 480 erases, 1920 row
// writes and 1920 read-backs) boot loaded through the link library into the
// simulated tester: CPU time of both at zero latency, and the wall time with
// a simulated USB latency of 1 ms per exchange (4320 exchanges).
#include "bench_link.h"
#include "intel_hex_text.h"
#include "ksx4/ksx4_com.h"

#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace {

struct Bound {
    ksx4::bench::LinkExports link;
    std::string hexFile;
};

// A simulated tester and the image's HEX file in its folder.
const Bound* bindOnce() {
    static const std::optional<Bound> bound = []() -> std::optional<Bound> {
        const std::string dir = ksx4::bench::startSimulator(SIMULATOR_PATH);
        if (dir.empty()) return std::nullopt;
        std::vector<uint8_t> image(0x7800);
        for (size_t i = 0; i < image.size(); ++i)
            image[i] = static_cast<uint8_t>(i * 31 + (i >> 8));
        const auto hexFile = std::filesystem::path(dir) / "firmware.hex";
        std::ofstream(hexFile) << ksx4::test::hexImageFile(0x0800, image);
        const auto link = ksx4::bench::loadLinkLibrary(LINK_LIBRARY_PATH);
        if (!link) return std::nullopt;
        return Bound{*link, hexFile.string()};
    }();
    return bound ? &*bound : nullptr;
}

void BM_BootLoadFullImage(benchmark::State& state) {
    const Bound* link = bindOnce();
    if (!link) {
        state.SkipWithError("cannot load the link library and the simulator");
        return;
    }
    // The simulator takes its latency when the connection is opened.
    setenv("KSX4_SIM_LATENCY_US", std::to_string(state.range(0)).c_str(), 1);
    link->link.close();
    if (link->link.open(0) != OPERATION_SUCCESS) {
        state.SkipWithError("no simulated tester");
        return;
    }
    for (auto _ : state) {
        if (link->link.bootLoad(link->hexFile.c_str()) != OPERATION_SUCCESS) {
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
