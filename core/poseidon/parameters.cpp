#include "poseidon/parameters.h"

#include <algorithm>

#include "poseidon/grain.h"

namespace lumora::poseidon::inline LUMORA_KERNEL_NS {

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
    const MdsMatrix mt = m.transpose();
    MdsMatrix acc = mt;
    std::vector<SparseMdsMatrix> sparse;
    sparse.reserve(partial_rounds);
    for (std::size_t i = 0; i < partial_rounds; ++i) {
        auto [p, s] = factorise(acc);
        acc = mt.mul(p);
        sparse.push_back(s);
    }
    // The factor split off last belongs to the first partial round.
    std::reverse(sparse.begin(), sparse.end());
    return {std::move(sparse), acc.transpose()};
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
    return Spec{full_rounds, MdsMatrices{m, entry, std::move(sparse)}, std::move(k)};
}

void Spec::permute(State& state) const {
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

}  // namespace lumora::poseidon
