// One Montgomery engine for the prime fields of the system; each field is a
// thin parameter set (see fr.h, fs.h).
//
// An Element holds four 64-bit limbs, least significant first, of x·R mod p
// with R = 2^256, always fully reduced below p, so equality is limb equality.
// A Repr is a canonical integer (four limbs, least significant first); one
// made by into_repr() is below p, one made by a caller may be any 256-bit value.
//
// Operations named *_ct run without data-dependent branches or memory
// accesses; the others may branch on data (inverse, pow, from_repr).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>

#include "common/error.h"
#if defined(__x86_64__) && !defined(LUMORA_PORTABLE_FIELD)
#include "field/montgomery_x86_64.h"
#endif

namespace lumora::field {

using u64 = std::uint64_t;
using u128 = unsigned __int128;
using Limbs = std::array<u64, 4>;
using Repr = Limbs;  // canonical integer, least significant limb first

// "0x" and limbs 3..0 as sixteen lowercase digits each.
std::string repr_to_hex(const Repr& r);
// Big- and little-endian 32-byte forms of a canonical integer.
Repr repr_from_bytes_be(std::span<const std::uint8_t, 32> bytes);
std::array<std::uint8_t, 32> repr_to_bytes_be(const Repr& r);
Repr repr_from_bytes_le(std::span<const std::uint8_t, 32> bytes);
std::array<std::uint8_t, 32> repr_to_bytes_le(const Repr& r);

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
// x86-64 gets it as one mul/add/adc/adc sequence (baseline instructions only):
// from the portable form it emits code about a third slower. Clang does as
// well with the portable form, which every other target uses too.
inline void mul_acc(u64& c0, u64& c1, u64& c2, u64 x, u64 y) {
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && !defined(LUMORA_PORTABLE_FIELD)
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

// a >= b as 256-bit integers, comparing from the top limb down.
inline bool geq(const Limbs& a, const Limbs& b) {
    for (int i = 3; i >= 0; --i) {
        if (a[i] != b[i]) return a[i] > b[i];
    }
    return true;
}

inline Limbs sub_nocheck(const Limbs& a, const Limbs& b) {
    Limbs r;
    u64 borrow = 0;
    for (int i = 0; i < 4; ++i) r[i] = sbb(a[i], b[i], borrow);
    return r;
}

// The portable kernels below are written out with constant indices so that
// every limb stays in a register and no loop or call is left in them.

// One step of an addition or subtraction chain with the carry (borrow) kept
// as a flag: GCC makes branch-free adds/adcs-like sequences of this on both
// aarch64 and x86-64. (128-bit halves give shorter code on aarch64, but GCC
// 12 branches on their carry on x86-64.)
inline u64 add_carry(u64 a, u64 b, bool& carry) {
    u64 s;
    const bool c1 = __builtin_add_overflow(a, b, &s);
    const bool c2 = __builtin_add_overflow(s, static_cast<u64>(carry), &s);
    carry = c1 | c2;
    return s;
}
inline u64 sub_borrow(u64 a, u64 b, bool& borrow) {
    u64 d;
    const bool b1 = __builtin_sub_overflow(a, b, &d);
    const bool b2 = __builtin_sub_overflow(d, static_cast<u64>(borrow), &d);
    borrow = b1 | b2;
    return d;
}

// a − m when that does not borrow, else a (branch-free); top counts as a
// fifth limb of a.
inline Limbs reduce_once_ct(const Limbs& a, u64 top, const Limbs& m) {
    bool borrow = false;
    const Limbs d = {sub_borrow(a[0], m[0], borrow), sub_borrow(a[1], m[1], borrow), sub_borrow(a[2], m[2], borrow),
                     sub_borrow(a[3], m[3], borrow)};
    const u64 keep_a = 0 - static_cast<u64>(top < static_cast<u64>(borrow));  // all ones when a < m
    return {(a[0] & keep_a) | (d[0] & ~keep_a), (a[1] & keep_a) | (d[1] & ~keep_a),
            (a[2] & keep_a) | (d[2] & ~keep_a), (a[3] & keep_a) | (d[3] & ~keep_a)};
}

// a + b for a, b below p; the sum is below 2p < 2^256, so it needs no fifth limb.
template <class P>
Limbs add_portable(const Limbs& a, const Limbs& b) {
    bool carry = false;
    const Limbs s = {add_carry(a[0], b[0], carry), add_carry(a[1], b[1], carry), add_carry(a[2], b[2], carry),
                     add_carry(a[3], b[3], carry)};
    return reduce_once_ct(s, 0, P::MODULUS);
}

// a − b for a, b below p, adding p back when the difference wrapped.
template <class P>
Limbs sub_portable(const Limbs& a, const Limbs& b) {
    bool borrow = false;
    const Limbs d = {sub_borrow(a[0], b[0], borrow), sub_borrow(a[1], b[1], borrow), sub_borrow(a[2], b[2], borrow),
                     sub_borrow(a[3], b[3], borrow)};
    const u64 mask = 0 - static_cast<u64>(borrow);
    bool carry = false;
    const Limbs& p = P::MODULUS;
    return {add_carry(d[0], p[0] & mask, carry), add_carry(d[1], p[1] & mask, carry),
            add_carry(d[2], p[2] & mask, carry), add_carry(d[3], p[3] & mask, carry)};  // wraps back below 2^256
}

// Product scanning with the reduction interleaved (as in redc_sum below):
// column by column, the limb products a[i]·b[j] and the reduction products
// m[i]·p[j] land in one three-word accumulator, and each of the first four
// columns fixes the word m[i] that clears it. a may be any 256-bit value and
// b must be below p: the result, (a·b + m·p)/2^256 < (2^256·p + 2^256·p)/2^256,
// is below 2p, so four limbs hold it and one subtraction reduces it.
template <class P>
inline __attribute__((always_inline)) Limbs mont_mul_portable(const Limbs& a, const Limbs& b) {
    constexpr const Limbs& p = P::MODULUS;
    u64 c0 = 0, c1 = 0, c2 = 0;
    const auto acc = [&](u64 x, u64 y) { mul_acc_portable(c0, c1, c2, x, y); };
    // The low word moves out and the accumulator shifts down one word.
    const auto shift = [&] {
        const u64 low = c0;
        c0 = c1;
        c1 = c2;
        c2 = 0;
        return low;
    };
    // m = c0·(−p⁻¹) makes c0 + m·p0 vanish mod 2^64: the low word of m·p0
    // is only a carry, set unless c0 is zero, so the product's high word and
    // that carry go to the next column.
    const auto reduce = [&] {
        const u64 m = c0 * P::INV;
        const u128 next = ((static_cast<u128>(c2) << 64) | c1) +
                          static_cast<u64>((static_cast<u128>(m) * p[0]) >> 64) + (c0 != 0);
        c0 = static_cast<u64>(next);
        c1 = static_cast<u64>(next >> 64);
        c2 = 0;
        return m;
    };
    acc(a[0], b[0]);
    const u64 m0 = reduce();
    acc(a[0], b[1]), acc(a[1], b[0]), acc(m0, p[1]);
    const u64 m1 = reduce();
    acc(a[0], b[2]), acc(a[1], b[1]), acc(a[2], b[0]), acc(m0, p[2]), acc(m1, p[1]);
    const u64 m2 = reduce();
    acc(a[0], b[3]), acc(a[1], b[2]), acc(a[2], b[1]), acc(a[3], b[0]), acc(m0, p[3]), acc(m1, p[2]), acc(m2, p[1]);
    const u64 m3 = reduce();
    acc(a[1], b[3]), acc(a[2], b[2]), acc(a[3], b[1]), acc(m1, p[3]), acc(m2, p[2]), acc(m3, p[1]);
    const u64 r0 = shift();
    acc(a[2], b[3]), acc(a[3], b[2]), acc(m2, p[3]), acc(m3, p[2]);
    const u64 r1 = shift();
    acc(a[3], b[3]), acc(m3, p[3]);
    const u64 r2 = shift();
    return reduce_once_ct({r0, r1, r2, c0}, 0, p);  // c1 is zero: the value is below 2p < 2^256
}

// a·a·2^-256 mod p for a below p, with a schedule of its own: the six
// products a[i]·a[j], i < j, summed once and doubled, the four squares
// a[i]² added, then the eight-word square reduced column by column as in
// mont_mul_portable. Twelve of the sixty-four word multiplications go.
template <class P>
inline __attribute__((always_inline)) Limbs mont_sqr_portable(const Limbs& a) {
    constexpr const Limbs& p = P::MODULUS;
    u64 c0 = 0, c1 = 0, c2 = 0;
    const auto acc = [&](u64 x, u64 y) { mul_acc_portable(c0, c1, c2, x, y); };
    const auto shift = [&] {
        const u64 low = c0;
        c0 = c1;
        c1 = c2;
        c2 = 0;
        return low;
    };
    // The products off the diagonal, t[1..6].
    acc(a[0], a[1]);
    const u64 o1 = shift();
    acc(a[0], a[2]);
    const u64 o2 = shift();
    acc(a[0], a[3]), acc(a[1], a[2]);
    const u64 o3 = shift();
    acc(a[1], a[3]);
    const u64 o4 = shift();
    acc(a[2], a[3]);
    const u64 o5 = shift();
    const u64 o6 = c0;  // the sum is below 2^448
    // Doubled, then the squares on the diagonal added: the square in t[0..7].
    const u128 d0 = static_cast<u128>(a[0]) * a[0], d1 = static_cast<u128>(a[1]) * a[1];
    const u128 d2 = static_cast<u128>(a[2]) * a[2], d3 = static_cast<u128>(a[3]) * a[3];
    u128 t01, t23, t45, t67;
    bool carry = __builtin_add_overflow(d0, static_cast<u128>(o1 << 1) << 64, &t01);
    const u128 o23 = (static_cast<u128>((o3 << 1) | (o2 >> 63)) << 64) | ((o2 << 1) | (o1 >> 63));
    const u128 o45 = (static_cast<u128>((o5 << 1) | (o4 >> 63)) << 64) | ((o4 << 1) | (o3 >> 63));
    const u128 o67 = (static_cast<u128>(o6 >> 63) << 64) | ((o6 << 1) | (o5 >> 63));
    bool carry2 = __builtin_add_overflow(d1, o23, &t23);
    carry = carry2 | __builtin_add_overflow(t23, u128{carry}, &t23);
    carry2 = __builtin_add_overflow(d2, o45, &t45);
    carry = carry2 | __builtin_add_overflow(t45, u128{carry}, &t45);
    t67 = d3 + o67 + carry;  // a² < 2^512
    // Reduction: each column takes its word of the square.
    const auto add_word = [&](u64 w) {
        u128 c = (static_cast<u128>(c1) << 64) | c0;
        c2 += __builtin_add_overflow(c, u128{w}, &c);
        c0 = static_cast<u64>(c);
        c1 = static_cast<u64>(c >> 64);
    };
    const auto reduce = [&] {
        const u64 m = c0 * P::INV;
        const u128 next = ((static_cast<u128>(c2) << 64) | c1) +
                          static_cast<u64>((static_cast<u128>(m) * p[0]) >> 64) + (c0 != 0);
        c0 = static_cast<u64>(next);
        c1 = static_cast<u64>(next >> 64);
        c2 = 0;
        return m;
    };
    c0 = static_cast<u64>(t01), c1 = 0, c2 = 0;
    const u64 m0 = reduce();
    add_word(static_cast<u64>(t01 >> 64)), acc(m0, p[1]);
    const u64 m1 = reduce();
    add_word(static_cast<u64>(t23)), acc(m0, p[2]), acc(m1, p[1]);
    const u64 m2 = reduce();
    add_word(static_cast<u64>(t23 >> 64)), acc(m0, p[3]), acc(m1, p[2]), acc(m2, p[1]);
    const u64 m3 = reduce();
    add_word(static_cast<u64>(t45)), acc(m1, p[3]), acc(m2, p[2]), acc(m3, p[1]);
    const u64 r0 = shift();
    add_word(static_cast<u64>(t45 >> 64)), acc(m2, p[3]), acc(m3, p[2]);
    const u64 r1 = shift();
    add_word(static_cast<u64>(t67)), acc(m3, p[3]);
    const u64 r2 = shift();
    add_word(static_cast<u64>(t67 >> 64));
    return reduce_once_ct({r0, r1, r2, c0}, 0, p);  // below (p² + 2^256·p)/2^256 < 2p
}

// The kernels Element uses: x86-64 assembly where the target has it (chosen
// at build time; LUMORA_PORTABLE_FIELD forces the portable forms, to test
// them on x86-64), the portable forms everywhere else. The multiplication
// takes its MULX/ADX form when the compiler targets BMI2 and ADX (the build
// turns them on when the build machine has them). All give the same limbs.
#if defined(__x86_64__) && !defined(LUMORA_PORTABLE_FIELD)
template <class P>
Limbs add(const Limbs& a, const Limbs& b) { return x86_64::add<P>(a, b); }
template <class P>
Limbs sub(const Limbs& a, const Limbs& b) { return x86_64::sub<P>(a, b); }
#if defined(__BMI2__) && defined(__ADX__)
template <class P>
Limbs mont_mul(const Limbs& a, const Limbs& b) { return x86_64::mont_mul_adx<P>(a, b); }
#else
template <class P>
Limbs mont_mul(const Limbs& a, const Limbs& b) { return x86_64::mont_mul<P>(a, b); }
#endif
#else
template <class P>
Limbs add(const Limbs& a, const Limbs& b) { return add_portable<P>(a, b); }
template <class P>
Limbs sub(const Limbs& a, const Limbs& b) { return sub_portable<P>(a, b); }
template <class P>
Limbs mont_mul(const Limbs& a, const Limbs& b) { return mont_mul_portable<P>(a, b); }
#endif

// Squaring has a schedule of its own in the portable form; the x86-64
// kernels square by multiplying.
#if defined(__x86_64__) && !defined(LUMORA_PORTABLE_FIELD)
template <class P>
Limbs mont_sqr(const Limbs& a) { return mont_mul<P>(a, a); }
#else
template <class P>
Limbs mont_sqr(const Limbs& a) { return mont_sqr_portable<P>(a); }
#endif

}  // namespace detail

// P supplies: MODULUS, R (one), R2, R3, INV (−p⁻¹ mod 2^64), all as constexpr Limbs/u64.
template <class P>
class Element {
    // The reductions below leave carries room only for p < 2^255.
    static_assert(P::MODULUS[3] >> 63 == 0);

public:
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

