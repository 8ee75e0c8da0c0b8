// Modular inversion by divsteps (Bernstein and Yang, "Fast constant-time gcd
// computation and modular inversion", 2019), for any odd modulus p below
// 2^256: a constant-time form for secret values and a variable-time one for
// public values. Element (montgomery.h) calls them with its Montgomery limbs.
//
// A divstep maps (δ, f, g), f odd, to
//   (1 − δ, g, (g − f)/2)   when δ > 0 and g is odd,
//   (1 + δ, f, (g + f)/2)   when g is odd otherwise,
//   (1 + δ, f, g/2)         when g is even;
// started from (δ₀, p, x), enough of them reach g = 0 with f = ±gcd(p, x).
// The steps depend on the low bits of f and g only, so they run in batches of
// up to 62 on single words, each batch giving a 2×2 transition matrix T with
// 2^62·(f', g') = T·(f, g); the full-width f and g, and the pair (d, e) with
// d·x ≡ f·c, e·x ≡ g·c (mod p), then take one matrix multiplication per
// batch. At the end f = ±1 and ±d is c/x mod p.
//
// Wide values are signed, in five limbs of 62 bits (limbs 0 to 3 in
// [0, 2^62), the top one signed): products of matrix entries, which are below
// 2^62 in magnitude, and limbs fit in 128 bits with room for the sums.
#pragma once

#include <cstdint>

#include "common/kernel_copy.h"
#include "field/constants.h"

