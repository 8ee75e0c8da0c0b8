#include <gtest/gtest.h>

#include "seeded_rng.h"

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "common/cpu.h"
#include "integers/u256.h"
#include "poseidon/grain.h"
#include "poseidon/permutation_ifma_tables.h"
#include "poseidon/sponge.h"
#include "vector_file.h"

namespace lumora::poseidon {
namespace {

using testing::JsonValue;
using testing::load_vector_file;

using lumora::testing::rng;

const JsonValue& vectors() {
    static const JsonValue v = load_vector_file("poseidon.json");
    return v;
}

Fr fr_from_hex(const std::string& hex) {
    return Fr::from_repr(integers::U256::from_str(hex).value().limbs).value();
}

template <std::size_t N>
void expect_row(const Vector<N>& row, const JsonValue& expected, const std::string& what) {
    ASSERT_EQ(expected.size(), N) << what;
    for (std::size_t j = 0; j < N; ++j) EXPECT_EQ(row[j].to_hex(), expected[j].text) << what << " [" << j << "]";
}

// The permutation as the round function defines it, from the Grain constants
// and the Cauchy matrix, with nothing precomputed.
State plain_permute(const std::vector<State>& c, const MdsMatrix& m, State s,
                    std::size_t partial_rounds = PARTIAL_ROUNDS) {
    const auto pow5 = [](const Fr& x) { return x * x * x * x * x; };
    for (std::size_t round = 0; round < FULL_ROUNDS + partial_rounds; ++round) {
        for (std::size_t i = 0; i < WIDTH; ++i) s[i] += c[round][i];
        const bool full = round < FULL_ROUNDS / 2 || round >= FULL_ROUNDS / 2 + partial_rounds;
        for (std::size_t i = 0; i < (full ? WIDTH : 1); ++i) s[i] = pow5(s[i]);
        State next{};
        for (std::size_t i = 0; i < WIDTH; ++i)
            for (std::size_t j = 0; j < WIDTH; ++j) next[i] += m.rows[i][j] * s[j];
        s = next;
    }
    return s;
}

State random_state() {
    State s;
    for (auto& x : s) x = Fr::from_raw({rng()(), rng()(), rng()(), rng()()});
    return s;
}

const Spec& spec() { return get_poseidon_hasher().spec(); }

TEST(Grain, InitialStateAndFirstBits) {
    const std::string expected = "01" "0000" "000011111110" "000000001001" "0000001000" "0000111111" +
                                 std::string(30, '1');
    const auto state = Grain::initial_state(FULL_ROUNDS, PARTIAL_ROUNDS);
    std::string bits;
    for (int i = 0; i < 80; ++i) bits += ((state >> i) & 1) ? '1' : '0';
    EXPECT_EQ(bits, expected);
    EXPECT_EQ(state >> 80, 0u);
}

// The sequence b_0, b_1, … one step at a time, as the LFSR defines it.
std::vector<std::uint64_t> grain_bits_stepwise(std::size_t words) {
    unsigned __int128 s = Grain::initial_state(FULL_ROUNDS, PARTIAL_ROUNDS);
    std::vector<std::uint64_t> out(words);
    for (std::size_t n = 0; n < 64 * words; ++n) {
        const bool bit = n < 80 ? ((s >> n) & 1) != 0 : [&] {
            const bool b = ((s ^ (s >> 13) ^ (s >> 23) ^ (s >> 38) ^ (s >> 51) ^ (s >> 62)) & 1) != 0;
            s = (s >> 1) | (static_cast<unsigned __int128>(b) << 79);
            return b;
        }();
        out[n / 64] |= static_cast<std::uint64_t>(bit) << (n % 64);
    }
    return out;
}

TEST(Grain, WordsEqualTheStepwiseSequence) {
    // Generation draws about 14,000 words; compare well past that.
    const std::size_t words = 20000;
    const auto expected = grain_bits_stepwise(words);
    GrainStream stream(Grain::initial_state(FULL_ROUNDS, PARTIAL_ROUNDS));
    for (std::size_t i = 0; i < words; ++i) ASSERT_EQ(stream.next_word(), expected[i]) << "word " << i;
}

TEST(Grain, RoundConstantsAndCauchyMatrixCheckpoints) {
    const auto [c, m] = Grain::generate(FULL_ROUNDS, PARTIAL_ROUNDS);
    ASSERT_EQ(c.size(), FULL_ROUNDS + PARTIAL_ROUNDS);
    for (const int row : {0, 1, 4, 66, 70})
        expect_row(c[row], vectors()["round_constants"]["row_" + std::to_string(row)], "C row " + std::to_string(row));
    expect_row(m.rows[0], vectors()["mds"]["row_0"], "M row 0");
    expect_row(m.rows[8], vectors()["mds"]["row_8"], "M row 8");
    // Cauchy rows are distinct inverses of sums; M·M⁻¹ must be the identity.
    EXPECT_EQ(m.mul(m.invert_var()), MdsMatrix::identity());
}

TEST(PoseidonPermutation, OptimisedTablesCheckpoints) {
    const Spec& s = spec();
    EXPECT_EQ(s.full_rounds, FULL_ROUNDS);
    ASSERT_EQ(s.constants.head_constants.size(), 5u);
    ASSERT_EQ(s.constants.partial_constants.size(), 63u);
    ASSERT_EQ(s.constants.tail_constants.size(), 3u);
    ASSERT_EQ(s.matrices.sparse_rounds.size(), 63u);

    const JsonValue& v = vectors();
    for (const int row : {0, 1, 4})
        expect_row(s.constants.head_constants[row], v["head_constants"]["row_" + std::to_string(row)],
                   "head row " + std::to_string(row));
    for (const int k : {0, 1, 62})
        EXPECT_EQ(s.constants.partial_constants[k].to_hex(), v["partial_constants"][std::to_string(k)].text) << k;
    expect_row(s.constants.tail_constants[2], v["tail_constants"]["row_2"], "tail row 2");
    expect_row(s.matrices.entry_matrix.rows[0], v["entry_matrix"]["row_0"], "entry row 0");
    for (const int k : {0, 62}) {
        const auto& sparse = s.matrices.sparse_rounds[k];
        expect_row(sparse.first_row, v["sparse_rounds"][std::to_string(k)]["first_row"], "sparse first_row");
        expect_row(sparse.first_column, v["sparse_rounds"][std::to_string(k)]["first_column"], "sparse first_column");
    }
}

TEST(PoseidonPermutation, RejectsRoundCountsWithoutTwoHalves) {
    EXPECT_THROW(Spec::create(7, 63), Abort);
    EXPECT_THROW(Spec::create(0, 63), Abort);
}

TEST(PoseidonPermutation, FactorisationReassemblesTheMatrix) {
    const auto [c, m] = Grain::generate(FULL_ROUNDS, PARTIAL_ROUNDS);
    const auto [p, s] = factorise(m);
    MdsMatrix qt = MdsMatrix::identity();
    qt.rows[0] = s.first_row;
    for (std::size_t i = 0; i < RATE; ++i) qt.rows[i + 1][0] = s.first_column[i];
    EXPECT_EQ(p.mul(qt.transpose()), m);
}

TEST(PoseidonParameters, SparseMatricesEqualTheStepwiseFactorisation) {
    // The derivation step by step: factorise acc, acc = Mᵗ·P, n times; the
    // factor split off last serves the first partial round.
    const auto [c, m] = Grain::generate(FULL_ROUNDS, PARTIAL_ROUNDS);
    for (const std::size_t rounds : {std::size_t{1}, std::size_t{2}, std::size_t{5}, PARTIAL_ROUNDS}) {
        const MdsMatrix mt = m.transpose();
        MdsMatrix acc = mt;
        std::vector<SparseMdsMatrix> expected;
        for (std::size_t i = 0; i < rounds; ++i) {
            auto [p, s] = factorise(acc);
            acc = mt.mul(p);
            expected.insert(expected.begin(), s);
        }
        const auto [sparse, entry] = calculate_sparse_matrices(rounds, m);
        EXPECT_EQ(sparse, expected) << rounds << " rounds";
        EXPECT_EQ(entry, acc.transpose()) << rounds << " rounds";
    }
}

TEST(Matrix, CauchyEntriesInvertTheirSums) {
    Vector<WIDTH> xs, ys;
    for (auto& x : xs) x = random_state()[0];
    for (auto& y : ys) y = random_state()[0];
    const MdsMatrix m = cauchy(xs, ys);
    for (std::size_t i = 0; i < WIDTH; ++i)
        for (std::size_t j = 0; j < WIDTH; ++j) EXPECT_EQ(m.rows[i][j] * (xs[i] + ys[j]), Fr::one()) << i << ", " << j;
    // A zero sum anywhere aborts, the first and the last included.
    for (const auto& [i, j] : {std::pair{0, 0}, std::pair{3, 5}, std::pair{8, 8}}) {
        Vector<WIDTH> bad = xs;
        bad[i] = -ys[j];
        EXPECT_THROW(cauchy(bad, ys), Abort) << i << ", " << j;
    }
}

TEST(Matrix, PowersAndRowProducts) {
    const auto [c, m] = Grain::generate(FULL_ROUNDS, PARTIAL_ROUNDS);
    MdsMatrix power = m;
    for (std::size_t e = 1; e <= 9; ++e) {
        EXPECT_EQ(m.pow_var(e), power) << "power " << e;
        power = power.mul(m);
    }
    // v·M is the first row of the matrix whose first row is v, times M.
    MdsMatrix lifted{};
    lifted.rows[0] = c[3];
    EXPECT_EQ(m.mul_row_vector(c[3]), lifted.mul(m).rows[0]);
}

TEST(PoseidonPermutation, OptimisedPermutationEqualsPlainOne) {
    const auto [c, m] = Grain::generate(FULL_ROUNDS, PARTIAL_ROUNDS);
    std::vector<State> inputs = {State{}};
    State ones;
    ones.fill(-Fr::one());
    inputs.push_back(ones);
    for (int i = 0; i < 20; ++i) inputs.push_back(random_state());
    for (const State& in : inputs) {
        State fast = in;
        spec().permute(fast);
        EXPECT_EQ(fast, plain_permute(c, m, in));
    }
}

TEST(PoseidonPermutation, PartialRoundsInBlocksOfEveryLength) {
    // The partial rounds run in blocks of PARTIAL_BLOCK with a shorter last
    // one: these counts give every length of that last block, alone and
    // after whole blocks.
    for (std::size_t partial = 1; partial <= 2 * PARTIAL_BLOCK + 1; ++partial) {
        const Spec s = Spec::create(FULL_ROUNDS, partial);
        const auto [c, m] = Grain::generate(FULL_ROUNDS, partial);
        for (int i = 0; i < 3; ++i) {
            const State in = random_state();
            State fast = in;
            s.permute_scalar(fast);
            EXPECT_EQ(fast, plain_permute(c, m, in, partial)) << partial << " partial rounds";
        }
    }
}

TEST(PoseidonPermutation, PermutationVectors) {
    const JsonValue& cases = vectors()["permutation"];
    ASSERT_GT(cases.size(), 0u);
    for (std::size_t k = 0; k < cases.size(); ++k) {
        State s;
        for (std::size_t i = 0; i < WIDTH; ++i) s[i] = fr_from_hex(cases[k]["state"][i].text);
        spec().permute(s);
        expect_row(s, cases[k]["result"], "permutation " + std::to_string(k));
    }
}

// An element biased towards the edges: zero, one, r − 1, r − 2, a power
// of two, or any value.
Fr edgy_element() {
    switch (rng()() % 6) {
        case 0: return Fr::zero();
        case 1: return Fr::one();
        case 2: return -Fr::one();
        case 3: return -Fr::one() - Fr::one();
        case 4: {
            field::Repr r{};
            const unsigned bit = rng()() % 254;
            r[bit / 64] = std::uint64_t{1} << (bit % 64);
            return Fr::from_raw(r);
        }
        default: return Fr::from_raw({rng()(), rng()(), rng()(), rng()()});
    }
}

// Five 52-bit limbs back into four 64-bit ones.
field::Limbs join52(const ifma::u64* l) {
    return {l[0] | (l[1] << 52), (l[1] >> 12) | (l[2] << 40), (l[2] >> 24) | (l[3] << 28), (l[3] >> 36) | (l[4] << 16)};
}

// x·2^260 mod r, the kernel's form, as 64-bit limbs: the 64-bit form of 16·x.
field::Limbs form52_limbs(const Fr& x) { return (x * Fr::from_u64(16)).mont(); }

field::Limbs lane_limbs(const ifma::u64 (&lanes)[ifma::LIMBS][ifma::LANES], int lane) {
    ifma::u64 l[ifma::LIMBS];
    for (int j = 0; j < ifma::LIMBS; ++j) l[j] = lanes[j][lane];
    return join52(l);
}

// The kernel's tables are built on any CPU; check them against Fr arithmetic.
TEST(IfmaTables, ConstantsInTheKernelsForm) {
    const auto t = make_ifma_tables(spec());
    ASSERT_NE(t, nullptr);
    for (int j = 0; j < ifma::LIMBS; ++j) {
        EXPECT_LT(t->modulus[j], std::uint64_t{1} << 52);
        EXPECT_LT(t->one[j], std::uint64_t{1} << 52);
    }
    EXPECT_EQ(join52(t->modulus), field::FrParams::MODULUS);
    EXPECT_EQ(((t->modulus[0] * t->inv) + 1) & ((std::uint64_t{1} << 52) - 1), 0u);  // r·inv ≡ −1 mod 2^52
    EXPECT_EQ(join52(t->one), form52_limbs(Fr::one()));

    const auto& k = spec().constants;
    const auto& m = spec().matrices;
    for (int i = 0; i < 8; ++i) EXPECT_EQ(lane_limbs(t->first_constants.lanes, i), form52_limbs(k.head_constants[0][i]));
    EXPECT_EQ(join52(t->first_constants.last), form52_limbs(k.head_constants[0][8]));
    const State folded = m.entry_matrix.mul_vector(k.head_constants[4]);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(lane_limbs(t->folded_constants[3].lanes, i), form52_limbs(folded[i]));
    EXPECT_EQ(join52(t->folded_constants[3].last), form52_limbs(folded[8]));
    for (int i = 0; i < 8; ++i) {
        for (int j = 0; j < 9; ++j) {
            EXPECT_EQ(lane_limbs(t->mds.columns[j], i), form52_limbs(m.mds_matrix.rows[i][j]));
            EXPECT_EQ(lane_limbs(t->mds_out.columns[j], i), m.mds_matrix.rows[i][j].mont());
        }
        EXPECT_EQ(lane_limbs(t->entry.last_row, i), form52_limbs(m.entry_matrix.rows[8][i]));
    }
    EXPECT_EQ(lane_limbs(t->entry.corner, 0), form52_limbs(m.entry_matrix.rows[8][8]));
    for (int i = 1; i < 8; ++i) EXPECT_EQ(lane_limbs(t->entry.corner, i), field::Limbs{}) << i;

    for (const int r : {0, 1, 31, 62}) {
        const auto& p = t->partial[r];
        const auto& s = m.sparse_rounds[r];
        const Fr c = k.partial_constants[r];
        Fr correction = Fr::zero();
        for (std::size_t i = 0; r > 0 && i < RATE; ++i) correction += s.first_row[i + 1] * m.sparse_rounds[r - 1].first_column[i];
        ifma::u64 lane0[ifma::LIMBS], lane1[ifma::LIMBS];
        const auto pair = [&](const ifma::u64 (&v)[ifma::LIMBS][2]) {
            for (int j = 0; j < ifma::LIMBS; ++j) {
                lane0[j] = v[j][0];
                lane1[j] = v[j][1];
            }
        };
        pair(p.offsets);
        EXPECT_EQ(join52(lane0), form52_limbs(s.first_row[0] * c)) << r;
        EXPECT_EQ(join52(lane1), form52_limbs(c)) << r;
        pair(p.correction);
        EXPECT_EQ(join52(lane0), form52_limbs(correction)) << r;
        EXPECT_EQ(join52(lane1), field::Limbs{}) << r;
        for (int i = 0; i < 8; ++i) {
            EXPECT_EQ(lane_limbs(p.first_row_rest, i), form52_limbs(s.first_row[i + 1])) << r;
            EXPECT_EQ(lane_limbs(p.first_column, i), form52_limbs(s.first_column[i])) << r;
        }
    }
    // Only the system's round counts have a kernel.
    Spec other = spec();
    other.full_rounds = 6;
    EXPECT_EQ(make_ifma_tables(other), nullptr);
}

TEST(PoseidonPermutation, EveryPathGivesTheSameResult) {
    // permute() takes whichever path this process dispatches to.
    for (int n = 0; n < 50; ++n) {
        State a = random_state(), b = a;
        spec().permute(a);
        spec().permute_scalar(b);
        EXPECT_EQ(a, b);
    }
}

// The IFMA kernel against the 64-bit path, on CPUs that have it.
class IfmaPermutation : public ::testing::Test {
protected:
    void SetUp() override {
        if (!cpu::features().avx512_ifma) GTEST_SKIP() << "this CPU has no AVX-512 IFMA";
        ASSERT_NE(spec().ifma_tables, nullptr);
    }

