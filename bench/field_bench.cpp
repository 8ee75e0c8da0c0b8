// Both fields' operations one at a time: multiplication and squaring in a
// dependent chain (latency, the figure point arithmetic and the permutation
// feel), inversion by both methods, the square root, and a plain
// multiplication as the yardstick of the engine.
#include <benchmark/benchmark.h>

#include "field/fr.h"
#include "field/fs.h"

namespace {

using lumora::field::Fr;
using lumora::field::Fs;

constexpr int CHAIN = 1000;

template <class F>
void BM_MulChain(benchmark::State& st) {
    F a = F::from_raw({1, 2, 3, 4});
    const F b = F::from_raw({5, 6, 7, 8});
    for (auto _ : st) {
        for (int i = 0; i < CHAIN; ++i) a = a * b;
        benchmark::DoNotOptimize(a);
    }
    st.SetItemsProcessed(st.iterations() * CHAIN);
}
BENCHMARK(BM_MulChain<Fr>)->Name("BM_FrMulChain");
BENCHMARK(BM_MulChain<Fs>)->Name("BM_FsMulChain");

template <class F>
void BM_SquareChain(benchmark::State& st) {
    F a = F::from_raw({1, 2, 3, 4});
    for (auto _ : st) {
        for (int i = 0; i < CHAIN; ++i) a = a.square();
        benchmark::DoNotOptimize(a);
    }
    st.SetItemsProcessed(st.iterations() * CHAIN);
}
BENCHMARK(BM_SquareChain<Fr>)->Name("BM_FrSquareChain");
BENCHMARK(BM_SquareChain<Fs>)->Name("BM_FsSquareChain");

// Variable-time inversion by divsteps, stopping early (public values).
template <class F>
void BM_Inverse(benchmark::State& st) {
    F a = F::from_raw({0x1234, 0x5678, 0x9abc, 0xdef0});
    for (auto _ : st) {
        a = *a.inverse_var() + F::one();
        benchmark::DoNotOptimize(a);
    }
}
BENCHMARK(BM_Inverse<Fr>)->Name("BM_FrInverse")->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Inverse<Fs>)->Name("BM_FsInverse")->Unit(benchmark::kMicrosecond);

// Constant-time inversion: a fixed 590 divsteps.
void BM_FrInvertCt(benchmark::State& st) {
    Fr a = Fr::from_raw({0x1234, 0x5678, 0x9abc, 0xdef0});
    for (auto _ : st) {
        a = a.invert().first + Fr::one();
        benchmark::DoNotOptimize(a);
    }
}
BENCHMARK(BM_FrInvertCt)->Unit(benchmark::kMicrosecond);

// The square root of a residue (4·k², so every input has one).
void BM_FrSqrt(benchmark::State& st) {
    Fr k = Fr::from_raw({0x1234, 0x5678, 0x9abc, 0xdef0});
    const Fr four = Fr::from_u64(4);
    for (auto _ : st) {
        benchmark::DoNotOptimize(lumora::field::sqrt_var(four * k.square()));
        k += Fr::one();
    }
}
BENCHMARK(BM_FrSqrt)->Unit(benchmark::kMicrosecond);

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
    return lumora::field::detail::reduce_once({t[0], t[1], t[2], t[3]}, t[4], P::MODULUS);
}

void BM_FrMulChainPlainCios(benchmark::State& st) {
    lumora::field::Limbs a = Fr::from_raw({1, 2, 3, 4}).mont();
    const lumora::field::Limbs b = Fr::from_raw({5, 6, 7, 8}).mont();
    if (plain_cios_mul(a, b) != (Fr::from_mont(a) * Fr::from_mont(b)).mont()) {
        st.SkipWithError("the yardstick disagrees with the engine");
        return;
    }
    for (auto _ : st) {
        for (int i = 0; i < CHAIN; ++i) a = plain_cios_mul(a, b);
        benchmark::DoNotOptimize(a);
    }
    st.SetItemsProcessed(st.iterations() * CHAIN);
}
BENCHMARK(BM_FrMulChainPlainCios);

}  // namespace
