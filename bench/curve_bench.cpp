#include <benchmark/benchmark.h>

#include <random>

#include "curve/alt_jubjub.h"
#include "sdk/keys.h"

namespace {

using lumora::curve::AltJubjubBn256;
using lumora::curve::jubjub_params;
using lumora::curve::SIGNING_GENERATOR;
using lumora::field::Fs;
using Point = lumora::curve::PrimeOrderPoint;

Fs random_scalar(std::mt19937_64& rng) { return Fs::from_raw({rng(), rng(), rng(), rng()}); }

// The plain method: double-and-add over all 256 bits, most significant first.
Point plain_double_and_add(const Point& base, const Fs& scalar) {
    const auto k = scalar.into_repr();
    Point acc;
    for (int i = 255; i >= 0; --i) {
        acc = acc.dbl();
        if ((k[i / 64] >> (i % 64)) & 1) acc = acc.add(base, jubjub_params());
    }
    return acc;
}

void BM_BuildParameterSet(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(AltJubjubBn256::build());
}
BENCHMARK(BM_BuildParameterSet)->Unit(benchmark::kMillisecond);

void BM_MulSigningGeneratorFixedBase(benchmark::State& state) {
    std::mt19937_64 rng(1);
    const auto& params = jubjub_params();
    Fs k = random_scalar(rng);
    for (auto _ : state) {
        benchmark::DoNotOptimize(params.mul_signing_generator(k));
        k += Fs::one();
    }
}
BENCHMARK(BM_MulSigningGeneratorFixedBase)->Unit(benchmark::kMicrosecond);

// Variable base, constant time (secret scalars).
void BM_MulVariableBase(benchmark::State& state) {
    std::mt19937_64 rng(2);
    const auto& params = jubjub_params();
    const Point p = params.mul_signing_generator(random_scalar(rng));
    Fs k = random_scalar(rng);
    for (auto _ : state) {
        benchmark::DoNotOptimize(p.mul(k, params));
        k += Fs::one();
    }
}
BENCHMARK(BM_MulVariableBase)->Unit(benchmark::kMicrosecond);

// Variable base, variable time (public scalars).
void BM_MulVariableBaseVar(benchmark::State& state) {
    std::mt19937_64 rng(3);
    const auto& params = jubjub_params();
    const Point p = params.mul_signing_generator(random_scalar(rng));
    Fs k = random_scalar(rng);
    for (auto _ : state) {
        benchmark::DoNotOptimize(p.mul_var(k.into_repr(), params));
        k += Fs::one();
    }
}
BENCHMARK(BM_MulVariableBaseVar)->Unit(benchmark::kMicrosecond);

void BM_MulPlainDoubleAndAdd(benchmark::State& state) {
    std::mt19937_64 rng(4);
    const auto& params = jubjub_params();
    const Point p = params.mul_signing_generator(random_scalar(rng));
    Fs k = random_scalar(rng);
    for (auto _ : state) {
        benchmark::DoNotOptimize(plain_double_and_add(p, k));
        k += Fs::one();
    }
}
BENCHMARK(BM_MulPlainDoubleAndAdd)->Unit(benchmark::kMicrosecond);

void BM_WritePoint(benchmark::State& state) {
    std::mt19937_64 rng(5);
    const Point p = jubjub_params().mul_signing_generator(random_scalar(rng));
    for (auto _ : state) benchmark::DoNotOptimize(p.write());
}
BENCHMARK(BM_WritePoint)->Unit(benchmark::kMicrosecond);

void BM_ReadPoint(benchmark::State& state) {
    std::mt19937_64 rng(6);
    const auto bytes = jubjub_params().mul_signing_generator(random_scalar(rng)).write();
    for (auto _ : state) benchmark::DoNotOptimize(lumora::curve::edwards::read_var(bytes, jubjub_params()));
}
BENCHMARK(BM_ReadPoint)->Unit(benchmark::kMicrosecond);

void BM_PrivateKeyToPubkeyXy(benchmark::State& state) {
    jubjub_params();
    const char* key = "0x02F9672BACC14AD91ED378C64715CC60BEF1C97FAE658AEAD2ED338C530AFAC0";
    for (auto _ : state) benchmark::DoNotOptimize(lumora::sdk::private_key_to_public_key_xy(key));
}
BENCHMARK(BM_PrivateKeyToPubkeyXy)->Unit(benchmark::kMicrosecond);

}  // namespace
