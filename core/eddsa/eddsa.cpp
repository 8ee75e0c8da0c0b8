#include "eddsa/eddsa.h"

#include <array>
#include <algorithm>

#include "common/ct.h"
#include "common/secret.h"

namespace lumora::eddsa::inline LUMORA_KERNEL_NS {

namespace {

// s·G for a public s: the fixed-base table serves the signing generator.
PrimeOrderPoint generator_times(const Fs& s, std::size_t generator_index, const AltJubjubBn256& params) {
    if (generator_index == curve::SIGNING_GENERATOR) return params.mul_signing_generator(s);
    return params.generator(generator_index).mul(s, params);
}

bool in_prime_order_subgroup(const UnknownPoint& p, const AltJubjubBn256& params) {
    return p.mul_var(field::fs_char(), params) == UnknownPoint::zero();
}

// R + c·pk − s·G is the neutral point.
bool equation_holds(const UnknownPoint& pk, const Fs& c, const UnknownPoint& r, const Fs& s,
                    std::size_t generator_index, const AltJubjubBn256& params) {
    const UnknownPoint s_g = generator_times(s, generator_index, params);
    const UnknownPoint q = pk.mul_var(c.into_repr(), params).add(r, params).add(s_g.negate(), params);
    return q == UnknownPoint::zero();
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
    const Secret<Fs> c_sk(message_scalar(message) * sk);
    Fs s = *c_sk + r;
    // Public: s is the signature's scalar (c·sk + r hides sk behind r).
    LUMORA_DECLASSIFY(&s, sizeof s);
    return OwnSignature{big_r, s};
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
    if (!in_prime_order_subgroup(pk, params)) return false;
    return equation_holds(pk, c, signature.r, signature.s, generator_index, params);
}

bool verify_own_signature(const PrimeOrderPoint& pk, std::span<const std::uint8_t> message,
                          const OwnSignature& signature, std::size_t generator_index, const AltJubjubBn256& params) {
    return equation_holds(pk, message_scalar(message), signature.r, signature.s, generator_index, params);
}

}  // namespace lumora::eddsa
