// One Montgomery engine for the prime fields of the system; each field is a
// thin parameter set (see fr.h, fs.h).
//
// An Element holds four 64-bit limbs, least significant first, of x·R mod p
// with R = 2^256, always fully reduced below p, so equality is limb equality.
// A Repr is a canonical integer (four limbs, least significant first); one
// made by into_repr() is below p, one made by a caller may be any 256-bit value.
//
// Operations named *_var may branch on the data and take time that depends
// on it (inversion, exponentiation, square roots): for public values only.
// Everything else, arithmetic and comparisons included, runs without
// data-dependent branches or memory accesses; from_repr branches only on its
// own verdict.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>

#include "common/error.h"
#include "common/kernel_copy.h"
#include "common/secret.h"
#include "field/constants.h"
#include "field/safegcd.h"
#include "integers/u256.h"

// The copy's kernels, by the define the build gives each copy
// (common/kernel_paths.h): the x86-64 assembly forms for the baseline and
// MULX/ADX copies, the portable forms for the portable copy.
#if defined(LUMORA_FIELD_BASELINE) || defined(LUMORA_FIELD_ADX)
#define LUMORA_FIELD_X86_64_KERNELS
#include "field/montgomery_x86_64.h"
#elif !defined(LUMORA_FIELD_PORTABLE)
#error "no field kernels for this copy: montgomery.h picks them by LUMORA_FIELD_<COPY>"
#endif

