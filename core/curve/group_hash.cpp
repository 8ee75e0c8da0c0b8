#include "curve/group_hash.h"

#include <vector>

#include "common/text.h"
#include "hashes/blake2s.h"

namespace lumora::curve {
inline namespace LUMORA_KERNEL_NS {

using hashes::Blake2s;
using hashes::Blake2sDigest;

std::optional<edwards::Point<edwards::PrimeOrder>> baby_group_hash(std::span<const std::uint8_t> tag,
                                                                    std::string_view personalisation,
                                                                    const JubjubParams& params) {
    if (personalisation.size() != Blake2s::PERSONA_BYTES)
        abort_with("group hash personalisation must be exactly 8 bytes");
    auto h = Blake2s::with_params(32, {}, {}, text::bytes_of(personalisation));
    h.update(text::bytes_of(GROUP_HASH_FIRST_BLOCK));
    h.update(tag);
    const Blake2sDigest digest = h.finalize_with_flag(0);
    if (digest.length != 32) abort_with("assertion failed: h.len() == 32");

    const auto point = edwards::read_var(digest.view(), params);
    if (!point.ok()) return std::nullopt;
    const auto p = point.value().mul_by_cofactor();
    if (p == edwards::Point<edwards::PrimeOrder>::zero()) return std::nullopt;
    return p;
}

edwards::Point<edwards::PrimeOrder> find_group_hash(std::span<const std::uint8_t> message,
                                                    std::string_view personalisation, const JubjubParams& params) {
    std::vector<std::uint8_t> tag(message.begin(), message.end());
    tag.push_back(0);
    for (;;) {
        const auto p = baby_group_hash(tag, personalisation, params);
        if (tag.back() == 0xff) abort_with("assertion failed: tag[i] != u8::max_value()");
        ++tag.back();
        if (p) return *p;
    }
}

}  // inline namespace LUMORA_KERNEL_NS
}  // namespace lumora::curve
