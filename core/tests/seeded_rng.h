// The random source of the property tests: one generator per test run,
// seeded from the system unless LUMORA_TEST_SEED gives the seed, which is
// printed either way so that a failing run can be replayed.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <random>

namespace lumora::testing {

inline std::mt19937_64& rng() {
    static std::mt19937_64 generator([] {
        const char* given = std::getenv("LUMORA_TEST_SEED");
        const unsigned long long seed = given ? std::strtoull(given, nullptr, 10) : std::random_device{}();
        std::printf("random seed %llu (replay with LUMORA_TEST_SEED=%llu)\n", seed, seed);
        return seed;
    }());
    return generator;
}

}  // namespace lumora::testing
