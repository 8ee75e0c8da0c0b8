#include "poseidon/matrix.h"

namespace lumora::poseidon {

MdsMatrix cauchy(const Vector<WIDTH>& xs, const Vector<WIDTH>& ys) {
    MdsMatrix m;
    for (std::size_t i = 0; i < WIDTH; ++i) {
        for (std::size_t j = 0; j < WIDTH; ++j) {
            const auto inv = (xs[i] + ys[j]).inverse_var();
            if (!inv) abort_with("poseidon: zero sum in the Cauchy matrix");
            m.rows[i][j] = *inv;
        }
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
    const Vector<RATE> u = b.invert().mul_vector(w);

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

}  // namespace lumora::poseidon
