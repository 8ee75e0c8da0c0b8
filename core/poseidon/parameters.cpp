#include "poseidon/parameters.h"

#include "common/cpu.h"
#include "poseidon/grain.h"
#include "poseidon/permutation_ifma_tables.h"

namespace lumora::poseidon {
inline namespace LUMORA_KERNEL_NS {

namespace {

Fr pow5(const Fr& x) {
    const Fr x2 = x.square();
    return x2.square() * x;
}

// S-box layer on every element, the round's constants (none in the very
// last round), then the dense matrix.
void full_round(State& state, const State* constants, const MdsMatrix& m) {
    for (auto& x : state) x = pow5(x);
    if (constants != nullptr) add_constants(state, *constants);
    state = m.mul_vector(state);
}

// S-box on element 0 and its single constant, then the sparse matrix.
void partial_round(State& state, const Fr& constant, const SparseMdsMatrix& s) {
    const Fr old0 = pow5(state[0]) + constant;
    state[0] = old0;
    state[0] = Fr::sum_of_products(s.first_row, state);
    for (std::size_t i = 1; i < WIDTH; ++i) state[i] += s.first_column[i - 1] * old0;
}

}  // namespace

void add_constants(State& state, const State& row) {
    for (std::size_t i = 0; i < WIDTH; ++i) state[i] += row[i];
}

std::pair<std::vector<SparseMdsMatrix>, MdsMatrix> calculate_sparse_matrices(std::size_t partial_rounds,
                                                                             const MdsMatrix& m) {
    // The factorisation repeated on acc_0 = Mᵗ, acc_(k+1) = Mᵗ·P_k, where P_k
    // keeps only acc_k's lower-right block B_k, has a closed form. With Mᵗ
    // split into its corner a, first row f (below: the other eight entries),
    // first column w and lower-right block H:
    //   B_k = H^(k+1), acc_k's first column is always (a, w), and its first
    //   row is (a, f·H^k);
    // so the factor S_k has first row (a, H^−(k+1)·w) and first column f·H^k,
    // and the final acc is Mᵗ·diag(1, H^n). One inversion instead of one per
    // round, and products of vectors instead of matrices.
    const MdsMatrix mt = m.transpose();
    Matrix<RATE> h;
    Vector<RATE> w, f;
    for (std::size_t i = 0; i < RATE; ++i) {
        w[i] = mt.rows[i + 1][0];
        f[i] = mt.rows[0][i + 1];
        for (std::size_t j = 0; j < RATE; ++j) h.rows[i][j] = mt.rows[i + 1][j + 1];
    }
    const Matrix<RATE> h_inv = h.invert();

    std::vector<SparseMdsMatrix> sparse(partial_rounds);
    Vector<RATE> u = w, row = f;
    for (std::size_t k = 0; k < partial_rounds; ++k) {
        u = h_inv.mul_vector(u);
        // Factors are split off from the last partial round backwards.
        SparseMdsMatrix& s = sparse[partial_rounds - 1 - k];
        s.first_row[0] = mt.rows[0][0];
        for (std::size_t i = 0; i < RATE; ++i) {
            s.first_row[i + 1] = u[i];
            s.first_column[i] = row[i];
        }
        row = h.mul_row_vector(row);
    }

    MdsMatrix p = MdsMatrix::identity();
    if (partial_rounds > 0) {
        const Matrix<RATE> hn = h.pow(partial_rounds);
        for (std::size_t i = 0; i < RATE; ++i)
            for (std::size_t j = 0; j < RATE; ++j) p.rows[i + 1][j + 1] = hn.rows[i][j];
    }
    return {std::move(sparse), mt.mul(p).transpose()};
}

Spec Spec::create(std::size_t full_rounds, std::size_t partial_rounds) {
    // Without a full round on each side the tables below have no place to start.
    if (full_rounds < 2) abort_with("poseidon: at least two full rounds are needed");
    auto [c, m] = Grain::generate(full_rounds, partial_rounds);
    const MdsMatrix n = m.invert();
    const std::size_t h = full_rounds / 2;

    // Each partial round adds its constants before the S-box touches element
    // 0 only; pushing the other eight through M⁻¹ into the next round leaves
    // one constant per partial round and folds the rest into the last head row.
    OptimizedConstants k;
    k.head_constants.push_back(c[0]);
    for (std::size_t i = 1; i < h; ++i) k.head_constants.push_back(n.mul_vector(c[i]));
    k.partial_constants.resize(partial_rounds);
    State acc = c[h + partial_rounds];
    for (std::size_t r = partial_rounds; r-- > 0;) {
        State t = n.mul_vector(acc);
        k.partial_constants[r] = t[0];
        t[0] = Fr::zero();
        add_constants(t, c[h + r]);
        acc = t;
    }
    k.head_constants.push_back(n.mul_vector(acc));
    for (std::size_t j = 0; j + 1 < h; ++j) k.tail_constants.push_back(n.mul_vector(c[h + partial_rounds + 1 + j]));

    auto [sparse, entry] = calculate_sparse_matrices(partial_rounds, m);
    Spec spec{full_rounds, MdsMatrices{m, entry, std::move(sparse)}, std::move(k), nullptr};
    if (cpu::features().avx512_ifma) spec.ifma_tables = make_ifma_tables(spec);
    return spec;
}

void Spec::permute(State& state) const {
    if (!cpu::dispatch().extensions.ifma || !permute_ifma(state)) permute_scalar(state);
}

bool Spec::permute_ifma([[maybe_unused]] State& state) const {
#if defined(LUMORA_IFMA_PERMUTATION)
    if (!ifma_tables || !cpu::features().avx512_ifma) return false;
    ifma::u64 limbs[WIDTH][4];
    for (std::size_t i = 0; i < WIDTH; ++i)
        for (std::size_t j = 0; j < 4; ++j) limbs[i][j] = state[i].mont()[j];
    ifma::permute_ifma(limbs, *ifma_tables);
    for (std::size_t i = 0; i < WIDTH; ++i) state[i] = Fr::from_mont({limbs[i][0], limbs[i][1], limbs[i][2], limbs[i][3]});
    return true;
#else
    return false;
#endif
}

void Spec::permute_scalar(State& state) const {
    const std::size_t h = full_rounds / 2;
    const MdsMatrix& mds = matrices.mds_matrix;

    add_constants(state, constants.head_constants[0]);
    for (std::size_t i = 1; i < h; ++i) full_round(state, &constants.head_constants[i], mds);
    full_round(state, &constants.head_constants[h], matrices.entry_matrix);
    for (std::size_t k = 0; k < constants.partial_constants.size(); ++k)
        partial_round(state, constants.partial_constants[k], matrices.sparse_rounds[k]);
    for (const State& row : constants.tail_constants) full_round(state, &row, mds);
    full_round(state, nullptr, mds);  // no constants in the last round
}

}  // inline namespace LUMORA_KERNEL_NS
}  // namespace lumora::poseidon
