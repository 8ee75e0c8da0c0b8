// The Grain LFSR that derives the Poseidon round constants and the Cauchy
// matrix from the instance parameters alone.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/kernel_copy.h"
#include "poseidon/matrix.h"

namespace lumora::poseidon {
inline namespace LUMORA_KERNEL_NS {

// The LFSR's bit sequence b_0, b_1, …: b_0 to b_79 are the initial state
// (state bit i is b_i), then every step appends
//   b_(n+80) = b_n ^ b_(n+13) ^ b_(n+23) ^ b_(n+38) ^ b_(n+51) ^ b_(n+62),
// which is also the bit the step returns. Produced 64 bits at a time.
class GrainStream {
public:
    explicit GrainStream(unsigned __int128 initial_state);

    // The next 64 bits of the sequence from b_0 on: bit j of the i-th word
    // (counting from 0) is b_(64i+j).
    std::uint64_t next_word();

private:
    // Words i to i + 4 of the sequence; word i is returned next.
    std::array<std::uint64_t, 5> window_{};
};

class Grain {
public:
    // The 80 state bits for an instance over the 254-bit field with width 9
    // and an x^5 S-box, bit i of the result being state bit i (the first bit
    // written): field type 1 (2 bits), S-box 0 (4), field size (12), width
    // (12), full rounds (10), partial rounds (10), then thirty ones. Each
    // number is written most significant bit first.
    static unsigned __int128 initial_state(std::size_t full_rounds, std::size_t partial_rounds);

    // The initial state, advanced by the 160 steps whose bits are discarded.
    Grain(std::size_t full_rounds, std::size_t partial_rounds);

    // A 254-bit candidate from fresh output bits, most significant first,
    // retried while it is not below r.
    Fr next_field_element_var();
    // A 254-bit candidate reduced mod r; never rejects.
    Fr next_field_element_without_rejection();

    // The round constants (full_rounds + partial_rounds rows of 9, in drawing
    // order) and the Cauchy matrix of the 9 xs and then 9 ys that follow them.
    // An odd full_rounds aborts.
    static std::pair<std::vector<Vector<WIDTH>>, MdsMatrix> generate(std::size_t full_rounds,
                                                                     std::size_t partial_rounds);

private:
    // The next n output bits (n ≤ 32), the first one most significant. An
    // output bit comes from a pair of steps (x, y): y when x is 1, nothing
    // when x is 0.
    std::uint64_t take_output_bits(unsigned n);
    // The output of the pairs in the lowest `bytes` bytes of sequence bits.
    void append_pairs(std::uint64_t bits, unsigned bytes);
    field::Repr next_254_bits();

    GrainStream stream_;
    std::uint64_t output_ = 0;     // output bits not yet taken, the oldest highest
    unsigned output_bits_ = 0;
};

}  // inline namespace LUMORA_KERNEL_NS
}  // namespace lumora::poseidon
