#include "poseidon/matrix.h"

namespace lumora::poseidon {
inline namespace LUMORA_KERNEL_NS {

MdsMatrix cauchy(const Vector<WIDTH>& xs, const Vector<WIDTH>& ys) {
    // All 81 inverses from one (Montgomery's batch inversion): with prefix
    // products q_k = s_0·…·s_k, s_k⁻¹ = q_(k−1)·q_k⁻¹ and q_(k−1)⁻¹ = q_k⁻¹·s_k.
    constexpr std::size_t n = WIDTH * WIDTH;
    std::array<Fr, n> sums, prefix;
    Fr running = Fr::one();
    for (std::size_t k = 0; k < n; ++k) {
        sums[k] = xs[k / WIDTH] + ys[k % WIDTH];
        if (sums[k].is_zero()) abort_with("poseidon: zero sum in the Cauchy matrix");
        prefix[k] = running;  // the product of the sums before k
        running *= sums[k];
    }
    Fr inv = *running.inverse_var();  // non-zero: a product of non-zero elements
    MdsMatrix m;
    for (std::size_t k = n; k-- > 0;) {
        m.rows[k / WIDTH][k % WIDTH] = inv * prefix[k];
        inv *= sums[k];
    }
    return m;
}

std::pair<MdsMatrix, SparseMdsMatrix> factorise(const MdsMatrix& a) {
    Vector<RATE> w;
    Matrix<RATE> b;
    for (std::size_t i = 0; i < RATE; ++i) {
        w[i] = a.rows[i + 1][0];
        for (std::size_t j = 0; j < RATE; ++j) b.rows[i][j] = a.rows[i + 1][j + 1];
    }
    const Vector<RATE> u = b.invert_var().mul_vector(w);

    MdsMatrix p = MdsMatrix::identity();
    for (std::size_t i = 0; i < RATE; ++i)
        for (std::size_t j = 0; j < RATE; ++j) p.rows[i + 1][j + 1] = b.rows[i][j];

    // The sparse factor is the transpose of Q, the identity with A's first row
    // on top and u below the top of its first column; only its first row and
    // column carry information.
    SparseMdsMatrix s;
    s.first_row[0] = a.rows[0][0];
    for (std::size_t i = 0; i < RATE; ++i) {
        s.first_row[i + 1] = u[i];
        s.first_column[i] = a.rows[0][i + 1];
    }
    return {p, s};
}

}  // inline namespace LUMORA_KERNEL_NS
}  // namespace lumora::poseidon
