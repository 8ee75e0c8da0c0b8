// Transaction digests: the Poseidon hash of a fixed sequence of field
// elements built from each kind of transaction. Signing signs exactly these
// digests (their 32 little-endian bytes).
//
// A digest is a U256 below r: the hasher's four words, least significant
// first. Its text form is U256::to_hex ("0x" and 64 lowercase digits).
#pragma once

#include "common/kernel_copy.h"
#include "integers/u256.h"
#include "sdk/records.h"

namespace lumora::sdk {
inline namespace LUMORA_KERNEL_NS {

// The digest of the two values with bit 255 of each cleared, each reduced
// mod r: one permutation over (a', b', 1, 0, …, 0).
U256 hash2(const U256& a, const U256& b);

// asset_id, 0, then two packed words. The sender position enters twice (as
// sender and as fee position) and the nonce is added with full carry.
// Neither receiver_public_key nor public_key enters the digest.
U256 transfer_hash_internal(const Transfer& transfer);

// Sell asset, buy asset (by is_buying_synthetic), the collateral asset as the
// fee asset, then two packed words. The nonce is added to the lowest 64-bit
// word of its packed word modulo 2^64; a carry out of that word is dropped.
// Aborts with "Unsigned integer can't be created from negative value" for a
// negative asset_id_synthetic, before hashing anything.
U256 limit_order_hash_internal(const LimitOrderRequest& order);

// hash2 of (first, packed): first is asset_id when eth_address equals
// public_key (tag 6), else hash2(asset_id, eth_address) (tag 7).
U256 withdrawal_hash(const WithdrawRequest& withdrawal);

// The limit-order digest of liquidator_order; the liquidation's own fields
// do not enter it.
U256 liquidate_hash(const Liquidate& liquidate);

// hash2(signed_asset_id, external_price·2^32 + timestamp); signer_key does
// not enter it.
U256 signed_oracle_price_hash(const SignedOraclePrice& price);

}  // inline namespace LUMORA_KERNEL_NS
}  // namespace lumora::sdk
