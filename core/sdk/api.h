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

namespace lumora::sdk::api {

using Text = std::string_view;

}  // namespace lumora::sdk::api

namespace lumora::sdk::api {

// Each is named after the module function it serves; results are the texts
// the module returns (digest or key texts, compact JSON documents).
Result<bool> verify_signature(Text sig_r, Text sig_s, Text pub_key_x, Text pub_key_y, Text msg);
Result<std::string> sign_withdraw(Text json, Text pri_key);
Result<std::string> sign_transfer(Text json, Text pri_key);
Result<std::string> sign_limit_order(Text json, Text pri_key);
Result<std::string> sign_liquidate(Text json, Text pri_key);
Result<std::string> sign_signed_oracle_price(Text json, Text pri_key);
Result<std::string> hash_withdraw(Text json);
Result<std::string> hash_transfer(Text json);
Result<std::string> hash_limit_order(Text json);
Result<std::string> hash_liquidate(Text json);
Result<std::string> hash_signed_oracle_price(Text json);
Result<std::string> sign(Text private_key, Text msg);
Result<std::string> eth_sign(Text private_key, Text msg);
Result<std::string> private_key_from_seed(Text seed);
Result<bool> is_on_curve(Text x, Text y);
Result<std::string> public_key_to_xy(Text public_key);
Result<std::string> private_key_to_public_key_xy(Text private_key);

}  // namespace lumora::sdk::api
