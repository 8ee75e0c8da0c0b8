#include "field/fr.h"
#include "field/fs.h"

namespace lumora::field::inline LUMORA_KERNEL_NS {

std::string not_in_field_message(const Repr& r) { return integers::to_hex(r) + " is not an element of the field"; }

std::string not_in_field_debug(const Repr& r) { return "NotInField(\"" + integers::to_hex(r) + "\")"; }

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
