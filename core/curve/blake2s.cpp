#include "curve/blake2s.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "common/error.h"

namespace lumora::curve::inline LUMORA_KERNEL_NS {

namespace {

// The SHA-256 initial values, which BLAKE2s takes as its IV.
constexpr std::array<std::uint32_t, 8> IV = {0x6A09E667, 0xBB67AE85, 0x3C6EF372, 0xA54FF53A,
                                             0x510E527F, 0x9B05688C, 0x1F83D9AB, 0x5BE0CD19};

constexpr std::uint8_t SIGMA[10][16] = {
    {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}, {14, 10, 4, 8, 9, 15, 13, 6, 1, 12, 0, 2, 11, 7, 5, 3},
    {11, 8, 12, 0, 5, 2, 15, 13, 10, 14, 3, 6, 7, 1, 9, 4}, {7, 9, 3, 1, 13, 12, 11, 14, 2, 6, 5, 10, 4, 0, 15, 8},
    {9, 0, 5, 7, 2, 4, 10, 15, 14, 1, 11, 12, 6, 8, 3, 13}, {2, 12, 6, 10, 0, 11, 8, 3, 4, 13, 7, 5, 15, 14, 1, 9},
    {12, 5, 1, 15, 14, 13, 4, 10, 0, 7, 6, 3, 9, 2, 8, 11}, {13, 11, 7, 14, 12, 1, 3, 9, 5, 0, 15, 4, 8, 6, 2, 10},
    {6, 15, 14, 9, 11, 3, 0, 8, 12, 2, 13, 7, 1, 4, 10, 5}, {10, 2, 8, 4, 7, 6, 1, 5, 15, 11, 9, 14, 3, 12, 13, 0},
};

constexpr std::uint32_t rotr(std::uint32_t x, unsigned n) { return (x >> n) | (x << (32 - n)); }

std::uint32_t load_le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// A parameter of up to 8 bytes, zero-padded, as two little-endian words.
std::array<std::uint32_t, 2> load_padded8(std::span<const std::uint8_t> bytes) {
    std::uint8_t padded[8] = {};
    std::copy(bytes.begin(), bytes.end(), padded);
    return {load_le32(padded), load_le32(padded + 4)};
}

}  // namespace

Blake2s Blake2s::with_params(std::size_t digest_length, std::span<const std::uint8_t> key,
                             std::span<const std::uint8_t> salt, std::span<const std::uint8_t> persona) {
    if (digest_length < 1 || digest_length > MAX_DIGEST_BYTES || key.size() > MAX_KEY_BYTES)
        abort_with("assertion failed: nn >= 1 && nn <= 32 && kk <= 32");
    if (salt.size() > SALT_BYTES) abort_with("assertion failed: salt.len() <= length");
    if (persona.size() > PERSONA_BYTES) abort_with("assertion failed: persona.len() <= length");

    Blake2s s;
    s.digest_length_ = digest_length;
    s.h_ = IV;
    // Parameter block word 0: digest length, key length, fanout 1, depth 1.
    s.h_[0] ^= static_cast<std::uint32_t>(digest_length) | static_cast<std::uint32_t>(key.size()) << 8 |
               1u << 16 | 1u << 24;
    const auto salt_words = load_padded8(salt);
    const auto persona_words = load_padded8(persona);
    s.h_[4] ^= salt_words[0];
    s.h_[5] ^= salt_words[1];
    s.h_[6] ^= persona_words[0];
    s.h_[7] ^= persona_words[1];
    if (!key.empty()) {
        // The key, zero-padded, is the first block of input.
        std::copy(key.begin(), key.end(), s.buf_.begin());
        s.buf_len_ = BLOCK_BYTES;
    }
    return s;
}

void Blake2s::increment_counter(std::size_t bytes) {
    if (bytes > std::numeric_limits<std::uint64_t>::max() - t_) abort_with("hash data length overflow");
    t_ += bytes;
}

void Blake2s::update(std::span<const std::uint8_t> data) {
    while (!data.empty()) {
        // A full buffer is compressed only once more input follows: the last
        // block must go through finalize with its flag.
        if (buf_len_ == BLOCK_BYTES) {
            increment_counter(BLOCK_BYTES);
            compress(buf_.data(), 0, 0);
            buf_len_ = 0;
        }
        const std::size_t take = std::min(BLOCK_BYTES - buf_len_, data.size());
        std::memcpy(buf_.data() + buf_len_, data.data(), take);
        buf_len_ += take;
        data = data.subspan(take);
    }
}

Blake2sDigest Blake2s::finalize_with_flag(std::uint32_t last_node) {
    increment_counter(buf_len_);
    std::fill(buf_.begin() + static_cast<std::ptrdiff_t>(buf_len_), buf_.end(), std::uint8_t{0});
    compress(buf_.data(), 0xFFFFFFFFu, last_node);
    Blake2sDigest out;
    out.length = digest_length_;
    for (std::size_t i = 0; i < digest_length_; ++i) out.bytes[i] = static_cast<std::uint8_t>(h_[i / 4] >> (8 * (i % 4)));
    return out;
}

void Blake2s::compress(const std::uint8_t* block, std::uint32_t f0, std::uint32_t f1) {
    std::uint32_t m[16];
    for (int i = 0; i < 16; ++i) m[i] = load_le32(block + 4 * i);
    std::uint32_t v[16];
    for (int i = 0; i < 8; ++i) {
        v[i] = h_[i];
        v[i + 8] = IV[i];
    }
    v[12] ^= static_cast<std::uint32_t>(t_);
    v[13] ^= static_cast<std::uint32_t>(t_ >> 32);
    v[14] ^= f0;
    v[15] ^= f1;

    auto g = [&v](int a, int b, int c, int d, std::uint32_t x, std::uint32_t y) {
        v[a] = v[a] + v[b] + x;
        v[d] = rotr(v[d] ^ v[a], 16);
        v[c] = v[c] + v[d];
        v[b] = rotr(v[b] ^ v[c], 12);
        v[a] = v[a] + v[b] + y;
        v[d] = rotr(v[d] ^ v[a], 8);
        v[c] = v[c] + v[d];
        v[b] = rotr(v[b] ^ v[c], 7);
    };
    for (const auto& s : SIGMA) {
        g(0, 4, 8, 12, m[s[0]], m[s[1]]);
        g(1, 5, 9, 13, m[s[2]], m[s[3]]);
        g(2, 6, 10, 14, m[s[4]], m[s[5]]);
        g(3, 7, 11, 15, m[s[6]], m[s[7]]);
        g(0, 5, 10, 15, m[s[8]], m[s[9]]);
        g(1, 6, 11, 12, m[s[10]], m[s[11]]);
        g(2, 7, 8, 13, m[s[12]], m[s[13]]);
        g(3, 4, 9, 14, m[s[14]], m[s[15]]);
    }
    for (int i = 0; i < 8; ++i) h_[i] ^= v[i] ^ v[i + 8];
}

}  // namespace lumora::curve
