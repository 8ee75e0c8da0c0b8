#include <benchmark/benchmark.h>

#include <vector>

#include "eddsa/nonce.h"

namespace {

using lumora::field::Fs;

// About 42 candidates on average: two HMACs per rejected one.
void BM_DeterministicSeed(benchmark::State& state) {
    Fs sk = Fs::from_u64(0x1234567);
    std::vector<std::uint8_t> message(32, 0xab);
    std::uint64_t i = 0;
    for (auto _ : state) {
        message[0] = static_cast<std::uint8_t>(i++);  // a fresh message, a fresh number of tries
        benchmark::DoNotOptimize(lumora::eddsa::deterministic_seed(sk, message));
    }
}
BENCHMARK(BM_DeterministicSeed);

}  // namespace
