// Verification's arithmetic on public points, in variable time: the
// subgroup test and products of several points by public scalars sharing one
// chain of doublings. The constant-time products (of secret scalars) are the
// points' own mul and the fixed-base tables (curve/edwards.h).
#pragma once

#include "common/kernel_copy.h"
#include "curve/alt_jubjub.h"
#include "curve/edwards.h"

namespace lumora::curve {
inline namespace LUMORA_KERNEL_NS {

// Whether p lies in the subgroup of order l (l·p = O), in variable time: for
// public points. With T8 of order 8 generating the 8-torsion, the reduced
// pairing with T8, f(p)^((p − 1)/8) for f of divisor 8(T8) − 8(O), is 1
// exactly on 8·E = the subgroup of order l: some twenty multiplications and
// one exponentiation instead of the 250 doublings of l·p. The neutral point
// is in the subgroup.
bool in_subgroup_var(const edwards::Point<edwards::Unknown>& p, const AltJubjubBn256& params);

// A short multiple of the challenge c: u·c ≡ v (mod l) with u odd and
// 0 < u < l, and u and |v| of about 126 bits each (at most ~130), by the
// extended Euclidean algorithm on (l, c) stopped at the first remainder
// below 2^126. v is given as its magnitude and sign.
struct ChallengeSplit {
    field::Repr u;
    field::Repr v;
    bool v_negative;
};
ChallengeSplit split_challenge_var(const field::Fs& c);

// Whether s·G = R + c·pk for the signing generator G, in variable time (all
// inputs public), given that pk lies in the subgroup of order l (R need not).
// Checked as (u·s mod l)·G − u·R − v·pk = O with (u, v) = split_challenge_var(c):
// u·(s·G − R − c·pk) equals it as pk has order l, and u is odd and below l,
// so neither the 8-torsion nor l divides it and the check is equivalent to
// the equation. (With an even u, R plus the point of order 2 would pass.)
// The four scalars of about 126 bits share one chain of doublings; G's
// scalar is split at SIGNING_SPLIT_BITS against the parameter set's tables.
bool signing_equation_holds_var(const edwards::Point<edwards::Unknown>& r, const edwards::Point<edwards::Unknown>& pk,
                                const field::Fs& s, const field::Fs& c, const AltJubjubBn256& params);

}  // inline namespace LUMORA_KERNEL_NS
}  // namespace lumora::curve
