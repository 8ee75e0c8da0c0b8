// The constant-time check: every secret path of the module's functions run
// with its secret input marked undefined for valgrind's memcheck, which then
// reports each branch, memory index or system-call argument that depends on
// it. Run by scripts/ctime.sh under valgrind.
//
//   ctime_driver                    checks every copy of the core this build
//                                   has (common/kernel_paths.h)
//   ctime_driver --planted KIND     a secret-dependent branch or table index
//                                   (KIND "branch" or "index") that valgrind
//                                   must report: the check's self-test
//
// Each copy is called through its own operation table, not through the
// dispatch: valgrind's CPU reports neither BMI2 nor ADX, so the dispatch
// would pick the baseline copy, though valgrind runs MULX, ADCX and ADOX. The
// driver confirms that each table, and the code it calls directly, belong to
// the copy it asked for. The cases are those of the known-answer file, so the
// check also confirms that the instrumented build gives the expected results
// and failure messages. Results are marked defined once they are public;
// values that become public inside the library are marked there, with
// LUMORA_DECLASSIFY (common/ct.h).
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "../vector_file.h"
#include "common/ct.h"
#include "common/error.h"
#include "ctime_copies.h"
#include "hashes/sha256.h"
#include "sdk/operation_table.h"

namespace {

using lumora::Abort;
using lumora::Result;
using lumora::cpu::FieldCopy;
using lumora::sdk::OperationTable;
namespace check = lumora::ctime_check;

#ifndef LUMORA_CTIME
#error "the constant-time driver needs a LUMORA_CTIME build"
#endif

struct Copy {
    FieldCopy copy;
    FieldCopy (*compiled_copy)();
    int (*sign_with_given_nonces)();
};

// The copies this build has.
std::vector<Copy> built_copies() {
    std::vector<Copy> copies;
#define LUMORA_CTIME_COPY(name, architecture, instructions)                       \
    if constexpr (lumora::cpu::built(FieldCopy::name)) {                          \
        copies.push_back({FieldCopy::name, &check::kernel_##name::compiled_copy,   \
                          &check::kernel_##name::sign_with_given_nonces});         \
    }
    LUMORA_FIELD_COPIES(LUMORA_CTIME_COPY)
#undef LUMORA_CTIME_COPY
    return copies;
}

struct Outcome {
    bool ok = false;
    std::string text;  // the result, or the failure's report
};

template <class T>
Outcome outcome_of(const Result<T>& r) {
    if (!r.ok()) return {false, r.error().report()};
    if constexpr (std::is_same_v<T, bool>) {
        return {true, r.value() ? "true" : "false"};
    } else {
        return {true, r.value()};
    }
}

using Args = std::vector<std::string>;

template <class R, class... P, std::size_t... I>
Outcome call_with(R (*operation)(P...), const Args& a, std::index_sequence<I...>) {
    return outcome_of(operation(a.at(I)...));
}

template <class R, class... P>
Outcome call(R (*operation)(P...), const Args& a) {
    return call_with(operation, a, std::index_sequence_for<P...>{});
}

// Each secret-taking function, called through a copy's table, with the index
// of its secret argument.
struct Function {
    Outcome (*call)(const OperationTable&, const Args&);
    std::size_t secret;
};

// The parameter of a secret-taking operation that holds the secret: its
// private key or its seed.
consteval std::size_t secret_parameter(lumora::sdk::api::ParameterNames parameters) {
    for (std::size_t i = 0; i < parameters.count; ++i) {
        const std::string_view name = parameters.names[i];
        if (name == "pri_key" || name == "private_key" || name == "seed") return i;
    }
    throw "a SECRET row's secret parameter is named pri_key, private_key or seed";
}

// Every SECRET row of the operation list.
#define LUMORA_CTIME_ROW(result, name, params, inputs, ...) LUMORA_CTIME_IF_##inputs(name, params)
#define LUMORA_CTIME_IF_SECRET(name, params)                                                              \
    {#name,                                                                                             \
     {[](const OperationTable& t, const Args& a) { return call(t.name, a); },                           \
      secret_parameter(lumora::sdk::api::parameter_names(#params))}},
#define LUMORA_CTIME_IF_PUBLIC(name, params)
const std::map<std::string, Function> FUNCTIONS = {LUMORA_SDK_OPERATIONS(LUMORA_CTIME_ROW)};
#undef LUMORA_CTIME_IF_PUBLIC
#undef LUMORA_CTIME_IF_SECRET
#undef LUMORA_CTIME_ROW

// Runs one case with its secret argument undefined. The outcome's kind is
// what the API reveals, and its text is public once returned.
Outcome run_secret(const OperationTable& table, const Function& f, Args args) {
    std::string& secret = args[f.secret];
    LUMORA_CLASSIFY(secret.data(), secret.size());
    Outcome out;
    try {
        out = f.call(table, args);
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

// Every known answer of the secret-taking functions through one copy's
// table; returns the number of failures.
int run_known_answers(const OperationTable& table, const lumora::testing::JsonValue& all, int& passed) {
    int failed = 0;
    for (const auto& [name, f] : FUNCTIONS) {
        const auto& cases = all[name]["cases"];
        for (std::size_t i = 0; i < cases.size(); ++i) {
            const auto& c = cases[i];
            Args args;
            for (const auto& a : c["args"].items) args.push_back(a.text);
            const Outcome out = run_secret(table, f, args);
            const bool expect_ok = c.members.count("result") != 0;
            bool good = out.ok == expect_ok;
            if (good && expect_ok) good = out.text == c["result"].text;
            if (good && !expect_ok) good = message_matches(out.text, c["message"].text, c["match"].text == "prefix");
            if (good) {
                ++passed;
            } else {
                ++failed;
                std::printf("FAILED %s case %zu (%s): %s\n", name.c_str(), i, c["tag"].text.c_str(), out.text.c_str());
            }
        }
    }
    return failed;
}

// The self-test's planted faults: a private key's text marked secret, then a
// branch on one of its bits, or a table read at one of its bytes. Kept out
// of line with distinct bodies, so the branch stays a branch.
[[gnu::noinline]] void planted_odd() { std::puts("planted: odd"); }
[[gnu::noinline]] void planted_even() { std::fputs("planted: even\n", stdout); }

[[gnu::noinline]] void planted_secret_branch(const char* secret) {
    if (secret[0] & 1) planted_odd();
    else planted_even();
}

[[gnu::noinline]] int planted_secret_index(const char* secret) {
    static const volatile unsigned char TABLE[256] = {1, 2, 3};
    return TABLE[static_cast<unsigned char>(secret[0])];
}

int run_planted(std::string_view kind) {
    char secret[] = "0x0123456789abcdef";
    LUMORA_CLASSIFY(secret, sizeof secret);
    if (kind == "branch") {
        planted_secret_branch(secret + 5);
    } else if (kind == "index") {
        int value = planted_secret_index(secret + 5);
        LUMORA_DECLASSIFY(&value, sizeof value);
        std::printf("planted: %d\n", value);
    } else {
        std::printf("unknown planted fault %.*s\n", static_cast<int>(kind.size()), kind.data());
        return 2;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--planted") == 0) return run_planted(argv[2]);
    if (argc != 1) {
        std::printf("usage: ctime_driver | ctime_driver --planted branch|index\n");
        return 2;
    }

    // SHA-256 runs in the form valgrind's CPU is given (the instruction
    // forms are checked by scripts/ctime-codegen.sh).
    std::printf("SHA-256 form under this CPU: %s\n", lumora::hashes::sha256_form().name);

    const auto file = lumora::testing::load_vector_file("functions.json");
    const auto& all = file["functions"];
    int failed = 0, passed = 0;
    const std::vector<Copy> copies = built_copies();
    for (const Copy& c : copies) {
        const std::string name(lumora::cpu::copy_name(c.copy));
        const OperationTable* table = lumora::sdk::operation_table(c.copy);
        if (table == nullptr || table->copy != c.copy || c.compiled_copy() != c.copy) {
            std::printf("FAILED: the table or the code for \"%s\" is not that copy's\n", name.c_str());
            return 1;
        }
        int copy_passed = 0;
        int copy_failed = run_known_answers(*table, all, copy_passed);
        const int unverified = c.sign_with_given_nonces();
        if (unverified != 0) std::printf("FAILED %d signatures with given nonces\n", unverified);
        copy_failed += unverified;
        copy_passed += 4 - unverified;
        std::printf("copy %s: %d passed, %d failed\n", name.c_str(), copy_passed, copy_failed);
        passed += copy_passed;
        failed += copy_failed;
    }
    std::printf("%zu copies checked\n%d passed, %d failed\n", copies.size(), passed, failed);
    return failed == 0 && !copies.empty() ? 0 : 1;
}
