// The parts of the constant-time check that use one copy of the core
// directly, compiled once per copy (see ctime_copies.h).
#include "ctime_copies.h"

#include <array>
#include <cstdint>

#include "common/ct.h"
#include "common/kernel_copy.h"
#include "curve/alt_jubjub.h"
#include "eddsa/eddsa.h"
#include "field/montgomery.h"

namespace lumora::ctime_check {
inline namespace LUMORA_KERNEL_NS {

cpu::FieldCopy compiled_copy() { return field::COPY; }

// Key and nonce undefined, the public key and the signature public once
// made.
int sign_with_given_nonces() {
    using field::Fs;
    const auto& params = curve::jubjub_params();
    int failed = 0;
    for (std::uint64_t i = 1; i <= 4; ++i) {
        Fs sk = Fs::from_raw({i * 0x9e3779b97f4a7c15, i, ~i, i << 7});
        Fs r = Fs::from_raw({~i * 0x2545f4914f6cdd1d, i * 3, i, ~0ull >> 8});
        const std::array<std::uint8_t, 32> message{static_cast<std::uint8_t>(i)};
        LUMORA_CLASSIFY(&sk, sizeof sk);
        LUMORA_CLASSIFY(&r, sizeof r);
        const auto pk = eddsa::public_key(sk, curve::SIGNING_GENERATOR, params);
        const auto signature = eddsa::sign_raw_message(sk, message, r, curve::SIGNING_GENERATOR, params);
        if (!eddsa::verify_for_raw_message(pk, message, signature, curve::SIGNING_GENERATOR, params)) ++failed;
    }
    return failed;
}

}  // inline namespace LUMORA_KERNEL_NS
}  // namespace lumora::ctime_check
