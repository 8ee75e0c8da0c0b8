#include "curve/edwards.h"

#include "curve/edwards_impl.h"

namespace lumora::curve {
inline namespace LUMORA_KERNEL_NS {
namespace edwards {

using field::Fr;
using field::Fs;

namespace detail {
template Extended<Fr> add<JubjubParams>(const Extended<Fr>&, const Extended<Fr>&, const JubjubParams&);
template Extended<Fr> dbl<Fr>(const Extended<Fr>&);
template bool equal<Fr>(const Extended<Fr>&, const Extended<Fr>&);
template Extended<Fr> mul<JubjubParams>(const Extended<Fr>&, const Fs&, const JubjubParams&);
template Extended<Fr> mul_var<JubjubParams>(const Extended<Fr>&, const Repr&, const JubjubParams&);
template std::pair<Fr, Fr> to_xy<Fr>(const Extended<Fr>&);
template Extended<Fr> to_affine<Fr>(const Extended<Fr>&);
template std::pair<Extended<Fr>, Extended<Fr>> to_affine_pair<Fr>(const Extended<Fr>&, const Extended<Fr>&);
template std::pair<Fr, Fr> to_xy_var<Fr>(const Extended<Fr>&);
template std::array<std::uint8_t, 32> write<Fr>(const Extended<Fr>&);
}  // namespace detail
template std::array<std::uint8_t, 32> write_xy<Fr>(const Fr&, const Fr&);
template Result<Point<Unknown>> read_var<JubjubParams>(std::span<const std::uint8_t>, const JubjubParams&);
template std::optional<Point<Unknown>> from_xy<JubjubParams>(const Fr&, const Fr&, const JubjubParams&);
template class CurveFixedBaseTable<JubjubParams>;
template class CurveOddMultiples<JubjubParams>;

std::string read_error_debug(const Error& error) {
    if (error.message == "failed to fill whole buffer")
        return "Error { kind: UnexpectedEof, message: \"failed to fill whole buffer\" }";
    return "Custom { kind: InvalidInput, error: \"" + error.message + "\" }";
}

}  // namespace edwards
}  // inline namespace LUMORA_KERNEL_NS
}  // namespace lumora::curve
