// Square matrices over Fr of a fixed size, and the sparse form that the
// partial rounds of the permutation multiply by.
//
// Only parameter generation builds and inverts matrices (once per process);
// the permutation reads them.
#pragma once

#include <array>
#include <cstddef>
#include <utility>

#include "common/error.h"
#include "common/kernel_copy.h"
#include "field/fr.h"

namespace lumora::poseidon {
inline namespace LUMORA_KERNEL_NS {

using field::Fr;

template <std::size_t N>
using Vector = std::array<Fr, N>;

// Element (i, j) is rows[i][j]: row i, column j.
template <std::size_t N>
struct Matrix {
    std::array<Vector<N>, N> rows{};

    static Matrix identity() {
        Matrix m;
        for (std::size_t i = 0; i < N; ++i) m.rows[i][i] = Fr::one();
        return m;
    }

    Matrix transpose() const {
        Matrix t;
        for (std::size_t i = 0; i < N; ++i)
            for (std::size_t j = 0; j < N; ++j) t.rows[j][i] = rows[i][j];
        return t;
    }

    // u[i] = sum over j of rows[i][j]·v[j].
    Vector<N> mul_vector(const Vector<N>& v) const {
        Vector<N> u;
        for (std::size_t i = 0; i < N; ++i) u[i] = Fr::sum_of_products(rows[i], v);
        return u;
    }

    // this × b: element (i, j) = sum over k of rows[i][k]·b[k][j].
    Matrix mul(const Matrix& b) const {
        const Matrix bt = b.transpose();
        Matrix c;
        for (std::size_t i = 0; i < N; ++i)
            for (std::size_t j = 0; j < N; ++j) c.rows[i][j] = Fr::sum_of_products(rows[i], bt.rows[j]);
        return c;
    }

    // The exact inverse, by Gauss–Jordan elimination with a search for a
    // non-zero pivot. Generation only inverts matrices that are invertible by
    // construction, so a singular one is a broken invariant and aborts.
    Matrix invert_var() const {
        Matrix a = *this;
        Matrix inv = identity();
        for (std::size_t col = 0; col < N; ++col) {
            std::size_t pivot = col;
            while (pivot < N && a.rows[pivot][col].is_zero()) ++pivot;
            if (pivot == N) abort_with("poseidon: matrix to invert is singular");
            std::swap(a.rows[pivot], a.rows[col]);
            std::swap(inv.rows[pivot], inv.rows[col]);
            const Fr scale = *a.rows[col][col].inverse_var();
            for (std::size_t j = 0; j < N; ++j) {
                a.rows[col][j] *= scale;
                inv.rows[col][j] *= scale;
            }
            for (std::size_t i = 0; i < N; ++i) {
                if (i == col || a.rows[i][col].is_zero()) continue;
                const Fr factor = a.rows[i][col];
                for (std::size_t j = 0; j < N; ++j) {
                    a.rows[i][j] -= factor * a.rows[col][j];
                    inv.rows[i][j] -= factor * inv.rows[col][j];
                }
            }
        }
        return inv;
    }

    // v·this: u[j] = sum over i of v[i]·rows[i][j].
    Vector<N> mul_row_vector(const Vector<N>& v) const { return transpose().mul_vector(v); }

    // this^e for e ≥ 1, by squaring and multiplying.
    Matrix pow_var(std::size_t e) const {
        Matrix result = *this, base = *this;
        for (--e; e != 0; e >>= 1) {
            if (e & 1) result = result.mul(base);
            if (e > 1) base = base.mul(base);
        }
        return result;
    }

    friend bool operator==(const Matrix&, const Matrix&) = default;
};

constexpr std::size_t WIDTH = 9;  // the state: one capacity element and a rate of 8
constexpr std::size_t RATE = WIDTH - 1;

using MdsMatrix = Matrix<WIDTH>;

// A 9 x 9 matrix whose lower-right 8 x 8 block is the identity, kept as its
// first row and the rest of its first column. Applied to a state s:
//   s'[0] = sum over j of first_row[j]·s[j];  s'[i] = first_column[i − 1]·s[0] + s[i].
struct SparseMdsMatrix {
    Vector<WIDTH> first_row;
    Vector<RATE> first_column;

    friend bool operator==(const SparseMdsMatrix&, const SparseMdsMatrix&) = default;
};

// M[i][j] = (xs[i] + ys[j])⁻¹. A zero sum aborts (it does not occur for the
// generated coordinates).
MdsMatrix cauchy(const Vector<WIDTH>& xs, const Vector<WIDTH>& ys);

// Factors A = P·Q, where P is the identity with A's lower-right 8 x 8 block B
// in place and Q is the identity with A's first row on top and B⁻¹·w below the
// top of its first column (w: A's first column below the top). Returns P and
// the sparse form of Qᵗ: first row (A[0][0], B⁻¹·w), first column A[0][1..8].
std::pair<MdsMatrix, SparseMdsMatrix> factorise(const MdsMatrix& a);

}  // inline namespace LUMORA_KERNEL_NS
}  // namespace lumora::poseidon
