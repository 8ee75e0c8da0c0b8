// Feeds arbitrary texts to every operation behind the module's functions
// (LUMORA_SDK_OPERATIONS), split into as many arguments as the operations
// take at most at 0xff bytes (a byte no UTF-8 text holds). Every outcome must
// be a result, an error value or an abort: nothing else may escape, and the
// sanitizers watch memory and UB.
//
// The first argument doubles as a transaction document. Each document kind
// (LUMORA_SDK_DOCUMENT_KINDS) is hashed, then signed with the second argument
// as the key and with a fixed valid key, so decoded records of every kind
// reach hashing and signing. Two properties tie the results together:
//  - a document signer fails exactly when, and as, its hasher fails (the key
//    being valid): same kind of failure, same message;
//  - a document signer's signature is the one `sign` makes over the
//    document's digest with the same key (nonces are deterministic).
//
// Abort diagnostics go to standard error; run with -close_fd_mask=2 to keep
// the output readable (sanitizer reports still show).
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>
#include <string_view>
#include <utility>

#include "sdk/api.h"

namespace {

namespace api = lumora::sdk::api;
using Args = std::array<std::string_view, api::MAX_PARAMETERS>;

// A key from the known answers: the signers' results are compared, so one
// valid key makes every decodable document reach signing.
constexpr std::string_view VALID_KEY = "0x038c22a7b9c1cb2609b50c83445c98a3b3cc55596be753f4e22ab96eb0905052";

struct Outcome {
    enum class Kind { Value, Error, Abort };
    Kind kind = Kind::Value;
    std::string text;  // the result text, the error report or the abort message
};

[[noreturn]] void fail(const char* what, std::string_view detail) {
    std::fprintf(stderr, "operations_fuzz: %s: %.*s\n", what, static_cast<int>(detail.size()), detail.data());
    std::abort();
}

std::string text_of(const std::string& value) { return value; }
std::string text_of(bool value) { return value ? "true" : "false"; }

// An operation called with the first of the arguments, as many as it takes.
template <class R, class... P, std::size_t... I>
R call_with(R (*operation)(P...), const Args& a, std::index_sequence<I...>) {
    return operation(a[I]...);
}

template <class R, class... P>
R call(R (*operation)(P...), const Args& a) {
    return call_with(operation, a, std::index_sequence_for<P...>{});
}

// Runs one operation; an error value or abort must carry a message.
template <class F>
Outcome run(F&& call) {
    try {
        auto result = call();
        if (result.ok()) return {Outcome::Kind::Value, text_of(result.value())};
        const std::string report = result.error().report();
        if (result.error().message.empty()) fail("error value without a message", report);
        return {Outcome::Kind::Error, report};
    } catch (const lumora::Abort& abort) {
        if (abort.message().empty()) fail("abort without a message", "");
        return {Outcome::Kind::Abort, abort.message()};
    }
}

// One document kind: hash the document, sign it with the fuzzed key and the
// valid key, and check both properties above.
template <class Hash, class Sign>
void check_document(std::string_view document, std::string_view fuzzed_key, Hash hash, Sign sign_document) {
    const Outcome digest = run([&] { return hash(document); });
    const Outcome signed_valid = run([&] { return sign_document(document, VALID_KEY); });
    if (digest.kind != signed_valid.kind || (digest.kind != Outcome::Kind::Value && digest.text != signed_valid.text))
        fail("signer and hasher disagree on the document", digest.text + " | " + signed_valid.text);
    if (digest.kind != Outcome::Kind::Value) {
        // The document is rejected before the key is read; still run the
        // fuzzed key through the signer for its own failure paths.
        (void)run([&] { return sign_document(document, fuzzed_key); });
        return;
    }
    const Outcome direct_valid = run([&] { return api::sign(VALID_KEY, digest.text); });
    if (direct_valid.kind != Outcome::Kind::Value || direct_valid.text != signed_valid.text)
        fail("document signature differs from the digest's signature", signed_valid.text + " | " + direct_valid.text);

    const Outcome signed_fuzzed = run([&] { return sign_document(document, fuzzed_key); });
    if (signed_fuzzed.kind != Outcome::Kind::Value) return;
    const Outcome direct_fuzzed = run([&] { return api::sign(fuzzed_key, digest.text); });
    if (direct_fuzzed.kind != Outcome::Kind::Value || direct_fuzzed.text != signed_fuzzed.text)
        fail("document signature differs from the digest's signature", signed_fuzzed.text + " | " + direct_fuzzed.text);
}

// The operations check_document calls, which the loop over every operation
// leaves to it.
constexpr std::string_view DOCUMENT_OPERATIONS[] = {
#define LUMORA_FUZZ_DOCUMENT_NAMES(stem, ...) "hash_" #stem, "sign_" #stem,
    LUMORA_SDK_DOCUMENT_KINDS(LUMORA_FUZZ_DOCUMENT_NAMES)
#undef LUMORA_FUZZ_DOCUMENT_NAMES
};

constexpr bool is_document_operation(std::string_view name) {
    return std::find(std::begin(DOCUMENT_OPERATIONS), std::end(DOCUMENT_OPERATIONS), name) !=
           std::end(DOCUMENT_OPERATIONS);
}

Args split_arguments(std::string_view input) {
    Args a{};
    std::size_t start = 0;
    for (auto& arg : a) {
        if (start > input.size()) break;
        const std::size_t end = std::min(input.find('\xff', start), input.size());
        arg = input.substr(start, end - start);
        start = end + 1;
    }
    return a;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Args a = split_arguments(std::string_view(reinterpret_cast<const char*>(data), size));

#define LUMORA_FUZZ_OPERATION(result, name, ...) \
    if constexpr (!is_document_operation(#name)) (void)run([&] { return call(&api::name, a); });
    LUMORA_SDK_OPERATIONS(LUMORA_FUZZ_OPERATION)
#undef LUMORA_FUZZ_OPERATION

#define LUMORA_FUZZ_DOCUMENT(stem, ...) check_document(a[0], a[1], api::hash_##stem, api::sign_##stem);
    LUMORA_SDK_DOCUMENT_KINDS(LUMORA_FUZZ_DOCUMENT)
#undef LUMORA_FUZZ_DOCUMENT
    return 0;
}
