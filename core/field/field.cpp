#include <cstdio>

#include "field/fr.h"
#include "field/fs.h"

namespace lumora::field::inline LUMORA_KERNEL_NS {

std::string repr_to_hex(const Repr& r) {
    char buf[67];
    std::snprintf(buf, sizeof buf, "0x%016llx%016llx%016llx%016llx", static_cast<unsigned long long>(r[3]),
                  static_cast<unsigned long long>(r[2]), static_cast<unsigned long long>(r[1]),
                  static_cast<unsigned long long>(r[0]));
    return buf;
}

Repr repr_from_bytes_be(std::span<const std::uint8_t, 32> bytes) {
    Repr r{};
    for (std::size_t i = 0; i < 32; ++i) r[(31 - i) / 8] |= static_cast<u64>(bytes[i]) << (8 * ((31 - i) % 8));
    return r;
}

std::array<std::uint8_t, 32> repr_to_bytes_be(const Repr& r) {
    std::array<std::uint8_t, 32> out{};
    for (std::size_t i = 0; i < 32; ++i) out[i] = static_cast<std::uint8_t>(r[(31 - i) / 8] >> (8 * ((31 - i) % 8)));
    return out;
}

Repr repr_from_bytes_le(std::span<const std::uint8_t, 32> bytes) {
    Repr r{};
    for (std::size_t i = 0; i < 32; ++i) r[i / 8] |= static_cast<u64>(bytes[i]) << (8 * (i % 8));
    return r;
}

std::array<std::uint8_t, 32> repr_to_bytes_le(const Repr& r) {
    std::array<std::uint8_t, 32> out{};
    for (std::size_t i = 0; i < 32; ++i) out[i] = static_cast<std::uint8_t>(r[i / 8] >> (8 * (i % 8)));
    return out;
}

std::string not_in_field_message(const Repr& r) { return repr_to_hex(r) + " is not an element of the field"; }

std::string not_in_field_debug(const Repr& r) { return "NotInField(\"" + repr_to_hex(r) + "\")"; }

template Legendre legendre_var<FrParams>(const Fr& a);
template std::optional<Fr> sqrt_var<FrParams>(const Fr& a);

std::optional<Fr> fr_from_str(std::string_view text) {
    if (text.empty()) return std::nullopt;
    if (text == "0") return Fr::zero();
    const Fr ten = Fr::from_u64(10);
    Fr value = Fr::zero();
    bool first = true;
    for (char ch : text) {
        if (ch < '0' || ch > '9') return std::nullopt;
        if (first && ch == '0') return std::nullopt;
        first = false;
        value = value * ten + Fr::from_u64(static_cast<u64>(ch - '0'));
    }
    return value;
}

}  // namespace lumora::field
