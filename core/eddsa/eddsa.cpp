#include "eddsa/eddsa.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>

#include "common/ct.h"
#include "common/secret.h"

namespace lumora::eddsa {
inline namespace LUMORA_KERNEL_NS {

namespace {

using field::Repr;

// s·G for a public s: the fixed-base table serves the signing generator.
PrimeOrderPoint generator_times(const Fs& s, std::size_t generator_index, const AltJubjubBn256& params) {
    if (generator_index == curve::SIGNING_GENERATOR) return params.mul_signing_generator(s);
    return params.generator(generator_index).mul(s, params);
}

// Width-4 signed digits of a public integer below 2^256, least significant
// first: every nonzero digit is odd, in [−7, 7], and followed by three zeros.
using SignedDigits = std::array<std::int8_t, 257>;

SignedDigits recode_wnaf4_var(const Repr& scalar) {
    SignedDigits digits{};
    field::u64 k[5] = {scalar[0], scalar[1], scalar[2], scalar[3], 0};
    for (std::size_t i = 0; (k[0] | k[1] | k[2] | k[3] | k[4]) != 0; ++i) {
        if (k[0] & 1) {
            int d = static_cast<int>(k[0] & 15);
            if (d >= 8) d -= 16;
            digits[i] = static_cast<std::int8_t>(d);
            // k −= d, carrying or borrowing through the limbs.
            const field::u64 magnitude = static_cast<field::u64>(d > 0 ? d : -d);
            field::u64 c = magnitude;
            for (auto& limb : k) {
                const field::u64 before = limb;
                limb = d > 0 ? limb - c : limb + c;
                c = d > 0 ? (before < c ? 1 : 0) : (limb < c ? 1 : 0);
            }
        }
        for (int j = 0; j < 4; ++j) k[j] = (k[j] >> 1) | (k[j + 1] << 63);
        k[4] >>= 1;
    }
    return digits;
}

// Sums by digit for one scalar: bucket j collects ±2^i·P over the positions i
// whose digit is ±(2j + 1).
class Buckets {
public:
    void add(int digit, const UnknownPoint& q, const UnknownPoint& minus_q, const AltJubjubBn256& params) {
        const auto j = static_cast<std::size_t>((digit < 0 ? -digit : digit) / 2);
        const UnknownPoint& signed_q = digit < 0 ? minus_q : q;
        if (used_[j]) {
            sums_[j] = sums_[j].add(signed_q, params);
        } else {
            sums_[j] = signed_q;
            used_[j] = true;
        }
    }

    // The sum over j of (2j + 1)·bucket_j = 2·sum_j (j + 1)·bucket_j − sum_j bucket_j,
    // by running sums from the top bucket down.
    UnknownPoint total(const AltJubjubBn256& params) const {
        UnknownPoint running, weighted;
        bool started = false;
        for (std::size_t j = sums_.size(); j-- > 0;) {
            if (used_[j]) running = started ? running.add(sums_[j], params) : sums_[j];
            if (used_[j] && !started) {
                weighted = running;
                started = true;
            } else if (started) {
                weighted = weighted.add(running, params);
            }
        }
        if (!started) return UnknownPoint::zero();
        return weighted.dbl().add(running.negate(), params);
    }

private:
    std::array<UnknownPoint, 4> sums_{};
    std::array<bool, 4> used_{};
};

}  // namespace

// Each 2^i·P of the chain goes into the buckets of the digits that a and b
// have at position i.
std::pair<UnknownPoint, UnknownPoint> two_multiples_var(const UnknownPoint& p, const Repr& a, const Repr& b,
                                                        const AltJubjubBn256& params) {
    const SignedDigits da = recode_wnaf4_var(a), db = recode_wnaf4_var(b);
    std::size_t top = da.size();
    while (top > 0 && da[top - 1] == 0 && db[top - 1] == 0) --top;
    Buckets ba, bb;
    UnknownPoint q = p;
    for (std::size_t i = 0; i < top; ++i) {
        if (i > 0) q = q.dbl();
        if (da[i] == 0 && db[i] == 0) continue;
        const UnknownPoint minus_q = q.negate();
        if (da[i] != 0) ba.add(da[i], q, minus_q, params);
        if (db[i] != 0) bb.add(db[i], q, minus_q, params);
    }
    return {ba.total(params), bb.total(params)};
}

namespace {

// R + c·pk = s·G, given c·pk.
bool equation_holds(const UnknownPoint& c_pk, const UnknownPoint& r, const Fs& s, std::size_t generator_index,
                    const AltJubjubBn256& params) {
    return c_pk.add(r, params) == UnknownPoint(generator_times(s, generator_index, params));
}

// s = c·sk + r, public once made (c·sk + r hides sk behind r).
Fs signature_scalar(const Fs& sk, std::span<const std::uint8_t> message, const Fs& r) {
    const Secret<Fs> c_sk(message_scalar(message) * sk);
    Fs s = *c_sk + r;
    LUMORA_DECLASSIFY(&s, sizeof s);
    return s;
}

// A multiple of the generator by a secret, made affine and published: its
// projective form depends on the scalar, not only on the point, and is wiped.
PrimeOrderPoint public_multiple(const Fs& secret, std::size_t generator_index, const AltJubjubBn256& params) {
    const Secret<PrimeOrderPoint> projective(generator_times(secret, generator_index, params));
    PrimeOrderPoint point = projective->to_affine();
    // Public: the point (a public key, or a signature's R).
    LUMORA_DECLASSIFY(&point, sizeof point);
    return point;
}

}  // namespace

Fs message_scalar(std::span<const std::uint8_t> message) {
    std::array<std::uint8_t, 32> padded{};
    std::copy_n(message.begin(), std::min<std::size_t>(message.size(), 32), padded.begin());
    return Fs::from_raw(integers::from_bytes_le(padded));
}

PrimeOrderPoint public_key(const Fs& sk, std::size_t generator_index, const AltJubjubBn256& params) {
    return public_multiple(sk, generator_index, params);
}

OwnSignature sign_raw_message(const Fs& sk, std::span<const std::uint8_t> message, const Fs& r,
                           std::size_t generator_index, const AltJubjubBn256& params) {
    if (message.size() > 32) abort_with("assertion failed: msg.len() <= 32");
    // The generators are cofactor multiples, so pk = sk·G lies in the
    // prime-order subgroup by construction and its order check could never
    // fail: the multiplication by l it would cost is left out.
    const PrimeOrderPoint big_r = public_multiple(r, generator_index, params);
    return OwnSignature{big_r, signature_scalar(sk, message, r)};
}

KeyAndSignature sign_raw_message_with_key(const Fs& sk, std::span<const std::uint8_t> message, const Fs& r,
                                          std::size_t generator_index, const AltJubjubBn256& params) {
    if (message.size() > 32) abort_with("assertion failed: msg.len() <= 32");
    const Secret<PrimeOrderPoint> pk_projective(generator_times(sk, generator_index, params));
    const Secret<PrimeOrderPoint> r_projective(generator_times(r, generator_index, params));
    auto [pk, big_r] = PrimeOrderPoint::to_affine_pair(*pk_projective, *r_projective);
    // Public: the key and the signature's R.
    LUMORA_DECLASSIFY(&pk, sizeof pk);
    LUMORA_DECLASSIFY(&big_r, sizeof big_r);
    return KeyAndSignature{pk, OwnSignature{big_r, signature_scalar(sk, message, r)}};
}

// R's order check is implied, so it is not made: once pk is in the
// prime-order subgroup, an R that satisfies the equation is s·G − c·pk, a
// combination of two subgroup points, hence in the subgroup itself; an R that
// does not satisfy it is refused either way. The answer is that of checking
// both orders, for every input, at the cost of one multiplication by l fewer.
bool verify_for_raw_message(const UnknownPoint& pk, std::span<const std::uint8_t> message,
                            const Signature& signature, std::size_t generator_index, const AltJubjubBn256& params) {
    const Fs c = message_scalar(message);
    // The neutral point is in the subgroup, but as a key it would make c·pk
    // vanish: one R = s·G would then verify for every message. It verifies
    // nothing. (The signer's own check still accepts it: key 0 signs.)
    if (pk == UnknownPoint::zero()) return false;
    // The order check l·pk = 0 and c·pk share their doublings.
    const auto [l_pk, c_pk] = two_multiples_var(pk, field::fs_char(), c.into_repr(), params);
    if (l_pk != UnknownPoint::zero()) return false;
    return equation_holds(c_pk, signature.r, signature.s, generator_index, params);
}

bool verify_own_signature(const PrimeOrderPoint& pk, std::span<const std::uint8_t> message,
                          const OwnSignature& signature, std::size_t generator_index, const AltJubjubBn256& params) {
    const UnknownPoint c_pk = UnknownPoint(pk).mul_var(message_scalar(message).into_repr(), params);
    return equation_holds(c_pk, signature.r, signature.s, generator_index, params);
}

}  // inline namespace LUMORA_KERNEL_NS
}  // namespace lumora::eddsa
