// The nonce derivation's steps fused over the Armv8 SHA-256 instructions.
// Only the functions here are built for them; they are chosen only when the
// CPU reports them (HWCAP_SHA2).
#include "hashes/sha256_armv8.h"

#if defined(__aarch64__) && defined(LUMORA_SHA256_EXTENSION)
#define LUMORA_SHA256_FORM_TARGET LUMORA_TARGET_SHA2
#include "eddsa/nonce_fused.h"

namespace lumora::eddsa::detail {

using hashes::detail::Armv8;

LUMORA_TARGET_SHA2 void retry_step_armv8(const std::uint32_t* v_schedules, std::uint8_t* k, std::uint8_t* t) {
    FusedHmac<Armv8>::retry_step(v_schedules, k, t);
}

LUMORA_TARGET_SHA2 void nonce_seed_armv8(const std::uint8_t* x, const std::uint8_t* message_block,
                                         const std::uint8_t* h1, std::uint8_t* k, std::uint8_t* v, std::uint8_t* t,
                                         std::uint32_t* v_schedules) {
    FusedHmac<Armv8>::nonce_seed(x, message_block, h1, k, v, t, v_schedules);
}

}  // namespace lumora::eddsa::detail

#endif
