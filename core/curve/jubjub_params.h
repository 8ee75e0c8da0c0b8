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
// A point T8 of order 8, (x, y) with y = ±√−1·x and x² = (1 ± √(1 + d))/d.
// −d is not a square, so (0, −1) is the only point of order 2 and the
// points of order dividing 8 are the multiples of T8.
inline constexpr std::string_view ORDER_EIGHT_X_DECIMAL =
    "21449313544428428285896623807777999089618640778178766447151795324822652860828";
inline constexpr std::string_view ORDER_EIGHT_Y_DECIMAL =
    "17061719626832259898845741003733890968968767993363194771977168648564009544074";

// The lines of the function f with divisor 8(T8) − 8(O) on the Montgomery
// form (u = (1 + y)/(1 − y), v = scale·u/x), built by doubling T8 three
// times: f = ℓ₁⁴·ℓ₂² / (m₂⁴·u), where ℓ₁: v = λ₁·u + c₁ is the tangent at
// T8, ℓ₂: v = λ₂·u + c₂ the tangent at 2·T8, m₂: u = u₂ the vertical line at
// 2·T8 and u the vertical line at 4·T8 = (0, 0). f^((p − 1)/8) at a point is
// the reduced pairing with T8, which vanishes exactly on the points of
// order l (curve/multiples.h, in_subgroup_var).
struct TorsionLines {
    Fr lambda1, c1, lambda2, c2, u2;
};

// The accessors of a curve parameter set (the point arithmetic of edwards.h
// is generic over them); AltJubjubBn256 adds the generators.
class JubjubParams {
public:
    using Base = Fr;          // coordinates
    using Scalar = field::Fs;  // scalars of the prime-order subgroup, order l

    // Parses the constants in the order A, then 2A = A doubled, then d and
    // the scale, then T8, and derives the torsion lines. A text that does not
    // parse would abort with "called `Option::unwrap()` on a `None` value";
    // these cannot fail.
    static JubjubParams from_constants();

    const Fr& edwards_d() const { return edwards_d_; }
    const Fr& montgomery_a() const { return montgomery_a_; }
    const Fr& montgomery_2a() const { return montgomery_2a_; }
    const Fr& montgomery_scale() const { return montgomery_scale_; }
    // 2d, the multiplier of the cached form that point additions use.
    const Fr& edwards_2d() const { return edwards_2d_; }
    // T8 (affine) and the lines above, derived from it.
    const Fr& order_eight_x() const { return order_eight_x_; }
    const Fr& order_eight_y() const { return order_eight_y_; }
    const TorsionLines& torsion_lines() const { return torsion_lines_; }

private:
    Fr edwards_d_;
    Fr montgomery_a_;
    Fr montgomery_2a_;
    Fr montgomery_scale_;
    Fr edwards_2d_;
    Fr order_eight_x_;
    Fr order_eight_y_;
    TorsionLines torsion_lines_;
};

}  // inline namespace LUMORA_KERNEL_NS
}  // namespace lumora::curve