    static bool is_below_modulus(const Repr& r) { return !detail::geq(r, P::MODULUS); }

    // The element of a canonical integer; an Error (not_in_field_message) when r >= p.
    static Result<Element> from_repr(const Repr& r) {
        if (detail::geq(r, P::MODULUS)) return Error{not_in_field_message(r), {}};
        return from_raw(r);
    }
    Repr into_repr() const { return mont_mul(m_, {1, 0, 0, 0}).m_; }

    // Hash-side forms: 32 little-endian bytes with a validity flag computed
    // through a full borrow chain; the element is computed either way.
    static std::pair<Element, bool> from_bytes_le_ct(std::span<const std::uint8_t, 32> bytes) {
        const Repr r = repr_from_bytes_le(bytes);
        u64 borrow = 0;
        for (int i = 0; i < 4; ++i) detail::sbb(r[i], P::MODULUS[i], borrow);
        return {from_raw(r), borrow == 1};
    }
    std::array<std::uint8_t, 32> to_bytes_le() const { return repr_to_bytes_le(into_repr()); }
    // (low + high·2^256) mod p for eight limbs, least significant first.
    static Element from_u512(const std::array<u64, 8>& w) {
        return mont_mul({w[0], w[1], w[2], w[3]}, P::R2) + mont_mul({w[4], w[5], w[6], w[7]}, P::R3);
    }
    static Element from_bytes_wide(std::span<const std::uint8_t, 64> bytes) {
        std::array<u64, 8> w{};
        for (std::size_t i = 0; i < 64; ++i) w[i / 8] |= static_cast<u64>(bytes[i]) << (8 * (i % 8));
        return from_u512(w);
    }
    std::string to_hex() const { return repr_to_hex(into_repr()); }

