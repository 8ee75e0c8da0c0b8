// The SHA-256 compression on SHA-NI. Only this function is built for the SHA,
// SSSE3 and SSE4.1 instructions; the dispatch enters it only when the CPU
// reports all three.
#include "hashes/sha256_forms.h"

#if defined(__x86_64__)
#include <immintrin.h>

namespace lumora::hashes::detail {

__attribute__((target("sha,sse4.1,ssse3"))) void sha256_compress_shani(Sha256State& state,
                                                                        const std::uint8_t* blocks,
                                                                        std::size_t count) {
    // Byte order within each 32-bit word: the message words are big-endian.
    const __m128i bswap = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);

    // SHA256RNDS2 keeps the working variables as ABEF and CDGH.
    __m128i dcba = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[0]));
    __m128i hgfe = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[4]));
    const __m128i cdab = _mm_shuffle_epi32(dcba, 0xb1);
    const __m128i efgh = _mm_shuffle_epi32(hgfe, 0x1b);
    __m128i abef = _mm_alignr_epi8(cdab, efgh, 8);
    __m128i cdgh = _mm_blend_epi16(efgh, cdab, 0xf0);

    for (; count > 0; --count, blocks += SHA256_BLOCK_BYTES) {
        const __m128i abef_in = abef, cdgh_in = cdgh;
        // w[g] holds message words 4g..4g+3, modulo the last four groups.
        __m128i w[4];
        for (int g = 0; g < 4; ++g)
            w[g] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(blocks + 16 * g)), bswap);
        for (int g = 0; g < 16; ++g) {
            if (g >= 4) {
                // W[t] = σ1(W[t−2]) + W[t−7] + σ0(W[t−15]) + W[t−16], four at a time.
                __m128i next = _mm_sha256msg1_epu32(w[g & 3], w[(g + 1) & 3]);
                next = _mm_add_epi32(next, _mm_alignr_epi8(w[(g + 3) & 3], w[(g + 2) & 3], 4));
                w[g & 3] = _mm_sha256msg2_epu32(next, w[(g + 3) & 3]);
            }
            __m128i wk = _mm_add_epi32(w[g & 3], _mm_load_si128(reinterpret_cast<const __m128i*>(&SHA256_K[4 * g])));
            // Each instruction does two rounds and leaves the new ABEF in its
            // first operand, whose old ABEF is the new CDGH: after the pair,
            // the names fit again.
            cdgh = _mm_sha256rnds2_epu32(cdgh, abef, wk);
            wk = _mm_shuffle_epi32(wk, 0x0e);
            abef = _mm_sha256rnds2_epu32(abef, cdgh, wk);
        }
        abef = _mm_add_epi32(abef, abef_in);
        cdgh = _mm_add_epi32(cdgh, cdgh_in);
    }

    const __m128i feba = _mm_shuffle_epi32(abef, 0x1b);
    const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xb1);
    dcba = _mm_blend_epi16(feba, dchg, 0xf0);
    hgfe = _mm_alignr_epi8(dchg, feba, 8);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[0]), dcba);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[4]), hgfe);
}

}  // namespace lumora::hashes::detail

#endif
