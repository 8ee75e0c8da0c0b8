// Shared by the compression forms of SHA-256 (sha256.cpp and the instruction
// forms beside it) and by code built on the forms' compression: the
// constants, the schedule, and the compression at compile time for blocks
// made of constants.
#pragma once

#include <array>
#include <cstdint>

#include "hashes/sha256.h"

namespace lumora::hashes::detail {

// K of FIPS 180-4 §4.2.2: the first 32 bits of the fractional parts of the
// cube roots of the first 64 primes. Aligned for the vector loads of the
// instruction forms.
alignas(16) inline constexpr std::array<std::uint32_t, 64> SHA256_K = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2,
};

constexpr std::uint32_t rotr(std::uint32_t x, unsigned n) { return (x >> n) | (x << (32 - n)); }

// σ0 and σ1 of the message schedule (FIPS 180-4 §4.1.2).
constexpr std::uint32_t small_sigma0(std::uint32_t x) { return rotr(x, 7) ^ rotr(x, 18) ^ (x >> 3); }
constexpr std::uint32_t small_sigma1(std::uint32_t x) { return rotr(x, 17) ^ rotr(x, 19) ^ (x >> 10); }

// Word t ≥ 16 of a message schedule from the sixteen before it (§6.2.2
// step 1); `w` holds the words without the constants added.
constexpr std::uint32_t sha256_next_word(const std::uint32_t* w, int t) {
    return w[t - 16] + small_sigma0(w[t - 15]) + w[t - 7] + small_sigma1(w[t - 2]);
}

// W[t] + K[t] for t = 0..63 of a block given as its sixteen big-endian words:
// for blocks made of constants, at compile time (the run-time forms keep
// their own).
constexpr std::array<std::uint32_t, 64> schedule_constexpr(const std::array<std::uint32_t, 16>& block) {
    std::array<std::uint32_t, 64> w{};
    for (int t = 0; t < 16; ++t) w[t] = block[t];
    for (int t = 16; t < 64; ++t) w[t] = sha256_next_word(w.data(), t);
    for (int t = 0; t < 64; ++t) w[t] += SHA256_K[t];
    return w;
}

// The compression of one block at compile time.
constexpr Sha256State compress_constexpr(const Sha256State& state, const std::array<std::uint32_t, 16>& block) {
    const std::array<std::uint32_t, 64> wk = schedule_constexpr(block);
    std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    std::uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
    for (int t = 0; t < 64; ++t) {
        const std::uint32_t t1 = h + (rotr(e, 6) ^ rotr(e, 11) ^ rotr(e, 25)) + ((e & f) ^ (~e & g)) + wk[t];
        const std::uint32_t t2 = (rotr(a, 2) ^ rotr(a, 13) ^ rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
        h = g;
        g = f;
        f = e;
        e = d + t1;
        d = c;
        c = b;
        b = a;
        a = t1 + t2;
    }
    return {state[0] + a, state[1] + b, state[2] + c, state[3] + d,
            state[4] + e, state[5] + f, state[6] + g, state[7] + h};
}

#if defined(__x86_64__)
#define LUMORA_SHA256_EXTENSION 1
// SHA-NI with SSSE3 and SSE4.1 (sha256_x86_64.cpp).
void sha256_compress_shani(Sha256State& state, const std::uint8_t* blocks, std::size_t count);
void sha256_compress_pair_shani(Sha256State& a, const std::uint8_t* block_a, Sha256State& b,
                                const std::uint8_t* block_b);
#elif defined(__aarch64__) && (!defined(__clang__) || defined(__ARM_FEATURE_SHA2))
#define LUMORA_SHA256_EXTENSION 1
// The Armv8 SHA-256 instructions (sha256_aarch64.cpp). Clang only offers
// their intrinsics when the whole file is built for them.
void sha256_compress_armv8(Sha256State& state, const std::uint8_t* blocks, std::size_t count);
void sha256_compress_pair_armv8(Sha256State& a, const std::uint8_t* block_a, Sha256State& b,
                                const std::uint8_t* block_b);
#endif

}  // namespace lumora::hashes::detail
