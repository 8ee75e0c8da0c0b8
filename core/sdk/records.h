// The transaction records: plain values decoded from the JSON documents that
// callers pass in, handed to hashing and signing, then dropped.
#pragma once

#include <cstdint>

#include "integers/u256.h"

namespace lumora::sdk {

using integers::i128;
using integers::u128;
using integers::U256;

// The fields every order-like request carries, at the same JSON level as the
// request's own fields.
struct OrderBase {
    std::uint64_t nonce = 0;
    U256 public_key;  // packed public key
    std::uint32_t expiration_timestamp = 0;
};

struct Transfer {
    OrderBase base;
    std::uint64_t sender_position_id = 0;
    U256 receiver_public_key;  // packed public key
    std::uint64_t receiver_position_id = 0;
    std::uint64_t amount = 0;
    U256 asset_id;
};

struct WithdrawRequest {
    OrderBase base;
    std::uint64_t position_id = 0;
    std::uint64_t amount = 0;
    U256 eth_address;
    U256 asset_id;
};

struct LimitOrderRequest {
    OrderBase base;
    std::uint64_t amount_synthetic = 0;
    std::uint64_t amount_collateral = 0;
    std::uint64_t amount_fee = 0;
    i128 asset_id_synthetic = 0;  // may decode negative; hashing rejects that
    U256 asset_id_collateral;
    std::uint64_t position_id = 0;
    bool is_buying_synthetic = false;
};

struct Liquidate {
    LimitOrderRequest liquidator_order;
    std::uint64_t liquidated_position_id = 0;
    std::uint64_t actual_collateral = 0;
    std::uint64_t actual_synthetic = 0;
    std::uint64_t actual_liquidator_fee = 0;
};

struct SignedOraclePrice {
    U256 signer_key;  // packed public key
    u128 external_price = 0;
    std::uint32_t timestamp = 0;
    U256 signed_asset_id;
};

}  // namespace lumora::sdk
