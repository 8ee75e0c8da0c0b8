#include "sdk/hashing.h"

#include "poseidon/sponge.h"

namespace lumora::sdk {
inline namespace LUMORA_KERNEL_NS {

namespace {

using integers::add_assign;
using integers::shl;
using poseidon::PoseidonHasher;

// Transaction type tags, in the top bits of a packed word.
constexpr std::uint64_t TAG_LIMIT_ORDER = 3;
constexpr std::uint64_t TAG_TRANSFER = 4;
constexpr std::uint64_t TAG_WITHDRAWAL = 6;
constexpr std::uint64_t TAG_WITHDRAWAL_TO_ADDRESS = 7;

constexpr std::uint64_t BIT_63 = std::uint64_t{1} << 63;

// One field element from a 256-bit value: its four limbs with bit 255 cleared.
void feed(PoseidonHasher& h, const U256& v) {
    h.update(v.limb(0));
    h.update(v.limb(1));
    h.update(v.limb(2));
    h.update(v.limb(3) & ~BIT_63);
}

// One field element from a 64-bit value.
void feed(PoseidonHasher& h, std::uint64_t x) {
    h.update(x);
    h.update(0);
    h.update(0);
    h.update(0);
}

U256 to_u256(const poseidon::Digest& d) { return U256(d); }

// Packs fields from the most significant down: (acc·2^bits + value). The
// packings stay far below 256 bits, so nothing is lost or overflows.
class Packer {
public:
    explicit Packer(std::uint64_t top) : v_(U256::from_u64(top)) {}
    Packer& push(unsigned bits, const U256& value) {
        v_ = shl(v_, bits);
        add_assign(v_, value);
        return *this;
    }
    Packer& push(unsigned bits, std::uint64_t value) { return push(bits, U256::from_u64(value)); }
    Packer& pad(unsigned bits) {
        v_ = shl(v_, bits);
        return *this;
    }
    const U256& value() const { return v_; }

private:
    U256 v_;
};

}  // namespace

U256 hash2(const U256& a, const U256& b) {
    PoseidonHasher h;
    feed(h, a);
    feed(h, b);
    return to_u256(h.finalize());
}

U256 transfer_hash_internal(const Transfer& t) {
    const std::uint64_t max_fee = 0;  // always zero
    const U256 packed0 = Packer(t.sender_position_id)
                             .push(64, t.receiver_position_id)
                             .push(64, t.sender_position_id)  // the fee position
                             .push(32, t.base.nonce)
                             .value();
    const U256 packed1 = Packer(TAG_TRANSFER)
                             .push(64, t.amount)
                             .push(64, max_fee)
                             .push(32, t.base.expiration_timestamp)
                             .pad(81)
                             .value();
    PoseidonHasher h;
    feed(h, t.asset_id);
    feed(h, std::uint64_t{0});
    feed(h, packed0);
    feed(h, packed1);
    return to_u256(h.finalize());
}

U256 limit_order_hash_internal(const LimitOrderRequest& o) {
    const U256 synthetic = U256::from_i128(o.asset_id_synthetic);
    const bool buying = o.is_buying_synthetic;
    const U256& asset_sell = buying ? o.asset_id_collateral : synthetic;
    const U256& asset_buy = buying ? synthetic : o.asset_id_collateral;
    const std::uint64_t amount_sell = buying ? o.amount_collateral : o.amount_synthetic;
    const std::uint64_t amount_buy = buying ? o.amount_synthetic : o.amount_collateral;

    U256 packed0 = Packer(amount_sell).push(64, amount_buy).push(64, o.amount_fee).pad(32).value();
    packed0.limbs[0] += o.base.nonce;  // wraps within the word: the exchange drops this carry
    const U256 packed1 = Packer(TAG_LIMIT_ORDER)
                             .push(64, o.position_id)
                             .push(64, o.position_id)
                             .push(64, o.position_id)
                             .push(32, o.base.expiration_timestamp)
                             .pad(17)
                             .value();
    PoseidonHasher h;
    feed(h, asset_sell);
    feed(h, asset_buy);
    feed(h, o.asset_id_collateral);  // the fee asset, on either side
    feed(h, packed0);
    feed(h, packed1);
    return to_u256(h.finalize());
}

U256 withdrawal_hash(const WithdrawRequest& w) {
    const bool to_address = w.eth_address != w.base.public_key;
    const U256 first = to_address ? hash2(w.asset_id, w.eth_address) : w.asset_id;
    const U256 packed = Packer(to_address ? TAG_WITHDRAWAL_TO_ADDRESS : TAG_WITHDRAWAL)
                            .push(64, w.position_id)
                            .push(32, w.base.nonce)
                            .push(64, w.amount)
                            .push(32, w.base.expiration_timestamp)
                            .pad(49)
                            .value();
    return hash2(first, packed);
}

U256 liquidate_hash(const Liquidate& l) { return limit_order_hash_internal(l.liquidator_order); }

U256 signed_oracle_price_hash(const SignedOraclePrice& p) {
    U256 price = shl(U256::from_u128(p.external_price), 32);
    add_assign(price, U256::from_u64(p.timestamp));
    return hash2(p.signed_asset_id, price);
}

}  // inline namespace LUMORA_KERNEL_NS
}  // namespace lumora::sdk
