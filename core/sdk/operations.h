// This copy's operations behind api.h (same names and contracts), and its
// table for the dispatch (see operation_table.h).
#pragma once

#include <string>

#include "common/error.h"
#include "sdk/operation_table.h"

namespace lumora::sdk::inline LUMORA_KERNEL_NS {

namespace operations {

using Text = api::Text;

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

}  // namespace operations

extern const OperationTable OPERATIONS;

}  // namespace lumora::sdk
