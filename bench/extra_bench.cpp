// The core costs the other benchmark files leave out: Fs multiplication
// latency, inversion, square root, the word hasher on a five-element
// message, and BLAKE2s as the group hash uses it.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>

#include "curve/blake2s.h"
#include "field/fr.h"
#include "field/fs.h"
#include "poseidon/sponge.h"

namespace {

using lumora::field::Fr;
using lumora::field::Fs;

// Each product feeds the next, so this is latency, not throughput.
void BM_FsMulChain(benchmark::State& st) {
    Fs a = Fs::from_raw({1, 2, 3, 4});
    const Fs b = Fs::from_raw({5, 6, 7, 8});
    constexpr int CHAIN = 1000;
    for (auto _ : st) {
        for (int i = 0; i < CHAIN; ++i) a = a * b;
        benchmark::DoNotOptimize(a);
    }
    st.SetItemsProcessed(st.iterations() * CHAIN);
}
BENCHMARK(BM_FsMulChain);

// Variable time, as point decoding and verification use it.
void BM_FrInverse(benchmark::State& st) {
    Fr a = Fr::from_raw({0x1234, 0x5678, 0x9abc, 0xdef});
    for (auto _ : st) {
        a = *a.inverse() + Fr::one();  // the next input depends on this result
        benchmark::DoNotOptimize(a);
    }
}
BENCHMARK(BM_FrInverse)->Unit(benchmark::kMicrosecond);

// Constant time, for secret values.
void BM_FrInvertCt(benchmark::State& st) {
    Fr a = Fr::from_raw({0x1234, 0x5678, 0x9abc, 0xdef});
    for (auto _ : st) {
        a = a.invert_ct().first + Fr::one();
        benchmark::DoNotOptimize(a);
    }
}
BENCHMARK(BM_FrInvertCt)->Unit(benchmark::kMicrosecond);

// Squares always have a root, so every iteration runs the full algorithm.
void BM_FrSqrt(benchmark::State& st) {
    Fr a = Fr::from_raw({0x1234, 0x5678, 0x9abc, 0xdef});
    for (auto _ : st) {
        const auto root = lumora::field::sqrt(a.square());
        benchmark::DoNotOptimize(root);
        a += Fr::one();
    }
}
BENCHMARK(BM_FrSqrt)->Unit(benchmark::kMicrosecond);

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
        auto h = lumora::curve::Blake2s::with_params(32, {}, {}, persona);
        h.update(tag);
        benchmark::DoNotOptimize(h.finalize_with_flag(0));
    }
}
BENCHMARK(BM_Blake2sPersonalised);

}  // namespace
