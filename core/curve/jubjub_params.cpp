#include "curve/jubjub_params.h"

#include <utility>

#include "common/error.h"

namespace lumora::curve {
inline namespace LUMORA_KERNEL_NS {

namespace {

Fr parse_constant(std::string_view decimal) {
    const auto value = field::fr_from_str(decimal);
    if (!value) abort_with("called `Option::unwrap()` on a `None` value");
    return *value;
}

Fr inverse_or_abort_var(const Fr& value) {
    const auto inverse = value.inverse_var();  // public constants
    if (!inverse) abort_with("called `Option::unwrap()` on a `None` value");
    return *inverse;
}

// The tangent v = λ·u + c at (u0, v0) of v² = u³ + A·u² + u:
// λ = (3·u0² + 2A·u0 + 1)/(2·v0).
std::pair<Fr, Fr> tangent(const Fr& u0, const Fr& v0, const Fr& a) {
    const Fr lambda = (u0.square() * Fr::from_u64(3) + a.dbl() * u0 + Fr::one()) * inverse_or_abort_var(v0.dbl());
    return {lambda, v0 - lambda * u0};
}

TorsionLines derive_torsion_lines(const Fr& x, const Fr& y, const Fr& a, const Fr& scale) {
    const Fr u0 = (Fr::one() + y) * inverse_or_abort_var(Fr::one() - y);
    const Fr v0 = scale * u0 * inverse_or_abort_var(x);
    const auto [lambda1, c1] = tangent(u0, v0, a);
    // 2·T8 by the tangent's third intersection, reflected.
    const Fr u2 = lambda1.square() - a - u0.dbl();
    const Fr v2 = lambda1 * (u0 - u2) - v0;
    const auto [lambda2, c2] = tangent(u2, v2, a);
    return {lambda1, c1, lambda2, c2, u2};
}

}  // namespace

JubjubParams JubjubParams::from_constants() {
    JubjubParams p;
    p.montgomery_a_ = parse_constant(MONTGOMERY_A_DECIMAL);
    p.montgomery_2a_ = p.montgomery_a_.dbl();
    p.edwards_d_ = parse_constant(EDWARDS_D_DECIMAL);
    p.montgomery_scale_ = parse_constant(MONTGOMERY_SCALE_DECIMAL);
    p.edwards_2d_ = p.edwards_d_.dbl();
    p.order_eight_x_ = parse_constant(ORDER_EIGHT_X_DECIMAL);
    p.order_eight_y_ = parse_constant(ORDER_EIGHT_Y_DECIMAL);
    p.torsion_lines_ = derive_torsion_lines(p.order_eight_x_, p.order_eight_y_, p.montgomery_a_, p.montgomery_scale_);
    return p;
}

}  // inline namespace LUMORA_KERNEL_NS
}  // namespace lumora::curve
