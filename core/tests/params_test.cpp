#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "curve/alt_jubjub.h"

namespace lumora::curve {
namespace {

using field::Fr;

std::string read_file(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The "0x…" strings of the JSON array under `key`, in order.
std::vector<std::string> hex_strings_under(const std::string& json, const std::string& key) {
    std::vector<std::string> out;
    std::size_t pos = json.find("\"" + key + "\"");
    if (pos == std::string::npos) return out;
    pos = json.find('[', pos);
    int depth = 0;
    for (; pos < json.size(); ++pos) {
        if (json[pos] == '[') ++depth;
        if (json[pos] == ']' && --depth == 0) break;
        if (json[pos] == '"') {
            const std::size_t end = json.find('"', pos + 1);
            out.push_back(json.substr(pos + 1, end - pos - 1));
            pos = end;
        }
    }
    return out;
}

template <std::size_t N>
void expect_generators(const std::array<PrimeOrderPoint, N>& generators, const std::vector<std::string>& xy,
                       const char* what) {
    ASSERT_EQ(xy.size(), 2 * N) << what;
    for (std::size_t i = 0; i < N; ++i) {
        const auto [x, y] = generators[i].to_xy_var();
        EXPECT_EQ(x.to_hex(), xy[2 * i]) << what << " " << i;
        EXPECT_EQ(y.to_hex(), xy[2 * i + 1]) << what << " " << i;
    }
}

TEST(AltJubjubBn256, GeneratorsMatchKnownAnswers) {
    const std::string json = read_file(std::string(LUMORA_VECTORS_DIR) + "/generators.json");
    ASSERT_FALSE(json.empty());
    const auto& params = jubjub_params();
    expect_generators(params.fixed_generators(), hex_strings_under(json, "fixed_generators"), "fixed");
    expect_generators(params.indexed_generators(), hex_strings_under(json, "indexed_generators"), "indexed");
}

TEST(AltJubjubBn256, GeneratorsAreDistinctPointsOfOrderL) {
    const auto& params = jubjub_params();
    std::vector<PrimeOrderPoint> all(params.fixed_generators().begin(), params.fixed_generators().end());
    all.insert(all.end(), params.indexed_generators().begin(), params.indexed_generators().end());
    for (std::size_t i = 0; i < all.size(); ++i) {
        EXPECT_NE(all[i], PrimeOrderPoint::zero());
        EXPECT_EQ(all[i].mul_var(field::fs_char(), params), PrimeOrderPoint::zero()) << i;
        for (std::size_t j = i + 1; j < all.size(); ++j)
            // Fixed generator 1 shares its personalisation with the indexed ones.
            EXPECT_NE(all[i], all[j]) << i << " " << j;
    }
}

TEST(AltJubjubBn256, BuildsAreIdenticalAndSharedOnce) {
    // Concurrent first users wait for one build and all see it.
    std::vector<const AltJubjubBn256*> seen(4);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < seen.size(); ++i) threads.emplace_back([&seen, i] { seen[i] = &jubjub_params(); });
    for (auto& t : threads) t.join();
    for (const auto* p : seen) EXPECT_EQ(p, seen[0]);

    const AltJubjubBn256 fresh = AltJubjubBn256::build();
    const auto& shared = jubjub_params();
    for (std::size_t i = 0; i < FIXED_GENERATOR_COUNT; ++i) {
        EXPECT_EQ(fresh.generator(i).x(), shared.generator(i).x());
        EXPECT_EQ(fresh.generator(i).y(), shared.generator(i).y());
        EXPECT_EQ(fresh.generator(i).z(), shared.generator(i).z());
    }
    EXPECT_EQ(fresh.edwards_d(), *field::fr_from_str(EDWARDS_D_DECIMAL));
    EXPECT_EQ(fresh.montgomery_2a(), Fr::from_u64(337396));

    try {
        (void)shared.generator(FIXED_GENERATOR_COUNT);
        ADD_FAILURE() << "no abort";
    } catch (const Abort& a) {
        EXPECT_EQ(a.message(), "fixed generator index out of range");
    }
}

}  // namespace
}  // namespace lumora::curve
