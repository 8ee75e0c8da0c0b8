// The Grain LFSR that derives the Poseidon round constants and the Cauchy
// matrix from the instance parameters alone.
#pragma once

#include <cstddef>
#include <vector>

#include "poseidon/matrix.h"

namespace lumora::poseidon::inline LUMORA_KERNEL_NS {

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

    // One LFSR step: the feedback bit s0 ^ s13 ^ s23 ^ s38 ^ s51 ^ s62, shifted
    // in as the new bit 79, and returned.
    bool new_bit();

    // A 254-bit candidate from fresh output bits, most significant first,
    // retried while it is not below r.
    Fr next_field_element();
    // A 254-bit candidate reduced mod r; never rejects.
    Fr next_field_element_without_rejection();

    // The round constants (full_rounds + partial_rounds rows of 9, in drawing
    // order) and the Cauchy matrix of the 9 xs and then 9 ys that follow them.
    // An odd full_rounds aborts.
    static std::pair<std::vector<Vector<WIDTH>>, MdsMatrix> generate(std::size_t full_rounds,
                                                                     std::size_t partial_rounds);

private:
    // One output bit: pairs (x, y) are drawn until x is 1, and y is the bit.
    bool next_output_bit();
    field::Repr next_254_bits();

    unsigned __int128 state_;  // bit i is s[i]; bits 80 and up stay zero
};

}  // namespace lumora::poseidon
