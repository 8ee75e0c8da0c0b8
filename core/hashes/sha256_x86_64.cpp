// The SHA-256 compression on SHA-NI. Only the functions here are built for
// the SHA, SSSE3 and SSE4.1 instructions; the dispatch enters them only when
// the CPU reports all three.
#include "hashes/sha256_forms.h"

#include "common/secret.h"

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
// Byte order within each 32-bit word: the message words are big-endian.
LUMORA_TARGET_SHANI inline __m128i load_be_words(const std::uint8_t* p) {
    const __m128i bswap = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
    return _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), bswap);
}

LUMORA_TARGET_SHANI inline void store_be_words(std::uint8_t* p, __m128i words) {
    const __m128i bswap = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm_shuffle_epi8(words, bswap));
}

// The chaining value as words H0..H3 and H4..H7, lane i holding the i-th.
LUMORA_TARGET_SHANI inline void state_words(__m128i abef, __m128i cdgh, __m128i& lo, __m128i& hi) {
    const __m128i feba = _mm_shuffle_epi32(abef, 0x1b);
    const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xb1);
    lo = _mm_blend_epi16(feba, dchg, 0xf0);
    hi = _mm_alignr_epi8(dchg, feba, 8);
}

// One block into each of N independent states, given as message words:
// w[lane][g] holds words 4g..4g+3 (lane i the word 4g+i). The lanes'
// instructions are interleaved. A lane whose bit is set in `Scheduled` takes
// its message schedule, the constants already added, from wk[lane] (64
// words, 16-byte aligned) instead; one whose bit is set in `Recorded` writes
// the schedule it computes to recorded[lane] (alike).
template <int N, unsigned Scheduled = 0, unsigned Recorded = 0>
LUMORA_TARGET_SHANI inline void compress_words(__m128i (&abef)[N], __m128i (&cdgh)[N], __m128i (&w)[N][4],
                                               const std::uint32_t* const* wk = nullptr,
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
            // Each instruction does two rounds and leaves the new ABEF in its
            // first operand, whose old ABEF is the new CDGH: after the pair,
            // the names fit again.
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
LUMORA_TARGET_SHANI inline void compress_lanes(__m128i (&abef)[N], __m128i (&cdgh)[N],
                                               const std::uint8_t* const (&blocks)[N]) {
    // w[lane][g] holds message words 4g..4g+3, modulo the last four groups.
    __m128i w[N][4];
    for (int lane = 0; lane < N; ++lane)
        for (int g = 0; g < 4; ++g) w[lane][g] = load_be_words(blocks[lane] + 16 * g);
    compress_words<N>(abef, cdgh, w);
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

namespace {

// W[t] + K[t] of HMAC's inner block for V = 0x01 (32 bytes), the first V of
// the nonce derivation: V, the marker, and the length of pad block and V.
alignas(16) constexpr std::array<std::uint32_t, 64> FIRST_V_SCHEDULE =
    schedule_constexpr({0x01010101, 0x01010101, 0x01010101, 0x01010101, 0x01010101, 0x01010101, 0x01010101,
                        0x01010101, 0x80000000, 0, 0, 0, 0, 0, 0, (64 + 32) * 8});

// Words 8..15 of a block that ends a 96-byte message after 32 bytes of it
// (HMAC's outer block, and its inner block of a 32-byte message): the 0x80
// marker and the length in bits.
LUMORA_TARGET_SHANI inline __m128i end_96_lo() { return _mm_set_epi32(0, 0, 0, static_cast<int>(0x80000000u)); }
LUMORA_TARGET_SHANI inline __m128i end_96_hi() { return _mm_set_epi32((64 + 32) * 8, 0, 0, 0); }

// The pad states of a 32-byte key given as words (zero-extended to the
// block), side by side.
LUMORA_TARGET_SHANI inline void key_pads(__m128i k0, __m128i k1, __m128i& inner_abef, __m128i& inner_cdgh,
                                         __m128i& outer_abef, __m128i& outer_cdgh) {
    const __m128i ipad = _mm_set1_epi32(0x36363636), opad = _mm_set1_epi32(0x5c5c5c5c);
    __m128i abef[2], cdgh[2];
    load_state(SHA256_IV, abef[0], cdgh[0]);
    abef[1] = abef[0];
    cdgh[1] = cdgh[0];
    __m128i w[2][4] = {{_mm_xor_si128(k0, ipad), _mm_xor_si128(k1, ipad), ipad, ipad},
                       {_mm_xor_si128(k0, opad), _mm_xor_si128(k1, opad), opad, opad}};
    compress_words<2>(abef, cdgh, w);
    inner_abef = abef[0];
    inner_cdgh = cdgh[0];
    outer_abef = abef[1];
    outer_cdgh = cdgh[1];
}

// HMAC's outer hash from the outer pad state and the inner hash's state: the
// MAC as words.
LUMORA_TARGET_SHANI inline void outer_hash(__m128i outer_abef, __m128i outer_cdgh, __m128i inner_abef,
                                           __m128i inner_cdgh, __m128i& mac0, __m128i& mac1) {
    __m128i abef[1] = {outer_abef}, cdgh[1] = {outer_cdgh};
    __m128i w[1][4];
    state_words(inner_abef, inner_cdgh, w[0][0], w[0][1]);
    w[0][2] = end_96_lo();
    w[0][3] = end_96_hi();
    compress_words<1>(abef, cdgh, w);
    state_words(abef[0], cdgh[0], mac0, mac1);
}

// One block from one state, its schedule given (W[t] + K[t], 16-byte aligned).
LUMORA_TARGET_SHANI inline void compress_scheduled(__m128i& abef, __m128i& cdgh, const std::uint32_t* wk) {
    __m128i a[1] = {abef}, c[1] = {cdgh};
    __m128i unused[1][4] = {};
    const std::uint32_t* const given[1] = {wk};
    compress_words<1, 1>(a, c, unused, given);
    abef = a[0];
    cdgh = c[0];
}


// The end of a retry step, from k's pad states and the two inner states
// after the step's first blocks (t's whole inner hash; v ‖ v of the new k's):
// t's outer block beside the new k's last inner block (0x00, the marker and
// the length of pad block, v ‖ v and the zero byte), then the new k's outer
// block.
LUMORA_TARGET_SHANI inline void finish_retry_step(__m128i outer_abef, __m128i outer_cdgh, __m128i (&abef)[2],
                                                  __m128i (&cdgh)[2], std::uint8_t* k, std::uint8_t* t) {
    {
        __m128i d0, d1;
        state_words(abef[0], cdgh[0], d0, d1);
        __m128i w[2][4] = {{d0, d1, end_96_lo(), end_96_hi()}, {}};
        abef[0] = outer_abef;
        cdgh[0] = outer_cdgh;
        const std::uint32_t* const wk[2] = {nullptr, SHA256_ZERO_BYTE_SCHEDULE.data()};
        compress_words<2, 2>(abef, cdgh, w, wk);
    }
    __m128i t0, t1, k0, k1;
    state_words(abef[0], cdgh[0], t0, t1);
    store_be_words(t, t0);
    store_be_words(t + 16, t1);
    outer_hash(outer_abef, outer_cdgh, abef[1], cdgh[1], k0, k1);
    store_be_words(k, k0);
    store_be_words(k + 16, k1);
}

}  // namespace

// t = HMAC(k, v) and k = HMAC(k, v ‖ v ‖ 0x00), both 32-byte messages' blocks
// built in registers. The key's pad states, the second block of the longer
// MAC and the outer hashes form a chain of four compressions; T's two ride
// beside it.
LUMORA_TARGET_SHANI void hmac_sha256_retry_step_shani(const std::uint32_t* v_schedules, std::uint8_t* k,
                                                      std::uint8_t* t) {
    __m128i inner_abef, inner_cdgh, outer_abef, outer_cdgh;
    key_pads(load_be_words(k), load_be_words(k + 16), inner_abef, inner_cdgh, outer_abef, outer_cdgh);
    // The inner hash of t (v and its padding) beside the first block of the
    // new k's (v ‖ v), both from the inner pad state; both schedules given.
    __m128i abef[2] = {inner_abef, inner_abef}, cdgh[2] = {inner_cdgh, inner_cdgh};
    {
        __m128i w[2][4] = {};
        const std::uint32_t* const wk[2] = {v_schedules, v_schedules + 64};
        compress_words<2, 3>(abef, cdgh, w, wk);
    }
    finish_retry_step(outer_abef, outer_cdgh, abef, cdgh, k, t);
}

// The set-up of the nonce derivation and its first candidate, states and
// blocks in registers. Its chain: the two inner blocks and the outer block of
// K under the zero key (whose pad states are constants; SHA-256 of a one-block
// message rides beside the first block, which holds V, 0x00 and x but not h1),
// K's pads, V's inner and outer blocks (the inner one's schedule a constant),
// again for the second K and V, and then the first retry step on pads already
// at hand. The second block of both K's inner hashes is the same (x's last
// byte, h1, the padding): its schedule is computed once. V's two blocks of the
// retry step have their schedules recorded for the steps that follow.
LUMORA_TARGET_SHANI void hmac_sha256_nonce_seed_shani(const std::uint8_t* x, const std::uint8_t* message_block,
                                                      const std::uint8_t* h1, std::uint8_t* k, std::uint8_t* v,
                                                      std::uint8_t* t, std::uint32_t* v_schedules) {
    const __m128i bswap = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
    const __m128i x_a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(x));
    const __m128i x_b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(x + 16));
    // Words 8..15 of each K's first inner block: the separator byte, then x's
    // bytes 0..30.
    const __m128i x_shifted_lo = _mm_slli_si128(x_a, 1);
    const __m128i x_words_hi = _mm_shuffle_epi8(_mm_alignr_epi8(x_b, x_a, 15), bswap);
    const __m128i x_words_lo_0 = _mm_shuffle_epi8(x_shifted_lo, bswap);
    const __m128i x_words_lo_1 = _mm_shuffle_epi8(_mm_or_si128(x_shifted_lo, _mm_cvtsi32_si128(0x01)), bswap);
    const __m128i ones = _mm_set1_epi32(0x01010101);

    // K's first inner block under the zero key, with SHA-256 of the message
    // beside it when it is one block.
    __m128i block_abef, block_cdgh, h1_a, h1_b;
    load_state(ZERO_KEY_INNER, block_abef, block_cdgh);
    if (message_block != nullptr) {
        __m128i abef[2], cdgh[2];
        abef[0] = block_abef;
        cdgh[0] = block_cdgh;
        load_state(SHA256_IV, abef[1], cdgh[1]);
        __m128i w[2][4] = {{ones, ones, x_words_lo_0, x_words_hi},
                           {load_be_words(message_block), load_be_words(message_block + 16),
                            load_be_words(message_block + 32), load_be_words(message_block + 48)}};
        compress_words<2>(abef, cdgh, w);
        block_abef = abef[0];
        block_cdgh = cdgh[0];
        __m128i d0, d1;
        state_words(abef[1], cdgh[1], d0, d1);
        h1_a = _mm_shuffle_epi8(d0, bswap);
        h1_b = _mm_shuffle_epi8(d1, bswap);
    } else {
        __m128i abef[1] = {block_abef}, cdgh[1] = {block_cdgh};
        __m128i w[1][4] = {{ones, ones, x_words_lo_0, x_words_hi}};
        compress_words<1>(abef, cdgh, w);
        block_abef = abef[0];
        block_cdgh = cdgh[0];
        h1_a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(h1));
        h1_b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(h1 + 16));
    }

    // The second inner block: x's last byte, h1, the marker and the length
    // of pad block and 97 bytes.
    alignas(16) std::uint32_t second_block[64];
    {
        __m128i abef[1] = {block_abef}, cdgh[1] = {block_cdgh};
        __m128i w[1][4] = {{_mm_shuffle_epi8(_mm_alignr_epi8(h1_a, x_b, 15), bswap),
                            _mm_shuffle_epi8(_mm_alignr_epi8(h1_b, h1_a, 15), bswap),
                            _mm_shuffle_epi8(_mm_or_si128(_mm_srli_si128(h1_b, 15), _mm_cvtsi32_si128(0x8000)), bswap),
                            _mm_set_epi32((64 + 97) * 8, 0, 0, 0)}};
        std::uint32_t* const recorded[1] = {second_block};
        compress_words<1, 0, 1>(abef, cdgh, w, nullptr, recorded);
        block_abef = abef[0];
        block_cdgh = cdgh[0];
    }
    __m128i zero_outer_abef, zero_outer_cdgh, k0, k1;
    load_state(ZERO_KEY_OUTER, zero_outer_abef, zero_outer_cdgh);
    outer_hash(zero_outer_abef, zero_outer_cdgh, block_abef, block_cdgh, k0, k1);

    // V = HMAC(K, V), then K = HMAC(K, V ‖ 0x01 ‖ x ‖ h1) from the same pads.
    __m128i inner_abef, inner_cdgh, outer_abef, outer_cdgh, v0, v1;
    key_pads(k0, k1, inner_abef, inner_cdgh, outer_abef, outer_cdgh);
    block_abef = inner_abef;
    block_cdgh = inner_cdgh;
    compress_scheduled(block_abef, block_cdgh, FIRST_V_SCHEDULE.data());
    outer_hash(outer_abef, outer_cdgh, block_abef, block_cdgh, v0, v1);
    {
        __m128i abef[1] = {inner_abef}, cdgh[1] = {inner_cdgh};
        __m128i w[1][4] = {{v0, v1, x_words_lo_1, x_words_hi}};
        compress_words<1>(abef, cdgh, w);
        block_abef = abef[0];
        block_cdgh = cdgh[0];
    }
    compress_scheduled(block_abef, block_cdgh, second_block);
    wipe(second_block);
    outer_hash(outer_abef, outer_cdgh, block_abef, block_cdgh, k0, k1);

    // V = HMAC(K, V).
    key_pads(k0, k1, inner_abef, inner_cdgh, outer_abef, outer_cdgh);
    {
        __m128i abef[1] = {inner_abef}, cdgh[1] = {inner_cdgh};
        __m128i w[1][4] = {{v0, v1, end_96_lo(), end_96_hi()}};
        compress_words<1>(abef, cdgh, w);
        outer_hash(outer_abef, outer_cdgh, abef[0], cdgh[0], v0, v1);
    }
    store_be_words(v, v0);
    store_be_words(v + 16, v1);

    // The first retry step under the pads at hand: T's inner block beside
    // the first of the next K's (V ‖ V), their schedules recorded.
    __m128i abef[2] = {inner_abef, inner_abef}, cdgh[2] = {inner_cdgh, inner_cdgh};
    {
        __m128i w[2][4] = {{v0, v1, end_96_lo(), end_96_hi()}, {v0, v1, v0, v1}};
        std::uint32_t* const recorded[2] = {v_schedules, v_schedules + 64};
        compress_words<2, 0, 3>(abef, cdgh, w, nullptr, recorded);
    }
    finish_retry_step(outer_abef, outer_cdgh, abef, cdgh, k, t);
}

}  // namespace lumora::hashes::detail

#endif
