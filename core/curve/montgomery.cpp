#include "curve/montgomery.h"

namespace lumora::curve::inline LUMORA_KERNEL_NS::montgomery {

namespace {

Fr inverse_or_abort(const Fr& a, const char* message) {
    const auto inv = a.inverse();
    if (!inv) abort_with(message);
    return *inv;
}

}  // namespace

Point Point::from_edwards(const edwards::Point<edwards::Unknown>& p, const JubjubParams& params) {
    const auto [x, y] = p.to_xy_var();
    if (y == Fr::one()) return zero();  // only the neutral point has y = 1
    if (x.is_zero()) return Point(Fr::zero(), Fr::zero());
    constexpr const char* none = "called `Option::unwrap()` on a `None` value";
    const Fr u = (Fr::one() + y) * inverse_or_abort(Fr::one() - y, none);
    const Fr v = u * inverse_or_abort(x, none) * params.montgomery_scale();
    return Point(u, v);
}

Point Point::dbl(const JubjubParams& params) const {
    if (infinity_ || v_.is_zero()) return zero();
    // δ = (1 + 2A·u + 3u²) / 2v
    Fr delta = Fr::one() + params.montgomery_2a() * u_ + u_.square() * Fr::from_u64(3);
    delta *= inverse_or_abort(v_.dbl(), "y is nonzero so this must be nonzero");
    const Fr u3 = delta.square() - params.montgomery_a() - u_ - u_;
    const Fr v3 = -((u3 - u_) * delta + v_);
    return Point(u3, v3);
}

Point Point::add(const Point& other, const JubjubParams& params) const {
    if (infinity_) return other;
    if (other.infinity_) return *this;
    if (u_ == other.u_) return v_ == other.v_ ? dbl(params) : zero();
    // δ = (v2 − v1) / (u2 − u1)
    const Fr delta =
        (other.v_ - v_) * inverse_or_abort(other.u_ - u_, "self.x != other.x, so this must be nonzero");
    const Fr u3 = delta.square() - params.montgomery_a() - u_ - other.u_;
    const Fr v3 = -((u3 - u_) * delta + v_);
    return Point(u3, v3);
}

}  // namespace lumora::curve::montgomery
