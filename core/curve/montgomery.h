// Baby Jubjub points in Montgomery form, v² = u³ + A·u² + u, in affine
// coordinates with a flag for the point at infinity (the neutral element).
// The system uses them only for the Montgomery window tables that a parameter
// set may carry; the operations stay available for checks against the
// Edwards form.
#pragma once

#include "curve/edwards.h"

namespace lumora::curve::inline LUMORA_KERNEL_NS::montgomery {

using field::Fr;

class Point {
public:
    // The neutral element: u = v = 0 with the infinity flag set.
    Point() = default;
    static Point zero() { return Point(); }

    // The image of an Edwards point under (x, y) ↦ ((1 + y)/(1 − y), scale·u/x):
    // the neutral element for y = 1, (0, 0) for the point (0, −1) of order two.
    static Point from_edwards(const edwards::Point<edwards::Unknown>& p, const JubjubParams& params);

    // Affine doubling; the neutral element for infinity and for v = 0.
    Point dbl(const JubjubParams& params) const;
    // Affine addition; equal u gives the double (same v) or the neutral
    // element (opposite points).
    Point add(const Point& other, const JubjubParams& params) const;

    const Fr& u() const { return u_; }
    const Fr& v() const { return v_; }
    bool is_infinity() const { return infinity_; }

    friend bool operator==(const Point&, const Point&) = default;

private:
    Point(const Fr& u, const Fr& v) : u_(u), v_(v), infinity_(false) {}

    Fr u_;
    Fr v_;
    bool infinity_ = true;
};

}  // namespace lumora::curve::montgomery
