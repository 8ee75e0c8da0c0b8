#include "poseidon/grain.h"

namespace lumora::poseidon::inline LUMORA_KERNEL_NS {

namespace {

using u128 = unsigned __int128;

constexpr std::size_t STATE_BITS = 80;
constexpr std::size_t FIELD_BITS = 254;
constexpr std::size_t DISCARDED_STEPS = 160;

}  // namespace

u128 Grain::initial_state(std::size_t full_rounds, std::size_t partial_rounds) {
    u128 state = 0;
    std::size_t pos = 0;
    const auto write = [&](std::uint64_t value, unsigned width) {
        for (unsigned i = width; i-- > 0;) state |= static_cast<u128>((value >> i) & 1) << pos++;
    };
    write(1, 2);  // prime field
    write(0, 4);  // power-map S-box
    write(FIELD_BITS, 12);
    write(WIDTH, 12);
    write(full_rounds, 10);
    write(partial_rounds, 10);
    write((std::uint64_t{1} << 30) - 1, 30);
    return state;
}

Grain::Grain(std::size_t full_rounds, std::size_t partial_rounds)
    : state_(initial_state(full_rounds, partial_rounds)) {
    for (std::size_t i = 0; i < DISCARDED_STEPS; ++i) new_bit();
}

bool Grain::new_bit() {
    const u128 s = state_;
    const bool bit = ((s ^ (s >> 13) ^ (s >> 23) ^ (s >> 38) ^ (s >> 51) ^ (s >> 62)) & 1) != 0;
    state_ = (s >> 1) | (static_cast<u128>(bit) << (STATE_BITS - 1));
    return bit;
}

bool Grain::next_output_bit() {
    for (;;) {
        const bool keep = new_bit();
        const bool bit = new_bit();
        if (keep) return bit;
    }
}

field::Repr Grain::next_254_bits() {
    field::Repr r{};
    for (std::size_t i = FIELD_BITS; i-- > 0;) {
        if (next_output_bit()) r[i / 64] |= std::uint64_t{1} << (i % 64);
    }
    return r;
}

Fr Grain::next_field_element() {
    for (;;) {
        auto candidate = Fr::from_repr(next_254_bits());
        if (candidate.ok()) return candidate.value();
    }
}

Fr Grain::next_field_element_without_rejection() { return Fr::from_raw(next_254_bits()); }

std::pair<std::vector<Vector<WIDTH>>, MdsMatrix> Grain::generate(std::size_t full_rounds,
                                                                 std::size_t partial_rounds) {
    if (full_rounds % 2 != 0) abort_with("poseidon: the number of full rounds must be even");
    Grain grain(full_rounds, partial_rounds);
    std::vector<Vector<WIDTH>> constants(full_rounds + partial_rounds);
    for (auto& row : constants)
        for (auto& c : row) c = grain.next_field_element();
    Vector<WIDTH> xs, ys;
    for (auto& x : xs) x = grain.next_field_element_without_rejection();
    for (auto& y : ys) y = grain.next_field_element_without_rejection();
    return {std::move(constants), cauchy(xs, ys)};
}

}  // namespace lumora::poseidon
