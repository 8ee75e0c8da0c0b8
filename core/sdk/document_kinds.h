// The kinds of transaction document, one row per kind: the stem of its
// operations' names (hash_<stem> and sign_<stem>), the record a document
// decodes into (sdk/records.h), the digest of that record (sdk/hashing.h),
// and how the operations report a rejected document and, when signing, a
// rejected private key: RETURNED (an error value, which the module raises
// behind the operation's context) or ABORTS (an abort with the unwrap
// message).
//
// The kinds' two operations each are rows of LUMORA_SDK_OPERATIONS
// (sdk/api.h); the records' decoders (sdk/documents.cpp) and the operations
// themselves (sdk/signing.cpp) are made from this list too, which is why it
// stands apart from the api, below it. A user of the list passes one macro,
// and may pass more arguments, which reach each row behind its own.
#pragma once

#define LUMORA_SDK_DOCUMENT_KINDS(X, ...)                                                            \
    X(withdraw, WithdrawRequest, withdrawal_hash, RETURNED, ABORTS, __VA_ARGS__)                     \
    X(transfer, Transfer, transfer_hash_internal, ABORTS, ABORTS, __VA_ARGS__)                       \
    X(limit_order, LimitOrderRequest, limit_order_hash_internal, RETURNED, RETURNED, __VA_ARGS__)    \
    X(liquidate, Liquidate, liquidate_hash, RETURNED, RETURNED, __VA_ARGS__)                         \
    X(signed_oracle_price, SignedOraclePrice, signed_oracle_price_hash, RETURNED, RETURNED, __VA_ARGS__)
