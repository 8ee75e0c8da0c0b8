// The SHA-256 compression on the Armv8 SHA-256 instructions. Only this
// function is built for them; the dispatch enters it only when the CPU
// reports them (HWCAP_SHA2).
#include "hashes/sha256_forms.h"

#if defined(__aarch64__) && defined(LUMORA_SHA256_EXTENSION)
#include <arm_neon.h>

// GCC's arm_neon.h offers the SHA-256 intrinsics under "+crypto" only; the
// function uses none of the AES instructions that this also enables.
#if defined(__clang__)
#define LUMORA_TARGET_SHA2
#else
#define LUMORA_TARGET_SHA2 __attribute__((target("+crypto")))
#endif

namespace lumora::hashes::detail {

LUMORA_TARGET_SHA2 void sha256_compress_armv8(Sha256State& state, const std::uint8_t* blocks, std::size_t count) {
    uint32x4_t abcd = vld1q_u32(&state[0]);
    uint32x4_t efgh = vld1q_u32(&state[4]);
    for (; count > 0; --count, blocks += SHA256_BLOCK_BYTES) {
        const uint32x4_t abcd_in = abcd, efgh_in = efgh;
        // w[g] holds message words 4g..4g+3, modulo the last four groups.
        uint32x4_t w[4];
        for (int g = 0; g < 4; ++g) w[g] = vreinterpretq_u32_u8(vrev32q_u8(vld1q_u8(blocks + 16 * g)));
        for (int g = 0; g < 16; ++g) {
            if (g >= 4)
                w[g & 3] = vsha256su1q_u32(vsha256su0q_u32(w[g & 3], w[(g + 1) & 3]), w[(g + 2) & 3], w[(g + 3) & 3]);
            const uint32x4_t wk = vaddq_u32(w[g & 3], vld1q_u32(&SHA256_K[4 * g]));
            const uint32x4_t abcd_before = abcd;
            abcd = vsha256hq_u32(abcd, efgh, wk);
            efgh = vsha256h2q_u32(efgh, abcd_before, wk);
        }
        abcd = vaddq_u32(abcd, abcd_in);
        efgh = vaddq_u32(efgh, efgh_in);
    }
    vst1q_u32(&state[0], abcd);
    vst1q_u32(&state[4], efgh);
}

}  // namespace lumora::hashes::detail

#endif
