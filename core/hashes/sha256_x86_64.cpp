// The SHA-256 compression on SHA-NI. Only the functions here are built for
// the SHA, SSSE3 and SSE4.1 instructions; the dispatch enters them only when
// the CPU reports all three.
#include "hashes/sha256_forms.h"

#if defined(__x86_64__)
#include <immintrin.h>

#define LUMORA_TARGET_SHANI __attribute__((target("sha,sse4.1,ssse3")))

namespace lumora::hashes::detail {

namespace {

// SHA256RNDS2 keeps the working variables as ABEF and CDGH.
LUMORA_TARGET_SHANI inline void load_state(const Sha256State& state, __m128i& abef, __m128i& cdgh) {
    const __m128i dcba = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[0]));
    const __m128i hgfe = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[4]));
    const __m128i cdab = _mm_shuffle_epi32(dcba, 0xb1);
    const __m128i efgh = _mm_shuffle_epi32(hgfe, 0x1b);
    abef = _mm_alignr_epi8(cdab, efgh, 8);
    cdgh = _mm_blend_epi16(efgh, cdab, 0xf0);
}

LUMORA_TARGET_SHANI inline void store_state(Sha256State& state, __m128i abef, __m128i cdgh) {
    const __m128i feba = _mm_shuffle_epi32(abef, 0x1b);
    const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xb1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[0]), _mm_blend_epi16(feba, dchg, 0xf0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[4]), _mm_alignr_epi8(dchg, feba, 8));
}

// One block into each of N independent states, the lanes' instructions
// interleaved: a single compression waits on the latency of SHA256RNDS2,
// two side by side use the cycles the first one leaves idle.
template <int N>
LUMORA_TARGET_SHANI inline void compress_lanes(__m128i (&abef)[N], __m128i (&cdgh)[N],
                                               const std::uint8_t* const (&blocks)[N]) {
    // Byte order within each 32-bit word: the message words are big-endian.
    const __m128i bswap = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
    __m128i abef_in[N], cdgh_in[N];
    // w[lane][g] holds message words 4g..4g+3, modulo the last four groups.
    __m128i w[N][4];
    for (int lane = 0; lane < N; ++lane) {
        abef_in[lane] = abef[lane];
        cdgh_in[lane] = cdgh[lane];
        for (int g = 0; g < 4; ++g)
            w[lane][g] =
                _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(blocks[lane] + 16 * g)), bswap);
    }
    for (int g = 0; g < 16; ++g) {
        const __m128i k = _mm_load_si128(reinterpret_cast<const __m128i*>(&SHA256_K[4 * g]));
        for (int lane = 0; lane < N; ++lane) {
            __m128i* x = w[lane];
            if (g >= 4) {
                // W[t] = σ1(W[t−2]) + W[t−7] + σ0(W[t−15]) + W[t−16], four at a time.
                __m128i next = _mm_sha256msg1_epu32(x[g & 3], x[(g + 1) & 3]);
                next = _mm_add_epi32(next, _mm_alignr_epi8(x[(g + 3) & 3], x[(g + 2) & 3], 4));
                x[g & 3] = _mm_sha256msg2_epu32(next, x[(g + 3) & 3]);
            }
            // Each instruction does two rounds and leaves the new ABEF in its
            // first operand, whose old ABEF is the new CDGH: after the pair,
            // the names fit again.
            __m128i wk = _mm_add_epi32(x[g & 3], k);
            cdgh[lane] = _mm_sha256rnds2_epu32(cdgh[lane], abef[lane], wk);
            wk = _mm_shuffle_epi32(wk, 0x0e);
            abef[lane] = _mm_sha256rnds2_epu32(abef[lane], cdgh[lane], wk);
        }
    }
    for (int lane = 0; lane < N; ++lane) {
        abef[lane] = _mm_add_epi32(abef[lane], abef_in[lane]);
        cdgh[lane] = _mm_add_epi32(cdgh[lane], cdgh_in[lane]);
    }
}

}  // namespace

LUMORA_TARGET_SHANI void sha256_compress_shani(Sha256State& state, const std::uint8_t* blocks, std::size_t count) {
    __m128i abef[1], cdgh[1];
    load_state(state, abef[0], cdgh[0]);
    for (; count > 0; --count, blocks += SHA256_BLOCK_BYTES) {
        const std::uint8_t* const block[1] = {blocks};
        compress_lanes<1>(abef, cdgh, block);
    }
    store_state(state, abef[0], cdgh[0]);
}

LUMORA_TARGET_SHANI void sha256_compress_pair_shani(Sha256State& a, const std::uint8_t* block_a, Sha256State& b,
                                                    const std::uint8_t* block_b) {
    __m128i abef[2], cdgh[2];
    load_state(a, abef[0], cdgh[0]);
    load_state(b, abef[1], cdgh[1]);
    const std::uint8_t* const blocks[2] = {block_a, block_b};
    compress_lanes<2>(abef, cdgh, blocks);
    store_state(a, abef[0], cdgh[0]);
    store_state(b, abef[1], cdgh[1]);
}

}  // namespace lumora::hashes::detail

#endif
