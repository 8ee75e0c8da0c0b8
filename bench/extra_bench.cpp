// The word hasher on a five-element message, and BLAKE2s as the group hash
// uses it.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>

#include "hashes/blake2s.h"
#include "poseidon/sponge.h"

namespace {

// Five elements (twenty words) plus the closing 1: one block, one permutation.
void BM_HashFiveElements(benchmark::State& st) {
    lumora::poseidon::get_poseidon_hasher();
    std::uint64_t seed = 0;
    for (auto _ : st) {
        lumora::poseidon::PoseidonHasher h;
        for (std::uint64_t w = 0; w < 20; ++w) h.update((w + seed) * 0x9e3779b97f4a7c15ULL);
        benchmark::DoNotOptimize(h.finalize());
        ++seed;
    }
}
BENCHMARK(BM_HashFiveElements)->Unit(benchmark::kMicrosecond);

// One group-hash sized input: 32 bytes of tag under an 8-byte personalisation.
void BM_Blake2sPersonalised(benchmark::State& st) {
    std::array<std::uint8_t, 32> tag{};
    const std::array<std::uint8_t, 8> persona = {'b', 'e', 'n', 'c', 'h', 't', 'a', 'g'};
    std::uint8_t i = 0;
    for (auto _ : st) {
        tag[0] = i++;
        auto h = lumora::hashes::Blake2s::with_params(32, {}, {}, persona);
        h.update(tag);
        benchmark::DoNotOptimize(h.finalize_with_flag(0));
    }
}
BENCHMARK(BM_Blake2sPersonalised);

}  // namespace
