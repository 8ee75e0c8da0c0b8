#include "poseidon/permutation_ifma_tables.h"

#include <array>
#include <cstring>

namespace lumora::poseidon {
inline namespace LUMORA_KERNEL_NS {

namespace {

using ifma::LANES;
using ifma::LIMBS;
using ifma::u64;

using Limbs52 = std::array<u64, LIMBS>;

// A value below 2^256 as five 52-bit limbs.
Limbs52 split52(const field::Limbs& a) {
    constexpr u64 mask = (u64{1} << 52) - 1;
    return {a[0] & mask, ((a[0] >> 52) | (a[1] << 12)) & mask, ((a[1] >> 40) | (a[2] << 24)) & mask,
            ((a[2] >> 28) | (a[3] << 36)) & mask, a[3] >> 16};
}

// The 52-bit form x·2^260 mod r: the 64-bit form holds x·2^256, and four
// modular doublings multiply it by 16.
Limbs52 form52(const Fr& x) { return split52(x.dbl().dbl().dbl().dbl().mont()); }

void set_limbs(u64 (&out)[LIMBS], const Limbs52& x) {
    for (int j = 0; j < LIMBS; ++j) out[j] = x[j];
}

void set_lane(u64 (&lanes)[LIMBS][LANES], int lane, const Limbs52& x) {
    for (int j = 0; j < LIMBS; ++j) lanes[j][lane] = x[j];
}

void set_pair(u64 (&pair)[LIMBS][2], const Fr& a, const Fr& b) {
    const Limbs52 la = form52(a), lb = form52(b);
    for (int j = 0; j < LIMBS; ++j) {
        pair[j][0] = la[j];
        pair[j][1] = lb[j];
    }
}

void set_nine(ifma::Nine& n, const State& s) {
    for (int i = 0; i < LANES; ++i) set_lane(n.lanes, i, form52(s[i]));
    set_limbs(n.last, form52(s[8]));
}

// With `out_form`, the entries keep the 64-bit form (x·2^256): a product
// with a vector in the 52-bit form then reduces to the 64-bit form.
void set_dense(ifma::Dense& d, const MdsMatrix& a, bool out_form) {
    const auto entry = [&](int i, int j) {
        const Fr& x = a.rows[i][j];
        return out_form ? split52(x.mont()) : form52(x);
    };
    std::memset(&d, 0, sizeof d);
    for (int j = 0; j < 9; ++j)
        for (int i = 0; i < LANES; ++i) set_lane(d.columns[j], i, entry(i, j));
    for (int j = 0; j < LANES; ++j) set_lane(d.last_row, j, entry(8, j));
    set_lane(d.corner, 0, entry(8, 8));
}

}  // namespace

std::shared_ptr<const ifma::Tables> make_ifma_tables(const Spec& spec) {
    if (spec.full_rounds != 8 || spec.constants.partial_constants.size() != ifma::PARTIAL_ROUNDS) return nullptr;
    std::unique_ptr<ifma::Tables> t(new ifma::Tables{});
    const auto& k = spec.constants;
    const auto& m = spec.matrices;

    set_limbs(t->modulus, split52(field::FrParams::MODULUS));
    // −r⁻¹ mod 2^52 by Newton's iteration (each step doubles the bits).
    u64 inv = 1;
    for (int i = 0; i < 6; ++i) inv *= 2 - field::FrParams::MODULUS[0] * inv;
    t->inv = (0 - inv) & ((u64{1} << 52) - 1);
    set_limbs(t->one, form52(Fr::one()));

    set_nine(t->first_constants, k.head_constants[0]);
    for (int i = 0; i < 3; ++i) set_nine(t->folded_constants[i], m.mds_matrix.mul_vector(k.head_constants[i + 1]));
    set_nine(t->folded_constants[3], m.entry_matrix.mul_vector(k.head_constants[4]));
    for (int i = 0; i < 3; ++i) set_nine(t->folded_constants[4 + i], m.mds_matrix.mul_vector(k.tail_constants[i]));
    set_dense(t->mds, m.mds_matrix, false);
    set_dense(t->entry, m.entry_matrix, false);
    set_dense(t->mds_out, m.mds_matrix, true);

    for (int r = 0; r < ifma::PARTIAL_ROUNDS; ++r) {
        const SparseMdsMatrix& s = m.sparse_rounds[r];
        ifma::PartialRound& p = t->partial[r];
        for (int i = 0; i < LANES; ++i) {
            set_lane(p.first_row_rest, i, form52(s.first_row[i + 1]));
            set_lane(p.first_column, i, form52(s.first_column[i]));
        }
        set_pair(p.first_row_head, s.first_row[0], s.first_row[0]);
        Fr correction = Fr::zero();
        if (r > 0) {
            Vector<RATE> rest;
            for (std::size_t i = 0; i < RATE; ++i) rest[i] = s.first_row[i + 1];
            correction = Fr::sum_of_products(rest, m.sparse_rounds[r - 1].first_column);
        }
        set_pair(p.correction, correction, Fr::zero());
        const Fr& c = k.partial_constants[r];
        set_pair(p.offsets, s.first_row[0] * c, c);
    }
    return std::shared_ptr<const ifma::Tables>(std::move(t));
}

}  // inline namespace LUMORA_KERNEL_NS
}  // namespace lumora::poseidon
