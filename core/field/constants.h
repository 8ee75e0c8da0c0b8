// 256-bit integer arithmetic for constant evaluation: the field parameter
// sets derive every Montgomery constant from the modulus alone with these, so
// no constant is pasted and each one is checked where it is made.
//
// Every function works for any odd modulus p below 2^256 and any operands
// below p (except where a stronger bound is stated). They are written for
// clarity, not speed; the field's run-time kernels are in montgomery.h.
#pragma once

#include <array>
#include <cstdint>

#include "common/kernel_copy.h"

namespace lumora::field {
inline namespace LUMORA_KERNEL_NS {

using u64 = std::uint64_t;
using u128 = unsigned __int128;
using Limbs = std::array<u64, 4>;

namespace derive {

inline constexpr Limbs ZERO = {0, 0, 0, 0};
inline constexpr Limbs ONE = {1, 0, 0, 0};

constexpr bool is_odd(const Limbs& a) { return (a[0] & 1) == 1; }

constexpr bool is_zero(const Limbs& a) { return (a[0] | a[1] | a[2] | a[3]) == 0; }

// a >= b, comparing from the top limb down.
constexpr bool geq(const Limbs& a, const Limbs& b) {
    for (int i = 3; i >= 0; --i) {
        if (a[i] != b[i]) return a[i] > b[i];
    }
    return true;
}

// a − b mod 2^256 and a + b mod 2^256, each with the bit that left the top.
constexpr Limbs sub(const Limbs& a, const Limbs& b, u64* borrow_out = nullptr) {
    Limbs r{};
    u64 borrow = 0;
    for (int i = 0; i < 4; ++i) {
        const u128 t = static_cast<u128>(a[i]) - b[i] - borrow;
        r[i] = static_cast<u64>(t);
        borrow = static_cast<u64>(t >> 127);
    }
    if (borrow_out) *borrow_out = borrow;
    return r;
}

constexpr Limbs add(const Limbs& a, const Limbs& b, u64* carry_out = nullptr) {
    Limbs r{};
    u64 carry = 0;
    for (int i = 0; i < 4; ++i) {
        const u128 t = static_cast<u128>(a[i]) + b[i] + carry;
        r[i] = static_cast<u64>(t);
        carry = static_cast<u64>(t >> 64);
    }
    if (carry_out) *carry_out = carry;
    return r;
}

// a >> n for n below 256.
constexpr Limbs shr(const Limbs& a, unsigned n) {
    Limbs r{};
    const unsigned limbs = n / 64, bits = n % 64;
    for (unsigned i = 0; i + limbs < 4; ++i) {
        r[i] = a[i + limbs] >> bits;
        if (bits != 0 && i + limbs + 1 < 4) r[i] |= a[i + limbs + 1] << (64 - bits);
    }
    return r;
}

constexpr bool bit(const Limbs& a, unsigned i) { return (a[i / 64] >> (i % 64)) & 1; }

// Number of trailing zero bits of a nonzero a.
constexpr unsigned trailing_zeros(const Limbs& a) {
    unsigned n = 0;
    while (!bit(a, n)) ++n;
    return n;
}

// a + b mod p for a, b below p; the carry out of the top limb counts.
constexpr Limbs add_mod(const Limbs& a, const Limbs& b, const Limbs& p) {
    u64 carry = 0;
    const Limbs s = add(a, b, &carry);
    return carry != 0 || geq(s, p) ? sub(s, p) : s;
}

// a·b mod p by double-and-add over the bits of b: slow, and independent of
// any Montgomery constant, which is what checks them.
constexpr Limbs mul_mod(const Limbs& a, const Limbs& b, const Limbs& p) {
    Limbs acc = ZERO;
    for (int i = 255; i >= 0; --i) {
        acc = add_mod(acc, acc, p);
        if (bit(b, static_cast<unsigned>(i))) acc = add_mod(acc, a, p);
    }
    return acc;
}

// 2^k mod p, by k doublings of 1.
constexpr Limbs pow2_mod(unsigned k, const Limbs& p) {
    Limbs acc = geq(ONE, p) ? ZERO : ONE;
    for (unsigned i = 0; i < k; ++i) acc = add_mod(acc, acc, p);
    return acc;
}

// −p⁻¹ mod 2^64 for odd p. Newton's iteration x ← x·(2 − p·x) doubles the
// number of correct low bits; x = p is right to three bits (p² ≡ 1 mod 8),
// so five steps give 96 ≥ 64.
constexpr u64 neg_inv64(u64 p0) {
    u64 x = p0;
    for (int i = 0; i < 5; ++i) x *= 2 - p0 * x;
    return 0 - x;
}

// a·b·2^−256 mod p (CIOS with a fifth and sixth limb for the carries, so any
// odd p below 2^256 works), fully reduced.
constexpr Limbs mont_mul(const Limbs& a, const Limbs& b, const Limbs& p) {
    const u64 inv = neg_inv64(p[0]);
    u64 t[6] = {0, 0, 0, 0, 0, 0};
    for (int i = 0; i < 4; ++i) {
        u128 acc = 0;
        for (int j = 0; j < 4; ++j) {
            acc = static_cast<u128>(a[i]) * b[j] + t[j] + (acc >> 64);
            t[j] = static_cast<u64>(acc);
        }
        acc = static_cast<u128>(t[4]) + (acc >> 64);
        t[4] = static_cast<u64>(acc);
        t[5] = static_cast<u64>(acc >> 64);

        const u64 m = t[0] * inv;
        acc = static_cast<u128>(m) * p[0] + t[0];
        for (int j = 1; j < 4; ++j) {
            acc = static_cast<u128>(m) * p[j] + t[j] + (acc >> 64);
            t[j - 1] = static_cast<u64>(acc);
        }
        acc = static_cast<u128>(t[4]) + (acc >> 64);
        t[3] = static_cast<u64>(acc);
        t[4] = t[5] + static_cast<u64>(acc >> 64);
    }
    const Limbs r = {t[0], t[1], t[2], t[3]};
    return t[4] != 0 || geq(r, p) ? sub(r, p) : r;
}

// a^e mod p in Montgomery form (a and the result are x·2^256 mod p), square
// and multiply from the top bit.
constexpr Limbs mont_pow(const Limbs& a, const Limbs& e, const Limbs& p) {
    Limbs acc = pow2_mod(256, p);
    for (int i = 255; i >= 0; --i) {
        acc = mont_mul(acc, acc, p);
        if (bit(e, static_cast<unsigned>(i))) acc = mont_mul(acc, a, p);
    }
    return acc;
}

// The constants of the Montgomery engine for modulus p, R = 2^256.
constexpr Limbs r_mod(const Limbs& p) { return pow2_mod(256, p); }
constexpr Limbs r2_mod(const Limbs& p) { return pow2_mod(512, p); }
constexpr Limbs minus(const Limbs& p, u64 k) { return sub(p, {k, 0, 0, 0}); }

// p − 1 = 2^S·t with t odd: S, t, and the exponents that the Legendre symbol
// and Tonelli–Shanks use.
constexpr unsigned two_adicity(const Limbs& p) { return trailing_zeros(minus(p, 1)); }
constexpr Limbs odd_part(const Limbs& p) { return shr(minus(p, 1), two_adicity(p)); }
constexpr Limbs legendre_exponent(const Limbs& p) { return shr(minus(p, 1), 1); }  // (p − 1)/2
constexpr Limbs odd_part_minus_1_over_2(const Limbs& p) { return shr(odd_part(p), 1); }  // (t − 1)/2

// g in Montgomery form.
constexpr Limbs to_mont(u64 g, const Limbs& p) { return mul_mod({g, 0, 0, 0}, r_mod(p), p); }

// Whether g is a quadratic non-residue mod p: g^((p − 1)/2) = −1.
constexpr bool is_non_residue(u64 g, const Limbs& p) {
    return mont_pow(to_mont(g, p), legendre_exponent(p), p) == sub(p, r_mod(p));
}

// g^t in Montgomery form: for a non-residue g, a primitive 2^S-th root of unity.
constexpr Limbs root_of_unity(u64 g, const Limbs& p) { return mont_pow(to_mont(g, p), odd_part(p), p); }

}  // namespace derive

}  // inline namespace LUMORA_KERNEL_NS
}  // namespace lumora::field
