#include <gtest/gtest.h>

#include "seeded_rng.h"

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "integers/u256.h"
#include "poseidon/grain.h"
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
State plain_permute(const std::vector<State>& c, const MdsMatrix& m, State s) {
    const auto pow5 = [](const Fr& x) { return x * x * x * x * x; };
    for (std::size_t round = 0; round < FULL_ROUNDS + PARTIAL_ROUNDS; ++round) {
        for (std::size_t i = 0; i < WIDTH; ++i) s[i] += c[round][i];
        const bool full = round < FULL_ROUNDS / 2 || round >= FULL_ROUNDS / 2 + PARTIAL_ROUNDS;
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

TEST(Grain, RoundConstantsAndCauchyMatrixCheckpoints) {
    const auto [c, m] = Grain::generate(FULL_ROUNDS, PARTIAL_ROUNDS);
    ASSERT_EQ(c.size(), FULL_ROUNDS + PARTIAL_ROUNDS);
    for (const int row : {0, 1, 4, 66, 70})
        expect_row(c[row], vectors()["round_constants"]["row_" + std::to_string(row)], "C row " + std::to_string(row));
    expect_row(m.rows[0], vectors()["mds"]["row_0"], "M row 0");
    expect_row(m.rows[8], vectors()["mds"]["row_8"], "M row 8");
    // Cauchy rows are distinct inverses of sums; M·M⁻¹ must be the identity.
    EXPECT_EQ(m.mul(m.invert()), MdsMatrix::identity());
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
