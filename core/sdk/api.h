// The operations behind the module's functions, one each, in the form the
// binding needs: UTF-8 text in, result text (digest, key text or compact
// JSON) or a truth value out. Each returns an error value for what its input
// can cause, or aborts (see common/error.h).
//
// This is the one header the binding includes.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "common/error.h"
#include "common/secret.h"  // a result text may be a private key: its holder wipes it
#include "common/text.h"    // echo_excerpt, for the binding's own messages
#include "sdk/document_kinds.h"

namespace lumora::sdk::api {

using Text = std::string_view;

}  // namespace lumora::sdk::api

// The operations, one row each, in the order the module lists its functions:
//  - the result: the texts the module returns (digest or key texts, compact
//    JSON documents) or a truth value;
//  - the name, that of the module function it serves;
//  - the parameter names, as the module shows them: its text signature is
//    the name and this list, and a call's arguments bind to these names;
//  - whether an argument is a secret, a private key or a seed (SECRET), or
//    none is (PUBLIC): the forwarding function of a SECRET row (api.cpp)
//    wipes the stack the operation ran on once it is done (StackWipe,
//    common/secret.h);
//  - how the module raises every failure of the operation, error value or
//    abort: as an error the caller handles (ERROR, the module's ValueError)
//    or as a panic (PANIC, PanicException);
//  - the context the module puts in front of a returned error's report.
// The list is written here once; the declarations below, each copy's own
// (sdk/operations.h), the dispatch table and its forwarding functions
// (sdk/operation_table.h, api.cpp) and the module's functions are made from
// it. Each document kind gives two rows, its signer and its hasher.
#define LUMORA_SDK_OPERATIONS(X)                                                                             \
    X(Result<bool>, verify_signature, (sig_r, sig_s, pub_key_x, pub_key_y, msg), PUBLIC, ERROR,              \
      "Couldn't get verify_signature result")                                                                \
    LUMORA_SDK_DOCUMENT_KINDS(LUMORA_SDK_SIGN_DOCUMENT_ROW, X)                                               \
    LUMORA_SDK_DOCUMENT_KINDS(LUMORA_SDK_HASH_DOCUMENT_ROW, X)                                               \
    X(Result<std::string>, sign, (private_key, msg), SECRET, ERROR, "Couldn't sign msg")                     \
    X(Result<std::string>, eth_sign, (private_key, msg), SECRET, ERROR, "Couldn't sign msg")                 \
    X(Result<std::string>, private_key_from_seed, (seed), SECRET, PANIC, "Couldn't derive private key from seed") \
    X(Result<bool>, is_on_curve, (x, y), PUBLIC, PANIC, "Couldn't get verify xy is on curve")                \
    X(Result<std::string>, public_key_to_xy, (public_key), PUBLIC, PANIC, "Couldn't convert public key to xy") \
    X(Result<std::string>, private_key_to_public_key_xy, (private_key), SECRET, PANIC,                       \
      "Couldn't convert private key to public key xy")

// The two rows of a document kind.
#define LUMORA_SDK_SIGN_DOCUMENT_ROW(stem, record, digest, on_document, on_key, X) \
    X(Result<std::string>, sign_##stem, (json, pri_key), SECRET, ERROR, "Couldn get jubjubSignature")
#define LUMORA_SDK_HASH_DOCUMENT_ROW(stem, record, digest, on_document, on_key, X) \
    X(Result<std::string>, hash_##stem, (json), PUBLIC, PANIC, "Couldn't get hash")

// A row's parameter list with each name declared a Text: (json, pri_key)
// gives `Text json, Text pri_key`. Rows have one to five parameters.
#define LUMORA_SDK_TEXT_PARAMETERS(...)                                                                    \
    LUMORA_SDK_PICK_SIXTH_(__VA_ARGS__, LUMORA_SDK_TEXTS5_, LUMORA_SDK_TEXTS4_, LUMORA_SDK_TEXTS3_,        \
                           LUMORA_SDK_TEXTS2_, LUMORA_SDK_TEXTS1_, )                                       \
    (__VA_ARGS__)
#define LUMORA_SDK_PICK_SIXTH_(a, b, c, d, e, f, ...) f
#define LUMORA_SDK_TEXT_ ::lumora::sdk::api::Text
#define LUMORA_SDK_TEXTS1_(a) LUMORA_SDK_TEXT_ a
#define LUMORA_SDK_TEXTS2_(a, b) LUMORA_SDK_TEXTS1_(a), LUMORA_SDK_TEXT_ b
#define LUMORA_SDK_TEXTS3_(a, b, c) LUMORA_SDK_TEXTS2_(a, b), LUMORA_SDK_TEXT_ c
#define LUMORA_SDK_TEXTS4_(a, b, c, d) LUMORA_SDK_TEXTS3_(a, b, c), LUMORA_SDK_TEXT_ d
#define LUMORA_SDK_TEXTS5_(a, b, c, d, e) LUMORA_SDK_TEXTS4_(a, b, c, d), LUMORA_SDK_TEXT_ e

#define LUMORA_SDK_DECLARE_OPERATION(result, name, params, inputs, failure, context) \
    result name(LUMORA_SDK_TEXT_PARAMETERS params);

namespace lumora::sdk::api {

LUMORA_SDK_OPERATIONS(LUMORA_SDK_DECLARE_OPERATION)

// The most parameters a row has.
inline constexpr std::size_t MAX_PARAMETERS = 5;

// A row's parameter names, read from its parameter list as written, which
// is what `#params` makes of it: "(json, pri_key)".
struct ParameterNames {
    std::array<std::string_view, MAX_PARAMETERS> names{};
    std::size_t count = 0;
};

// Fails to compile unless the list is "(", then one to MAX_PARAMETERS
// identifiers separated by ", ", then ")": the form Python shows as a text
// signature. The views point into `list`.
consteval ParameterNames parameter_names(std::string_view list) {
    if (list.size() < 3 || list.front() != '(' || list.back() != ')') throw "a parameter list is written (a, b)";
    list = list.substr(1, list.size() - 2);
    ParameterNames out;
    for (;;) {
        const std::size_t end = list.find(", ");
        const std::string_view name = list.substr(0, end);
        if (name.empty() || (name[0] >= '0' && name[0] <= '9')) throw "a parameter name is an identifier";
        for (const char c : name)
            if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'))
                throw "parameter names are separated by \", \"";
        if (out.count == MAX_PARAMETERS) throw "more parameters than MAX_PARAMETERS";
        out.names[out.count++] = name;
        if (end == std::string_view::npos) return out;
        list.remove_prefix(end + 2);
    }
}

// Makes now what the operations otherwise make on first use: the CPU choice
// (cpu::dispatch(), which reads LUMORA_CPU), the SHA-256 form and the chosen
// copy's shared tables (the Poseidon parameters and the curve parameter set).
// Each of them is built under a lock taken on first use; a process that forks
// while another thread holds one of those locks leaves its child waiting on
// it for ever. After prepare() no operation takes a lock of the core's own,
// so a process may fork while other threads are inside operations. Call it
// before any thread that may fork starts (the module calls it when it is
// imported). Safe to call from several threads at once and more than once.
// Aborts (common/error.h) only when a table comes out wrong, which correct
// code never does, and throws std::bad_alloc when memory runs out.
void prepare();

}  // namespace lumora::sdk::api
