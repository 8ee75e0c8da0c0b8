// The SHA-256 compression on SHA-NI. Only the functions here are built for
// the SHA, SSSE3 and SSE4.1 instructions; the dispatch enters them only when
// the CPU reports all three.
#include "hashes/sha256_forms.h"

#if defined(__x86_64__)
#include "hashes/sha256_shani.h"

namespace lumora::hashes::detail {

LUMORA_TARGET_SHANI void sha256_compress_shani(Sha256State& state, const std::uint8_t* blocks, std::size_t count) {
    __m128i abef[1], cdgh[1];
    ShaNi::load_state(state, abef[0], cdgh[0]);
    for (; count > 0; --count, blocks += SHA256_BLOCK_BYTES) {
        const std::uint8_t* const block[1] = {blocks};
        ShaNi::compress_blocks<1>(abef, cdgh, block);
    }
    ShaNi::store_state(state, abef[0], cdgh[0]);
}

LUMORA_TARGET_SHANI void sha256_compress_pair_shani(Sha256State& a, const std::uint8_t* block_a, Sha256State& b,
                                                    const std::uint8_t* block_b) {
    __m128i abef[2], cdgh[2];
    ShaNi::load_state(a, abef[0], cdgh[0]);
    ShaNi::load_state(b, abef[1], cdgh[1]);
    const std::uint8_t* const blocks[2] = {block_a, block_b};
    ShaNi::compress_blocks<2>(abef, cdgh, blocks);
    ShaNi::store_state(a, abef[0], cdgh[0]);
    ShaNi::store_state(b, abef[1], cdgh[1]);
}

}  // namespace lumora::hashes::detail

#endif