    friend Element operator+(const Element& a, const Element& b) { return from_mont(detail::add<P>(a.m_, b.m_)); }
    friend Element operator-(const Element& a, const Element& b) { return from_mont(detail::sub<P>(a.m_, b.m_)); }
    friend Element operator-(const Element& a) { return zero() - a; }
    friend Element operator*(const Element& a, const Element& b) { return mont_mul(a.m_, b.m_); }
    // Sum over k of a[k]·b[k], with a single Montgomery reduction for the
    // whole sum: a dot product costs little more than its limb products. N is
    // bounded at compile time (up to 22 terms for r).
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
    friend bool operator==(const Element& a, const Element& b) { return a.m_ == b.m_; }
    // 1 when equal, else 0, without branching.
    u64 ct_eq(const Element& b) const {
        u64 diff = 0;
        for (int i = 0; i < 4; ++i) diff |= m_[i] ^ b.m_[i];
        return 1 ^ ((diff | (0 - diff)) >> 63);
    }
    // Branch-free select: b when choice is 1, a when 0.
    static Element select_ct(const Element& a, const Element& b, u64 choice) {
        const u64 mask = 0 - choice;
        Element r;
        for (int i = 0; i < 4; ++i) r.m_[i] = (a.m_[i] & ~mask) | (b.m_[i] & mask);
        return r;
    }

