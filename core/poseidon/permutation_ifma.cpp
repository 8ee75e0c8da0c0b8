// The AVX-512 IFMA permutation. Every function here is compiled for those
// instructions and lives in this file only (static or in the anonymous
// namespace), so no copy of it can stand in for a baseline function; the one
// entry point is reached only after the CPU check.
//
// Arithmetic: radix 2^52, five limbs, Montgomery factor R' = 2^260. With
// r < 2^254, R'/r > 84, so inputs well above r are fine: for a, b below k·r
// the reduction of a·b is below (k²/84 + 1)·r. The code therefore never
// reduces fully until the end; products are summed as 104-bit halves in
// 64-bit columns (at most a few hundred terms below 2^52 each) and reduced
// once per output. What IFMA requires is that every multiplicand limb is
// below 2^52: each reduction ends with a carry pass that ensures it.
//
// The bounds, in multiples of r: the state enters below 17r (16·x from the
// 64-bit form plus a constant); an S-box output is below 1.3r; a dense
// product plus its constants below 2.2r; in the partial rounds the lane
// vector of elements 1 to 8 grows by at most 1.1r per round and is
// renormalised every 16 rounds (below 20r), element 0 stays below 4r.
#include "poseidon/permutation_ifma.h"

#if defined(__x86_64__)

#include <immintrin.h>

#include <cstring>

// The vector types carry may_alias, which a template argument drops; the
// structs below never alias other types, so nothing is lost.
#pragma GCC diagnostic ignored "-Wignored-attributes"
#if defined(__GNUC__) && !defined(__clang__)
// GCC 12 takes the intrinsics' deliberately undefined pass-through vectors
// for uninitialised variables.
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#define LUMORA_IFMA_TARGET __attribute__((target("avx512f,avx512ifma,avx512vl,avx512dq")))
// Called several times, kept out of line: the code is large.
#define LUMORA_IFMA_OUTLINE __attribute__((noinline, target("avx512f,avx512ifma,avx512vl,avx512dq")))
#define LUMORA_IFMA_INLINE inline __attribute__((always_inline, target("avx512f,avx512ifma,avx512vl,avx512dq")))

