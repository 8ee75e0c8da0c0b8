// Decoding of the transaction documents into records.
//
// A document is one JSON value, with whitespace around it allowed. Transfer,
// WithdrawRequest and LimitOrderRequest are objects whose members come in any
// order, the common order fields among them at the same level; Liquidate and
// SignedOraclePrice are objects or arrays of their fields in declaration
// order. Unknown members are ignored. Numbers travel as JSON strings (decimal,
// or hexadecimal for the 256-bit values and the signed synthetic asset id).
//
// Which fault a document with several gets: a fault in a member value, or a
// repeated field of the record's own, as soon as it is read; then the record's
// own missing fields in declaration order; then the common order fields
// (faults, repeats, absences) at the closing brace.
#pragma once

#include <string_view>

#include "common/error.h"
#include "json/reader.h"
#include "sdk/records.h"

namespace lumora::sdk {

// A rejected document is an error value without causes: the fault's message
// and its position, which the report appends (" at line L column C").
Result<Transfer> parse_transfer(std::string_view json);
Result<WithdrawRequest> parse_withdraw_request(std::string_view json);
Result<LimitOrderRequest> parse_limit_order_request(std::string_view json);
Result<Liquidate> parse_liquidate(std::string_view json);
Result<SignedOraclePrice> parse_signed_oracle_price(std::string_view json);

// Transfers are decoded by unwrapping: a rejected document aborts with
// "called `Result::unwrap()` on an `Err` value: Error(\"…\", line: L, column: C)".
Transfer parse_transfer_or_abort(std::string_view json);

}  // namespace lumora::sdk
