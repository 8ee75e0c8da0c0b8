// The operations behind the module's seventeen functions, one each, in the
// form the binding needs: UTF-8 text in, result text (digest, key text or
// compact JSON) or a truth value out. Each returns an error value for what
// its input can cause, or aborts (see common/error.h).
//
// This is the one header the binding includes.
#pragma once

#include <string>
#include <string_view>

#include "common/error.h"
#include "common/secret.h"  // a result text may be a private key: its holder wipes it
#include "common/text.h"    // echo_excerpt, for the binding's own messages

namespace lumora::sdk::api {

using Text = std::string_view;

}  // namespace lumora::sdk::api

// The seventeen operations, one row each: the result, the name (that of the
// module function it serves), the parameters, the same names as the
// arguments of a call, and whether an argument is a secret, a private key
// or a seed (SECRET), or none is (PUBLIC). The list is written here once;
// the declarations below, each copy of the core's own (sdk/operations.h),
// the dispatch table and its forwarding functions (sdk/operation_table.h,
// api.cpp) are made from it. Results are the texts the module returns
// (digest or key texts, compact JSON documents) or truth values. The
// forwarding function of a SECRET row wipes the stack the operation ran on
// once it is done (StackWipe, common/secret.h).
#define LUMORA_SDK_OPERATIONS(X)                                                                             \
    X(Result<bool>, verify_signature, (Text sig_r, Text sig_s, Text pub_key_x, Text pub_key_y, Text msg),      \
      (sig_r, sig_s, pub_key_x, pub_key_y, msg), PUBLIC)                                                     \
    X(Result<std::string>, sign_withdraw, (Text json, Text pri_key), (json, pri_key), SECRET)                \
    X(Result<std::string>, sign_transfer, (Text json, Text pri_key), (json, pri_key), SECRET)                \
    X(Result<std::string>, sign_limit_order, (Text json, Text pri_key), (json, pri_key), SECRET)             \
    X(Result<std::string>, sign_liquidate, (Text json, Text pri_key), (json, pri_key), SECRET)               \
    X(Result<std::string>, sign_signed_oracle_price, (Text json, Text pri_key), (json, pri_key), SECRET)     \
    X(Result<std::string>, hash_withdraw, (Text json), (json), PUBLIC)                                       \
    X(Result<std::string>, hash_transfer, (Text json), (json), PUBLIC)                                       \
    X(Result<std::string>, hash_limit_order, (Text json), (json), PUBLIC)                                    \
    X(Result<std::string>, hash_liquidate, (Text json), (json), PUBLIC)                                      \
    X(Result<std::string>, hash_signed_oracle_price, (Text json), (json), PUBLIC)                            \
    X(Result<std::string>, sign, (Text private_key, Text msg), (private_key, msg), SECRET)                   \
    X(Result<std::string>, eth_sign, (Text private_key, Text msg), (private_key, msg), SECRET)               \
    X(Result<std::string>, private_key_from_seed, (Text seed), (seed), SECRET)                               \
    X(Result<bool>, is_on_curve, (Text x, Text y), (x, y), PUBLIC)                                           \
    X(Result<std::string>, public_key_to_xy, (Text public_key), (public_key), PUBLIC)                        \
    X(Result<std::string>, private_key_to_public_key_xy, (Text private_key), (private_key), SECRET)

#define LUMORA_SDK_DECLARE_OPERATION(result, name, params, args, inputs) result name params;

namespace lumora::sdk::api {

LUMORA_SDK_OPERATIONS(LUMORA_SDK_DECLARE_OPERATION)

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
