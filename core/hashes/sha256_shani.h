// The vector operations of SHA-NI and the compression built on them, for
// the code built for those instructions: the compression form here
// (sha256_x86_64.cpp) and the nonce derivation's fused steps. Everything here
// carries the target attribute; it is entered only when the CPU reports SHA,
// SSSE3 and SSE4.1.
#pragma once

#include "hashes/sha256_forms.h"

#if defined(__x86_64__)
#include <immintrin.h>

#define LUMORA_TARGET_SHANI __attribute__((target("sha,sse4.1,ssse3")))

namespace lumora::hashes::detail {

struct ShaNi {
    using Vec = __m128i;

    // SHA256RNDS2 keeps the working variables as ABEF and CDGH.
    LUMORA_TARGET_SHANI static void load_state(const Sha256State& state, __m128i& abef, __m128i& cdgh) {
        const __m128i dcba = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[0]));
        const __m128i hgfe = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[4]));
        const __m128i cdab = _mm_shuffle_epi32(dcba, 0xb1);
        const __m128i efgh = _mm_shuffle_epi32(hgfe, 0x1b);
        abef = _mm_alignr_epi8(cdab, efgh, 8);
        cdgh = _mm_blend_epi16(efgh, cdab, 0xf0);
    }

    // The chaining value as words H0..H3 and H4..H7, lane i holding the i-th.
    LUMORA_TARGET_SHANI static void state_words(__m128i abef, __m128i cdgh, __m128i& lo, __m128i& hi) {
        const __m128i feba = _mm_shuffle_epi32(abef, 0x1b);
        const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xb1);
        lo = _mm_blend_epi16(feba, dchg, 0xf0);
        hi = _mm_alignr_epi8(dchg, feba, 8);
    }

    LUMORA_TARGET_SHANI static void store_state(Sha256State& state, __m128i abef, __m128i cdgh) {
        __m128i lo, hi;
        state_words(abef, cdgh, lo, hi);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[0]), lo);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[4]), hi);
    }

    LUMORA_TARGET_SHANI static __m128i load_bytes(const std::uint8_t* p) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    }
    LUMORA_TARGET_SHANI static void store_bytes(std::uint8_t* p, __m128i bytes) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), bytes);
    }
    // Byte order within each 32-bit word: the message words are big-endian.
    LUMORA_TARGET_SHANI static __m128i swap_bytes(__m128i v) {
        const __m128i bswap = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
        return _mm_shuffle_epi8(v, bswap);
    }
    LUMORA_TARGET_SHANI static __m128i straddle(__m128i lo, __m128i hi) { return _mm_alignr_epi8(hi, lo, 15); }
    LUMORA_TARGET_SHANI static __m128i words(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d) {
        return _mm_set_epi32(static_cast<int>(d), static_cast<int>(c), static_cast<int>(b), static_cast<int>(a));
    }
    LUMORA_TARGET_SHANI static __m128i splat(std::uint32_t a) { return _mm_set1_epi32(static_cast<int>(a)); }
    LUMORA_TARGET_SHANI static __m128i exclusive_or(__m128i a, __m128i b) { return _mm_xor_si128(a, b); }

    // One block into each of N independent states, given as message words:
    // w[lane][g] holds words 4g..4g+3 (lane i the word 4g+i). The lanes'
    // instructions are interleaved: a single compression waits on the latency
    // of SHA256RNDS2, two side by side use the cycles the first one leaves
    // idle. A lane whose bit is set in `Scheduled` takes its message
    // schedule, the constants already added, from wk[lane] (64 words, 16-byte
    // aligned) instead; one whose bit is set in `Recorded` writes the schedule
    // it computes to recorded[lane] (alike).
    template <int N, unsigned Scheduled = 0, unsigned Recorded = 0>
    LUMORA_TARGET_SHANI __attribute__((always_inline)) static void compress(
        __m128i (&abef)[N], __m128i (&cdgh)[N], __m128i (&w)[N][4], const std::uint32_t* const* wk = nullptr,
        std::uint32_t* const* recorded = nullptr) {
        __m128i abef_in[N], cdgh_in[N];
        for (int lane = 0; lane < N; ++lane) {
            abef_in[lane] = abef[lane];
            cdgh_in[lane] = cdgh[lane];
        }
        // Unrolled in full: the group index then selects registers, not stack
        // slots, and the branches on it vanish.
#pragma GCC unroll 16
        for (int g = 0; g < 16; ++g) {
            const __m128i k = _mm_load_si128(reinterpret_cast<const __m128i*>(&SHA256_K[4 * g]));
#pragma GCC unroll 4
            for (int lane = 0; lane < N; ++lane) {
                __m128i* x = w[lane];
                if ((Scheduled >> lane) & 1) {
                    __m128i given = _mm_load_si128(reinterpret_cast<const __m128i*>(wk[lane] + 4 * g));
                    cdgh[lane] = _mm_sha256rnds2_epu32(cdgh[lane], abef[lane], given);
                    given = _mm_shuffle_epi32(given, 0x0e);
                    abef[lane] = _mm_sha256rnds2_epu32(abef[lane], cdgh[lane], given);
                    continue;
                }
                if (g >= 4) {
                    // W[t] = σ1(W[t−2]) + W[t−7] + σ0(W[t−15]) + W[t−16], four at a time.
                    __m128i next = _mm_sha256msg1_epu32(x[g & 3], x[(g + 1) & 3]);
                    next = _mm_add_epi32(next, _mm_alignr_epi8(x[(g + 3) & 3], x[(g + 2) & 3], 4));
                    x[g & 3] = _mm_sha256msg2_epu32(next, x[(g + 3) & 3]);
                }
                // Each instruction does two rounds and leaves the new ABEF in
                // its first operand, whose old ABEF is the new CDGH: after the
                // pair, the names fit again.
                __m128i sum = _mm_add_epi32(x[g & 3], k);
                if ((Recorded >> lane) & 1) _mm_store_si128(reinterpret_cast<__m128i*>(recorded[lane] + 4 * g), sum);
                cdgh[lane] = _mm_sha256rnds2_epu32(cdgh[lane], abef[lane], sum);
                sum = _mm_shuffle_epi32(sum, 0x0e);
                abef[lane] = _mm_sha256rnds2_epu32(abef[lane], cdgh[lane], sum);
            }
        }
        for (int lane = 0; lane < N; ++lane) {
            abef[lane] = _mm_add_epi32(abef[lane], abef_in[lane]);
            cdgh[lane] = _mm_add_epi32(cdgh[lane], cdgh_in[lane]);
        }
    }

    template <int N>
    LUMORA_TARGET_SHANI __attribute__((always_inline)) static void compress_blocks(
        __m128i (&abef)[N], __m128i (&cdgh)[N], const std::uint8_t* const (&blocks)[N]) {
        // w[lane][g] holds message words 4g..4g+3, modulo the last four groups.
        __m128i w[N][4];
        for (int lane = 0; lane < N; ++lane)
            for (int g = 0; g < 4; ++g) w[lane][g] = swap_bytes(load_bytes(blocks[lane] + 16 * g));
        compress<N>(abef, cdgh, w);
    }
};

}  // namespace lumora::hashes::detail

#endif
