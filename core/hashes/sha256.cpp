#include "hashes/sha256.h"

#include <algorithm>
#include <cstring>

#include "common/cpu.h"
#include "common/error.h"
#include "common/secret.h"
#include "hashes/sha256_forms.h"

namespace lumora::hashes {

namespace {

// The standard's limit of 2^64 − 1 bits, in whole bytes.
constexpr std::uint64_t MAX_INPUT_BYTES = (std::uint64_t{1} << 61) - 1;

constexpr std::uint32_t rotr(std::uint32_t x, unsigned n) { return (x >> n) | (x << (32 - n)); }

std::uint32_t load_be32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
           static_cast<std::uint32_t>(p[2]) << 8 | static_cast<std::uint32_t>(p[3]);
}

void store_be32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v >> 24);
    p[1] = static_cast<std::uint8_t>(v >> 16);
    p[2] = static_cast<std::uint8_t>(v >> 8);
    p[3] = static_cast<std::uint8_t>(v);
}

void store_be64(std::uint8_t* p, std::uint64_t v) {
    store_be32(p, static_cast<std::uint32_t>(v >> 32));
    store_be32(p + 4, static_cast<std::uint32_t>(v));
}

void store_digest(const Sha256State& state, Sha256Digest& out) {
    for (std::size_t i = 0; i < state.size(); ++i) store_be32(out.data() + 4 * i, state[i]);
}

// The outer hash of HMAC: the prepared outer state, then one block holding
// the 32-byte inner digest, the padding and the length of pad block plus
// digest (96 bytes = 768 bits).
void finish_outer(Sha256Compress compress, const Sha256State& outer, const Sha256Digest& inner_digest,
                  Sha256Digest& out) {
    Secret<std::array<std::uint8_t, SHA256_BLOCK_BYTES>> block;
    std::memcpy(block->data(), inner_digest.data(), inner_digest.size());
    (*block)[SHA256_DIGEST_BYTES] = 0x80;
    store_be64(block->data() + SHA256_BLOCK_BYTES - 8, (SHA256_BLOCK_BYTES + SHA256_DIGEST_BYTES) * 8);
    Secret<Sha256State> state(outer);
    compress(*state, block->data(), 1);
    store_digest(*state, out);
}

}  // namespace

