#include "curve/jubjub_params.h"

#include "common/error.h"

namespace lumora::curve {
inline namespace LUMORA_KERNEL_NS {

namespace {

Fr parse_constant(std::string_view decimal) {
    const auto value = field::fr_from_str(decimal);
    if (!value) abort_with("called `Option::unwrap()` on a `None` value");
    return *value;
}

}  // namespace

JubjubParams JubjubParams::from_constants() {
    JubjubParams p;
    p.montgomery_a_ = parse_constant(MONTGOMERY_A_DECIMAL);
    p.montgomery_2a_ = p.montgomery_a_.dbl();
    p.edwards_d_ = parse_constant(EDWARDS_D_DECIMAL);
    p.montgomery_scale_ = parse_constant(MONTGOMERY_SCALE_DECIMAL);
    p.edwards_2d_ = p.edwards_d_.dbl();
    return p;
}

}  // inline namespace LUMORA_KERNEL_NS
}  // namespace lumora::curve
