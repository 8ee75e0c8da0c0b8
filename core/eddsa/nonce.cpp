#include "eddsa/nonce.h"

#include <array>
#include <bit>
#include <cstring>

#include "common/ct.h"
#include "common/secret.h"
#include "hashes/sha256.h"

namespace lumora::eddsa::inline LUMORA_KERNEL_NS {

namespace {

using Block = hashes::Sha256Digest;

// T read as a big-endian integer; word loads, as it is read once per candidate.
field::Repr repr_from_be(const Block& t) {
    field::Repr r;
    for (std::size_t i = 0; i < r.size(); ++i) {
        std::uint64_t limb;
        std::memcpy(&limb, t.data() + 8 * (r.size() - 1 - i), sizeof limb);
        r[i] = std::endian::native == std::endian::little ? __builtin_bswap64(limb) : limb;
    }
    return r;
}

}  // namespace

field::Fs deterministic_seed(const field::Fs& sk, std::span<const std::uint8_t> message) {
    static constexpr std::uint8_t ZERO[1] = {0x00};
    static constexpr std::uint8_t ONE[1] = {0x01};

    // The message is public; everything derived from the key is wiped.
    const Block h1 = hashes::sha256(message);
    Secret<field::Repr> sk_repr(sk.into_repr());
    Secret<Block> x(field::repr_to_bytes_be(*sk_repr));
    Secret<Block> v, k;  // K starts as 32 zero bytes
    v->fill(0x01);

    hashes::HmacSha256Key(*k).mac({*v, ZERO, *x, h1}, *k);
    hashes::HmacSha256Key(*k).mac(*v, *v);
    hashes::HmacSha256Key(*k).mac({*v, ONE, *x, h1}, *k);
    hashes::HmacSha256Key(*k).mac(*v, *v);

    Secret<Block> t;
    Secret<field::Repr> candidate;
    for (;;) {
        // One prepared key serves the candidate T and the K of a retry
        // (V ‖ V ‖ 0x00 under this pass's K; V unchanged). The two MACs run
        // side by side, the retry's K even when T is accepted: on the
        // instruction forms the pair costs little more than T alone.
        const hashes::HmacSha256Key key(*k);
        key.mac_pair({*v}, *t, {*v, *v, ZERO}, *k);
        *candidate = repr_from_be(*t);
        bool accepted = field::Fs::is_below_modulus(*candidate);  // a full borrow chain
        LUMORA_DECLASSIFY(&accepted, sizeof accepted);  // public: the accept/retry decision
        if (accepted) return field::Fs::from_raw(*candidate);
    }
}

}  // namespace lumora::eddsa