    // a^e by square-and-multiply from the top set bit of e (variable time).
    Element pow_var(const Repr& e) const {
        Element acc = one();
        bool started = false;
        for (int i = 255; i >= 0; --i) {
            if (started) acc = acc.square();
            if ((e[i / 64] >> (i % 64)) & 1) {
                acc = started ? acc * *this : *this;
                started = true;
            }
        }
        return acc;
    }

    // Binary extended Euclid on the Montgomery limbs; the result comes out in
    // Montgomery form because b starts at R^2. None for zero.
    std::optional<Element> inverse() const {
        if (is_zero()) return std::nullopt;
        const Limbs one_int = {1, 0, 0, 0};
        Limbs u = m_, v = P::MODULUS, b = P::R2, c = {0, 0, 0, 0};
        while (u != one_int && v != one_int) {
            while ((u[0] & 1) == 0) {
                shr1(u, 0);
                halve_mod(b);
            }
            while ((v[0] & 1) == 0) {
                shr1(v, 0);
                halve_mod(c);
            }
            if (!detail::geq(u, v)) {  // v > u
                v = detail::sub_nocheck(v, u);
                c = (from_mont(c) - from_mont(b)).m_;
            } else {
                u = detail::sub_nocheck(u, v);
                b = (from_mont(b) - from_mont(c)).m_;
            }
        }
        return from_mont(u == one_int ? b : c);
    }

