// Cost of the hex codec on its largest inputs.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "convert_api.h"

namespace {

void BM_Ascii2Hex_2048Characters(benchmark::State& state) {
    std::string text;
    for (int i = 0; i < 1024; ++i) text += "A5";
    std::vector<unsigned char> in(text.begin(), text.end());
    std::vector<unsigned char> out(1025);
    for (auto _ : state) benchmark::DoNotOptimize(oAscii2Hex(2048, in.data(), out.data()));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * 2048);
}
BENCHMARK(BM_Ascii2Hex_2048Characters);

void BM_Hex2Ascii_512Bytes(benchmark::State& state) {
    std::vector<unsigned char> in(512, 0x3C);
    std::vector<unsigned char> out(1025);
    for (auto _ : state) benchmark::DoNotOptimize(oHex2Ascii(512, in.data(), out.data()));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * 512);
}
BENCHMARK(BM_Hex2Ascii_512Bytes);

}  // namespace

BENCHMARK_MAIN();
