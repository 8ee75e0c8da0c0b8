// SHA-256 and HMAC-SHA256 in the sizes the nonce derivation and key-from-seed
// use, in each compression form this CPU runs (…/portable, …/extension) and
// in the form the process dispatched to (no suffix).
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <string>

#include "common/cpu.h"
#include "eddsa/nonce_steps.h"
#include "hashes/sha256.h"

namespace {

using namespace lumora::hashes;

// The forms by index: 0 portable, 1 the instruction form, 2 the dispatched one.
const Sha256Form* form(benchmark::State& st) {
    const Sha256Form* f = st.range(0) == 0 ? &SHA256_PORTABLE
                          : st.range(0) == 1 ? (lumora::cpu::features().sha ? sha256_extension_form() : nullptr)
                                             : &sha256_form();
    if (f != nullptr) st.SetLabel(st.range(0) == 2 ? std::string("dispatched: ") + f->name : f->name);
    return f;
}

// The nonce derivation's steps, alike: portable, fused, dispatched.
const lumora::eddsa::NonceSteps* steps(benchmark::State& st) {
    using namespace lumora::eddsa;
    const NonceSteps* s = st.range(0) == 0 ? &NONCE_STEPS_PORTABLE
                          : st.range(0) == 1 ? (lumora::cpu::features().sha ? nonce_steps_extension() : nullptr)
                                             : &nonce_steps();
    if (s != nullptr) st.SetLabel(st.range(0) == 2 ? std::string("dispatched: ") + s->name : s->name);
    return s;
}

void BM_Sha256Compress(benchmark::State& st) {
    const Sha256Form* f = form(st);
    if (f == nullptr) return st.SkipWithError("no SHA-256 instructions on this CPU");
    Sha256State state = SHA256_IV;
    std::array<std::uint8_t, SHA256_BLOCK_BYTES> block{};
    for (auto _ : st) {
        f->compress(state, block.data(), 1);  // a dependent chain: latency, as in HMAC
        benchmark::DoNotOptimize(state);
    }
    st.SetItemsProcessed(st.iterations());
}
BENCHMARK(BM_Sha256Compress)->DenseRange(0, 2);

// Two independent chains side by side: per pair of blocks.
void BM_Sha256CompressPair(benchmark::State& st) {
    const Sha256Form* f = form(st);
    if (f == nullptr) return st.SkipWithError("no SHA-256 instructions on this CPU");
    Sha256State a = SHA256_IV, b = SHA256_IV;
    std::array<std::uint8_t, SHA256_BLOCK_BYTES> block_a{}, block_b{};
    block_b[0] = 1;
    for (auto _ : st) {
        f->compress_pair(a, block_a.data(), b, block_b.data());
        benchmark::DoNotOptimize(a);
        benchmark::DoNotOptimize(b);
    }
    st.SetItemsProcessed(st.iterations());
}
BENCHMARK(BM_Sha256CompressPair)->DenseRange(0, 2);

// SHA-256 of a 32-byte digest, chained: the key-from-seed loop.
void BM_Sha256ChainedDigest(benchmark::State& st) {
    const Sha256Form* f = form(st);
    if (f == nullptr) return st.SkipWithError("no SHA-256 instructions on this CPU");
    Sha256Digest h{};
    for (auto _ : st) {
        Sha256 ctx(*f);
        ctx.update(h);
        ctx.finalize(h);
    }
    benchmark::DoNotOptimize(h);
    st.SetItemsProcessed(st.iterations());
}
BENCHMARK(BM_Sha256ChainedDigest)->DenseRange(0, 2);

// One rejected nonce candidate: prepare K, MAC V (32 bytes), then MAC
// V ‖ V ‖ 0x00 into the next K.
void BM_HmacSha256NonceStep(benchmark::State& st) {
    const Sha256Form* f = form(st);
    if (f == nullptr) return st.SkipWithError("no SHA-256 instructions on this CPU");
    static constexpr std::uint8_t ZERO[1] = {0};
    Sha256Digest k{}, v{}, t{};
    v.fill(1);
    for (auto _ : st) {
        const HmacSha256Key key(k, *f);
        key.mac_pair({v}, t, {v, v, ZERO}, k);
    }
    benchmark::DoNotOptimize(t);
    benchmark::DoNotOptimize(k);
    st.SetItemsProcessed(st.iterations());
}
BENCHMARK(BM_HmacSha256NonceStep)->DenseRange(0, 2);

// The same step as one call: the fused routine where there is one.
void BM_HmacSha256RetryStep(benchmark::State& st) {
    const lumora::eddsa::NonceSteps* f = steps(st);
    if (f == nullptr) return st.SkipWithError("no SHA-256 instructions on this CPU");
    Sha256Digest k{}, v{}, t{};
    v.fill(1);
    const lumora::eddsa::HmacSha256Retry retry(v, *f);
    for (auto _ : st) retry.step(k, t);
    benchmark::DoNotOptimize(t);
    benchmark::DoNotOptimize(k);
    st.SetItemsProcessed(st.iterations());
}
BENCHMARK(BM_HmacSha256RetryStep)->DenseRange(0, 2);

// The nonce derivation's set-up and its first candidate, for a 32-byte
// message: what the derivation costs beyond its retry steps.
void BM_HmacSha256CandidatesFirst(benchmark::State& st) {
    const lumora::eddsa::NonceSteps* f = steps(st);
    if (f == nullptr) return st.SkipWithError("no SHA-256 instructions on this CPU");
    Sha256Digest x{}, message{}, t{};
    x.fill(0x5a);
    std::uint8_t i = 0;
    for (auto _ : st) {
        message[0] = i++;
        lumora::eddsa::HmacSha256Candidates candidates(x, message, *f);
        candidates.next(t);
        benchmark::DoNotOptimize(t);
    }
    st.SetItemsProcessed(st.iterations());
}
BENCHMARK(BM_HmacSha256CandidatesFirst)->DenseRange(0, 2);

}  // namespace
