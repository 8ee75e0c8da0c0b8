#include "eddsa/nonce.h"

#include <array>

#include "common/ct.h"
#include "common/secret.h"
#include "hashes/sha256.h"

namespace lumora::eddsa::inline LUMORA_KERNEL_NS {

namespace {

using Block = hashes::Sha256Digest;

}  // namespace

field::Fs deterministic_seed(const field::Fs& sk, std::span<const std::uint8_t> message) {
    static constexpr std::uint8_t ZERO[1] = {0x00};
    static constexpr std::uint8_t ONE[1] = {0x01};

    // The message is public; everything derived from the key is wiped.
    const Block h1 = hashes::sha256(message);
    Secret<field::Repr> sk_repr(sk.into_repr());
    Secret<Block> x(integers::to_bytes_be(*sk_repr));
    Secret<Block> v, k;  // K starts as 32 zero bytes
    v->fill(0x01);

    hashes::HmacSha256Key(*k).mac({*v, ZERO, *x, h1}, *k);
    hashes::HmacSha256Key(*k).mac(*v, *v);
    hashes::HmacSha256Key(*k).mac({*v, ONE, *x, h1}, *k);
    hashes::HmacSha256Key(*k).mac(*v, *v);

    Secret<Block> t;
    Secret<field::Repr> candidate;
    const hashes::HmacSha256Retry retry(*v);
    for (;;) {
        // The candidate T and the K of a retry (V ‖ V ‖ 0x00 under this
        // pass's K; V unchanged) in one step, the retry's K even when T is
        // accepted: it rides beside T at little cost.
        retry.step(*k, *t);
        *candidate = integers::from_bytes_be(*t);
        bool accepted = field::Fs::is_below_modulus(*candidate);  // a full borrow chain
        LUMORA_DECLASSIFY(&accepted, sizeof accepted);  // public: the accept/retry decision
        if (accepted) return field::Fs::from_raw(*candidate);
    }
}

}  // namespace lumora::eddsa