    // Constant-time a^(p−2): 256 squarings, 256 multiplications, branch-free
    // selects. The flag is 0 (and the value zero) for zero.
    std::pair<Element, u64> invert_ct() const {
        Element acc = one();
        for (int i = 255; i >= 0; --i) {
            acc = acc.square();
            const Element with = acc * *this;
            acc = select_ct(acc, with, (P::MODULUS_MINUS_2[i / 64] >> (i % 64)) & 1);
        }
        const u64 nonzero = 1 ^ ct_eq(zero());
        return {acc, nonzero};
    }

private:
    static void shr1(Limbs& a, u64 top) {
        for (int i = 0; i < 3; ++i) a[i] = (a[i] >> 1) | (a[i + 1] << 63);
        a[3] = (a[3] >> 1) | (top << 63);
    }
    // x/2 mod p for x < p: odd values get p added first (the sum keeps its carry).
    static void halve_mod(Limbs& x) {
        if ((x[0] & 1) == 0) {
            shr1(x, 0);
            return;
        }
        u64 carry = 0;
        for (int i = 0; i < 4; ++i) x[i] = detail::adc(x[i], P::MODULUS[i], carry);
        shr1(x, carry);
    }

    // Sum over k of x[k]·y[k]·R⁻¹ mod p, fully reduced, by product scanning
    // with the reduction interleaved: column by column, the limb products of
    // every term and of the reduction multiples m·p land in one three-word
    // accumulator; each of the first four columns fixes one reduction word m.
    // With all factors below p the sum is below N·p², so the value after
    // reduction is below (1 + N·p/2^256)·p; the bound on N keeps that below
    // 2^256, and ceil(N·p/2^256) conditional subtractions bring it below p.
    template <std::size_t N>
    static Limbs redc_sum(const std::array<Element, N>& x, const std::array<Element, N>& y) {
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
        for (int i = 0; i < subtractions; ++i) r = detail::reduce_once_ct(r, 0, P::MODULUS);
        return r;
    }

    static Element mont_mul(const Limbs& a, const Limbs& b) { return from_mont(detail::mont_mul<P>(a, b)); }

    Limbs m_{};
};

}  // namespace lumora::field
