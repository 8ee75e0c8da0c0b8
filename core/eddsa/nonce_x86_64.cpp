// The nonce derivation's steps fused over SHA-NI. Only the functions here are
// built for the SHA, SSSE3 and SSE4.1 instructions; they are chosen only when
// the CPU reports all three.
#include "hashes/sha256_shani.h"

#if defined(__x86_64__)
#define LUMORA_SHA256_FORM_TARGET LUMORA_TARGET_SHANI
#include "eddsa/nonce_fused.h"

namespace lumora::eddsa::detail {

using hashes::detail::ShaNi;

LUMORA_TARGET_SHANI void retry_step_shani(const std::uint32_t* v_schedules, std::uint8_t* k, std::uint8_t* t) {
    FusedHmac<ShaNi>::retry_step(v_schedules, k, t);
}

LUMORA_TARGET_SHANI void nonce_seed_shani(const std::uint8_t* x, const std::uint8_t* message_block,
                                          const std::uint8_t* h1, std::uint8_t* k, std::uint8_t* v, std::uint8_t* t,
                                          std::uint32_t* v_schedules) {
    FusedHmac<ShaNi>::nonce_seed(x, message_block, h1, k, v, t, v_schedules);
}

}  // namespace lumora::eddsa::detail

#endif
