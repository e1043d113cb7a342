// The HEX reader on the text of a full firmware image (the whole application
// area, 30 KB in 1920 records of 16 bytes).
#include "hex_reader.h"
#include "intel_hex_text.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

void BM_ReadFullImageText(benchmark::State& state) {
    std::vector<uint8_t> image(0x7800);
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 31 + (i >> 8));
    const std::string text = ksx4::test::hexImageFile(0x0800, image);
    for (auto _ : state) {
        auto result = ksx4::com::readHexText(text);
        if (!std::holds_alternative<ksx4::com::HexImage>(result)) {
            state.SkipWithError("refused");
            break;
        }
        benchmark::DoNotOptimize(result);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ReadFullImageText)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
