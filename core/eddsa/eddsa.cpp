#include "eddsa/eddsa.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>

#include "common/ct.h"
#include "common/secret.h"
#include "curve/multiples.h"

namespace lumora::eddsa {
inline namespace LUMORA_KERNEL_NS {

namespace {

using field::Repr;

// s·G in constant time, for the secret key and nonce of signing and the
// public s of verification alike: the fixed-base table serves the signing
// generator.
PrimeOrderPoint generator_times(const Fs& s, std::size_t generator_index, const AltJubjubBn256& params) {
    if (generator_index == curve::SIGNING_GENERATOR) return params.mul_signing_generator(s);
    return params.generator(generator_index).mul(s, params);
}

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
// both orders, for every input.
bool verify_for_raw_message(const UnknownPoint& pk, std::span<const std::uint8_t> message,
                            const Signature& signature, std::size_t generator_index, const AltJubjubBn256& params) {
    const Fs c = message_scalar(message);
    // The neutral point is in the subgroup, but as a key it would make c·pk
    // vanish: one R = s·G would then verify for every message. It verifies
    // nothing. (The signer's own check still accepts it: key 0 signs.)
    if (pk == UnknownPoint::zero()) return false;
    if (!curve::in_subgroup_var(pk, params)) return false;
    if (generator_index == curve::SIGNING_GENERATOR)
        return curve::signing_equation_holds_var(signature.r, pk, signature.s, c, params);
    // The other generators have no tables: s·G and c·pk apart.
    return equation_holds(pk.mul_var(c.into_repr(), params), signature.r, signature.s, generator_index, params);
}

// pk and R are multiples of the generator, so no order check is needed; the
// equation is still checked against pk itself, so a key, an R or an s spoilt
// on the way is refused.
bool verify_own_signature(const PrimeOrderPoint& pk, std::span<const std::uint8_t> message,
                          const OwnSignature& signature, std::size_t generator_index, const AltJubjubBn256& params) {
    const Fs c = message_scalar(message);
    if (generator_index == curve::SIGNING_GENERATOR)
        return curve::signing_equation_holds_var(signature.r, pk, signature.s, c, params);
    const UnknownPoint c_pk = UnknownPoint(pk).mul_var(c.into_repr(), params);
    return equation_holds(c_pk, signature.r, signature.s, generator_index, params);
}

}  // inline namespace LUMORA_KERNEL_NS
}  // namespace lumora::eddsa
