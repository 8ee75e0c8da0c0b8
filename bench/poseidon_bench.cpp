// Hash-side costs: field multiplication latency, one permutation, parameter
// generation, and the word hasher over a transaction-sized message.
#include <benchmark/benchmark.h>

#include "field/fr.h"
#include "poseidon/sponge.h"

namespace {

using lumora::field::Fr;
namespace poseidon = lumora::poseidon;



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

// The two paths side by side, whatever the dispatch chooses.
void BM_PermutationScalar(benchmark::State& st) {
    const poseidon::Spec& spec = poseidon::get_poseidon_hasher().spec();
    poseidon::State s;
    for (std::size_t i = 0; i < s.size(); ++i) s[i] = Fr::from_u64(i + 1);
    for (auto _ : st) {
        spec.permute_scalar(s);
        benchmark::DoNotOptimize(s);
    }
}
BENCHMARK(BM_PermutationScalar)->Unit(benchmark::kMicrosecond);

void BM_PermutationIfma(benchmark::State& st) {
    const poseidon::Spec& spec = poseidon::get_poseidon_hasher().spec();
    poseidon::State s;
    for (std::size_t i = 0; i < s.size(); ++i) s[i] = Fr::from_u64(i + 1);
    if (!spec.permute_ifma(s)) {
        st.SkipWithError("no AVX-512 IFMA on this CPU");
        return;
    }
    for (auto _ : st) {
        spec.permute_ifma(s);
        benchmark::DoNotOptimize(s);
    }
}
BENCHMARK(BM_PermutationIfma)->Unit(benchmark::kMicrosecond);

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
