// AltJubjubBn256: the Baby Jubjub parameter set over the BN254 scalar field,
// with its generators derived by the group hash when the set is built, and
// the one shared instance every key, signing and verification operation reads.
#pragma once

#include <array>
#include <cstddef>

#include "common/kernel_copy.h"
#include "curve/edwards.h"
#include "curve/jubjub_params.h"

namespace lumora::curve {
inline namespace LUMORA_KERNEL_NS {

using PrimeOrderPoint = edwards::Point<edwards::PrimeOrder>;

inline constexpr std::size_t INDEXED_GENERATOR_COUNT = 5;
inline constexpr std::size_t FIXED_GENERATOR_COUNT = 6;
// The fixed generator of every public key, signature nonce and verification.
inline constexpr std::size_t SIGNING_GENERATOR = 5;

// Verification splits its scalar of the signing generator G at this bit,
// s = w0 + 2^SIGNING_SPLIT_BITS·w1, so that the halves, like the halves of
// the challenge, have about 126 bits (curve/multiples.h).
inline constexpr unsigned SIGNING_SPLIT_BITS = 126;
// The odd multiples kept of G and of 2^SIGNING_SPLIT_BITS·G: those of the
// width-10 signed digits (1·P .. 511·P), 24 KiB each.
inline constexpr std::size_t SIGNING_ODD_MULTIPLES = 256;

// Fixed generator i is find_group_hash(message, personalisation).
struct FixedGeneratorSeed {
    std::string_view message;
    std::string_view personalisation;
};
inline constexpr std::array<FixedGeneratorSeed, FIXED_GENERATOR_COUNT> FIXED_GENERATOR_SEEDS = {{
    {"", "Zcash_H_"},
    {"r", "Zcash_PH"},
    {"", "Zcash_J_"},
    {"v", "Zcash_cv"},
    {"r", "Zcash_cv"},
    {"", "Zcash_G_"},
}};
// Indexed generator m is find_group_hash(m as 4 little-endian bytes, this).
inline constexpr std::string_view INDEXED_GENERATOR_PERSONALISATION = "Zcash_PH";

class AltJubjubBn256 : public JubjubParams {
public:
    // Builds the set: the constants, the indexed generators 0..4, then the
    // fixed generators 0..5, each list checked to hold no neutral point
    // ("Neutral element!") and no repeat ("Duplicate generator!"), then the
    // tables for the signing generator. The checks and the derivation's own
    // assertions abort; with the system's constants none fires.
    static AltJubjubBn256 build();

    // Fixed generator `index` (0..5); a larger index aborts.
    const PrimeOrderPoint& generator(std::size_t index) const;
    const std::array<PrimeOrderPoint, INDEXED_GENERATOR_COUNT>& indexed_generators() const { return indexed_; }
    const std::array<PrimeOrderPoint, FIXED_GENERATOR_COUNT>& fixed_generators() const { return fixed_; }

    // scalar·generator(SIGNING_GENERATOR), in constant time, from the
    // precomputed table.
    PrimeOrderPoint mul_signing_generator(const field::Fs& scalar) const { return signing_table_.mul(scalar); }

    // The odd multiples of G (low) and of 2^SIGNING_SPLIT_BITS·G (high), for
    // verification's variable-time products.
    const edwards::OddMultiples& signing_multiples_low() const { return signing_low_; }
    const edwards::OddMultiples& signing_multiples_high() const { return signing_high_; }

private:
    AltJubjubBn256(const JubjubParams& constants, const std::array<PrimeOrderPoint, INDEXED_GENERATOR_COUNT>& indexed,
                   const std::array<PrimeOrderPoint, FIXED_GENERATOR_COUNT>& fixed);

    std::array<PrimeOrderPoint, INDEXED_GENERATOR_COUNT> indexed_;
    std::array<PrimeOrderPoint, FIXED_GENERATOR_COUNT> fixed_;
    edwards::FixedBaseTable signing_table_;
    edwards::OddMultiples signing_low_;
    edwards::OddMultiples signing_high_;
};

// JUBJUB_PARAMS, the process-wide parameter set: built by the first caller
// (concurrent first callers wait for it), read-only and shared afterwards.
const AltJubjubBn256& jubjub_params();

}  // inline namespace LUMORA_KERNEL_NS
}  // namespace lumora::curve
