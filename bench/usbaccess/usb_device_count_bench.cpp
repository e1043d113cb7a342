// The program's wait for a tester polls the device count 2001 times in a row:
// the libusb access library must answer that cheaply (target: under 50 ms
// with no tester attached).
#include "mpusbapi.h"

#include <benchmark/benchmark.h>
#include <dlfcn.h>

namespace {

void BM_2001DeviceCountPolls(benchmark::State& state) {
    void* library = dlopen(USB_ACCESS_PATH, RTLD_NOW);
    const auto count =
        library ? reinterpret_cast<MPUSBGetDeviceCountFn>(dlsym(library, "_MPUSBGetDeviceCount"))
                : nullptr;
    if (!count) {
        state.SkipWithError("cannot load the libusb access library");
        return;
    }
    for (auto _ : state) {
        uint32_t total = 0;
        for (int poll = 0; poll < 2001; ++poll) total += count("vid_04d8&pid_ffca");
        benchmark::DoNotOptimize(total);
    }
}

BENCHMARK(BM_2001DeviceCountPolls)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
