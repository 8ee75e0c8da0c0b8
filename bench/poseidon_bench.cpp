// Hash-side costs: field multiplication latency, one permutation, parameter
// generation, and the word hasher over a transaction-sized message.
#include <benchmark/benchmark.h>

#include "field/fr.h"
#include "poseidon/sponge.h"

namespace {

using lumora::field::Fr;
namespace poseidon = lumora::poseidon;

// Each product feeds the next, so this is latency, not throughput.
void BM_FrMulChain(benchmark::State& st) {
    Fr a = Fr::from_raw({1, 2, 3, 4});
    const Fr b = Fr::from_raw({5, 6, 7, 8});
    constexpr int CHAIN = 1000;
    for (auto _ : st) {
        for (int i = 0; i < CHAIN; ++i) a = a * b;
        benchmark::DoNotOptimize(a);
    }
    st.SetItemsProcessed(st.iterations() * CHAIN);
}
BENCHMARK(BM_FrMulChain);

// The yardstick: a plain operand-scanning Montgomery multiplication with
// interleaved reduction (CIOS) on unsigned __int128, written the obvious way.
lumora::field::Limbs plain_cios_mul(const lumora::field::Limbs& a, const lumora::field::Limbs& b) {
    using lumora::field::u128;
    using lumora::field::u64;
    using P = lumora::field::FrParams;
    u64 t[6] = {0, 0, 0, 0, 0, 0};
    for (int i = 0; i < 4; ++i) {
        u64 carry = 0;
        for (int j = 0; j < 4; ++j) {
            const u128 s = static_cast<u128>(a[i]) * b[j] + t[j] + carry;
            t[j] = static_cast<u64>(s);
            carry = static_cast<u64>(s >> 64);
        }
        u128 s = static_cast<u128>(t[4]) + carry;
        t[4] = static_cast<u64>(s);
        t[5] = static_cast<u64>(s >> 64);
        const u64 m = t[0] * P::INV;
        s = static_cast<u128>(m) * P::MODULUS[0] + t[0];
        carry = static_cast<u64>(s >> 64);
        for (int j = 1; j < 4; ++j) {
            s = static_cast<u128>(m) * P::MODULUS[j] + t[j] + carry;
            t[j - 1] = static_cast<u64>(s);
            carry = static_cast<u64>(s >> 64);
        }
        s = static_cast<u128>(t[4]) + carry;
        t[3] = static_cast<u64>(s);
        t[4] = t[5] + static_cast<u64>(s >> 64);
    }
    return lumora::field::detail::reduce_once_ct({t[0], t[1], t[2], t[3]}, t[4], P::MODULUS);
}

void BM_FrMulChainPlainCios(benchmark::State& st) {
    lumora::field::Limbs a = Fr::from_raw({1, 2, 3, 4}).mont();
    const lumora::field::Limbs b = Fr::from_raw({5, 6, 7, 8}).mont();
    if (plain_cios_mul(a, b) != (Fr::from_mont(a) * Fr::from_mont(b)).mont()) {
        st.SkipWithError("the yardstick disagrees with the engine");
        return;
    }
    constexpr int CHAIN = 1000;
    for (auto _ : st) {
        for (int i = 0; i < CHAIN; ++i) a = plain_cios_mul(a, b);
        benchmark::DoNotOptimize(a);
    }
    st.SetItemsProcessed(st.iterations() * CHAIN);
}
BENCHMARK(BM_FrMulChainPlainCios);

void BM_Permutation(benchmark::State& st) {
    const poseidon::Spec& spec = poseidon::get_poseidon_hasher().spec();
    poseidon::State s;
    for (std::size_t i = 0; i < s.size(); ++i) s[i] = Fr::from_u64(i + 1);
    for (auto _ : st) {
        spec.permute(s);
        benchmark::DoNotOptimize(s);
    }
}
BENCHMARK(BM_Permutation)->Unit(benchmark::kMicrosecond);

// What the first hash in a process pays once.
void BM_ParameterGeneration(benchmark::State& st) {
    for (auto _ : st) {
        auto spec = poseidon::Spec::create(poseidon::FULL_ROUNDS, poseidon::PARTIAL_ROUNDS);
        benchmark::DoNotOptimize(spec);
    }
}
BENCHMARK(BM_ParameterGeneration)->Unit(benchmark::kMillisecond);

// Sixteen words: four elements, one permutation, like a transfer.
void BM_HashSixteenWords(benchmark::State& st) {
    poseidon::get_poseidon_hasher();
    for (auto _ : st) {
        poseidon::PoseidonHasher h;
        for (std::uint64_t w = 0; w < 16; ++w) h.update(w * 0x9e3779b97f4a7c15ULL);
        benchmark::DoNotOptimize(h.finalize());
    }
}
BENCHMARK(BM_HashSixteenWords)->Unit(benchmark::kMicrosecond);

}  // namespace

namespace {
void BM_FrSquareChain(benchmark::State& st) {
    Fr a = Fr::from_raw({1, 2, 3, 4});
    constexpr int CHAIN = 1000;
    for (auto _ : st) {
        for (int i = 0; i < CHAIN; ++i) a = a.square();
        benchmark::DoNotOptimize(a);
    }
    st.SetItemsProcessed(st.iterations() * CHAIN);
}
BENCHMARK(BM_FrSquareChain);
void BM_FrDot9(benchmark::State& st) {
    std::array<Fr, 9> a, b;
    for (int i = 0; i < 9; ++i) {
        a[i] = Fr::from_u64(i + 3);
        b[i] = Fr::from_u64(7 * i + 1);
    }
    for (auto _ : st) {
        for (int i = 0; i < 100; ++i) a[i % 9] = Fr::sum_of_products(a, b);
        benchmark::DoNotOptimize(a);
    }
    st.SetItemsProcessed(st.iterations() * 100);
}
BENCHMARK(BM_FrDot9);
}  // namespace