void sha256_compress_portable(Sha256State& state, const std::uint8_t* blocks, std::size_t count) {
    using detail::SHA256_K;
    std::uint32_t w[64];
    for (; count > 0; --count, blocks += SHA256_BLOCK_BYTES) {
        for (int t = 0; t < 16; ++t) w[t] = load_be32(blocks + 4 * t);
        for (int t = 16; t < 64; ++t) {
            const std::uint32_t s0 = rotr(w[t - 15], 7) ^ rotr(w[t - 15], 18) ^ (w[t - 15] >> 3);
            const std::uint32_t s1 = rotr(w[t - 2], 17) ^ rotr(w[t - 2], 19) ^ (w[t - 2] >> 10);
            w[t] = w[t - 16] + s0 + w[t - 7] + s1;
        }
        std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
        std::uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
        for (int t = 0; t < 64; ++t) {
            const std::uint32_t t1 =
                h + (rotr(e, 6) ^ rotr(e, 11) ^ rotr(e, 25)) + ((e & f) ^ (~e & g)) + SHA256_K[t] + w[t];
            const std::uint32_t t2 = (rotr(a, 2) ^ rotr(a, 13) ^ rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
            h = g;
            g = f;
            f = e;
            e = d + t1;
            d = c;
            c = b;
            b = a;
            a = t1 + t2;
        }
        state[0] += a;
        state[1] += b;
        state[2] += c;
        state[3] += d;
        state[4] += e;
        state[5] += f;
        state[6] += g;
        state[7] += h;
    }
    // The schedule is derived from the message, which may be key material.
    wipe(w);
}

Sha256Compress sha256_compress_extension() {
#if defined(__x86_64__)
    return &detail::sha256_compress_shani;
#elif defined(LUMORA_SHA256_EXTENSION)
    return &detail::sha256_compress_armv8;
#else
    return nullptr;
#endif
}

Sha256Compress sha256_compress() {
    static const Sha256Compress chosen = [] {
        const Sha256Compress extension = sha256_compress_extension();
        return cpu::dispatch().sha_extensions && extension != nullptr ? extension : &sha256_compress_portable;
    }();
    return chosen;
}

void Sha256::clear() noexcept {
    wipe(state_);
    wipe(buffer_);
    state_ = SHA256_IV;
    length_ = 0;
}

void Sha256::update(std::span<const std::uint8_t> data) {
    if (data.empty()) return;
    if (data.size() > MAX_INPUT_BYTES - length_) abort_with("SHA-256 input longer than 2^64 - 1 bits");
    const std::uint8_t* p = data.data();
    std::size_t n = data.size();
    const std::size_t used = length_ % SHA256_BLOCK_BYTES;
    length_ += n;
    if (used != 0) {
        const std::size_t take = std::min(n, SHA256_BLOCK_BYTES - used);
        std::memcpy(buffer_.data() + used, p, take);
        p += take;
        n -= take;
        if (used + take < SHA256_BLOCK_BYTES) return;
        compress_(state_, buffer_.data(), 1);
    }
    if (const std::size_t whole = n / SHA256_BLOCK_BYTES; whole > 0) {
        compress_(state_, p, whole);
        p += whole * SHA256_BLOCK_BYTES;
        n -= whole * SHA256_BLOCK_BYTES;
    }
    if (n > 0) std::memcpy(buffer_.data(), p, n);
}

void Sha256::finalize(Sha256Digest& out) {
    std::size_t used = length_ % SHA256_BLOCK_BYTES;
    buffer_[used++] = 0x80;
    if (used > SHA256_BLOCK_BYTES - 8) {
        std::fill(buffer_.begin() + used, buffer_.end(), 0);
        compress_(state_, buffer_.data(), 1);
        used = 0;
    }
    std::fill(buffer_.begin() + used, buffer_.end() - 8, 0);
    store_be64(buffer_.data() + SHA256_BLOCK_BYTES - 8, length_ * 8);
    compress_(state_, buffer_.data(), 1);
    store_digest(state_, out);
    clear();
}

void sha256(std::span<const std::uint8_t> data, Sha256Digest& out) {
    Sha256 h;
    h.update(data);
    h.finalize(out);
}

Sha256Digest sha256(std::span<const std::uint8_t> data) {
    Sha256Digest out;
    sha256(data, out);
    return out;
}

HmacSha256Key::HmacSha256Key(std::span<const std::uint8_t> key, Sha256Compress compress)
    : inner_(SHA256_IV), outer_(SHA256_IV), compress_(compress) {
    Secret<std::array<std::uint8_t, SHA256_BLOCK_BYTES>> block;
    if (key.size() > SHA256_BLOCK_BYTES) {
        Secret<Sha256Digest> hashed;
        Sha256 h(compress);
        h.update(key);
        h.finalize(*hashed);
        std::memcpy(block->data(), hashed->data(), hashed->size());
    } else if (!key.empty()) {
        std::memcpy(block->data(), key.data(), key.size());
    }
    for (auto& b : *block) b ^= 0x36;
    compress_(inner_, block->data(), 1);
    for (auto& b : *block) b ^= 0x36 ^ 0x5c;
    compress_(outer_, block->data(), 1);
}

HmacSha256Key::~HmacSha256Key() {
    wipe(inner_);
    wipe(outer_);
}

void HmacSha256Key::mac(std::initializer_list<std::span<const std::uint8_t>> parts, Sha256Digest& out) const {
    Sha256 inner(compress_, inner_, SHA256_BLOCK_BYTES);
    for (auto part : parts) inner.update(part);
    Secret<Sha256Digest> inner_digest;
    inner.finalize(*inner_digest);
    finish_outer(compress_, outer_, *inner_digest, out);
}

HmacSha256::HmacSha256(const HmacSha256Key& key)
    : inner_(key.compress_, key.inner_, SHA256_BLOCK_BYTES), inner_start_(key.inner_), outer_(key.outer_) {}

HmacSha256::~HmacSha256() {
    wipe(inner_start_);
    wipe(outer_);
}

void HmacSha256::finalize(Sha256Digest& out) {
    Secret<Sha256Digest> inner_digest;
    inner_.finalize(*inner_digest);
    finish_outer(inner_.compress_, outer_, *inner_digest, out);
    inner_ = Sha256(inner_.compress_, inner_start_, SHA256_BLOCK_BYTES);
}

void hmac_sha256(std::span<const std::uint8_t> key, std::span<const std::uint8_t> data, Sha256Digest& out) {
    HmacSha256Key(key).mac(data, out);
}

Sha256Digest hmac_sha256(std::span<const std::uint8_t> key, std::span<const std::uint8_t> data) {
    Sha256Digest out;
    hmac_sha256(key, data, out);
    return out;
}

}  // namespace lumora::hashes
