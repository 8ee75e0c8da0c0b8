// The per-call paths of hashing, signing and verification allocate nothing
// from the C++ heap beyond their result texts. Counted by replacing the global
// allocation functions of the test binary (counting on the calling thread).
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string>

#include "curve/alt_jubjub.h"
#include "poseidon/sponge.h"
#include "sdk/documents.h"
#include "sdk/hashing.h"
#include "sdk/api.h"
#include "sdk/signing.h"

namespace {
thread_local long allocations = 0;
}

void* operator new(std::size_t size) {
    ++allocations;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace lumora::sdk {
namespace {

// Allocations made by `work` on this thread.
template <class F>
long count_allocations(F&& work) {
    const long before = allocations;
    work();
    return allocations - before;
}

const std::string TRANSFER =
    R"({"sender_position_id":"1","receiver_public_key":"0x2","receiver_position_id":"3","amount":"4",)"
    R"("asset_id":"0x5","nonce":"6","public_key":"0x7","expiration_timestamp":"8","extra":[1,{"a":"b\n"}]})";
const std::string ORDER =
    R"({"amount_synthetic":"1","amount_collateral":"2","amount_fee":"3","asset_id_synthetic":"0x4",)"
    R"("asset_id_collateral":"0x5","position_id":"6","is_buying_synthetic":true,"nonce":"7","public_key":"0x8",)"
    R"("expiration_timestamp":"9"})";

TEST(Allocations, HashingPathAllocatesNothing) {
    // The shared tables are built on first use; build them outside the count.
    (void)transfer_hash_internal(parse_document_or_abort<Transfer>(TRANSFER));
    EXPECT_EQ(count_allocations([] { (void)transfer_hash_internal(parse_document_or_abort<Transfer>(TRANSFER)); }), 0);
    EXPECT_EQ(count_allocations([] { (void)limit_order_hash_internal(parse_document<LimitOrderRequest>(ORDER).value()); }),
              0);
}

TEST(Allocations, SigningAndVerifyingAllocateNothing) {
    const Fs sk = Fs::from_u64(0xc0ffee);
    const U256 digest = transfer_hash_internal(parse_document_or_abort<Transfer>(TRANSFER));
    const auto bytes = digest.to_bytes_le();
    (void)TxSignature::sign_msg(sk, bytes);
    TxSignature signature;
    EXPECT_EQ(count_allocations([&] { signature = TxSignature::sign_msg(sk, bytes); }), 0);
    const auto pk = eddsa::public_key(sk, curve::SIGNING_GENERATOR, curve::jubjub_params());
    bool valid = false;
    EXPECT_EQ(count_allocations([&] {
                  valid = eddsa::verify_for_raw_message(pk, bytes, signature.signature, curve::SIGNING_GENERATOR,
                                                        curve::jubjub_params());
              }),
              0);
    EXPECT_TRUE(valid);
}

}  // namespace
}  // namespace lumora::sdk

namespace lumora::sdk {
namespace {

TEST(Allocations, ModuleOperationsAllocateOnlyTheirResult) {
    const std::string key = "0x" + std::string(63, '0') + "7";
    const std::string digest = "0x" + std::string(62, '0') + "ab";
    (void)api::sign_transfer(TRANSFER, key);
    EXPECT_EQ(count_allocations([&] { (void)api::hash_transfer(TRANSFER); }), 1);
    EXPECT_EQ(count_allocations([&] { (void)api::sign_transfer(TRANSFER, key); }), 1);
    EXPECT_EQ(count_allocations([&] { (void)api::sign(key, digest); }), 1);
    EXPECT_EQ(count_allocations([&] { (void)api::eth_sign(key, digest); }), 1);
    // A valid signature: verification allocates nothing at all.
    const std::string signature = api::sign(key, digest).value();
    const std::string r = signature.substr(6, 66), s = signature.substr(79, 66);
    const std::string packed_key = public_key_from_private(Fs::from_u64(7)).to_hex();
    bool valid = false;
    EXPECT_EQ(count_allocations([&] { valid = api::verify_signature(r, s, packed_key, "", digest).value(); }), 0);
    EXPECT_TRUE(valid);
}

}  // namespace
}  // namespace lumora::sdk
