// CPU cost of the link library's reads against the scripted USB access library
// at zero latency: what the library adds per exchange beyond the USB calls.
#include "ksx4/ksx4_com.h"
#include "scripted_usb.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

void openScriptedTester(benchmark::State& state) {
    scriptedUsbReset();
    scriptedUsbSetRecording(0);
    if (TessCommOpenDevice(0) != OPERATION_SUCCESS) state.SkipWithError("open failed");
}

void wholeFlashRead(benchmark::State& state) {
    openScriptedTester(state);
    std::vector<uint8_t> flash(32767);
    for (auto _ : state) {
        const int32_t result = TessCommReadFlashMemory(0, 32767, flash.data());
        if (result != OPERATION_SUCCESS) state.SkipWithError("read failed");
        benchmark::DoNotOptimize(flash.data());
    }
    state.counters["exchanges"] = 556;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 32767);
    TessCommCloseDevice();
}
BENCHMARK(wholeFlashRead)->Unit(benchmark::kMicrosecond);

void wholeEepromRead(benchmark::State& state) {
    openScriptedTester(state);
    uint8_t eeprom[256];
    for (auto _ : state) {
        const int32_t result = TessCommReadEEMemory(0, 256, eeprom);
        if (result != OPERATION_SUCCESS) state.SkipWithError("read failed");
        benchmark::DoNotOptimize(eeprom);
    }
    TessCommCloseDevice();
}
BENCHMARK(wholeEepromRead)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
