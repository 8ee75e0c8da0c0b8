// BLAKE2s (RFC 7693) with the full parameter block of the BLAKE2 design:
// digest length, key, salt and personalisation. The group hash that derives
// the curve's generators runs on it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace lumora::curve::inline LUMORA_KERNEL_NS {

// A digest of 1 to 32 bytes; bytes past `length` are zero.
struct Blake2sDigest {
    std::array<std::uint8_t, 32> bytes{};
    std::size_t length = 0;

    std::span<const std::uint8_t> view() const { return {bytes.data(), length}; }
};

class Blake2s {
public:
    static constexpr std::size_t BLOCK_BYTES = 64;
    static constexpr std::size_t MAX_DIGEST_BYTES = 32;
    static constexpr std::size_t MAX_KEY_BYTES = 32;
    static constexpr std::size_t SALT_BYTES = 8;
    static constexpr std::size_t PERSONA_BYTES = 8;

    // A hasher for `digest_length` (1..32) bytes of output, keyed with up to
    // 32 bytes (empty: unkeyed); salt and personalisation of up to 8 bytes
    // each are padded with zeros. Fanout and depth are 1, every other
    // parameter 0. Out-of-range lengths abort (no input of the system reaches
    // them): "assertion failed: nn >= 1 && nn <= 32 && kk <= 32",
    // "assertion failed: salt.len() <= length", "assertion failed: persona.len() <= length".
    static Blake2s with_params(std::size_t digest_length, std::span<const std::uint8_t> key,
                               std::span<const std::uint8_t> salt, std::span<const std::uint8_t> persona);

    // Absorbs more input. More than 2^64 − 1 bytes in total aborts with
    // "hash data length overflow".
    void update(std::span<const std::uint8_t> data);

    // Pads and compresses the last block with the last-block flag; the
    // last-node flag word is `last_node` (0 for a hash that is not the last
    // node of a tree, which is every use here). The hasher is spent afterwards.
    Blake2sDigest finalize_with_flag(std::uint32_t last_node);

private:
    Blake2s() = default;
    void compress(const std::uint8_t* block, std::uint32_t f0, std::uint32_t f1);
    void increment_counter(std::size_t bytes);

    std::array<std::uint32_t, 8> h_{};
    std::array<std::uint8_t, BLOCK_BYTES> buf_{};
    std::size_t buf_len_ = 0;
    std::uint64_t t_ = 0;  // bytes compressed so far, including the key block
    std::size_t digest_length_ = 0;
};

}  // namespace lumora::curve
