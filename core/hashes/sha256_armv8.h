// The vector operations of the Armv8 SHA-256 instructions and the
// compression built on them, for the code built for those instructions: the
// compression form (sha256_aarch64.cpp) and the nonce derivation's fused
// steps. Entered only when the CPU reports them (HWCAP_SHA2).
#pragma once

#include "hashes/sha256_forms.h"

#if defined(__aarch64__) && defined(LUMORA_SHA256_EXTENSION)
#include <arm_neon.h>

// GCC's arm_neon.h offers the SHA-256 intrinsics under "+crypto" only; these
// functions use none of the AES instructions that this also enables. Clang
// gets here only when the whole file is built for SHA-256 (sha256_forms.h).
#if defined(__clang__)
#define LUMORA_TARGET_SHA2
#else
#define LUMORA_TARGET_SHA2 __attribute__((target("+crypto")))
#endif

namespace lumora::hashes::detail {

// SHA256H and SHA256H2 keep the working variables as ABCD and EFGH, the
// chaining value's own order.
struct Armv8 {
    using Vec = uint32x4_t;

    LUMORA_TARGET_SHA2 static void load_state(const Sha256State& state, uint32x4_t& abcd, uint32x4_t& efgh) {
        abcd = vld1q_u32(&state[0]);
        efgh = vld1q_u32(&state[4]);
    }
    LUMORA_TARGET_SHA2 static void state_words(uint32x4_t abcd, uint32x4_t efgh, uint32x4_t& lo, uint32x4_t& hi) {
        lo = abcd;
        hi = efgh;
    }
    LUMORA_TARGET_SHA2 static void store_state(Sha256State& state, uint32x4_t abcd, uint32x4_t efgh) {
        vst1q_u32(&state[0], abcd);
        vst1q_u32(&state[4], efgh);
    }

    LUMORA_TARGET_SHA2 static uint32x4_t load_bytes(const std::uint8_t* p) {
        return vreinterpretq_u32_u8(vld1q_u8(p));
    }
    LUMORA_TARGET_SHA2 static void store_bytes(std::uint8_t* p, uint32x4_t bytes) {
        vst1q_u8(p, vreinterpretq_u8_u32(bytes));
    }
    LUMORA_TARGET_SHA2 static uint32x4_t swap_bytes(uint32x4_t v) {
        return vreinterpretq_u32_u8(vrev32q_u8(vreinterpretq_u8_u32(v)));
    }
    LUMORA_TARGET_SHA2 static uint32x4_t straddle(uint32x4_t lo, uint32x4_t hi) {
        return vreinterpretq_u32_u8(vextq_u8(vreinterpretq_u8_u32(lo), vreinterpretq_u8_u32(hi), 15));
    }
    LUMORA_TARGET_SHA2 static uint32x4_t words(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d) {
        const std::uint32_t lanes[4] = {a, b, c, d};
        return vld1q_u32(lanes);
    }
    LUMORA_TARGET_SHA2 static uint32x4_t splat(std::uint32_t a) { return vdupq_n_u32(a); }
    LUMORA_TARGET_SHA2 static uint32x4_t exclusive_or(uint32x4_t a, uint32x4_t b) { return veorq_u32(a, b); }

    // One block into each of N independent states, given as message words:
    // w[lane][g] holds words 4g..4g+3 (lane i the word 4g+i). The lanes'
    // instructions are interleaved to fill the round instructions' latency.
    // A lane whose bit is set in `Scheduled` takes its message schedule, the
    // constants already added, from wk[lane] (64 words) instead; one whose
    // bit is set in `Recorded` writes the schedule it computes to
    // recorded[lane].
    template <int N, unsigned Scheduled = 0, unsigned Recorded = 0>
    LUMORA_TARGET_SHA2 __attribute__((always_inline)) static void compress(
        uint32x4_t (&abcd)[N], uint32x4_t (&efgh)[N], uint32x4_t (&w)[N][4], const std::uint32_t* const* wk = nullptr,
        std::uint32_t* const* recorded = nullptr) {
        uint32x4_t abcd_in[N], efgh_in[N];
        for (int lane = 0; lane < N; ++lane) {
            abcd_in[lane] = abcd[lane];
            efgh_in[lane] = efgh[lane];
        }
        // The constants are loaded afresh in every compression: kept in
        // registers from one compression to the next, they would push states
        // and schedules, which may be key material, into stack slots.
        const std::uint32_t* constants = SHA256_K.data();
        __asm__ __volatile__("" : "+r"(constants));
        // Unrolled in full: the group index then selects registers, not
        // stack slots.
#pragma GCC unroll 16
        for (int g = 0; g < 16; ++g) {
            const uint32x4_t k = vld1q_u32(constants + 4 * g);
#pragma GCC unroll 4
            for (int lane = 0; lane < N; ++lane) {
                uint32x4_t* x = w[lane];
                uint32x4_t sum;
                if ((Scheduled >> lane) & 1) {
                    sum = vld1q_u32(wk[lane] + 4 * g);
                } else {
                    if (g >= 4)
                        x[g & 3] = vsha256su1q_u32(vsha256su0q_u32(x[g & 3], x[(g + 1) & 3]), x[(g + 2) & 3],
                                                   x[(g + 3) & 3]);
                    sum = vaddq_u32(x[g & 3], k);
                    if ((Recorded >> lane) & 1) vst1q_u32(recorded[lane] + 4 * g, sum);
                }
                const uint32x4_t abcd_before = abcd[lane];
                abcd[lane] = vsha256hq_u32(abcd[lane], efgh[lane], sum);
                efgh[lane] = vsha256h2q_u32(efgh[lane], abcd_before, sum);
            }
        }
        for (int lane = 0; lane < N; ++lane) {
            abcd[lane] = vaddq_u32(abcd[lane], abcd_in[lane]);
            efgh[lane] = vaddq_u32(efgh[lane], efgh_in[lane]);
        }
    }

    template <int N>
    LUMORA_TARGET_SHA2 __attribute__((always_inline)) static void compress_blocks(
        uint32x4_t (&abcd)[N], uint32x4_t (&efgh)[N], const std::uint8_t* const (&blocks)[N]) {
        // w[lane][g] holds message words 4g..4g+3, modulo the last four groups.
        uint32x4_t w[N][4];
        for (int lane = 0; lane < N; ++lane)
            for (int g = 0; g < 4; ++g) w[lane][g] = swap_bytes(load_bytes(blocks[lane] + 16 * g));
        compress<N>(abcd, efgh, w);
    }
};

}  // namespace lumora::hashes::detail

#endif
