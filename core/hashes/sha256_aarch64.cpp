// The SHA-256 compression on the Armv8 SHA-256 instructions. Only the
// functions here are built for them; the dispatch enters them only when the CPU
// reports them (HWCAP_SHA2).
#include "hashes/sha256_armv8.h"

#if defined(__aarch64__) && defined(LUMORA_SHA256_EXTENSION)
namespace lumora::hashes::detail {

LUMORA_TARGET_SHA2 void sha256_compress_armv8(Sha256State& state, const std::uint8_t* blocks, std::size_t count) {
    uint32x4_t abcd[1], efgh[1];
    Armv8::load_state(state, abcd[0], efgh[0]);
    for (; count > 0; --count, blocks += SHA256_BLOCK_BYTES) {
        const std::uint8_t* const block[1] = {blocks};
        Armv8::compress_blocks<1>(abcd, efgh, block);
    }
    Armv8::store_state(state, abcd[0], efgh[0]);
}

LUMORA_TARGET_SHA2 void sha256_compress_pair_armv8(Sha256State& a, const std::uint8_t* block_a, Sha256State& b,
                                                   const std::uint8_t* block_b) {
    uint32x4_t abcd[2], efgh[2];
    Armv8::load_state(a, abcd[0], efgh[0]);
    Armv8::load_state(b, abcd[1], efgh[1]);
    const std::uint8_t* const blocks[2] = {block_a, block_b};
    Armv8::compress_blocks<2>(abcd, efgh, blocks);
    Armv8::store_state(a, abcd[0], efgh[0]);
    Armv8::store_state(b, abcd[1], efgh[1]);
}

}  // namespace lumora::hashes::detail

#endif
