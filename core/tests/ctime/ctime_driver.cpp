// The constant-time check: every secret path of the module's functions run
// with its secret input marked undefined for valgrind's memcheck, which then
// reports each branch, memory index or system-call argument that depends on
// it. Run by scripts/ctime.sh under `valgrind --error-exitcode=1`.
//
// The cases are those of the known-answer file, so the check also confirms
// that the instrumented build gives the expected results and failure
// messages. Results are marked defined once they are public;
// values that become public inside the library are marked there, with
// LUMORA_DECLASSIFY (common/ct.h).
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "common/ct.h"
#include "common/error.h"
#include "curve/alt_jubjub.h"
#include "eddsa/eddsa.h"
#include "sdk/api.h"
#include "../vector_file.h"

namespace {

using lumora::Abort;
using lumora::Result;
namespace api = lumora::sdk::api;

#ifndef LUMORA_CTIME
#error "the constant-time driver needs a LUMORA_CTIME build"
#endif

struct Outcome {
    bool ok = false;
    std::string text;  // the result, or the failure's report
};

template <class T>
Outcome outcome_of(const Result<T>& r) {
    if (!r.ok()) return {false, r.error().report()};
    return {true, r.value()};
}

using Call = std::function<Outcome(const std::vector<std::string>&)>;

// Each secret-taking function, with the index of its secret argument.
struct Function {
    Call call;
    std::size_t secret;
};

template <class F>
Call two_args(F f) {
    return [f](const std::vector<std::string>& a) { return outcome_of(f(a[0], a[1])); };
}

const std::map<std::string, Function>& functions() {
    static const std::map<std::string, Function> table = {
        {"sign_transfer", {two_args(api::sign_transfer), 1}},
        {"sign_withdraw", {two_args(api::sign_withdraw), 1}},
        {"sign_limit_order", {two_args(api::sign_limit_order), 1}},
        {"sign_liquidate", {two_args(api::sign_liquidate), 1}},
        {"sign_signed_oracle_price", {two_args(api::sign_signed_oracle_price), 1}},
        {"sign", {two_args(api::sign), 0}},
        {"eth_sign", {two_args(api::eth_sign), 0}},
        {"private_key_to_public_key_xy",
         {[](const std::vector<std::string>& a) { return outcome_of(api::private_key_to_public_key_xy(a[0])); }, 0}},
        {"private_key_from_seed",
         {[](const std::vector<std::string>& a) { return outcome_of(api::private_key_from_seed(a[0])); }, 0}},
    };
    return table;
}

// Runs one case with its secret argument undefined. The outcome's kind is
// what the API reveals, and its text is public once returned.
Outcome run_secret(const Function& f, std::vector<std::string> args) {
    std::string& secret = args[f.secret];
    LUMORA_CLASSIFY(secret.data(), secret.size());
    Outcome out;
    try {
        out = f.call(args);
    } catch (const Abort& a) {
        out = {false, a.message()};
    }
    LUMORA_DECLASSIFY(&out.ok, sizeof out.ok);
    // A failure's text stays as the library left it: it may carry only what
    // the library made public itself (never a rejected key's value), and
    // comparing it with the known answer reads every byte.
    if (out.ok) LUMORA_DECLASSIFY(out.text.data(), out.text.size());
    LUMORA_DECLASSIFY(secret.data(), secret.size());
    return out;
}

// The module puts its context in front of an error's report; an abort's
// message is raised as it is. `prefix` cases fix only the start.
bool message_matches(const std::string& text, const std::string& expected, bool prefix) {
    const auto fits = [&](std::string_view want) { return prefix ? text.starts_with(want) : text == want; };
    const std::size_t colon = expected.find(": ");
    return fits(expected) || (colon != std::string::npos && fits(std::string_view(expected).substr(colon + 2)));
}

// The signature scheme itself with a given nonce: key and nonce undefined,
// the public key and the signature public once made. Returns the number of
// signatures that did not verify.
int sign_with_given_nonces() {
    using lumora::field::Fs;
    const auto& params = lumora::curve::jubjub_params();
    int failed = 0;
    for (std::uint64_t i = 1; i <= 4; ++i) {
        Fs sk = Fs::from_raw({i * 0x9e3779b97f4a7c15, i, ~i, i << 7});
        Fs r = Fs::from_raw({~i * 0x2545f4914f6cdd1d, i * 3, i, ~0ull >> 8});
        const std::array<std::uint8_t, 32> message{static_cast<std::uint8_t>(i)};
        LUMORA_CLASSIFY(&sk, sizeof sk);
        LUMORA_CLASSIFY(&r, sizeof r);
        const auto pk = lumora::eddsa::public_key(sk, lumora::curve::SIGNING_GENERATOR, params);
        const auto signature =
            lumora::eddsa::sign_raw_message(sk, message, r, lumora::curve::SIGNING_GENERATOR, params);
        if (!lumora::eddsa::verify_for_raw_message(pk, message, signature, lumora::curve::SIGNING_GENERATOR, params))
            ++failed;
    }
    return failed;
}

}  // namespace

int main() {
    const auto file = lumora::testing::load_vector_file("functions.json");
    const auto& all = file["functions"];
    int failed = 0, passed = 0;
    for (const auto& [name, f] : functions()) {
        const auto& cases = all[name]["cases"];
        for (std::size_t i = 0; i < cases.size(); ++i) {
            const auto& c = cases[i];
            std::vector<std::string> args;
            for (const auto& a : c["args"].items) args.push_back(a.text);
            const Outcome out = run_secret(f, args);
            const bool expect_ok = c.members.count("result") != 0;
            bool good = out.ok == expect_ok;
            if (good && expect_ok) good = out.text == c["result"].text;
            if (good && !expect_ok) good = message_matches(out.text, c["message"].text, c["match"].text == "prefix");
            if (good) {
                ++passed;
            } else {
                ++failed;
                std::printf("FAILED %s case %zu (%s): %s\n", name.c_str(), i, c["tag"].text.c_str(),
                            out.text.c_str());
            }
        }
    }
    const int unverified = sign_with_given_nonces();
    if (unverified != 0) std::printf("FAILED %d signatures with given nonces\n", unverified);
    failed += unverified;
    passed += 4 - unverified;
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
