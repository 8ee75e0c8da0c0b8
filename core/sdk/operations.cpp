#include "sdk/operations.h"

namespace lumora::sdk::inline LUMORA_KERNEL_NS {

// Constant-initialised: no code of this copy runs before it is chosen.
constinit const OperationTable OPERATIONS = {
    &operations::verify_signature,
    &operations::sign_withdraw,
    &operations::sign_transfer,
    &operations::sign_limit_order,
    &operations::sign_liquidate,
    &operations::sign_signed_oracle_price,
    &operations::hash_withdraw,
    &operations::hash_transfer,
    &operations::hash_limit_order,
    &operations::hash_liquidate,
    &operations::hash_signed_oracle_price,
    &operations::sign,
    &operations::eth_sign,
    &operations::private_key_from_seed,
    &operations::is_on_curve,
    &operations::public_key_to_xy,
    &operations::private_key_to_public_key_xy,
};

}  // namespace lumora::sdk
