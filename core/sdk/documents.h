// Decoding of the transaction documents into records.
#pragma once

#include <string_view>

#include "common/error.h"
#include "sdk/records.h"

namespace lumora::sdk {

// A rejected document is an error value whose message is the parse error's
// text with its position suffix (" at line L column C"), with no causes.
Result<WithdrawRequest> parse_withdraw_request(std::string_view json);
Result<LimitOrderRequest> parse_limit_order_request(std::string_view json);
Result<Liquidate> parse_liquidate(std::string_view json);
Result<SignedOraclePrice> parse_signed_oracle_price(std::string_view json);

// Transfers are decoded by unwrapping: a rejected document aborts with
// "called `Result::unwrap()` on an `Err` value: Error(\"…\", line: L, column: C)".
Transfer parse_transfer_or_abort(std::string_view json);

}  // namespace lumora::sdk