namespace lumora::field {
inline namespace LUMORA_KERNEL_NS {

// Canonical integer, least significant limb first; its byte and text forms
// are the integers layer's (integers::from_bytes_le, to_bytes_be, to_hex, ...).
using Repr = Limbs;

// The decoding failure of from_repr: its display form is the message of the
// returned Error; the debug form is NotInField("0x…").
std::string not_in_field_message(const Repr& r);
std::string not_in_field_debug(const Repr& r);

namespace detail {

inline u64 adc(u64 a, u64 b, u64& carry) {
    const u128 t = static_cast<u128>(a) + b + carry;
    carry = static_cast<u64>(t >> 64);
    return static_cast<u64>(t);
}

inline u64 sbb(u64 a, u64 b, u64& borrow) {
    const u128 t = static_cast<u128>(a) - b - borrow;
    borrow = static_cast<u64>(t >> 127);  // 1 when the subtraction wrapped
    return static_cast<u64>(t);
}

// (c2:c1:c0) += x·y. The two low words are added as one 128-bit sum whose
// carry goes to c2: GCC turns this into mul/umulh, adds, adcs, cinc on
// aarch64 and mul, add, adc, adc on x86-64.
inline void mul_acc_portable(u64& c0, u64& c1, u64& c2, u64 x, u64 y) {
    u128 c = (static_cast<u128>(c1) << 64) | c0;
    c2 += __builtin_add_overflow(c, static_cast<u128>(x) * y, &c);
    c0 = static_cast<u64>(c);
    c1 = static_cast<u64>(c >> 64);
}

// (c2:c1:c0) += x·y, the step of product scanning (dot products). GCC on
// x86-64 gets it as one mul/add/adc/adc sequence (baseline instructions only),
// the sequence GCC 12 also makes of the portable form.
inline void mul_acc(u64& c0, u64& c1, u64& c2, u64 x, u64 y) {
#if defined(LUMORA_FIELD_X86_64_KERNELS) && defined(__GNUC__) && !defined(__clang__)
    asm("movq %[x], %%rax\n\t"
        "mulq %[y]\n\t"
        "addq %%rax, %[c0]\n\t"
        "adcq %%rdx, %[c1]\n\t"
        "adcq $0, %[c2]"
        : [c0] "+r"(c0), [c1] "+r"(c1), [c2] "+r"(c2)
        : [x] "rm"(x), [y] "rm"(y)
        : "rax", "rdx", "cc");
#else
    mul_acc_portable(c0, c1, c2, x, y);
#endif
}

// a >= b as 256-bit integers, comparing from the top limb down (variable
// time: it stops at the first limb that differs).
inline bool geq_var(const Limbs& a, const Limbs& b) {
    for (int i = 3; i >= 0; --i) {
        if (a[i] != b[i]) return a[i] > b[i];
    }
    return true;
}

// 1 when a < b as 256-bit integers, else 0: the borrow out of a − b, through
// every limb, so the time does not depend on where the two first differ.
inline u64 less_than(const Limbs& a, const Limbs& b) {
    u64 borrow = 0;
    for (int i = 0; i < 4; ++i) sbb(a[i], b[i], borrow);
    return borrow;
}

inline Limbs sub_nocheck(const Limbs& a, const Limbs& b) {
    Limbs r;
    u64 borrow = 0;
    for (int i = 0; i < 4; ++i) r[i] = sbb(a[i], b[i], borrow);
    return r;
}

// The portable kernels below are written out with constant indices so that
// every limb stays in a register and no loop or call is left in them.

// a + b and a − b over four limbs, with the carry (borrow) out. On aarch64
// one adds/adcs (subs/sbcs) chain in a few lines of assembly: GCC 12 splits
// a chain of overflow builtins at the 128-bit halves and rejoins them through
// a flag register. On x86-64 it compiles those builtins to a branch on the
// carry, so there the sums are taken as two 128-bit halves whose carries come
// from the top bits, which it turns into add/adc with a few logic operations
// (a chain of 64-bit steps through the builtins took 10 to 20 % longer).
// Hence one form per target; both give the same limbs.
#if defined(__aarch64__)
// One carry chain through the four limbs: with the overflow builtins GCC 12
// splits it at the 128-bit halves and rejoins them through a flag register.
inline Limbs add4(const Limbs& a, const Limbs& b, bool& carry) {
    Limbs r;
    u64 c;
    __asm__("adds %[r0], %[a0], %[b0]\n\t"
            "adcs %[r1], %[a1], %[b1]\n\t"
            "adcs %[r2], %[a2], %[b2]\n\t"
            "adcs %[r3], %[a3], %[b3]\n\t"
            "cset %[c], cs"
            : [r0] "=&r"(r[0]), [r1] "=&r"(r[1]), [r2] "=&r"(r[2]), [r3] "=&r"(r[3]), [c] "=r"(c)
            : [a0] "r"(a[0]), [a1] "r"(a[1]), [a2] "r"(a[2]), [a3] "r"(a[3]), [b0] "r"(b[0]), [b1] "r"(b[1]),
              [b2] "r"(b[2]), [b3] "r"(b[3])
            : "cc");
    carry = c != 0;
    return r;
}
inline Limbs sub4(const Limbs& a, const Limbs& b, bool& borrow) {
    Limbs r;
    u64 c;
    __asm__("subs %[r0], %[a0], %[b0]\n\t"
            "sbcs %[r1], %[a1], %[b1]\n\t"
            "sbcs %[r2], %[a2], %[b2]\n\t"
            "sbcs %[r3], %[a3], %[b3]\n\t"
            "cset %[c], lo"
            : [r0] "=&r"(r[0]), [r1] "=&r"(r[1]), [r2] "=&r"(r[2]), [r3] "=&r"(r[3]), [c] "=r"(c)
            : [a0] "r"(a[0]), [a1] "r"(a[1]), [a2] "r"(a[2]), [a3] "r"(a[3]), [b0] "r"(b[0]), [b1] "r"(b[1]),
              [b2] "r"(b[2]), [b3] "r"(b[3])
            : "cc");
    borrow = c != 0;
    return r;
}
#else
inline u128 limb_pair(const Limbs& a, int i) { return (static_cast<u128>(a[i + 1]) << 64) | a[i]; }
inline Limbs from_limb_pairs(u128 lo, u128 hi) {
    return {static_cast<u64>(lo), static_cast<u64>(lo >> 64), static_cast<u64>(hi), static_cast<u64>(hi >> 64)};
}
// The carry out of s = a + b + c and the borrow out of d = a − b − c, for a
// carry (borrow) c of 0 or 1, from the top bits alone: no overflow builtin,
// on which GCC branched wherever it knew an operand (as in a negation 0 − x
// inlined into its caller).
inline u64 carry_out(u128 a, u128 b, u128 s) { return static_cast<u64>(((a & b) | ((a | b) & ~s)) >> 127); }
inline u64 borrow_out(u128 a, u128 b, u128 d) { return static_cast<u64>(((~a & b) | (~(a ^ b) & d)) >> 127); }
inline Limbs add4(const Limbs& a, const Limbs& b, bool& carry) {
    const u128 a_lo = limb_pair(a, 0), b_lo = limb_pair(b, 0), lo = a_lo + b_lo;
    const u128 a_hi = limb_pair(a, 2), b_hi = limb_pair(b, 2), hi = a_hi + b_hi + carry_out(a_lo, b_lo, lo);
    carry = carry_out(a_hi, b_hi, hi);
    return from_limb_pairs(lo, hi);
}
inline Limbs sub4(const Limbs& a, const Limbs& b, bool& borrow) {
    const u128 a_lo = limb_pair(a, 0), b_lo = limb_pair(b, 0), lo = a_lo - b_lo;
    const u128 a_hi = limb_pair(a, 2), b_hi = limb_pair(b, 2), hi = a_hi - b_hi - borrow_out(a_lo, b_lo, lo);
    borrow = borrow_out(a_hi, b_hi, hi);
    return from_limb_pairs(lo, hi);
}
#endif

// a − m when that does not borrow, else a (branch-free); top counts as a
// fifth limb of a.
#if defined(__aarch64__)
// One borrow chain through the four limbs and top, then a select per limb:
// GCC 12 splits the chain at the 128-bit halves and selects by masks, 24
// instructions where these are 9.
inline Limbs reduce_once(const Limbs& a, u64 top, const Limbs& m) {
    Limbs r;
    u64 d0, d1, d2, d3;
    __asm__("subs %[d0], %[a0], %[m0]\n\t"
            "sbcs %[d1], %[a1], %[m1]\n\t"
            "sbcs %[d2], %[a2], %[m2]\n\t"
            "sbcs %[d3], %[a3], %[m3]\n\t"
            "sbcs xzr, %[top], xzr\n\t"
            "csel %[r0], %[a0], %[d0], lo\n\t"
            "csel %[r1], %[a1], %[d1], lo\n\t"
            "csel %[r2], %[a2], %[d2], lo\n\t"
            "csel %[r3], %[a3], %[d3], lo"
            : [d0] "=&r"(d0), [d1] "=&r"(d1), [d2] "=&r"(d2), [d3] "=&r"(d3), [r0] "=&r"(r[0]), [r1] "=&r"(r[1]),
              [r2] "=&r"(r[2]), [r3] "=r"(r[3])
            : [a0] "r"(a[0]), [a1] "r"(a[1]), [a2] "r"(a[2]), [a3] "r"(a[3]), [top] "r"(top), [m0] "r"(m[0]),
              [m1] "r"(m[1]), [m2] "r"(m[2]), [m3] "r"(m[3])
            : "cc");
    return r;
}
#else
inline Limbs reduce_once(const Limbs& a, u64 top, const Limbs& m) {
    bool borrow;
    const Limbs d = sub4(a, m, borrow);
    const u64 keep_a = 0 - static_cast<u64>(top < static_cast<u64>(borrow));  // all ones when a < m
    return {(a[0] & keep_a) | (d[0] & ~keep_a), (a[1] & keep_a) | (d[1] & ~keep_a),
            (a[2] & keep_a) | (d[2] & ~keep_a), (a[3] & keep_a) | (d[3] & ~keep_a)};
}
#endif

// a + b for a, b below p; the sum is below 2p < 2^256, so it needs no fifth limb.
template <class P>
inline __attribute__((always_inline)) Limbs add_portable(const Limbs& a, const Limbs& b) {
    bool carry;
    return reduce_once(add4(a, b, carry), 0, P::MODULUS);
}

// a − b for a, b below p, adding p back when the difference wrapped (the
// sum then wraps back below 2^256).
template <class P>
inline __attribute__((always_inline)) Limbs sub_portable(const Limbs& a, const Limbs& b) {
    bool borrow;
    const Limbs d = sub4(a, b, borrow);
    const u64 mask = 0 - static_cast<u64>(borrow);
    const Limbs& p = P::MODULUS;
    bool carry;
    return add4(d, {p[0] & mask, p[1] & mask, p[2] & mask, p[3] & mask}, carry);
}

// x·y + t + carry, which fits in 128 bits: the low word, the high one into
// carry.
inline __attribute__((always_inline)) u64 mul_add_add(u64 x, u64 y, u64 t, u64& carry) {
    const u128 s = static_cast<u128>(x) * y + t + carry;
    carry = static_cast<u64>(s >> 64);
    return static_cast<u64>(s);
}

// Operand scanning with the reduction interleaved (CIOS): for each limb of a,
// a[i]·b is added to the running value t, then the multiple m·p that clears
// t's low word, and that word drops out. a may be any 256-bit value and b
// must be below p: t stays below 2p < 2^256, since each round gives
// (t + a[i]·b + m·p)/2^64 < (2p + 2^64·p + 2^64·p)/2^64 ≤ 2p, so four words
// hold it between rounds and one subtraction reduces it at the end. Its short
// carry chains, one per row, leave the CPU more independent work than product
// scanning's one accumulator through every column (measured on x86-64 and in
// an aarch64 pipeline model: bench/RESULTS.md, "Kernel choices").
template <class P>
inline __attribute__((always_inline)) Limbs mont_mul_portable(const Limbs& a, const Limbs& b) {
    constexpr const Limbs& p = P::MODULUS;
    u64 t0 = 0, t1 = 0, t2 = 0, t3 = 0;
    const auto round = [&](u64 ai) {
        u64 carry = 0;
        t0 = mul_add_add(ai, b[0], t0, carry);
        t1 = mul_add_add(ai, b[1], t1, carry);
        t2 = mul_add_add(ai, b[2], t2, carry);
        t3 = mul_add_add(ai, b[3], t3, carry);
        const u64 t4 = carry;
        const u64 m = t0 * P::INV;
        carry = 0;
        mul_add_add(m, p[0], t0, carry);  // zero by the choice of m: only the carry goes on
        t0 = mul_add_add(m, p[1], t1, carry);
        t1 = mul_add_add(m, p[2], t2, carry);
        t2 = mul_add_add(m, p[3], t3, carry);
        t3 = t4 + carry;  // cannot wrap: t is below 2^256
    };
    round(a[0]);
    round(a[1]);
    round(a[2]);
    round(a[3]);
    return reduce_once({t0, t1, t2, t3}, 0, p);
}

// a·a·2^-256 mod p for a below p: the 512-bit square (each a[i]·a[j], i < j,
// once and doubled, then the four a[i]²), the low half's Montgomery
// reduction U = (L + M·p)/2^256 ≤ p, plus the high half H < p²/2^256; U + H
// < 2p, so one conditional subtraction reduces it.
template <class P>
inline __attribute__((always_inline)) Limbs mont_sqr_separate(const Limbs& a) {
    constexpr const Limbs& p = P::MODULUS;
    u64 carry = 0;
    u64 t1 = mul_add_add(a[0], a[1], 0, carry);
    u64 t2 = mul_add_add(a[0], a[2], 0, carry);
    u64 t3 = mul_add_add(a[0], a[3], 0, carry);
    u64 t4 = carry;
    carry = 0;
    t3 = mul_add_add(a[1], a[2], t3, carry);
    t4 = mul_add_add(a[1], a[3], t4, carry);
    u64 t5 = carry;
    carry = 0;
    t5 = mul_add_add(a[2], a[3], t5, carry);
    u64 t6 = carry;
    const u64 t7 = t6 >> 63;
    t6 = (t6 << 1) | (t5 >> 63);
    t5 = (t5 << 1) | (t4 >> 63);
    t4 = (t4 << 1) | (t3 >> 63);
    t3 = (t3 << 1) | (t2 >> 63);
    t2 = (t2 << 1) | (t1 >> 63);
    t1 <<= 1;
    u64 hi = 0;
    u64 t0 = mul_add_add(a[0], a[0], 0, hi);
    carry = 0;
    t1 = adc(t1, hi, carry);
    hi = 0;
    const u64 s1 = mul_add_add(a[1], a[1], 0, hi);
    t2 = adc(t2, s1, carry);
    t3 = adc(t3, hi, carry);
    hi = 0;
    const u64 s2 = mul_add_add(a[2], a[2], 0, hi);
    t4 = adc(t4, s2, carry);
    t5 = adc(t5, hi, carry);
    hi = 0;
    const u64 s3 = mul_add_add(a[3], a[3], 0, hi);
    t6 = adc(t6, s3, carry);
    const u64 top = t7 + hi + carry;
    // One row clears the lowest word of (r3:r2:r1:r0) and leaves the value
    // over 2^64 in (r0:r3:r2:r1): the names rotate, the words stay.
    const auto row = [](u64& r0, u64& r1, u64& r2, u64& r3) {
        const u64 m = r0 * P::INV;
        u64 c = 0;
        mul_add_add(m, p[0], r0, c);
        r1 = mul_add_add(m, p[1], r1, c);
        r2 = mul_add_add(m, p[2], r2, c);
        r3 = mul_add_add(m, p[3], r3, c);
        r0 = c;
    };
    row(t0, t1, t2, t3);
    row(t1, t2, t3, t0);
    row(t2, t3, t0, t1);
    row(t3, t0, t1, t2);
    bool sum_carry;
    return reduce_once(add4({t0, t1, t2, t3}, {t4, t5, t6, top}, sum_carry), 0, p);
}

// The portable squaring: on aarch64 the separate one (168 instructions
// against the multiplication's 184, which already shares a[i]·a[j] with
// a[j]·a[i]); elsewhere the multiplication, since on x86-64 GCC 12 spills in
// the separate one (418 against 396; the x86-64 copies have assembly).
template <class P>
inline __attribute__((always_inline)) Limbs mont_sqr_portable(const Limbs& a) {
#if defined(__aarch64__)
    return mont_sqr_separate<P>(a);
#else
    return mont_mul_portable<P>(a, a);
#endif
}

// The kernels Element uses: the copy's x86-64 assembly where it has them, the
// portable forms everywhere else. All give the same limbs.
#if defined(LUMORA_FIELD_X86_64_KERNELS)
template <class P>
Limbs add(const Limbs& a, const Limbs& b) { return x86_64::add<P>(a, b); }
template <class P>
Limbs sub(const Limbs& a, const Limbs& b) { return x86_64::sub<P>(a, b); }
#if defined(LUMORA_FIELD_ADX)
template <class P>
Limbs mont_mul(const Limbs& a, const Limbs& b) { return x86_64::mont_mul_adx<P>(a, b); }
#else
template <class P>
Limbs mont_mul(const Limbs& a, const Limbs& b) { return x86_64::mont_mul<P>(a, b); }
#endif
#else
template <class P>
inline __attribute__((always_inline)) Limbs add(const Limbs& a, const Limbs& b) { return add_portable<P>(a, b); }
template <class P>
inline __attribute__((always_inline)) Limbs sub(const Limbs& a, const Limbs& b) { return sub_portable<P>(a, b); }
template <class P>
inline __attribute__((always_inline)) Limbs mont_mul(const Limbs& a, const Limbs& b) { return mont_mul_portable<P>(a, b); }
#endif

// Squaring likewise: the copy's assembly (ten multiplications for the
// square where the product takes sixteen), else the portable form.
#if defined(LUMORA_FIELD_ADX)
template <class P>
Limbs mont_sqr(const Limbs& a) { return x86_64::mont_sqr_adx<P>(a); }
#elif defined(LUMORA_FIELD_X86_64_KERNELS)
template <class P>
Limbs mont_sqr(const Limbs& a) { return x86_64::mont_sqr<P>(a); }
#else
template <class P>
inline __attribute__((always_inline)) Limbs mont_sqr(const Limbs& a) { return mont_sqr_portable<P>(a); }
#endif

}  // namespace detail

// What Element needs of a parameter set, derived from its modulus once for
// every set: a set is `struct XParams : MontgomeryParams<X_MODULUS> {}`, plus
// what else its users need (a square-root non-residue, say).
template <const Limbs& M>
struct MontgomeryParams {
    static constexpr Limbs MODULUS = M;
    static constexpr Limbs R = derive::r_mod(M);    // 2^256 mod p, the Montgomery form of one
    static constexpr Limbs R2 = derive::r2_mod(M);  // 2^512 mod p, also the inversion's numerator
    static constexpr u64 INV = derive::neg_inv64(M[0]);  // −p⁻¹ mod 2^64
};

// P supplies: MODULUS, R (one), R2, INV (−p⁻¹ mod 2^64), all as constexpr
// Limbs/u64: MontgomeryParams derives them (the inversion derives its own,
// in field/safegcd.h).
template <class P>
class Element {
    // Montgomery reduction needs p odd; the multiplication kernels leave
    // carries room only for p < 2^254.
    static_assert(derive::is_odd(P::MODULUS));
    static_assert(P::MODULUS[3] >> 62 == 0);
    static_assert(static_cast<u64>(P::INV * P::MODULUS[0]) == ~u64{0});  // INV·p ≡ −1 mod 2^64
    // R and R² mod p, fully reduced (from_raw relies on R2 < p to stay below
    // 2p), checked against Montgomery multiplication: R·R·R⁻¹ = R,
    // R²·1·R⁻¹ = R.
    static_assert(!derive::geq(P::R, P::MODULUS) && !derive::geq(P::R2, P::MODULUS));
    static_assert(derive::mont_mul(P::R, P::R, P::MODULUS) == P::R);
    static_assert(derive::mont_mul(P::R2, derive::ONE, P::MODULUS) == P::R);

public:
    using Params = P;

    constexpr Element() = default;

    static constexpr Element zero() { return Element(); }
    static constexpr Element one() { return from_mont(P::R); }
    static constexpr Element from_mont(const Limbs& m) {
        Element e;
        e.m_ = m;
        return e;
    }
    const Limbs& mont() const { return m_; }

    // Any 256-bit integer, reduced mod p (R2 < p keeps the product below 2p).
    static Element from_raw(const Repr& r) { return mont_mul(r, P::R2); }
    static Element from_u64(u64 v) { return from_raw({v, 0, 0, 0}); }
    static Element from_u128(u128 v) { return from_raw({static_cast<u64>(v), static_cast<u64>(v >> 64), 0, 0}); }

    // r < p, compared in constant time (the answer itself is the caller's to use).
    static bool is_below_modulus(const Repr& r) { return detail::less_than(r, P::MODULUS) != 0; }

    // The element of a canonical integer; an Error (not_in_field_message) when r >= p.
    static Result<Element> from_repr(const Repr& r) {
        if (!is_below_modulus(r)) return Error{not_in_field_message(r), {}};
        return from_raw(r);
    }
    Repr into_repr() const { return mont_mul(m_, {1, 0, 0, 0}).m_; }

    std::array<std::uint8_t, 32> to_bytes_le() const { return integers::to_bytes_le(into_repr()); }
    std::string to_hex() const { return integers::to_hex(into_repr()); }

    friend Element operator+(const Element& a, const Element& b) { return from_mont(detail::add<P>(a.m_, b.m_)); }
    friend Element operator-(const Element& a, const Element& b) { return from_mont(detail::sub<P>(a.m_, b.m_)); }
    friend Element operator-(const Element& a) { return zero() - a; }
    friend Element operator*(const Element& a, const Element& b) { return mont_mul(a.m_, b.m_); }
    // Sum over k of a[k]·b[k], with a single Montgomery reduction for the
    // whole sum: a dot product costs little more than its limb products. N is
    // bounded at compile time (up to 22 terms for r). The spans let a caller
    // sum over part of a longer buffer.
    template <std::size_t N>
    static Element sum_of_products(std::span<const Element, N> a, std::span<const Element, N> b) {
        return from_mont(redc_sum<N>(a, b));
    }
    template <std::size_t N>
    static Element sum_of_products(const std::array<Element, N>& a, const std::array<Element, N>& b) {
        return from_mont(redc_sum<N>(a, b));
    }

    Element& operator+=(const Element& b) { return *this = *this + b; }
    Element& operator-=(const Element& b) { return *this = *this - b; }
    Element& operator*=(const Element& b) { return *this = *this * b; }
    Element dbl() const { return *this + *this; }
    Element square() const { return from_mont(detail::mont_sqr<P>(m_)); }

    bool is_zero() const { return (m_[0] | m_[1] | m_[2] | m_[3]) == 0; }
    // Through every limb, unlike an early-exit array compare.
    friend bool operator==(const Element& a, const Element& b) { return a.ct_eq(b) != 0; }
    // 1 when equal, else 0, without branching.
    u64 ct_eq(const Element& b) const {
        u64 diff = 0;
        for (int i = 0; i < 4; ++i) diff |= m_[i] ^ b.m_[i];
        return 1 ^ ((diff | (0 - diff)) >> 63);
    }
    // Branch-free select: b when choice is 1, a when 0.
    static Element select(const Element& a, const Element& b, u64 choice) {
        const u64 mask = 0 - choice;
        Element r;
        for (int i = 0; i < 4; ++i) r.m_[i] = (a.m_[i] & ~mask) | (b.m_[i] & mask);
        return r;
    }

    // a^e with a sliding window of 5 bits over e, from its top set bit
    // (variable time; the odd powers a, a³, …, a³¹ first).
    Element pow_var(const Repr& e) const {
        std::array<Element, 16> odd;
        odd[0] = *this;
        const Element square_of_a = square();
        for (std::size_t j = 1; j < odd.size(); ++j) odd[j] = odd[j - 1] * square_of_a;
        auto bit = [&e](int i) { return ((e[static_cast<std::size_t>(i) / 64] >> (i % 64)) & 1) != 0; };
        int top = 255;
        while (top >= 0 && !bit(top)) --top;
        Element acc = one();
        bool started = false;
        for (int i = top; i >= 0;) {
            if (!bit(i)) {
                acc = acc.square();
                --i;
                continue;
            }
            int j = std::max(i - 4, 0);
            while (!bit(j)) ++j;
            unsigned window = 0;
            for (int b = i; b >= j; --b) window = (window << 1) | (bit(b) ? 1u : 0u);
            if (started)
                for (int b = i; b >= j; --b) acc = acc.square();
            acc = started ? acc * odd[window / 2] : odd[window / 2];
            started = true;
            i = j - 1;
        }
        return acc;
    }

    // The inverse by divsteps (field/safegcd.h), stopping as soon as it is
    // found: for public values. The limbs are a·R, and inverting them with
    // R² as the numerator gives R²/(a·R) = a⁻¹·R, the Montgomery form of the
    // inverse. None for zero.
    std::optional<Element> inverse_var() const {
        if (is_zero()) return std::nullopt;
        return from_mont(safegcd::invert_var<P::MODULUS>(m_, P::R2));
    }

    // The inverse by a fixed number of divsteps (field/safegcd.h), without a
    // branch or memory index that depends on the value: the inverse of a
    // value derived from a secret leaks nothing through timing. The flag,
    // computed without branching, is 0 (and the value zero) for zero.
    std::pair<Element, u64> invert() const {
        return {from_mont(safegcd::invert<P::MODULUS>(m_, P::R2)), 1 ^ ct_eq(zero())};
    }

private:
    // Sum over k of x[k]·y[k]·R⁻¹ mod p, fully reduced, by product scanning
    // with the reduction interleaved: column by column, the limb products of
    // every term and of the reduction multiples m·p land in one three-word
    // accumulator; each of the first four columns fixes one reduction word m.
    // With all factors below p the sum is below N·p², so the value after
    // reduction is below (1 + N·p/2^256)·p; the bound on N keeps that below
    // 2^256, and ceil(N·p/2^256) conditional subtractions bring it below p.
    template <std::size_t N>
    static Limbs redc_sum(std::span<const Element, N> x, std::span<const Element, N> y) {
        constexpr double rho = (static_cast<double>(P::MODULUS[3]) + 1.0) / 18446744073709551616.0;  // > p/2^256
        static_assert(N >= 1 && (N * rho + 1.0) * rho < 0.999, "too many terms for one reduction");
        // The reduced value is below (1 + N·rho)·p.
        constexpr int subtractions =
            static_cast<int>((static_cast<u128>(N) * (P::MODULUS[3] + 1) + ~static_cast<u64>(0)) >> 64);

        u64 m[4];
        Limbs r;
        u64 c0 = 0, c1 = 0, c2 = 0;
        // Fully unrolled, every index is a constant and the limbs stay in registers.
#pragma GCC unroll 7
        for (int col = 0; col < 7; ++col) {
            const int lo = col > 3 ? col - 3 : 0;
            const int hi = col < 3 ? col : 3;
#pragma GCC unroll 16
            for (std::size_t k = 0; k < N; ++k)
#pragma GCC unroll 4
                for (int j = lo; j <= hi; ++j) detail::mul_acc(c0, c1, c2, x[k].m_[j], y[k].m_[col - j]);
#pragma GCC unroll 4
            for (int j = lo; j < (col < 4 ? col : 4); ++j) detail::mul_acc(c0, c1, c2, m[j], P::MODULUS[col - j]);
            if (col < 4) {
                m[col] = c0 * P::INV;  // clears this column
                detail::mul_acc(c0, c1, c2, m[col], P::MODULUS[0]);
            } else {
                r[col - 4] = c0;
            }
            c0 = c1;
            c1 = c2;
            c2 = 0;
        }
        r[3] = c0;  // the value is below 2^256, so nothing is left in c1
#pragma GCC unroll 4
        for (int i = 0; i < subtractions; ++i) r = detail::reduce_once(r, 0, P::MODULUS);
        return r;
    }

    static Element mont_mul(const Limbs& a, const Limbs& b) { return from_mont(detail::mont_mul<P>(a, b)); }

    Limbs m_{};
};

}  // inline namespace LUMORA_KERNEL_NS
}  // namespace lumora::field
