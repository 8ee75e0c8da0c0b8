// Both fields' operations one at a time: multiplication and squaring in a
// dependent chain (latency, the figure point arithmetic and the permutation
// feel), inversion by both methods, and the square root.
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
BENCHMARK(BM_MulChain<Fr>)->Name("BM_FieldFrMulChain");
BENCHMARK(BM_MulChain<Fs>)->Name("BM_FieldFsMulChain");

template <class F>
void BM_SquareChain(benchmark::State& st) {
    F a = F::from_raw({1, 2, 3, 4});
    for (auto _ : st) {
        for (int i = 0; i < CHAIN; ++i) a = a.square();
        benchmark::DoNotOptimize(a);
    }
    st.SetItemsProcessed(st.iterations() * CHAIN);
}
BENCHMARK(BM_SquareChain<Fr>)->Name("BM_FieldFrSquareChain");
BENCHMARK(BM_SquareChain<Fs>)->Name("BM_FieldFsSquareChain");

// Variable-time binary inversion (public values).
template <class F>
void BM_Inverse(benchmark::State& st) {
    F a = F::from_raw({0x1234, 0x5678, 0x9abc, 0xdef0});
    for (auto _ : st) {
        a = *a.inverse() + F::one();
        benchmark::DoNotOptimize(a);
    }
}
BENCHMARK(BM_Inverse<Fr>)->Name("BM_FieldFrInverse");
BENCHMARK(BM_Inverse<Fs>)->Name("BM_FieldFsInverse");

// Constant-time inversion by exponentiation.
void BM_FieldFrInvertCt(benchmark::State& st) {
    Fr a = Fr::from_raw({0x1234, 0x5678, 0x9abc, 0xdef0});
    for (auto _ : st) {
        a = a.invert_ct().first + Fr::one();
        benchmark::DoNotOptimize(a);
    }
}
BENCHMARK(BM_FieldFrInvertCt);

// The square root of a residue (4·k², so every input has one).
void BM_FieldFrSqrt(benchmark::State& st) {
    Fr k = Fr::from_raw({0x1234, 0x5678, 0x9abc, 0xdef0});
    const Fr four = Fr::from_u64(4);
    for (auto _ : st) {
        benchmark::DoNotOptimize(lumora::field::sqrt(four * k.square()));
        k += Fr::one();
    }
}
BENCHMARK(BM_FieldFrSqrt);

}  // namespace
