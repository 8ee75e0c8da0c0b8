#include <benchmark/benchmark.h>

#include <vector>

#include "curve/alt_jubjub.h"
#include "eddsa/eddsa.h"
#include "eddsa/nonce.h"

namespace {

using lumora::field::Fs;
namespace eddsa = lumora::eddsa;
namespace curve = lumora::curve;

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

// The curve work of one signature (the nonce is given): R = r·G and s.
void BM_SignRawMessage(benchmark::State& state) {
    const auto& params = curve::jubjub_params();
    const Fs sk = Fs::from_u64(0x1234567), r = Fs::from_u64(0x7654321);
    const std::vector<std::uint8_t> message(32, 0xab);
    for (auto _ : state)
        benchmark::DoNotOptimize(eddsa::sign_raw_message(sk, message, r, curve::SIGNING_GENERATOR, params));
}
BENCHMARK(BM_SignRawMessage)->Unit(benchmark::kMicrosecond);

// Verification of a foreign signature: both subgroup checks and s·G = R + c·pk.
void BM_VerifyRawMessage(benchmark::State& state) {
    const auto& params = curve::jubjub_params();
    const Fs sk = Fs::from_u64(0x1234567), r = Fs::from_u64(0x7654321);
    const std::vector<std::uint8_t> message(32, 0xab);
    const eddsa::UnknownPoint pk = eddsa::public_key(sk, curve::SIGNING_GENERATOR, params);
    const eddsa::Signature signature = eddsa::sign_raw_message(sk, message, r, curve::SIGNING_GENERATOR, params);
    for (auto _ : state)
        benchmark::DoNotOptimize(
            eddsa::verify_for_raw_message(pk, message, signature, curve::SIGNING_GENERATOR, params));
}
BENCHMARK(BM_VerifyRawMessage)->Unit(benchmark::kMicrosecond);

// Signing with a given nonce, the key, and the signer's own check.
void BM_SignAndCheck(benchmark::State& state) {
    const auto& params = lumora::curve::jubjub_params();
    const Fs sk = Fs::from_u64(0x1234567);
    const std::vector<std::uint8_t> message(32, 0xab);
    for (auto _ : state) {
        const auto sig = lumora::eddsa::sign_raw_message(sk, message, Fs::from_u64(99),
                                                         lumora::curve::SIGNING_GENERATOR, params);
        const auto pk = lumora::eddsa::public_key(sk, lumora::curve::SIGNING_GENERATOR, params);
        benchmark::DoNotOptimize(
            lumora::eddsa::verify_own_signature(pk, message, sig, lumora::curve::SIGNING_GENERATOR, params));
    }
}
BENCHMARK(BM_SignAndCheck)->Unit(benchmark::kMicrosecond);

}  // namespace
