// The five hash operations: decode the document, hash the record, print the
// digest ("0x" and 64 lowercase hexadecimal digits).
#include "sdk/operations.h"
#include "sdk/documents.h"
#include "sdk/hashing.h"

namespace lumora::sdk {
inline namespace LUMORA_KERNEL_NS {
namespace operations {

namespace {

// A rejected document is returned as it is; a record is hashed and printed.
template <class Record, class Hash>
Result<std::string> hash_document(Result<Record> record, Hash hash) {
    if (!record.ok()) return std::move(record).error();
    return hash(record.value()).to_hex();
}

}  // namespace

Result<std::string> hash_withdraw(Text json) { return hash_document(parse_withdraw_request(json), withdrawal_hash); }

// Transfers abort on a rejected document instead of returning it.
Result<std::string> hash_transfer(Text json) { return transfer_hash_internal(parse_transfer_or_abort(json)).to_hex(); }

Result<std::string> hash_limit_order(Text json) {
    return hash_document(parse_limit_order_request(json), limit_order_hash_internal);
}

Result<std::string> hash_liquidate(Text json) { return hash_document(parse_liquidate(json), liquidate_hash); }

Result<std::string> hash_signed_oracle_price(Text json) {
    return hash_document(parse_signed_oracle_price(json), signed_oracle_price_hash);
}

}  // namespace operations
}  // inline namespace LUMORA_KERNEL_NS
}  // namespace lumora::sdk
