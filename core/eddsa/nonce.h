// The deterministic per-signature nonce: an HMAC-DRBG over SHA-256 in the
// manner of RFC 6979, with this system's own retry step.
#pragma once

#include <cstdint>
#include <span>

#include "common/kernel_copy.h"
#include "field/fs.h"

namespace lumora::eddsa {
inline namespace LUMORA_KERNEL_NS {

// r from the private key and the message (at most 32 bytes in this system).
// Candidates T = HMAC(K, V) are read big-endian and accepted below l; after a
// rejection K = HMAC(K, V ‖ V ‖ 0x00) and V stays as it was.
field::Fs deterministic_seed(const field::Fs& sk, std::span<const std::uint8_t> message);

}  // inline namespace LUMORA_KERNEL_NS
}  // namespace lumora::eddsa
