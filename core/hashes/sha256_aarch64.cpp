// The SHA-256 compression on the Armv8 SHA-256 instructions. Only the
// functions here are built for them; the dispatch enters them only when the CPU
// reports them (HWCAP_SHA2).
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

namespace {

// One block into each of N independent states, the lanes' instructions
// interleaved to fill the round instructions' latency.
template <int N>
LUMORA_TARGET_SHA2 inline void compress_lanes(uint32x4_t (&abcd)[N], uint32x4_t (&efgh)[N],
                                              const std::uint8_t* const (&blocks)[N]) {
    uint32x4_t abcd_in[N], efgh_in[N];
    // w[lane][g] holds message words 4g..4g+3, modulo the last four groups.
    uint32x4_t w[N][4];
    for (int lane = 0; lane < N; ++lane) {
        abcd_in[lane] = abcd[lane];
        efgh_in[lane] = efgh[lane];
        for (int g = 0; g < 4; ++g) w[lane][g] = vreinterpretq_u32_u8(vrev32q_u8(vld1q_u8(blocks[lane] + 16 * g)));
    }
    for (int g = 0; g < 16; ++g) {
        const uint32x4_t k = vld1q_u32(&SHA256_K[4 * g]);
        for (int lane = 0; lane < N; ++lane) {
            uint32x4_t* x = w[lane];
            if (g >= 4)
                x[g & 3] = vsha256su1q_u32(vsha256su0q_u32(x[g & 3], x[(g + 1) & 3]), x[(g + 2) & 3], x[(g + 3) & 3]);
            const uint32x4_t wk = vaddq_u32(x[g & 3], k);
            const uint32x4_t abcd_before = abcd[lane];
            abcd[lane] = vsha256hq_u32(abcd[lane], efgh[lane], wk);
            efgh[lane] = vsha256h2q_u32(efgh[lane], abcd_before, wk);
        }
    }
    for (int lane = 0; lane < N; ++lane) {
        abcd[lane] = vaddq_u32(abcd[lane], abcd_in[lane]);
        efgh[lane] = vaddq_u32(efgh[lane], efgh_in[lane]);
    }
}

}  // namespace

LUMORA_TARGET_SHA2 void sha256_compress_armv8(Sha256State& state, const std::uint8_t* blocks, std::size_t count) {
    uint32x4_t abcd[1] = {vld1q_u32(&state[0])}, efgh[1] = {vld1q_u32(&state[4])};
    for (; count > 0; --count, blocks += SHA256_BLOCK_BYTES) {
        const std::uint8_t* const block[1] = {blocks};
        compress_lanes<1>(abcd, efgh, block);
    }
    vst1q_u32(&state[0], abcd[0]);
    vst1q_u32(&state[4], efgh[0]);
}

LUMORA_TARGET_SHA2 void sha256_compress_pair_armv8(Sha256State& a, const std::uint8_t* block_a, Sha256State& b,
                                                   const std::uint8_t* block_b) {
    uint32x4_t abcd[2] = {vld1q_u32(&a[0]), vld1q_u32(&b[0])}, efgh[2] = {vld1q_u32(&a[4]), vld1q_u32(&b[4])};
    const std::uint8_t* const blocks[2] = {block_a, block_b};
    compress_lanes<2>(abcd, efgh, blocks);
    vst1q_u32(&a[0], abcd[0]);
    vst1q_u32(&a[4], efgh[0]);
    vst1q_u32(&b[0], abcd[1]);
    vst1q_u32(&b[4], efgh[1]);
}

}  // namespace lumora::hashes::detail

#endif