namespace lumora::field {
inline namespace LUMORA_KERNEL_NS {
namespace safegcd {

using i64 = std::int64_t;
using i128 = __int128;

inline constexpr u64 M62 = ~u64{0} >> 2;

// Σ v[i]·2^(62·i).
struct Signed62 {
    i64 v[5];
};

// 2^62·(f', g') = (u·f + v·g, q·f + r·g) after a batch; |u| + |v| and
// |q| + |r| are at most 2^62.
struct Transition {
    i64 u, v, q, r;
};

constexpr Signed62 to_signed62(const Limbs& a) {
    return {{static_cast<i64>(a[0] & M62), static_cast<i64>(((a[0] >> 62) | (a[1] << 2)) & M62),
             static_cast<i64>(((a[1] >> 60) | (a[2] << 4)) & M62), static_cast<i64>(((a[2] >> 58) | (a[3] << 6)) & M62),
             static_cast<i64>(a[3] >> 56)}};
}

// For a value in [0, 2^256) with limbs 0 to 3 in [0, 2^62).
constexpr Limbs from_signed62(const Signed62& s) {
    const u64 v0 = static_cast<u64>(s.v[0]), v1 = static_cast<u64>(s.v[1]), v2 = static_cast<u64>(s.v[2]),
              v3 = static_cast<u64>(s.v[3]), v4 = static_cast<u64>(s.v[4]);
    return {v0 | (v1 << 62), (v1 >> 2) | (v2 << 60), (v2 >> 4) | (v3 << 58), (v3 >> 6) | (v4 << 56)};
}

// p⁻¹ mod 2^62 for odd p (Newton's iteration, as derive::neg_inv64).
constexpr u64 inv62(u64 p0) {
    u64 x = p0;
    for (int i = 0; i < 5; ++i) x *= 2 - p0 * x;
    return x & M62;
}

// What the inversion needs of the modulus, derived from it at compile time.
template <const Limbs& M>
struct Modulus {
    static constexpr Signed62 P = to_signed62(M);
    static constexpr u64 INV62 = inv62(M[0]);
    static_assert((M[0] & 1) == 1, "the divsteps need an odd modulus");
    static_assert(((static_cast<u64>(P.v[0]) * INV62) & M62) == 1);
    static_assert(from_signed62(P) == M);
};

// Hides a value from the optimiser, so that it cannot turn the masks made of
// it back into branches on the secret.
inline i64 opaque(i64 x) {
    __asm__("" : "+r"(x));
    return x;
}

// 59 divsteps of the "half-delta" form, which starts from δ = 1/2 and has a
// smaller worst case than δ = 1, on the low words of f and g, without
// branches. ζ = −(δ + 1/2) is passed in and returned. The matrix starts at
// 2^3·I, so that 59 halvings leave it scaled by 2^62 like a full batch.
inline __attribute__((always_inline)) i64 divsteps_59(i64 zeta, u64 f0, u64 g0, Transition& t) {
    u64 u = 8, v = 0, q = 0, r = 8, f = f0, g = g0;
    // Unrolled: straight-line code, which scripts/field-codegen.sh checks.
#pragma GCC unroll 59
    for (int i = 3; i < 62; ++i) {
        // All ones when δ > 0, and when g is odd.
        u64 c1 = static_cast<u64>(opaque(zeta >> 63));
        const u64 c2 = static_cast<u64>(opaque(-static_cast<i64>(g & 1)));
        // g += ±f when g is odd, with the sign of −f when δ > 0.
        const u64 x = (f ^ c1) - c1, y = (u ^ c1) - c1, z = (v ^ c1) - c1;
        g += x & c2;
        q += y & c2;
        r += z & c2;
        // When both, (f, g) becomes (g, (g − f)/2): f takes the old g back.
        c1 &= c2;
        zeta = (zeta ^ static_cast<i64>(c1)) - 1;
        f += g & c1;
        u += q & c1;
        v += r & c1;
        // Halving g is doubling the first row instead.
        g >>= 1;
        u <<= 1;
        v <<= 1;
    }
    t = {static_cast<i64>(u), static_cast<i64>(v), static_cast<i64>(q), static_cast<i64>(r)};
    return zeta;
}

// Up to 62 divsteps of the δ = 1 form, η = −δ passed in and returned, with
// branches on f and g: runs of zeros are shifted out at once, and each odd g
// takes the multiple of f (from its inverse mod 2^4 or 2^6) that clears as
// many low bits as the steps left and δ allow.
inline i64 divsteps_62_var(i64 eta, u64 f0, u64 g0, Transition& t) {
    u64 u = 1, v = 0, q = 0, r = 1, f = f0, g = g0;
    int i = 62;
    for (;;) {
        const int zeros = __builtin_ctzll(g | (~u64{0} << i));
        g >>= zeros;
        u <<= zeros;
        v <<= zeros;
        eta -= zeros;
        i -= zeros;
        if (i == 0) break;
        // g is odd here.
        u64 w;
        int limit;
        if (eta < 0) {
            // δ > 0: (f, g) becomes (g, −f).
            eta = -eta;
            u64 tmp = f;
            f = g;
            g = 0 - tmp;
            tmp = u;
            u = q;
            q = 0 - tmp;
            tmp = v;
            v = r;
            r = 0 - tmp;
            limit = static_cast<int>(eta) + 1 > i ? i : static_cast<int>(eta) + 1;
            const u64 m = (~u64{0} >> (64 - limit)) & 63;
            w = (f * g * (f * f - 2)) & m;  // −g/f mod 2^6: f·(2 − f²) is 1/f mod 2^6
        } else {
            limit = static_cast<int>(eta) + 1 > i ? i : static_cast<int>(eta) + 1;
            const u64 m = (~u64{0} >> (64 - limit)) & 15;
            w = f + (((f + 1) & 4) << 1);  // 1/f mod 2^4
            w = (0 - w * g) & m;
        }
        g += f * w;
        q += u * w;
        r += v * w;
    }
    t = {static_cast<i64>(u), static_cast<i64>(v), static_cast<i64>(q), static_cast<i64>(r)};
    return eta;
}

// (d, e) ← T·(d, e)/2^62 mod p, for d, e in (−2p, p), into the same range.
// Multiples of p are added to make the low 62 bits of each sum zero: first u
// or q (v or r) when d (e) is negative, which brings the result above −2p,
// then the one that clears the low limb, found with p⁻¹ mod 2^62.
template <const Limbs& M>
inline __attribute__((always_inline)) void update_de(Signed62& d, Signed62& e, const Transition& t) {
    using Mod = Modulus<M>;
    constexpr const Signed62& p = Mod::P;
    const i64 u = t.u, v = t.v, q = t.q, r = t.r;
    const i64 sd = d.v[4] >> 63, se = e.v[4] >> 63;
    i64 md = (u & sd) + (v & se);
    i64 me = (q & sd) + (r & se);
    i128 cd = static_cast<i128>(u) * d.v[0] + static_cast<i128>(v) * e.v[0];
    i128 ce = static_cast<i128>(q) * d.v[0] + static_cast<i128>(r) * e.v[0];
    md -= static_cast<i64>((Mod::INV62 * static_cast<u64>(cd) + static_cast<u64>(md)) & M62);
    me -= static_cast<i64>((Mod::INV62 * static_cast<u64>(ce) + static_cast<u64>(me)) & M62);
    cd += static_cast<i128>(p.v[0]) * md;
    ce += static_cast<i128>(p.v[0]) * me;
    cd >>= 62;  // the low 62 bits are zero now
    ce >>= 62;
#pragma GCC unroll 4
    for (int i = 1; i < 5; ++i) {
        cd += static_cast<i128>(u) * d.v[i] + static_cast<i128>(v) * e.v[i];
        ce += static_cast<i128>(q) * d.v[i] + static_cast<i128>(r) * e.v[i];
        if (p.v[i] != 0) {  // a constant of the modulus: small moduli skip their zero limbs
            cd += static_cast<i128>(p.v[i]) * md;
            ce += static_cast<i128>(p.v[i]) * me;
        }
        d.v[i - 1] = static_cast<i64>(static_cast<u64>(cd) & M62);
        e.v[i - 1] = static_cast<i64>(static_cast<u64>(ce) & M62);
        cd >>= 62;
        ce >>= 62;
    }
    d.v[4] = static_cast<i64>(cd);
    e.v[4] = static_cast<i64>(ce);
}

// (f, g) ← T·(f, g)/2^62 over their low `len` limbs (the division is exact).
inline __attribute__((always_inline)) void update_fg(int len, Signed62& f, Signed62& g, const Transition& t) {
    const i64 u = t.u, v = t.v, q = t.q, r = t.r;
    i128 cf = static_cast<i128>(u) * f.v[0] + static_cast<i128>(v) * g.v[0];
    i128 cg = static_cast<i128>(q) * f.v[0] + static_cast<i128>(r) * g.v[0];
    cf >>= 62;
    cg >>= 62;
#pragma GCC unroll 4
    for (int i = 1; i < len; ++i) {
        cf += static_cast<i128>(u) * f.v[i] + static_cast<i128>(v) * g.v[i];
        cg += static_cast<i128>(q) * f.v[i] + static_cast<i128>(r) * g.v[i];
        f.v[i - 1] = static_cast<i64>(static_cast<u64>(cf) & M62);
        g.v[i - 1] = static_cast<i64>(static_cast<u64>(cg) & M62);
        cf >>= 62;
        cg >>= 62;
    }
    f.v[len - 1] = static_cast<i64>(cf);
    g.v[len - 1] = static_cast<i64>(cg);
}

// d·sign(f) mod p in [0, p) for d in (−2p, p), without branches: add p when
// negative, negate when f is, add p when negative again.
template <const Limbs& M>
inline __attribute__((always_inline)) Limbs normalize(Signed62 d, i64 f_top) {
    constexpr const Signed62& p = Modulus<M>::P;
    const auto carry = [&d] {
#pragma GCC unroll 4
        for (int i = 0; i < 4; ++i) {
            d.v[i + 1] += d.v[i] >> 62;
            d.v[i] &= static_cast<i64>(M62);
        }
    };
    i64 add = d.v[4] >> 63;
#pragma GCC unroll 5
    for (int i = 0; i < 5; ++i) d.v[i] += p.v[i] & add;
    const i64 negate = f_top >> 63;
#pragma GCC unroll 5
    for (int i = 0; i < 5; ++i) d.v[i] = (d.v[i] ^ negate) - negate;
    carry();
    add = d.v[4] >> 63;
#pragma GCC unroll 5
    for (int i = 0; i < 5; ++i) d.v[i] += p.v[i] & add;
    carry();
    return from_signed62(d);
}

// Half-delta divsteps from δ = 1/2 reach g = 0 within 590 steps for every
// odd f and every g below 2^256: the bound computed for this form by
// following, step by step, the convex hull of every (f, g) still reachable
// (the paper's own proof, for δ = 1, gives ⌊(49·256 + 57)/17⌋ = 741). Ten
// batches of 59 cover it, for any modulus below 2^256; further steps would
// leave g = 0 and f unchanged, so running a few more costs only time.
inline constexpr int CONSTANT_TIME_BATCHES = 10;
static_assert(CONSTANT_TIME_BATCHES * 59 >= 590);

// c/x mod p for x in [1, p) and c in [0, p), and 0 for x = 0, in a fixed
// sequence of operations whatever x and c are.
template <const Limbs& M>
inline Limbs invert(const Limbs& x, const Limbs& c) {
    Signed62 d = {{0, 0, 0, 0, 0}}, e = to_signed62(c), f = Modulus<M>::P, g = to_signed62(x);
    i64 zeta = -1;  // δ = 1/2
    Transition t;
    for (int i = 0; i < CONSTANT_TIME_BATCHES; ++i) {
        zeta = divsteps_59(zeta, static_cast<u64>(f.v[0]), static_cast<u64>(g.v[0]), t);
        update_de<M>(d, e, t);
        update_fg(5, f, g, t);
    }
    // g is zero and f is ±1 (f is p, and d still zero, when x is zero).
    return normalize<M>(d, f.v[4]);
}

// c/x mod p for x in [1, p) and c in [0, p), in time that depends on x: it
// stops when g reaches zero and drops the top limbs of f and g once both
// have shrunk below them.
template <const Limbs& M>
inline Limbs invert_var(const Limbs& x, const Limbs& c) {
    Signed62 d = {{0, 0, 0, 0, 0}}, e = to_signed62(c), f = Modulus<M>::P, g = to_signed62(x);
    i64 eta = -1;  // δ = 1
    int len = 5;
    Transition t;
    for (;;) {
        eta = divsteps_62_var(eta, static_cast<u64>(f.v[0]), static_cast<u64>(g.v[0]), t);
        update_de<M>(d, e, t);
        update_fg(len, f, g, t);
        if (g.v[0] == 0) {
            i64 rest = 0;
            for (int j = 1; j < len; ++j) rest |= g.v[j];
            if (rest == 0) break;
        }
        // When the top limbs of f and g are only sign extension (0 or −1),
        // fold them into the limb below.
        const i64 fn = f.v[len - 1], gn = g.v[len - 1];
        if (len > 1 && (fn ^ (fn >> 63)) == 0 && (gn ^ (gn >> 63)) == 0) {
            f.v[len - 2] |= static_cast<i64>(static_cast<u64>(fn) << 62);
            g.v[len - 2] |= static_cast<i64>(static_cast<u64>(gn) << 62);
            --len;
        }
    }
    return normalize<M>(d, f.v[len - 1]);
}

}  // namespace safegcd
}  // inline namespace LUMORA_KERNEL_NS
}  // namespace lumora::field
