// The operations from many threads at once: the two once-built tables (the
// Poseidon parameters and the curve parameter set) raced on first use, with
// and without prepare() among the racers, then
// concurrent signing, verification and hashing, each compared with what one
// thread computes alone. Under ThreadSanitizer (scripts/tsan.sh) this is also
// the race detector's workload.
//
// The first-use tests meet the tables unbuilt as long as each runs in a
// process of its own (ctest and scripts/tsan.sh run them so).
#include <gtest/gtest.h>

#include <functional>
#include <latch>
#include <string>
#include <thread>
#include <vector>

#include "common/error.h"
#include "sdk/api.h"

namespace lumora::sdk::api {
namespace {

constexpr std::size_t THREADS = 4;

// "ok <result>", "error <report>" or "abort <message>": what a caller can tell apart.
template <class T>
std::string outcome_text(const Result<T>& r) {
    if (!r.ok()) return "error " + r.error().report();
    if constexpr (std::is_same_v<T, bool>) return r.value() ? "ok true" : "ok false";
    else return "ok " + r.value();
}

template <class F>
std::string outcome(F&& call) {
    try {
        return outcome_text(call());
    } catch (const Abort& a) {
        return "abort " + a.message();
    }
}

using Call = std::function<std::string()>;

const std::string WITHDRAW =
    R"({"position_id":"1","amount":"2","eth_address":"0x3","asset_id":"0x4","nonce":"5","public_key":"0x6",)"
    R"("expiration_timestamp":"7"})";
const std::string ORDER =
    R"({"amount_synthetic":"1","amount_collateral":"2","amount_fee":"3","asset_id_synthetic":"0x4",)"
    R"("asset_id_collateral":"0x5","position_id":"6","is_buying_synthetic":true,"nonce":"7","public_key":"0x8",)"
    R"("expiration_timestamp":"9"})";
const std::string TRANSFER =
    R"({"sender_position_id":"1","receiver_public_key":"0x2","receiver_position_id":"3","amount":"4",)"
    R"("asset_id":"0x5","nonce":"6","public_key":"0x7","expiration_timestamp":"8"})";
const std::string LIQUIDATE = R"({"liquidator_order":)" + ORDER +
                              R"(,"liquidated_position_id":"1","actual_collateral":"2","actual_synthetic":"3",)"
                              R"("actual_liquidator_fee":"4"})";
const std::string ORACLE = R"({"signer_key":"0x1","external_price":"2","timestamp":"3","signed_asset_id":"0x4"})";

// A private-key text made from a seed (its own operation, so this runs without tables).
std::string key_from_seed(int i) {
    return private_key_from_seed("a seed of at least thirty-two bytes, number " + std::to_string(i)).value();
}

// Calls that build the Poseidon tables first, and calls that build the curve
// parameter set first (keys, signatures), with failures among them.
std::vector<Call> hashing_calls() {
    return {
        [] { return outcome([] { return hash_withdraw(WITHDRAW); }); },
        [] { return outcome([] { return hash_limit_order(ORDER); }); },
        [] { return outcome([] { return hash_transfer(TRANSFER); }); },
        [] { return outcome([] { return hash_liquidate(LIQUIDATE); }); },
        [] { return outcome([] { return hash_signed_oracle_price(ORACLE); }); },
        [] { return outcome([] { return hash_transfer("{"); }); },
        [] { return outcome([] { return hash_withdraw("[]"); }); },
    };
}

std::vector<Call> curve_calls() {
    const std::string k1 = key_from_seed(1), k2 = key_from_seed(2);
    return {
        [=] { return outcome([&] { return private_key_to_public_key_xy(k1); }); },
        [=] { return outcome([&] { return sign(k2, "0x1234"); }); },
        [=] { return outcome([&] { return eth_sign(k1, "0xabcdef"); }); },
        [=] { return outcome([&] { return sign_transfer(TRANSFER, k1); }); },
        [=] { return outcome([&] { return sign_signed_oracle_price(ORACLE, k2); }); },
        [=] { return outcome([&] { return public_key_to_xy("0x6"); }); },
        [=] { return outcome([&] { return sign("0x12", "0x1"); }); },
    };
}

// Runs `calls` on THREADS threads released together, each thread starting at
// a different call and going round `rounds` times; returns every thread's
// outcomes in call order, per round.
std::vector<std::vector<std::string>> run_concurrently(const std::vector<Call>& calls, std::size_t rounds) {
    std::vector<std::vector<std::string>> seen(THREADS, std::vector<std::string>(calls.size() * rounds));
    std::latch start(THREADS);
    std::vector<std::thread> pool;
    for (std::size_t t = 0; t < THREADS; ++t) {
        pool.emplace_back([&, t] {
            start.arrive_and_wait();
            for (std::size_t round = 0; round < rounds; ++round)
                for (std::size_t k = 0; k < calls.size(); ++k) {
                    const std::size_t i = (k + t * calls.size() / THREADS) % calls.size();
                    seen[t][round * calls.size() + i] = calls[i]();
                }
        });
    }
    for (auto& thread : pool) thread.join();
    return seen;
}

void expect_all_match(const std::vector<Call>& calls, const std::vector<std::vector<std::string>>& seen,
                      const std::vector<std::string>& expected) {
    for (std::size_t t = 0; t < seen.size(); ++t)
        for (std::size_t j = 0; j < seen[t].size(); ++j)
            EXPECT_EQ(seen[t][j], expected[j % calls.size()]) << "thread " << t << ", call " << j % calls.size();
}

TEST(ThreadsFirstUse, RacingThreadsBuildTheTablesOnceAndRight) {
    // Half the threads meet the Poseidon tables first, half the curve set.
    std::vector<Call> calls = hashing_calls();
    for (auto& c : curve_calls()) calls.push_back(std::move(c));
    const auto seen = run_concurrently(calls, 1);

    std::vector<std::string> expected;
    for (const auto& c : calls) expected.push_back(c());
    EXPECT_EQ(expected[0].substr(0, 5), "ok 0x");
    EXPECT_EQ(expected[7].substr(0, 8), "ok {\"x\":");
    expect_all_match(calls, seen, expected);
}

TEST(ThreadsFirstUse, RacingPrepareAndCallsBuildTheTablesOnceAndRight) {
    // What the module does on import (prepare), racing calls that would
    // otherwise build the tables themselves.
    std::vector<Call> calls = curve_calls();
    for (auto& c : hashing_calls()) calls.push_back(std::move(c));
    calls.insert(calls.begin(), [] {
        prepare();
        return std::string("prepared");
    });
    const auto seen = run_concurrently(calls, 1);

    std::vector<std::string> expected;
    for (const auto& c : calls) expected.push_back(c());
    EXPECT_EQ(expected[1].substr(0, 8), "ok {\"x\":");
    expect_all_match(calls, seen, expected);
}

TEST(Threads, ConcurrentSigningVerifyingAndHashingMatchOneThread) {
    std::vector<Call> calls = hashing_calls();
    for (auto& c : curve_calls()) calls.push_back(std::move(c));
    // Signatures made alone, verified by every thread, and one that must fail.
    for (int i = 3; i < 5; ++i) {
        const std::string key = key_from_seed(i);
        const std::string digest = hash_limit_order(ORDER).value();
        const std::string signature = sign_limit_order(ORDER, key).value();  // {"r":"0x…","s":"0x…"}
        const std::string r = signature.substr(6, 66), s = signature.substr(79, 66);
        const std::string pair = private_key_to_public_key_xy(key).value();  // {"x":"0x…","y":"0x…"}
        const std::string pk = pair.substr(6, 66), pk_y = pair.substr(79, 66);
        calls.push_back([=] { return outcome([&] { return verify_signature(r, s, pk, pk_y, digest); }); });
        calls.push_back([=] { return outcome([&] { return verify_signature(r, s, pk, pk_y, "0x1"); }); });
    }
    std::vector<std::string> expected;
    for (const auto& c : calls) expected.push_back(c());
    EXPECT_EQ(expected[expected.size() - 2], "ok true");
    EXPECT_EQ(expected.back(), "ok false");

    expect_all_match(calls, run_concurrently(calls, 2), expected);
}

}  // namespace
}  // namespace lumora::sdk::api
