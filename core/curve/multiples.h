// Products of one point by several public scalars, in variable time: the
// scalars are recoded into signed digits and the products share one chain of
// doublings. The constant-time products (of secret scalars) are the points'
// own mul and the fixed-base tables (curve/edwards.h).
#pragma once

#include <utility>

#include "common/kernel_copy.h"
#include "curve/alt_jubjub.h"
#include "curve/edwards.h"

namespace lumora::curve {
inline namespace LUMORA_KERNEL_NS {

// (a·P, b·P) for public integers a and b (any below 2^256), in variable
// time, with one chain of doublings of P shared by both: verification's order
// check l·pk and its c·pk.
std::pair<edwards::Point<edwards::Unknown>, edwards::Point<edwards::Unknown>> two_multiples_var(
    const edwards::Point<edwards::Unknown>& p, const field::Repr& a, const field::Repr& b,
    const AltJubjubBn256& params);

}  // inline namespace LUMORA_KERNEL_NS
}  // namespace lumora::curve
