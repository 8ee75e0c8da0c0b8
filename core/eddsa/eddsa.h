// EdDSA over Baby Jubjub: a Schnorr-type signature on a message of at most
// 32 bytes, signed as it is (not hashed), with the scalar
// c = (message zero-padded to 32 bytes, read little-endian) mod l.
//
// A signature is (R, s) with R = r·G and s = c·sk + r, r being the nonce of
// nonce.h; it verifies when s·G = R + c·pk. No cofactor is cleared: instead
// both pk and R must lie in the prime-order subgroup.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>

#include "common/kernel_copy.h"
#include "curve/alt_jubjub.h"
#include "curve/edwards.h"
#include "field/fs.h"

namespace lumora::eddsa {
inline namespace LUMORA_KERNEL_NS {

using curve::AltJubjubBn256;
using field::Fs;
using PrimeOrderPoint = curve::edwards::Point<curve::edwards::PrimeOrder>;
using UnknownPoint = curve::edwards::Point<curve::edwards::Unknown>;

struct Signature {
    UnknownPoint r;
    Fs s;
};

// A signature as its signer made it: R is known to be a multiple of the
// generator. Converts to a Signature by relabelling R.
struct OwnSignature {
    PrimeOrderPoint r;
    Fs s;
    operator Signature() const { return Signature{r, s}; }
};

// c: the message, zero-padded (or cut) to 32 bytes, read little-endian, mod l.
Fs message_scalar(std::span<const std::uint8_t> message);

// The public key sk·G of fixed generator `generator_index`, in constant time,
// with Z = 1 (the projective form of the multiplication is not published).
PrimeOrderPoint public_key(const Fs& sk, std::size_t generator_index, const AltJubjubBn256& params);

// Signs `message` (at most 32 bytes: longer messages are outside the
// operation's domain and abort) with the nonce r. Constant time in sk and r;
// R has Z = 1, and the intermediate c·sk is wiped.
OwnSignature sign_raw_message(const Fs& sk, std::span<const std::uint8_t> message, const Fs& r,
                           std::size_t generator_index, const AltJubjubBn256& params);

// public_key and sign_raw_message in one: the key and R are made affine
// with a single inversion.
struct KeyAndSignature {
    PrimeOrderPoint pk;
    OwnSignature signature;
};
KeyAndSignature sign_raw_message_with_key(const Fs& sk, std::span<const std::uint8_t> message, const Fs& r,
                                          std::size_t generator_index, const AltJubjubBn256& params);

// Whether `signature` signs `message` (zero-padded, or cut to its first 32
// bytes) under pk. False, never a failure, for any defect: pk or R outside
// the prime-order subgroup, or s·G ≠ R + c·pk.
bool verify_for_raw_message(const UnknownPoint& pk, std::span<const std::uint8_t> message,
                            const Signature& signature, std::size_t generator_index, const AltJubjubBn256& params);

// The same check for a key and nonce point known to be multiples of the
// generator (the signer's own freshly made signature): their subgroup checks
// cannot fail and are skipped.
bool verify_own_signature(const PrimeOrderPoint& pk, std::span<const std::uint8_t> message,
                          const OwnSignature& signature, std::size_t generator_index, const AltJubjubBn256& params);

}  // inline namespace LUMORA_KERNEL_NS
}  // namespace lumora::eddsa
