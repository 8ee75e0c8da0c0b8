#include "curve/alt_jubjub.h"

#include <cstdint>

#include "common/text.h"
#include "curve/group_hash.h"

namespace lumora::curve {
inline namespace LUMORA_KERNEL_NS {

namespace {

template <std::size_t N>
void check_generators(const std::array<PrimeOrderPoint, N>& generators) {
    for (std::size_t i = 0; i < N; ++i) {
        if (generators[i] == PrimeOrderPoint::zero()) abort_with("Neutral element!");
        for (std::size_t j = i + 1; j < N; ++j)
            if (generators[i] == generators[j]) abort_with("Duplicate generator!");
    }
}

// 2^bits·p.
PrimeOrderPoint shifted(PrimeOrderPoint p, unsigned bits) {
    for (unsigned i = 0; i < bits; ++i) p = p.dbl();
    return p;
}

}  // namespace

AltJubjubBn256::AltJubjubBn256(const JubjubParams& constants,
                               const std::array<PrimeOrderPoint, INDEXED_GENERATOR_COUNT>& indexed,
                               const std::array<PrimeOrderPoint, FIXED_GENERATOR_COUNT>& fixed)
    : JubjubParams(constants),
      indexed_(indexed),
      fixed_(fixed),
      signing_table_(fixed[SIGNING_GENERATOR], constants),
      signing_low_(fixed[SIGNING_GENERATOR], SIGNING_ODD_MULTIPLES, constants),
      signing_high_(shifted(fixed[SIGNING_GENERATOR], SIGNING_SPLIT_BITS), SIGNING_ODD_MULTIPLES, constants) {}

AltJubjubBn256 AltJubjubBn256::build() {
    const JubjubParams constants = JubjubParams::from_constants();

    std::array<PrimeOrderPoint, INDEXED_GENERATOR_COUNT> indexed;
    for (std::uint32_t m = 0; m < INDEXED_GENERATOR_COUNT; ++m) {
        const std::uint8_t message[4] = {static_cast<std::uint8_t>(m), static_cast<std::uint8_t>(m >> 8),
                                         static_cast<std::uint8_t>(m >> 16), static_cast<std::uint8_t>(m >> 24)};
        indexed[m] = find_group_hash(message, INDEXED_GENERATOR_PERSONALISATION, constants);
    }
    check_generators(indexed);

    std::array<PrimeOrderPoint, FIXED_GENERATOR_COUNT> fixed;
    for (std::size_t i = 0; i < FIXED_GENERATOR_COUNT; ++i)
        fixed[i] = find_group_hash(text::bytes_of(FIXED_GENERATOR_SEEDS[i].message), FIXED_GENERATOR_SEEDS[i].personalisation,
                                   constants);
    check_generators(fixed);

    return AltJubjubBn256(constants, indexed, fixed);
}

const PrimeOrderPoint& AltJubjubBn256::generator(std::size_t index) const {
    if (index >= FIXED_GENERATOR_COUNT) abort_with("fixed generator index out of range");
    return fixed_[index];
}

const AltJubjubBn256& jubjub_params() {
    static const AltJubjubBn256 JUBJUB_PARAMS = AltJubjubBn256::build();
    return JUBJUB_PARAMS;
}

}  // inline namespace LUMORA_KERNEL_NS
}  // namespace lumora::curve
