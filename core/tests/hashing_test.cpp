#include <gtest/gtest.h>

#include <string>

#include "common/error.h"
#include "field/fr.h"
#include "poseidon/sponge.h"
#include "sdk/hashing.h"
#include "vector_file.h"

namespace lumora::sdk {
namespace {

U256 hex(const std::string& text) { return U256::from_str(text).value(); }

constexpr integers::i128 I128_MAX = static_cast<integers::i128>(~static_cast<integers::u128>(0) >> 1);

// Records of known-answer cases, with the digests the exchange computes.

Transfer sample_transfer() {
    Transfer t;
    t.sender_position_id = 3639700191;
    t.amount = 5855543267441242937ULL;
    t.base.expiration_timestamp = 1428914934;
    t.receiver_position_id = 3443818037;
    t.receiver_public_key = hex("0xa88ff92d123d16dbfd0569eb62bed4b96909d0ffe551c0b34f14969ef8a4e55a");
    t.base.nonce = 17324573643469579936ULL;
    t.asset_id = hex("0xfc09862137730edfafbd67f9619699cfe1988ad9f06c144a025b413f8a9a021e");
    t.base.public_key = hex("22e2dfe6dbd8348b0d60158f809f47ad2635d8554e56f7223b303c5c4df66621");
    return t;
}
const char* const SAMPLE_TRANSFER_DIGEST = "0x0c27c9fce28cebb836bfdb7ab3943203ecebb81839ce4bb1a3976854535ef891";

LimitOrderRequest sample_buy_order() {
    LimitOrderRequest o;
    o.base.nonce = 4640844749278885866ULL;
    o.asset_id_collateral = hex("0xcc2736c89c08e1c69a36e9a8c0354be5a6d1efce7b128fd0f90e49cf819b750");
    o.base.public_key = hex("0xa4340e6449d791faf36181f89abb71cb13574a48d749e8eee5614f6f9d1970e9");
    o.is_buying_synthetic = true;
    o.amount_collateral = 6083828164369547644ULL;
    o.position_id = 13162608722699160672ULL;
    o.asset_id_synthetic = I128_MAX;
    o.base.expiration_timestamp = 426413444;
    o.amount_fee = 11724904367399116203ULL;
    o.amount_synthetic = 3509580991;
    return o;
}
const char* const SAMPLE_BUY_ORDER_DIGEST = "0x1c3621cfe4bc8af81ab0258b4a2256ce3e9b3f418db6a2fd01e6a5c7175b3e36";

LimitOrderRequest sample_sell_order() {
    LimitOrderRequest o;
    o.amount_collateral = 4294967295;
    o.asset_id_synthetic = 0xad83c3fbdb19a0bbULL;
    o.is_buying_synthetic = false;
    o.amount_synthetic = 630755333564095601ULL;
    o.base.nonce = 558352803116766155ULL;
    o.base.public_key = hex("0x198c242369bd89a6d663cf163706353e9f07e1663672aa727b24c294e4f44fb7");
    o.amount_fee = 3412661697;
    o.asset_id_collateral = hex("0x6DFAB57E76BBD87F9D9E608876512B938C5286D64254DA64C644C35946B2A3E5");
    o.base.expiration_timestamp = 4294967295;
    o.position_id = 10305203238431855125ULL;
    return o;
}
const char* const SAMPLE_SELL_ORDER_DIGEST = "0x1e1fae184f3a8ec47adf187fb64d91b7e2b106c14638ff488328b5a918e92540";

Liquidate sample_liquidate() {
    Liquidate l;
    l.liquidated_position_id = 3989447064398071781ULL;
    LimitOrderRequest& o = l.liquidator_order;
    o.amount_synthetic = 3982442704;
    o.amount_collateral = 10637204501143166668ULL;
    o.amount_fee = 7724040647492969312ULL;
    o.asset_id_synthetic = 0xE5F842604D149354ULL;
    o.asset_id_collateral = hex("a00d813b051dcf528bc3d38a46453b166f42bff6e5b0fcb2370bc2ff3d96bfb1");
    o.position_id = 541480452;
    o.is_buying_synthetic = false;
    o.base.nonce = 1274204888659409755ULL;
    o.base.public_key = hex("0x24a0c2862a1443d51bb3ff5e28da31486428688c46994d0970615128b3d7313a");
    o.base.expiration_timestamp = 3923336852;
    l.actual_synthetic = 668316562;
    l.actual_liquidator_fee = 7482738487935980838ULL;
    l.actual_collateral = 6188231661246946374ULL;
    return l;
}
const char* const SAMPLE_LIQUIDATE_DIGEST = "0x0c109ca8870ad0990b9ee3f54b80893a102dea74c0c7bcbcda2e29de0ed0a142";

// eth_address equals public_key (different letter case in the document).
WithdrawRequest sample_withdrawal_to_own_key() {
    WithdrawRequest w;
    w.amount = 4151662709800159653ULL;
    w.eth_address = hex("28cfa4bfbfb27ffe033cc54fa2a63fc7fd8430cae750d72e2b9965908b86ca65");
    w.position_id = 4397236691694877361ULL;
    w.asset_id = hex("0x584d6f761560c2e49a5d30014c615175ec4e4f21fcb3be0b6cb4d6224e6279dc");
    w.base.public_key = hex("0x28CFA4BFBFB27FFE033CC54FA2A63FC7FD8430CAE750D72E2B9965908B86CA65");
    w.base.expiration_timestamp = 3677682317;
    w.base.nonce = 3011957340;
    return w;
}
const char* const SAMPLE_OWN_KEY_WITHDRAWAL_DIGEST =
    "0x1e2fa433fa1e9aed6977f71571d395acbfadf7e49621f162d62417ca772ac9b1";

WithdrawRequest sample_withdrawal_to_address() {
    WithdrawRequest w;
    w.eth_address = hex("0xFB314DA0863043D70A6BE26CFE8B2B79BADA7947");
    w.base.expiration_timestamp = 3903630335;
    w.base.public_key = hex("0x180929411ce49ed01baece2edfa3b06394da4434aa61e6e4ff566abe8f26a2c2");
    w.base.nonce = 16788089779864294687ULL;
    w.asset_id = hex("0xf6c628aec9f6fbfd9d9320e71ef5e7a14fe7ebcb34dec74afc6ee6fa8e33c94");
    w.position_id = 3164993659;
    w.amount = 17879110751107270041ULL;
    return w;
}
const char* const SAMPLE_ADDRESS_WITHDRAWAL_DIGEST =
    "0x15c8f30fae11106077974c6e66b81a8bad7e26ac2f4093cc1997cad07f141110";

SignedOraclePrice sample_oracle_price() {
    SignedOraclePrice p;
    p.external_price = ~static_cast<integers::u128>(0);
    p.timestamp = 138574400;
    p.signed_asset_id = hex("0x127b1c4f7167c7b9359da9543343b7a587355806f22343ef08fc99442c5e6907");
    p.signer_key = hex("234ea1772b5ecb4b629f628e7f1812bf1a8e24df13e056d9e3d7cf5e94730193");
    return p;
}
const char* const SAMPLE_ORACLE_PRICE_DIGEST = "0x177594b20d6e0aaf65fdcbd8b54937a66c5b181a1cfb1a3d8d2f33bf25f8d5f7";

TEST(Hashing, KnownDigestsOfEveryKind) {
    EXPECT_EQ(transfer_hash_internal(sample_transfer()).to_hex(), SAMPLE_TRANSFER_DIGEST);
    EXPECT_EQ(limit_order_hash_internal(sample_buy_order()).to_hex(), SAMPLE_BUY_ORDER_DIGEST);
    EXPECT_EQ(limit_order_hash_internal(sample_sell_order()).to_hex(), SAMPLE_SELL_ORDER_DIGEST);
    EXPECT_EQ(liquidate_hash(sample_liquidate()).to_hex(), SAMPLE_LIQUIDATE_DIGEST);
    // Tag 6 without a nested digest, and tag 7 with one.
    EXPECT_EQ(withdrawal_hash(sample_withdrawal_to_own_key()).to_hex(), SAMPLE_OWN_KEY_WITHDRAWAL_DIGEST);
    EXPECT_EQ(withdrawal_hash(sample_withdrawal_to_address()).to_hex(), SAMPLE_ADDRESS_WITHDRAWAL_DIGEST);
    EXPECT_EQ(signed_oracle_price_hash(sample_oracle_price()).to_hex(), SAMPLE_ORACLE_PRICE_DIGEST);
}

TEST(Hashing, Hash2Vectors) {
    const auto file = testing::load_vector_file("poseidon.json");
    const auto& cases = file["hash2"];
    ASSERT_GT(cases.size(), 0u);
    for (std::size_t k = 0; k < cases.size(); ++k)
        EXPECT_EQ(hash2(hex(cases[k]["a"].text), hex(cases[k]["b"].text)).to_hex(), cases[k]["digest"].text) << k;
}

TEST(Hashing, FieldsThatDoNotEnterTheDigest) {
    Transfer t = sample_transfer();
    t.receiver_public_key = U256::from_u64(1);
    t.base.public_key = U256::from_u64(2);
    EXPECT_EQ(transfer_hash_internal(t).to_hex(), SAMPLE_TRANSFER_DIGEST);

    Liquidate l = sample_liquidate();
    l.liquidated_position_id = 1;
    l.actual_collateral = 2;
    l.actual_synthetic = 3;
    l.actual_liquidator_fee = 4;
    EXPECT_EQ(liquidate_hash(l).to_hex(), SAMPLE_LIQUIDATE_DIGEST);
    EXPECT_EQ(limit_order_hash_internal(l.liquidator_order).to_hex(), SAMPLE_LIQUIDATE_DIGEST);

    SignedOraclePrice p = sample_oracle_price();
    p.signer_key = U256();
    EXPECT_EQ(signed_oracle_price_hash(p).to_hex(), SAMPLE_ORACLE_PRICE_DIGEST);

    // The order's public key is not hashed either (the signature binds it).
    LimitOrderRequest o = sample_buy_order();
    o.base.public_key = U256();
    EXPECT_EQ(limit_order_hash_internal(o).to_hex(), SAMPLE_BUY_ORDER_DIGEST);
}

TEST(Hashing, FeeAssetIsTheCollateralOnBothSides) {
    // With equal assets and equal amounts only the side differs, and it makes
    // no difference: the third element is the collateral asset either way.
    LimitOrderRequest sell = sample_sell_order();
    sell.asset_id_collateral = U256::from_u64(0xad83c3fbdb19a0bbULL);
    sell.amount_collateral = sell.amount_synthetic;
    LimitOrderRequest buy = sell;
    buy.is_buying_synthetic = true;
    EXPECT_EQ(limit_order_hash_internal(sell), limit_order_hash_internal(buy));
    // Different synthetic and collateral assets: the side matters.
    buy.asset_id_synthetic += 1;
    sell.asset_id_synthetic += 1;
    EXPECT_NE(limit_order_hash_internal(sell), limit_order_hash_internal(buy));
}

TEST(Hashing, NonceCarries) {
    // Withdrawal: the 32-bit nonce slot carries into the position above it.
    WithdrawRequest high = sample_withdrawal_to_address();
    high.base.nonce = (std::uint64_t{1} << 32) + 5;
    WithdrawRequest next_position = high;
    next_position.base.nonce = 5;
    next_position.position_id += 1;
    EXPECT_EQ(withdrawal_hash(high), withdrawal_hash(next_position));

    // Limit order: the nonce is added to the lowest word of packed0 modulo
    // 2^64. A fee of 0xffffffff puts 0xffffffff00000000 in that word; a nonce
    // of 2^32 wraps it to zero and the carry is lost, exactly as with fee and
    // nonce zero.
    LimitOrderRequest wrap = sample_sell_order();
    wrap.amount_fee = 0xffffffffULL;
    wrap.base.nonce = std::uint64_t{1} << 32;
    LimitOrderRequest zero = wrap;
    zero.amount_fee = 0;
    zero.base.nonce = 0;
    EXPECT_EQ(limit_order_hash_internal(wrap), limit_order_hash_internal(zero));
    // Kept, the carry would have made the fee 2^32.
    LimitOrderRequest carried = zero;
    carried.amount_fee = std::uint64_t{1} << 32;
    EXPECT_NE(limit_order_hash_internal(wrap), limit_order_hash_internal(carried));
}

TEST(Hashing, ValuesAreReducedAndBit255Ignored) {
    Transfer t = sample_transfer();
    ASSERT_NE(t.asset_id.limb(3) >> 63, 0u);  // the sample's asset_id has bit 255 set
    t.asset_id.limbs[3] &= ~(std::uint64_t{1} << 63);
    EXPECT_EQ(transfer_hash_internal(t).to_hex(), SAMPLE_TRANSFER_DIGEST);

    SignedOraclePrice small = sample_oracle_price();
    small.signed_asset_id = U256::from_u64(5);
    SignedOraclePrice big = small;
    big.signed_asset_id = U256(field::FrParams::MODULUS);
    integers::add_assign(big.signed_asset_id, U256::from_u64(5));
    EXPECT_EQ(signed_oracle_price_hash(small), signed_oracle_price_hash(big));

    EXPECT_EQ(hash2(U256::from_u64(9), U256::from_u64(1)),
              hash2(U256({9, 0, 0, std::uint64_t{1} << 63}), U256({1, 0, 0, std::uint64_t{1} << 63})));
}

TEST(Hashing, NegativeSyntheticAssetAborts) {
    LimitOrderRequest o = sample_buy_order();
    o.asset_id_synthetic = -1;
    try {
        limit_order_hash_internal(o);
        FAIL() << "no abort";
    } catch (const Abort& a) {
        EXPECT_EQ(a.message(), "Unsigned integer can't be created from negative value");
    }
    Liquidate l = sample_liquidate();
    l.liquidator_order.asset_id_synthetic = -I128_MAX - 1;
    EXPECT_THROW(liquidate_hash(l), Abort);
}

}  // namespace
}  // namespace lumora::sdk
