#include "eddsa/nonce.h"

#include <array>

#include "common/ct.h"
#include "common/secret.h"
#include "eddsa/nonce_steps.h"

namespace lumora::eddsa {
inline namespace LUMORA_KERNEL_NS {

namespace {

using Block = hashes::Sha256Digest;

}  // namespace

field::Fs deterministic_seed(const field::Fs& sk, std::span<const std::uint8_t> message) {
    Secret<field::Repr> sk_repr(sk.into_repr());
    Secret<Block> x(integers::to_bytes_be(*sk_repr));
    HmacSha256Candidates candidates(*x, message);
    Secret<Block> t;
    Secret<field::Repr> candidate;
    for (;;) {
        // The retry's K is computed beside each T, even when T is accepted:
        // it rides beside T at little cost.
        candidates.next(*t);
        *candidate = integers::from_bytes_be(*t);
        bool accepted = field::Fs::is_below_modulus(*candidate);  // a full borrow chain
        LUMORA_DECLASSIFY(&accepted, sizeof accepted);  // public: the accept/retry decision
        if (accepted) return field::Fs::from_raw(*candidate);
    }
}

}  // inline namespace LUMORA_KERNEL_NS
}  // namespace lumora::eddsa
