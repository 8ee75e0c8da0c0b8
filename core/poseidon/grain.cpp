#include "poseidon/grain.h"

namespace lumora::poseidon {
inline namespace LUMORA_KERNEL_NS {

namespace {

using u64 = std::uint64_t;
using u128 = unsigned __int128;

constexpr std::size_t STATE_BITS = 80;
constexpr std::size_t FIELD_BITS = 254;
// The steps discarded after initialisation: the first pair starts at b_240,
// byte 6 of word 3 of the sequence.
constexpr std::size_t DISCARDED_STEPS = 160;
constexpr std::size_t FIRST_PAIR = STATE_BITS + DISCARDED_STEPS;
static_assert(FIRST_PAIR % 8 == 0);

// The output of the four pairs in a byte of the sequence (bits 2t and 2t+1
// form pair t, the lower bit deciding): how many bits, and the bits with the
// first one highest.
struct PairOutput {
    std::uint8_t count;
    std::uint8_t bits;
};

constexpr std::array<PairOutput, 256> make_pair_outputs() {
    std::array<PairOutput, 256> table{};
    for (unsigned byte = 0; byte < 256; ++byte) {
        unsigned count = 0, bits = 0;
        for (unsigned t = 0; t < 4; ++t) {
            if ((byte >> (2 * t)) & 1) {
                bits = (bits << 1) | ((byte >> (2 * t + 1)) & 1);
                ++count;
            }
        }
        table[byte] = {static_cast<std::uint8_t>(count), static_cast<std::uint8_t>(bits)};
    }
    return table;
}

constexpr std::array<PairOutput, 256> PAIR_OUTPUTS = make_pair_outputs();

// 64 bits of the window starting at bit `offset` (not a multiple of 64).
u64 bits_at(const std::array<u64, 5>& w, unsigned offset) {
    const unsigned word = offset / 64, shift = offset % 64;
    return (w[word] >> shift) | (w[word + 1] << (64 - shift));
}

}  // namespace

GrainStream::GrainStream(u128 initial_state) {
    // The first 320 bits one step at a time; the recurrence by words needs them.
    u128 s = initial_state;
    for (std::size_t n = 0; n < STATE_BITS; ++n) window_[n / 64] |= static_cast<u64>((s >> n) & 1) << (n % 64);
    for (std::size_t n = STATE_BITS; n < 320; ++n) {
        const u64 bit = static_cast<u64>((s ^ (s >> 13) ^ (s >> 23) ^ (s >> 38) ^ (s >> 51) ^ (s >> 62)) & 1);
        s = (s >> 1) | (static_cast<u128>(bit) << (STATE_BITS - 1));
        window_[n / 64] |= bit << (n % 64);
    }
}

u64 GrainStream::next_word() {
    // The feedback polynomial 1 + x^13 + x^23 + x^38 + x^51 + x^62 + x^80
    // raised to the fourth power (squaring over GF(2) doubles every exponent)
    // annihilates the same sequence:
    //   b_(n+320) = b_n ^ b_(n+52) ^ b_(n+92) ^ b_(n+152) ^ b_(n+204) ^ b_(n+248),
    // and every term of the next 64 bits then lies in the five words held.
    const auto& w = window_;
    const u64 next = w[0] ^ bits_at(w, 52) ^ bits_at(w, 92) ^ bits_at(w, 152) ^ bits_at(w, 204) ^ bits_at(w, 248);
    const u64 out = w[0];
    window_ = {w[1], w[2], w[3], w[4], next};
    return out;
}

u128 Grain::initial_state(std::size_t full_rounds, std::size_t partial_rounds) {
    u128 state = 0;
    std::size_t pos = 0;
    const auto write = [&](u64 value, unsigned width) {
        for (unsigned i = width; i-- > 0;) state |= static_cast<u128>((value >> i) & 1) << pos++;
    };
    write(1, 2);  // prime field
    write(0, 4);  // power-map S-box
    write(FIELD_BITS, 12);
    write(WIDTH, 12);
    write(full_rounds, 10);
    write(partial_rounds, 10);
    write((u64{1} << 30) - 1, 30);
    return state;
}

Grain::Grain(std::size_t full_rounds, std::size_t partial_rounds)
    : stream_(initial_state(full_rounds, partial_rounds)) {
    for (std::size_t i = 0; i < FIRST_PAIR / 64; ++i) stream_.next_word();
    append_pairs(stream_.next_word() >> (FIRST_PAIR % 64), (64 - FIRST_PAIR % 64) / 8);
}

inline void Grain::append_pairs(u64 bits, unsigned bytes) {
#pragma GCC unroll 8
    for (unsigned b = 0; b < bytes; ++b) {
        const PairOutput out = PAIR_OUTPUTS[(bits >> (8 * b)) & 0xff];
        output_ = (output_ << out.count) | out.bits;
        output_bits_ += out.count;
    }
}

u64 Grain::take_output_bits(unsigned n) {
    // Fewer than n ≤ 32 bits pending plus at most 32 from a word fit in 64.
    while (output_bits_ < n) append_pairs(stream_.next_word(), 8);
    output_bits_ -= n;
    const u64 bits = output_ >> output_bits_;
    output_ &= (u64{1} << output_bits_) - 1;
    return bits;
}

field::Repr Grain::next_254_bits() {
    field::Repr r;
    r[3] = take_output_bits(FIELD_BITS - 224) << 32;
    r[3] |= take_output_bits(32);
    for (int limb = 2; limb >= 0; --limb) {
        r[limb] = take_output_bits(32) << 32;
        r[limb] |= take_output_bits(32);
    }
    return r;
}

Fr Grain::next_field_element_var() {
    for (;;) {
        const field::Repr candidate = next_254_bits();
        if (Fr::is_below_modulus(candidate)) return Fr::from_raw(candidate);
    }
}

Fr Grain::next_field_element_without_rejection() { return Fr::from_raw(next_254_bits()); }

std::pair<std::vector<Vector<WIDTH>>, MdsMatrix> Grain::generate(std::size_t full_rounds,
                                                                 std::size_t partial_rounds) {
    if (full_rounds % 2 != 0) abort_with("poseidon: the number of full rounds must be even");
    Grain grain(full_rounds, partial_rounds);
    std::vector<Vector<WIDTH>> constants(full_rounds + partial_rounds);
    for (auto& row : constants)
        for (auto& c : row) c = grain.next_field_element_var();
    Vector<WIDTH> xs, ys;
    for (auto& x : xs) x = grain.next_field_element_without_rejection();
    for (auto& y : ys) y = grain.next_field_element_without_rejection();
    return {std::move(constants), cauchy(xs, ys)};
}

}  // inline namespace LUMORA_KERNEL_NS
}  // namespace lumora::poseidon