    static void expect_agreement(const State& in, const std::string& what) {
        State vector = in, scalar = in;
        ASSERT_TRUE(spec().permute_ifma(vector));
        spec().permute_scalar(scalar);
        for (std::size_t i = 0; i < WIDTH; ++i) EXPECT_EQ(vector[i].to_hex(), scalar[i].to_hex()) << what << " [" << i << "]";
    }
};

TEST_F(IfmaPermutation, KnownAnswers) {
    const JsonValue& cases = vectors()["permutation"];
    for (std::size_t k = 0; k < cases.size(); ++k) {
        State s;
        for (std::size_t i = 0; i < WIDTH; ++i) s[i] = fr_from_hex(cases[k]["state"][i].text);
        ASSERT_TRUE(spec().permute_ifma(s));
        expect_row(s, cases[k]["result"], "permutation " + std::to_string(k));
    }
}

TEST_F(IfmaPermutation, EdgeStates) {
    const Fr top = -Fr::one();  // r − 1, every limb of the 52-bit form in use
    std::vector<std::pair<State, std::string>> states;
    State s{};
    states.emplace_back(s, "all zero");
    s.fill(top);
    states.emplace_back(s, "all r - 1");
    s.fill(Fr::one());
    states.emplace_back(s, "all one");
    for (std::size_t i = 0; i < WIDTH; ++i) s[i] = i % 2 == 0 ? top : Fr::zero();
    states.emplace_back(s, "r - 1 and zero alternating");
    for (std::size_t i = 0; i < WIDTH; ++i) {
        // Element 8 and element 0 take separate paths through the kernel.
        State one_hot{};
        one_hot[i] = top;
        states.emplace_back(one_hot, "r - 1 at " + std::to_string(i));
    }
    for (const auto& [state, what] : states) expect_agreement(state, what);
}

TEST_F(IfmaPermutation, AgreesWithScalarOnRandomStates) {
    for (int n = 0; n < 1000; ++n) expect_agreement(random_state(), "random state " + std::to_string(n));
    for (int n = 0; n < 500; ++n) {
        State s;
        for (auto& x : s) x = edgy_element();
        expect_agreement(s, "edge-biased state " + std::to_string(n));
    }
}

TEST_F(IfmaPermutation, ChainedPermutationsStayIdentical) {
    // Each output feeds the next input, as the sponge does with its state.
    State vector = random_state(), scalar = vector;
    for (int n = 0; n < 200; ++n) {
        ASSERT_TRUE(spec().permute_ifma(vector));
        spec().permute_scalar(scalar);
        ASSERT_EQ(vector, scalar) << "after " << n + 1 << " permutations";
    }
}

std::vector<std::uint64_t> words_of(const JsonValue& list) {
    std::vector<std::uint64_t> w;
    for (const auto& item : list.items) w.push_back(std::stoull(item.text));
    return w;
}

Digest hash_words(const std::vector<std::uint64_t>& words) {
    PoseidonHasher h;
    for (const auto w : words) h.update(w);
    return h.finalize();
}

TEST(PoseidonHasher, WordDigestVectors) {
    const JsonValue& cases = vectors()["word_digests"];
    ASSERT_GT(cases.size(), 0u);
    for (std::size_t k = 0; k < cases.size(); ++k) {
        const auto words = words_of(cases[k]["words"]);
        const auto expected = words_of(cases[k]["digest"]);
        const Digest d = hash_words(words);
        EXPECT_EQ(std::vector<std::uint64_t>(d.begin(), d.end()), expected) << words.size() << " words";
    }
}

// The sponge in field-element terms: elements of four words (zero-completed),
// the element 1, zero elements up to a whole number of blocks.
Digest model_digest(const std::vector<std::uint64_t>& words) {
    std::vector<Fr> elements;
    for (std::size_t i = 0; i < words.size(); i += 4) {
        field::Repr group{};
        for (std::size_t j = 0; j < 4 && i + j < words.size(); ++j) group[j] = words[i + j];
        elements.push_back(Fr::from_raw(group));
    }
    elements.push_back(Fr::one());
    while (elements.size() % RATE != 0) elements.push_back(Fr::zero());
    Poseidon sponge = get_poseidon_hasher();
    Fr out;
    for (std::size_t b = 0; b < elements.size(); b += RATE) {
        std::array<Fr, RATE> block;
        std::copy(elements.begin() + b, elements.begin() + b + RATE, block.begin());
        out = sponge.update_exact(block);
    }
    return out.into_repr();
}

TEST(PoseidonHasher, PaddingAgreesWithElementModel) {
    std::vector<std::size_t> lengths = {0, 1, 3, 4, 5, 28, 29, 30, 31, 32, 33, 36, 60, 63, 64, 65, 100};
    for (const std::size_t n : lengths) {
        std::vector<std::uint64_t> words(n);
        for (auto& w : words) w = rng()() >> (rng()() % 64);
        EXPECT_EQ(hash_words(words), model_digest(words)) << n << " words";
    }
    // 31 words are completed with a zero word to a full block, exactly like
    // the 32-word message ending in zero; both then get the block (1, 0, …, 0).
    std::vector<std::uint64_t> w31(31, 7), w32(31, 7);
    w32.push_back(0);
    EXPECT_EQ(hash_words(w31), hash_words(w32));
}

TEST(PoseidonHasher, GroupsAreReducedNotRejected) {
    // Four words of 2^64 − 1 are (2^256 − 1) mod r.
    const std::vector<std::uint64_t> ones(4, ~0ULL);
    const auto reduced = Fr::from_raw({~0ULL, ~0ULL, ~0ULL, ~0ULL}).into_repr();
    EXPECT_EQ(hash_words(ones), hash_words({reduced[0], reduced[1], reduced[2], reduced[3]}));
    // r itself hashes like zero.
    const auto r = field::FrParams::MODULUS;
    EXPECT_EQ(hash_words({r[0], r[1], r[2], r[3]}), hash_words({0, 0, 0, 0}));
}

TEST(PoseidonContext, RefusesIncompleteBlocksAndMissingSponge) {
    PoseidonContext no_sponge;
    for (int i = 0; i < 32; ++i) no_sponge.push_word(0);
    EXPECT_THROW(no_sponge.poseidon_finalize(), Abort);

    PoseidonContext short_block;
    short_block.poseidon_new(1);
    for (int i = 0; i < 28; ++i) short_block.push_word(0);
    EXPECT_THROW(short_block.poseidon_finalize(), Abort);
    for (int i = 0; i < 8; ++i) short_block.push_word(0);  // nine elements
    EXPECT_THROW(short_block.poseidon_finalize(), Abort);
}

}  // namespace
}  // namespace lumora::poseidon