namespace lumora::poseidon::ifma {

namespace {

constexpr u64 MASK52 = (u64{1} << 52) - 1;

// The same few operations on 512-bit (eight elements) and 128-bit vectors
// (the serial chain of the partial rounds, where the narrow form issues
// twice as fast).
LUMORA_IFMA_INLINE __m512i madd_lo(__m512i acc, __m512i a, __m512i b) { return _mm512_madd52lo_epu64(acc, a, b); }
LUMORA_IFMA_INLINE __m512i madd_hi(__m512i acc, __m512i a, __m512i b) { return _mm512_madd52hi_epu64(acc, a, b); }
LUMORA_IFMA_INLINE __m512i add(__m512i a, __m512i b) { return _mm512_add_epi64(a, b); }
LUMORA_IFMA_INLINE __m512i shr52(__m512i a) { return _mm512_srli_epi64(a, 52); }
LUMORA_IFMA_INLINE __m512i low52(__m512i a) { return _mm512_and_si512(a, _mm512_set1_epi64(MASK52)); }
LUMORA_IFMA_INLINE void set_zero(__m512i& a) { a = _mm512_setzero_si512(); }
LUMORA_IFMA_INLINE void splat(__m512i& a, u64 v) { a = _mm512_set1_epi64(static_cast<long long>(v)); }

LUMORA_IFMA_INLINE __m128i madd_lo(__m128i acc, __m128i a, __m128i b) { return _mm_madd52lo_epu64(acc, a, b); }
LUMORA_IFMA_INLINE __m128i madd_hi(__m128i acc, __m128i a, __m128i b) { return _mm_madd52hi_epu64(acc, a, b); }
LUMORA_IFMA_INLINE __m128i add(__m128i a, __m128i b) { return _mm_add_epi64(a, b); }
LUMORA_IFMA_INLINE __m128i shr52(__m128i a) { return _mm_srli_epi64(a, 52); }
LUMORA_IFMA_INLINE __m128i low52(__m128i a) { return _mm_and_si128(a, _mm_set1_epi64x(MASK52)); }
LUMORA_IFMA_INLINE void set_zero(__m128i& a) { a = _mm_setzero_si128(); }
LUMORA_IFMA_INLINE void splat(__m128i& a, u64 v) { a = _mm_set1_epi64x(static_cast<long long>(v)); }

// An element per lane: five limbs, each below 2^52.
template <class V>
struct Elem {
    V l[LIMBS];
};

// An unreduced sum of products: column k holds the terms of weight 2^(52k).
template <class V>
struct Wide {
    V c[2 * LIMBS];
};

// The modulus and −r⁻¹ mod 2^52 in every lane.
template <class V>
struct Modulus {
    V p[LIMBS];
    V inv;
};

template <class V>
LUMORA_IFMA_INLINE Wide<V> wide_zero() {
    Wide<V> t;
#pragma GCC unroll 10
    for (int k = 0; k < 2 * LIMBS; ++k) set_zero(t.c[k]);
    return t;
}

// t += a·b, lane by lane. Each column takes its terms in one chain; the
// chains of different columns are independent.
template <class V>
LUMORA_IFMA_INLINE void mul_acc(Wide<V>& t, const Elem<V>& a, const Elem<V>& b) {
#pragma GCC unroll 5
    for (int i = 0; i < LIMBS; ++i) {
#pragma GCC unroll 5
        for (int j = 0; j < LIMBS; ++j) {
            t.c[i + j] = madd_lo(t.c[i + j], a.l[i], b.l[j]);
            t.c[i + j + 1] = madd_hi(t.c[i + j + 1], a.l[i], b.l[j]);
        }
    }
}

// t += a·b as above, with the low and high halves in two separate sums, so
// that no column waits for more than five multiply-adds in a row (the
// latency-bound chain of the partial rounds).
template <class V>
LUMORA_IFMA_INLINE void mul_acc_split(Wide<V>& lo, Wide<V>& hi, const Elem<V>& a, const Elem<V>& b) {
#pragma GCC unroll 5
    for (int i = 0; i < LIMBS; ++i) {
#pragma GCC unroll 5
        for (int j = 0; j < LIMBS; ++j) {
            lo.c[i + j] = madd_lo(lo.c[i + j], a.l[i], b.l[j]);
            hi.c[i + j + 1] = madd_hi(hi.c[i + j + 1], a.l[i], b.l[j]);
        }
    }
}

// t / 2^260 mod r, below t/2^260 + r, with limbs carried down to 52 bits.
// Each step picks m so that t + m·r·2^(52i) is divisible by 2^(52(i+1)),
// and moves the carry of the cleared column up.
template <class V>
LUMORA_IFMA_INLINE Elem<V> reduce(Wide<V> t, const Modulus<V>& q) {
    V zero;
    set_zero(zero);
#pragma GCC unroll 5
    for (int i = 0; i < LIMBS; ++i) {
        const V m = madd_lo(zero, t.c[i], q.inv);
        const V carry = shr52(madd_lo(t.c[i], m, q.p[0]));
        // The next column's three contributions side by side, then summed:
        // the following step waits on this one.
        const V next = add(add(madd_hi(t.c[i + 1], m, q.p[0]), madd_lo(zero, m, q.p[1])), carry);
#pragma GCC unroll 4
        for (int j = 1; j < LIMBS; ++j) {
            if (j > 1) t.c[i + j] = madd_lo(t.c[i + j], m, q.p[j]);
            t.c[i + j + 1] = madd_hi(t.c[i + j + 1], m, q.p[j]);
        }
        t.c[i + 1] = next;
    }
    Elem<V> r;
#pragma GCC unroll 4
    for (int j = 0; j < LIMBS - 1; ++j) {
        r.l[j] = low52(t.c[LIMBS + j]);
        t.c[LIMBS + j + 1] = add(t.c[LIMBS + j + 1], shr52(t.c[LIMBS + j]));
    }
    r.l[LIMBS - 1] = t.c[2 * LIMBS - 1];
    return r;
}

template <class V>
LUMORA_IFMA_INLINE Elem<V> mont_mul(const Elem<V>& a, const Elem<V>& b, const Modulus<V>& q) {
    Wide<V> lo = wide_zero<V>(), hi = wide_zero<V>();
    mul_acc_split(lo, hi, a, b);
#pragma GCC unroll 10
    for (int k = 1; k < 2 * LIMBS; ++k) lo.c[k] = add(lo.c[k], hi.c[k]);
    return reduce(lo, q);
}

// t += x·2^260, which adds x to the reduced value.
template <class V>
LUMORA_IFMA_INLINE void add_shifted(Wide<V>& t, const Elem<V>& x) {
#pragma GCC unroll 5
    for (int j = 0; j < LIMBS; ++j) t.c[LIMBS + j] = add(t.c[LIMBS + j], x.l[j]);
}

// x^5 as x·(x²)².
template <class V>
LUMORA_IFMA_INLINE Elem<V> pow5(const Elem<V>& x, const Modulus<V>& q) {
    const Elem<V> x2 = mont_mul(x, x, q);
    const Elem<V> x4 = mont_mul(x2, x2, q);
    return mont_mul(x4, x, q);
}

LUMORA_IFMA_INLINE Elem<__m512i> load8(const u64 (&limbs)[LIMBS][LANES]) {
    Elem<__m512i> e;
#pragma GCC unroll 5
    for (int j = 0; j < LIMBS; ++j) e.l[j] = _mm512_load_si512(limbs[j]);
    return e;
}

LUMORA_IFMA_INLINE Elem<__m512i> splat8(const u64 (&limbs)[LIMBS]) {
    Elem<__m512i> e;
#pragma GCC unroll 5
    for (int j = 0; j < LIMBS; ++j) splat(e.l[j], limbs[j]);
    return e;
}

LUMORA_IFMA_INLINE Elem<__m128i> load2(const u64 (&limbs)[LIMBS][2]) {
    Elem<__m128i> e;
#pragma GCC unroll 5
    for (int j = 0; j < LIMBS; ++j) e.l[j] = _mm_load_si128(reinterpret_cast<const __m128i*>(limbs[j]));
    return e;
}

// Lane `lane` of every limb, in all eight lanes.
LUMORA_IFMA_INLINE Elem<__m512i> broadcast_lane(const Elem<__m512i>& x, int lane) {
    const __m512i index = _mm512_set1_epi64(lane);
    Elem<__m512i> e;
#pragma GCC unroll 5
    for (int j = 0; j < LIMBS; ++j) e.l[j] = _mm512_permutexvar_epi64(index, x.l[j]);
    return e;
}

// Every column summed over the eight lanes, the total in lane 0 of a
// 128-bit vector whose lane 1 is zero.
LUMORA_IFMA_INLINE Wide<__m128i> sum_lanes_first(const Wide<__m512i>& t) {
    Wide<__m128i> s;
#pragma GCC unroll 10
    for (int k = 0; k < 2 * LIMBS; ++k) {
        const __m256i y = _mm256_add_epi64(_mm512_castsi512_si256(t.c[k]), _mm512_extracti64x4_epi64(t.c[k], 1));
        const __m128i x = _mm_add_epi64(_mm256_castsi256_si128(y), _mm256_extracti128_si256(y, 1));
        s.c[k] = _mm_move_epi64(_mm_add_epi64(x, _mm_unpackhi_epi64(x, x)));
    }
    return s;
}

// The state in the full rounds: elements 0 to 7 across the lanes, element 8
// in all lanes.
struct Full {
    Elem<__m512i> v;
    Elem<__m512i> e;
};

LUMORA_IFMA_INLINE Elem<__m512i> broadcast_first(const Elem<__m128i>& x) {
    Elem<__m512i> e;
#pragma GCC unroll 5
    for (int j = 0; j < LIMBS; ++j) e.l[j] = _mm512_broadcastq_epi64(x.l[j]);
    return e;
}

// The S-box layer, then new = A·s + k with one reduction per output.
// Element 8 alone goes through 128-bit vectors (which issue twice as fast as
// 512-bit ones); its row of A is a lane-wise product summed across the lanes.
LUMORA_IFMA_OUTLINE void full_round(Full& s, const Dense& a, const Nine* k, const Modulus<__m512i>& q8,
                                    const Modulus<__m128i>& q2) {
    const Elem<__m512i> v = pow5(s.v, q8);
    Elem<__m128i> e8;
#pragma GCC unroll 5
    for (int j = 0; j < LIMBS; ++j) e8.l[j] = _mm512_castsi512_si128(s.e.l[j]);
    e8 = pow5(e8, q2);
    const Elem<__m512i> e = broadcast_first(e8);

    Wide<__m512i> t = wide_zero<__m512i>();
#pragma GCC unroll 8
    for (int j = 0; j < LANES; ++j) mul_acc(t, load8(a.columns[j]), broadcast_lane(v, j));
    mul_acc(t, load8(a.columns[8]), e);
    Wide<__m512i> t8 = wide_zero<__m512i>();
    mul_acc(t8, load8(a.last_row), v);
    Wide<__m128i> u8 = sum_lanes_first(t8);
    Elem<__m128i> corner;  // (A[8][8], 0)
#pragma GCC unroll 5
    for (int j = 0; j < LIMBS; ++j) corner.l[j] = _mm_load_si128(reinterpret_cast<const __m128i*>(a.corner[j]));
    mul_acc(u8, corner, e8);
    if (k != nullptr) {
        add_shifted(t, load8(k->lanes));
        Elem<__m128i> last;
#pragma GCC unroll 5
        for (int j = 0; j < LIMBS; ++j) splat(last.l[j], k->last[j]);
        add_shifted(u8, last);
    }
    s.v = reduce(t, q8);
    s.e = broadcast_first(reduce(u8, q2));
}

// Lane 0 in both lanes, lane 1 in both lanes.
LUMORA_IFMA_INLINE Elem<__m128i> lane0_both(const Elem<__m128i>& x) {
    Elem<__m128i> e;
#pragma GCC unroll 5
    for (int j = 0; j < LIMBS; ++j) e.l[j] = _mm_unpacklo_epi64(x.l[j], x.l[j]);
    return e;
}
LUMORA_IFMA_INLINE Elem<__m128i> lane1_both(const Elem<__m128i>& x) {
    Elem<__m128i> e;
#pragma GCC unroll 5
    for (int j = 0; j < LIMBS; ++j) e.l[j] = _mm_unpackhi_epi64(x.l[j], x.l[j]);
    return e;
}
// (lane 0 of a, lane 0 of b) and (lane 1 of a, lane 1 of b).
LUMORA_IFMA_INLINE Elem<__m128i> low_lanes(const Elem<__m128i>& a, const Elem<__m128i>& b) {
    Elem<__m128i> e;
#pragma GCC unroll 5
    for (int j = 0; j < LIMBS; ++j) e.l[j] = _mm_unpacklo_epi64(a.l[j], b.l[j]);
    return e;
}
LUMORA_IFMA_INLINE Elem<__m128i> high_lanes(const Elem<__m128i>& a, const Elem<__m128i>& b) {
    Elem<__m128i> e;
#pragma GCC unroll 5
    for (int j = 0; j < LIMBS; ++j) e.l[j] = _mm_unpackhi_epi64(a.l[j], b.l[j]);
    return e;
}


// The 63 partial rounds. Element 0 (x) runs through a serial chain; the
// elements 1 to 8 (w, across the lanes) only receive fc·s0 each round. Per
// round k, with s0 = x⁵ + c:
//   x' = fr[0]·s0 + fr[1..8]·w,    w' = w + fc·s0.
// The chain is shortened twice. First, fr[0]·s0 = (fr[0]·x)·x⁴ + fr[0]·c, so
// the chain is x → x² → x⁴ → x' with fr[0]·x beside x². Second, the dot
// product fr[1..8]·w of round k is taken from w of round k − 1, which is
// ready a round early, plus a precomputed correction times s0 of round k − 1:
//   fr_k[1..8]·w_k = fr_k[1..8]·w_(k−1) + (fr_k[1..8]·fc_(k−1))·s0_(k−1).
// The last multiplication of a round yields x' and s0 in its two lanes, and
// everything else it needs is summed into its columns beforehand.
LUMORA_IFMA_OUTLINE Full partial_rounds(const Full& s, const PartialRound (&rounds)[PARTIAL_ROUNDS],
                                     const Elem<__m512i>& one, const Modulus<__m512i>& q8,
                                     const Modulus<__m128i>& q2) {
    // w = s[1..8]: lanes 1..7 of v and element 8.
    Elem<__m512i> w;
#pragma GCC unroll 5
    for (int j = 0; j < LIMBS; ++j) w.l[j] = _mm512_alignr_epi64(s.e.l[j], s.v.l[j], 1);
    Elem<__m128i> x;  // element 0 in both lanes
#pragma GCC unroll 5
    for (int j = 0; j < LIMBS; ++j) x.l[j] = _mm_unpacklo_epi64(_mm512_castsi512_si128(s.v.l[j]), _mm512_castsi512_si128(s.v.l[j]));

    // The first round's dot product has no correction: it is fr_0[1..8]·w_0.
    Wide<__m512i> t = wide_zero<__m512i>();
    mul_acc(t, load8(rounds[0].first_row_rest), w);
    Wide<__m128i> dot = sum_lanes_first(t);
    Elem<__m128i> last;  // the previous round's (x', s0)
#pragma GCC unroll 5
    for (int j = 0; j < LIMBS; ++j) set_zero(last.l[j]);

    for (int k = 0; k < PARTIAL_ROUNDS; ++k) {
        const PartialRound& round = rounds[k];
        // (x², fr[0]·x)
        const Elem<__m128i> m1 = mont_mul(x, low_lanes(x, load2(round.first_row_head)), q2);

        // Off the chain: w of this round from w and s0 of the last one, then
        // the next round's dot product without its correction.
        Wide<__m128i> init = dot;
        if (k > 0) {
            const Elem<__m128i> s0 = lane1_both(last);
            Wide<__m512i> u = wide_zero<__m512i>();
            mul_acc(u, load8(rounds[k - 1].first_column), broadcast_first(s0));
            // w grows by about r per round; a multiplication by one every
            // 16 rounds brings it back below 2r.
            if (k % 16 == 0) mul_acc(u, w, one);
            else add_shifted(u, w);
            w = reduce(u, q8);
            mul_acc(init, s0, load2(round.correction));
        }
        if (k + 1 < PARTIAL_ROUNDS) {
            Wide<__m512i> d = wide_zero<__m512i>();
            mul_acc(d, load8(rounds[k + 1].first_row_rest), w);
            dot = sum_lanes_first(d);
        }
        add_shifted(init, load2(round.offsets));

        const Elem<__m128i> x2 = lane0_both(m1);
        const Elem<__m128i> x4 = mont_mul(x2, x2, q2);
        // (fr[0]·x·x⁴ + fr[0]·c + dot, x·x⁴ + c) = (x', s0)
        Wide<__m128i> hi = wide_zero<__m128i>();
        mul_acc_split(init, hi, high_lanes(m1, x), x4);
#pragma GCC unroll 10
        for (int c = 1; c < 2 * LIMBS; ++c) init.c[c] = add(init.c[c], hi.c[c]);
        last = reduce(init, q2);
        x = lane0_both(last);
    }
    // The update of w by the last round.
    {
        Wide<__m512i> u = wide_zero<__m512i>();
        mul_acc(u, load8(rounds[PARTIAL_ROUNDS - 1].first_column), broadcast_first(lane1_both(last)));
        add_shifted(u, w);
        w = reduce(u, q8);
    }
    // Back to the full-round layout: v = (x, w[0..6]), e = w[7].
    Full out;
    const __m512i seven = _mm512_set1_epi64(7);
#pragma GCC unroll 5
    for (int j = 0; j < LIMBS; ++j) {
        out.v.l[j] = _mm512_alignr_epi64(w.l[j], _mm512_broadcastq_epi64(x.l[j]), 7);
        out.e.l[j] = _mm512_permutexvar_epi64(seven, w.l[j]);
    }
    return out;
}

// 16·a in 52-bit limbs for a below 2^256 given as four 64-bit limbs: the
// 64-bit Montgomery form x·2^256 becomes x·2^260, unreduced (below 16r).
LUMORA_IFMA_INLINE void split52_times16(const u64* a, u64* out) {
    out[0] = (a[0] << 4) & MASK52;
    out[1] = ((a[0] >> 48) | (a[1] << 16)) & MASK52;
    out[2] = ((a[1] >> 36) | (a[2] << 28)) & MASK52;
    out[3] = ((a[2] >> 24) | (a[3] << 40)) & MASK52;
    out[4] = a[3] >> 12;
}

// a − r when that does not go below zero, lane by lane (a below 2r).
LUMORA_IFMA_INLINE Elem<__m512i> subtract_once(const Elem<__m512i>& a, const Modulus<__m512i>& q) {
    Elem<__m512i> d;
    __m512i borrow = _mm512_setzero_si512();
#pragma GCC unroll 5
    for (int j = 0; j < LIMBS; ++j) {
        const __m512i t = _mm512_sub_epi64(_mm512_sub_epi64(a.l[j], q.p[j]), borrow);
        borrow = _mm512_srli_epi64(t, 63);
        d.l[j] = low52(t);
    }
    const __mmask8 keep = _mm512_test_epi64_mask(borrow, borrow);
    Elem<__m512i> r;
#pragma GCC unroll 5
    for (int j = 0; j < LIMBS; ++j) r.l[j] = _mm512_mask_blend_epi64(keep, d.l[j], a.l[j]);
    return r;
}

// Five 52-bit limbs (a value below 2^256) into four 64-bit limbs, lane by lane.
LUMORA_IFMA_INLINE void join64(const Elem<__m512i>& a, __m512i (&out)[4]) {
    out[0] = _mm512_or_si512(a.l[0], _mm512_slli_epi64(a.l[1], 52));
    out[1] = _mm512_or_si512(_mm512_srli_epi64(a.l[1], 12), _mm512_slli_epi64(a.l[2], 40));
    out[2] = _mm512_or_si512(_mm512_srli_epi64(a.l[2], 24), _mm512_slli_epi64(a.l[3], 28));
    out[3] = _mm512_or_si512(_mm512_srli_epi64(a.l[3], 36), _mm512_slli_epi64(a.l[4], 16));
}

template <class V>
LUMORA_IFMA_INLINE Modulus<V> modulus(const Tables& t) {
    Modulus<V> q;
#pragma GCC unroll 5
    for (int j = 0; j < LIMBS; ++j) splat(q.p[j], t.modulus[j]);
    splat(q.inv, t.inv);
    return q;
}

LUMORA_IFMA_TARGET void permute(u64 (&state)[9][4], const Tables& tables) {
    const Modulus<__m512i> q8 = modulus<__m512i>(tables);
    const Modulus<__m128i> q2 = modulus<__m128i>(tables);

    // In: elements 0 to 7 across the lanes, element 8 in every lane, each
    // times 16 and plus the first round constants, carried down to 52 bits.
    alignas(64) u64 in[LIMBS][LANES];
    u64 in8[LIMBS];
    for (int i = 0; i < LANES; ++i) {
        u64 limbs[LIMBS];
        split52_times16(state[i], limbs);
        for (int j = 0; j < LIMBS; ++j) in[j][i] = limbs[j];
    }
    split52_times16(state[8], in8);
    Full s{load8(in), splat8(in8)};
    {
        const Elem<__m512i> c = load8(tables.first_constants.lanes);
        const Elem<__m512i> c8 = splat8(tables.first_constants.last);
        __m512i carry = _mm512_setzero_si512(), carry8 = _mm512_setzero_si512();
#pragma GCC unroll 5
        for (int j = 0; j < LIMBS; ++j) {
            const __m512i a = add(add(s.v.l[j], c.l[j]), carry);
            const __m512i a8 = add(add(s.e.l[j], c8.l[j]), carry8);
            carry = shr52(a);
            carry8 = shr52(a8);
            s.v.l[j] = j + 1 < LIMBS ? low52(a) : a;
            s.e.l[j] = j + 1 < LIMBS ? low52(a8) : a8;
        }
    }

    full_round(s, tables.mds, &tables.folded_constants[0], q8, q2);
    full_round(s, tables.mds, &tables.folded_constants[1], q8, q2);
    full_round(s, tables.mds, &tables.folded_constants[2], q8, q2);
    full_round(s, tables.entry, &tables.folded_constants[3], q8, q2);
    s = partial_rounds(s, tables.partial, splat8(tables.one), q8, q2);
    full_round(s, tables.mds, &tables.folded_constants[4], q8, q2);
    full_round(s, tables.mds, &tables.folded_constants[5], q8, q2);
    full_round(s, tables.mds, &tables.folded_constants[6], q8, q2);
    full_round(s, tables.mds_out, nullptr, q8, q2);

    // Out: the last product is already in the 64-bit form, below 2r.
    __m512i out[4], out8[4];
    join64(subtract_once(s.v, q8), out);
    join64(subtract_once(s.e, q8), out8);
    alignas(64) u64 lanes[4][LANES];
    for (int j = 0; j < 4; ++j) _mm512_store_si512(lanes[j], out[j]);
    for (int i = 0; i < LANES; ++i)
        for (int j = 0; j < 4; ++j) state[i][j] = lanes[j][i];
    for (int j = 0; j < 4; ++j) state[8][j] = static_cast<u64>(_mm_cvtsi128_si64(_mm512_castsi512_si128(out8[j])));
}

}  // namespace

// A plain function in front of the vector code: its own declaration carries
// no target, and no vector instruction runs before the caller's CPU check.
void permute_ifma(u64 (&state)[9][4], const Tables& tables) { permute(state, tables); }

}  // namespace lumora::poseidon::ifma

#endif  // __x86_64__
