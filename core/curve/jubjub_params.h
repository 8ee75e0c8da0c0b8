// The constants of Baby Jubjub that the point arithmetic reads.
//
// The curve is the twisted Edwards curve −x² + y² = 1 + d·x²·y² over Fr (the
// BN254 scalar field, p below), birationally equivalent to the Montgomery
// curve v² = u³ + A·u² + u. Its group has order 8·l, l being the modulus of Fs.
#pragma once

#include <string_view>

#include "common/kernel_copy.h"
#include "field/fr.h"
#include "field/fs.h"

namespace lumora::curve {
inline namespace LUMORA_KERNEL_NS {

using field::Fr;

// Decimal texts of the constants; the system's values, parsed at build time
// of the parameter set.
//   d = −168696 / 168700 mod p;
//   A = 2(−1 + d)/(−1 − d) = 168698;
//   scale² = 4/(−1 − d) = −(A + 2); this root, not its negative.
inline constexpr std::string_view EDWARDS_D_DECIMAL =
    "12181644023421730124874158521699555681764249180949974110617291017600649128846";
inline constexpr std::string_view MONTGOMERY_A_DECIMAL = "168698";
inline constexpr std::string_view MONTGOMERY_SCALE_DECIMAL =
    "6360561867910373094066688120553762416144456282423235903351243436111059670888";

// The accessors of a curve parameter set (the point arithmetic of edwards.h
// is generic over them); AltJubjubBn256 adds the generators.
class JubjubParams {
public:
    using Base = Fr;          // coordinates
    using Scalar = field::Fs;  // scalars of the prime-order subgroup, order l

    // Parses the constants in the order A, then 2A = A doubled, then d and
    // the scale. A text that does not parse would abort with
    // "called `Option::unwrap()` on a `None` value"; these cannot fail.
    static JubjubParams from_constants();

    const Fr& edwards_d() const { return edwards_d_; }
    const Fr& montgomery_a() const { return montgomery_a_; }
    const Fr& montgomery_2a() const { return montgomery_2a_; }
    const Fr& montgomery_scale() const { return montgomery_scale_; }
    // 2d, the multiplier of the cached form that point additions use.
    const Fr& edwards_2d() const { return edwards_2d_; }

private:
    Fr edwards_d_;
    Fr montgomery_a_;
    Fr montgomery_2a_;
    Fr montgomery_scale_;
    Fr edwards_2d_;
};

}  // inline namespace LUMORA_KERNEL_NS
}  // namespace lumora::curve
