#include "hashes/sha256.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>

#include "common/cpu.h"
#include "common/error.h"
#include "common/secret.h"
#include "hashes/sha256_forms.h"

#if defined(__x86_64__)
#include <emmintrin.h>
#endif

namespace lumora::hashes {

namespace {

// The standard's limit of 2^64 − 1 bits, in whole bytes.
constexpr std::uint64_t MAX_INPUT_BYTES = (std::uint64_t{1} << 61) - 1;

using detail::rotr;

std::uint32_t load_be32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
           static_cast<std::uint32_t>(p[2]) << 8 | static_cast<std::uint32_t>(p[3]);
}

// One word-sized store rather than four byte stores: a compression that
// loads the block right after it waits for every store it cannot forward.
void store_be32(std::uint8_t* p, std::uint32_t v) {
    if constexpr (std::endian::native == std::endian::little) v = __builtin_bswap32(v);
    std::memcpy(p, &v, sizeof v);
}

void store_be64(std::uint8_t* p, std::uint64_t v) {
    store_be32(p, static_cast<std::uint32_t>(v >> 32));
    store_be32(p + 4, static_cast<std::uint32_t>(v));
}

void store_digest(const Sha256State& state, std::uint8_t* out) {
    for (std::size_t i = 0; i < state.size(); ++i) store_be32(out + 4 * i, state[i]);
}

void store_digest(const Sha256State& state, Sha256Digest& out) { store_digest(state, out.data()); }

using Block = std::array<std::uint8_t, SHA256_BLOCK_BYTES>;

// The outer hash's only block after the pad: the inner digest, the padding,
// and the length of pad block plus digest (96 bytes = 768 bits).
void pad_outer_block(Block& block) {
    block[SHA256_DIGEST_BYTES] = 0x80;
    std::fill(block.begin() + SHA256_DIGEST_BYTES + 1, block.end() - 8, 0);
    store_be64(block.data() + SHA256_BLOCK_BYTES - 8, (SHA256_BLOCK_BYTES + SHA256_DIGEST_BYTES) * 8);
}

void outer_block(const Sha256State& inner, Block& block) {
    for (std::size_t i = 0; i < inner.size(); ++i) store_be32(block.data() + 4 * i, inner[i]);
    pad_outer_block(block);
}

void outer_block(const Sha256Digest& inner, Block& block) {
    std::memcpy(block.data(), inner.data(), inner.size());
    pad_outer_block(block);
}

// The padded blocks of a message given in parts, which follows `prefix`
// bytes (a whole number of blocks) already compressed.
class PaddedBlocks {
public:
    PaddedBlocks(std::initializer_list<std::span<const std::uint8_t>> parts, std::uint64_t prefix)
        : part_(parts.begin()), end_(parts.end()), bits_(prefix * 8) {
        for (auto part : parts) bits_ += std::uint64_t{part.size()} * 8;
    }

    // Writes the next block; false when there is none left.
    bool next(Block& block) {
        if (done_) return false;
        std::size_t n = 0;
        while (n < block.size() && part_ != end_) {
            const std::size_t take = std::min(block.size() - n, part_->size() - offset_);
            if (take > 0) std::memcpy(block.data() + n, part_->data() + offset_, take);
            n += take;
            offset_ += take;
            if (offset_ == part_->size()) {
                ++part_;
                offset_ = 0;
            }
        }
        if (n == block.size()) return true;
        if (!marked_) {
            block[n++] = 0x80;
            marked_ = true;
        }
        if (n > block.size() - 8) {  // the length goes into one more block
            std::fill(block.begin() + n, block.end(), 0);
            return true;
        }
        std::fill(block.begin() + n, block.end() - 8, 0);
        store_be64(block.data() + block.size() - 8, bits_);
        done_ = true;
        return true;
    }

private:
    const std::span<const std::uint8_t>* part_;
    const std::span<const std::uint8_t>* end_;
    std::size_t offset_ = 0;
    std::uint64_t bits_;
    bool marked_ = false;  // the 0x80 after the message is written
    bool done_ = false;
};

// The portable compression, written for the compiler: every round and index
// unrolled at compile time, the working variables renamed from round to round
// rather than moved, and the schedule kept as a ring of sixteen words
// extended just ahead of the round that uses it. That keeps the working
// variables in registers and gives the CPU independent work beside each
// round's chain (a rolled loop over a 64-word schedule was much slower:
// bench/RESULTS.md, "Kernel choices").
using Words = std::uint32_t[8];

// Σ0 and Σ1. On x86-64 the rotations are nested, each xored with the input
// on the way (rotation distributes over xor): the two-operand ror then needs
// one copy of the input where side-by-side rotations need one each, two
// instructions fewer per Σ. aarch64 folds a rotation into each xor either
// way, so there the rotations stay side by side, off each other's path.
#if defined(__x86_64__)
inline std::uint32_t big_sigma0(std::uint32_t a) { return rotr(rotr(rotr(a, 9) ^ a, 11) ^ a, 2); }
inline std::uint32_t big_sigma1(std::uint32_t e) { return rotr(rotr(rotr(e, 14) ^ e, 5) ^ e, 6); }
#else
inline std::uint32_t big_sigma0(std::uint32_t a) { return rotr(a, 2) ^ rotr(a, 13) ^ rotr(a, 22); }
inline std::uint32_t big_sigma1(std::uint32_t e) { return rotr(e, 6) ^ rotr(e, 11) ^ rotr(e, 25); }
#endif
using detail::small_sigma0, detail::small_sigma1;

// Round T. The working variable that is `a` in round 0 sits at s[0]; each
// round's new a and e are written over the old h and d, so in round T the
// variable named i sits at s[(i − T) mod 8].
//
// `bc` carries b ⊕ c from round to round: this round's a ⊕ b is the next
// one's, so Maj(a, b, c) = b ⊕ ((a ⊕ b) ∧ (b ⊕ c)) costs three operations.
template <int T>
inline __attribute__((always_inline)) void round(Words& s, std::uint32_t& bc, std::uint32_t wk) {
    constexpr auto at = [](int i) { return static_cast<std::size_t>(((i - T) % 8 + 8) % 8); };
    const std::uint32_t a = s[at(0)], b = s[at(1)];
    const std::uint32_t e = s[at(4)], f = s[at(5)], g = s[at(6)];
    const std::uint32_t ab = a ^ b;
    const std::uint32_t t1 = s[at(7)] + big_sigma1(e) + (g ^ (e & (f ^ g))) + wk;
    const std::uint32_t t2 = big_sigma0(a) + (b ^ (ab & bc));
    bc = ab;
    s[at(3)] += t1;
    s[at(7)] = t1 + t2;
}

template <int T>
inline __attribute__((always_inline)) void scheduled_round(Words& s, std::uint32_t& bc, std::uint32_t (&w)[16]) {
    if constexpr (T >= 16) {
        w[T % 16] += small_sigma0(w[(T - 15) % 16]) + w[(T - 7) % 16] + small_sigma1(w[(T - 2) % 16]);
    }
    round<T>(s, bc, w[T % 16] + detail::SHA256_K[T]);
}

// Always inlined: a call boundary would put the working variables in memory.
template <int... T>
inline __attribute__((always_inline)) void block_rounds(Words& s, std::uint32_t (&w)[16],
                                                        std::integer_sequence<int, T...>) {
    std::uint32_t bc = s[1] ^ s[2];
    (scheduled_round<T>(s, bc, w), ...);
}

template <int... T>
inline __attribute__((always_inline)) void given_rounds(Words& s, const std::uint32_t* wk,
                                                        std::integer_sequence<int, T...>) {
    std::uint32_t bc = s[1] ^ s[2];
    (round<T>(s, bc, wk[T]), ...);
}

void feed_forward(Sha256State& state, const Words& s) {
    for (std::size_t i = 0; i < state.size(); ++i) state[i] += s[i];
}

#if defined(__x86_64__)
// On x86-64 the schedule is taken four words at a time in SSE2, which every
// x86-64 CPU has, beside the rounds: the general registers cannot hold the
// ring of sixteen words beside the working variables, so there each word
// cost about twenty-three instructions through memory. SSE2 has no
// rotation, so σ0 and σ1 are each five shifts xored, taken in pairs.
inline __m128i small_sigma0_x4(__m128i x) {
    // x>>3 ^ x>>7 ^ x>>18 ^ x<<25 ^ x<<14, paired as (x ^ x>>4)>>3 and
    // (x ^ x<<11)<<14: two shifts and copies fewer than five apart.
    const __m128i x4 = _mm_srli_epi32(x, 4);
    const __m128i right = _mm_xor_si128(_mm_srli_epi32(_mm_xor_si128(x, x4), 3), _mm_srli_epi32(x4, 14));
    return _mm_xor_si128(right, _mm_slli_epi32(_mm_xor_si128(x, _mm_slli_epi32(x, 11)), 14));
}
inline __m128i small_sigma1_x4(__m128i x) {
    // x>>10 ^ x>>17 ^ x>>19 ^ x<<15 ^ x<<13 as x>>10 ^ (x ^ x>>2)>>17 ^ (x ^ x<<2)<<13.
    const __m128i right = _mm_xor_si128(_mm_srli_epi32(x, 10), _mm_srli_epi32(_mm_xor_si128(x, _mm_srli_epi32(x, 2)), 17));
    return _mm_xor_si128(right, _mm_slli_epi32(_mm_xor_si128(x, _mm_slli_epi32(x, 2)), 13));
}

// SSE2 has no byte shuffle or alignment shift of its own: the big-endian
// words by swapping the bytes of each 16-bit half, then the halves; the
// words a group needs that straddle two groups by moving one word in and
// rotating the four.
inline __m128i load_be32_x4(const std::uint8_t* p) {
    __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    x = _mm_or_si128(_mm_slli_epi16(x, 8), _mm_srli_epi16(x, 8));
    return _mm_shufflehi_epi16(_mm_shufflelo_epi16(x, 0xb1), 0xb1);
}
inline __m128i words_from_1(__m128i lo, __m128i hi) {  // lo[1..3], hi[0]
    const __m128 mixed = _mm_move_ss(_mm_castsi128_ps(lo), _mm_castsi128_ps(hi));  // hi[0], lo[1..3]
    return _mm_shuffle_epi32(_mm_castps_si128(mixed), 0x39);
}
inline __m128i k_x4(int t) { return _mm_load_si128(reinterpret_cast<const __m128i*>(detail::SHA256_K.data() + t)); }

// Rounds 4G..4G+3, with the schedule's group G + 4 (words 4G+16..4G+19)
// beside them: the last four groups of W stay in registers (ring[g % 4]
// holds group g), and W + K goes to wk, four groups ahead of its rounds.
// Words 4G+16 and +17 need σ1 of the group before; +18 and +19 need σ1 of
// +16 and +17, so σ1 is added in two halves.
template <int G>
inline __attribute__((always_inline)) void group_rounds(Words& s, std::uint32_t& bc, __m128i (&ring)[4],
                                                        std::uint32_t* wk) {
    if constexpr (G + 4 < 16) {
        const __m128i g0 = ring[G % 4], g1 = ring[(G + 1) % 4], g2 = ring[(G + 2) % 4], g3 = ring[(G + 3) % 4];
        __m128i x = _mm_add_epi32(g0, small_sigma0_x4(words_from_1(g0, g1)));
        x = _mm_add_epi32(x, words_from_1(g2, g3));
        x = _mm_add_epi32(x, small_sigma1_x4(_mm_srli_si128(g3, 8)));  // σ1(0) = 0 in the top half
        x = _mm_add_epi32(x, small_sigma1_x4(_mm_slli_si128(x, 8)));   // and in the bottom half
        ring[G % 4] = x;
        _mm_store_si128(reinterpret_cast<__m128i*>(wk + 4 * (G + 4)), _mm_add_epi32(x, k_x4(4 * (G + 4))));
    }
    round<4 * G>(s, bc, wk[4 * G]);
    round<4 * G + 1>(s, bc, wk[4 * G + 1]);
    round<4 * G + 2>(s, bc, wk[4 * G + 2]);
    round<4 * G + 3>(s, bc, wk[4 * G + 3]);
}

template <int... G>
inline __attribute__((always_inline)) void block_groups(Words& s, __m128i (&ring)[4], std::uint32_t* wk,
                                                        std::integer_sequence<int, G...>) {
    std::uint32_t bc = s[1] ^ s[2];
    (group_rounds<G>(s, bc, ring, wk), ...);
}

void compress_portable(Sha256State& state, const std::uint8_t* blocks, std::size_t count) {
    alignas(16) std::uint32_t wk[64];
    for (; count > 0; --count, blocks += SHA256_BLOCK_BYTES) {
        __m128i ring[4];
        for (int g = 0; g < 4; ++g) {
            ring[g] = load_be32_x4(blocks + 16 * g);
            _mm_store_si128(reinterpret_cast<__m128i*>(wk + 4 * g), _mm_add_epi32(ring[g], k_x4(4 * g)));
        }
        Words s = {state[0], state[1], state[2], state[3], state[4], state[5], state[6], state[7]};
        block_groups(s, ring, wk, std::make_integer_sequence<int, 16>());
        feed_forward(state, s);
    }
    // The schedule is derived from the message, which may be key material.
    wipe(wk);
}
#else
void compress_portable(Sha256State& state, const std::uint8_t* blocks, std::size_t count) {
    std::uint32_t w[16];
    for (; count > 0; --count, blocks += SHA256_BLOCK_BYTES) {
        for (int t = 0; t < 16; ++t) w[t] = load_be32(blocks + 4 * t);
        Words s = {state[0], state[1], state[2], state[3], state[4], state[5], state[6], state[7]};
        block_rounds(s, w, std::make_integer_sequence<int, 64>());
        feed_forward(state, s);
    }
    // The schedule is derived from the message, which may be key material.
    wipe(w);
}
#endif

void compress_pair_portable(Sha256State& a, const std::uint8_t* block_a, Sha256State& b,
                            const std::uint8_t* block_b) {
    compress_portable(a, block_a, 1);
    compress_portable(b, block_b, 1);
}

// HMAC's inner and outer pad blocks of a key of at most a block, which is
// zero-extended to the block.
void pad_blocks(std::span<const std::uint8_t> key, Block& ipad, Block& opad) {
    ipad.fill(0);
    if (!key.empty()) std::memcpy(ipad.data(), key.data(), key.size());
    for (std::size_t i = 0; i < ipad.size(); ++i) {
        opad[i] = ipad[i] ^ 0x5c;
        ipad[i] ^= 0x36;
    }
}

}  // namespace

const Sha256Form SHA256_PORTABLE = {"portable", &compress_portable, &compress_pair_portable};

const Sha256Form* sha256_extension_form() {
#if defined(__x86_64__)
    static constexpr Sha256Form SHANI = {"SHA-NI", &detail::sha256_compress_shani, &detail::sha256_compress_pair_shani};
    return &SHANI;
#elif defined(LUMORA_SHA256_EXTENSION)
    static constexpr Sha256Form ARMV8 = {"Armv8 SHA-256", &detail::sha256_compress_armv8,
                                         &detail::sha256_compress_pair_armv8};
    return &ARMV8;
#else
    return nullptr;
#endif
}

const Sha256Form& sha256_form() {
    static const Sha256Form* const chosen = [] {
        const Sha256Form* extension = sha256_extension_form();
        return cpu::dispatch().extensions.sha && extension != nullptr ? extension : &SHA256_PORTABLE;
    }();
    return *chosen;
}

void sha256_schedule(const std::uint8_t* block, std::uint32_t* wk) {
    using detail::SHA256_K;
    for (int t = 0; t < 16; ++t) wk[t] = load_be32(block + 4 * t);
    for (int t = 16; t < 64; ++t) wk[t] = detail::sha256_next_word(wk, t);
    for (int t = 0; t < 64; ++t) wk[t] += SHA256_K[t];
}

void sha256_compress_scheduled(Sha256State& state, const std::uint32_t* wk) {
    Words s = {state[0], state[1], state[2], state[3], state[4], state[5], state[6], state[7]};
    given_rounds(s, wk, std::make_integer_sequence<int, 64>());
    feed_forward(state, s);
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
        form_->compress(state_, buffer_.data(), 1);
    }
    if (const std::size_t whole = n / SHA256_BLOCK_BYTES; whole > 0) {
        form_->compress(state_, p, whole);
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
        form_->compress(state_, buffer_.data(), 1);
        used = 0;
    }
    std::fill(buffer_.begin() + used, buffer_.end() - 8, 0);
    store_be64(buffer_.data() + SHA256_BLOCK_BYTES - 8, length_ * 8);
    form_->compress(state_, buffer_.data(), 1);
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

HmacSha256Key::HmacSha256Key(std::span<const std::uint8_t> key, const Sha256Form& form)
    : inner_(SHA256_IV), outer_(SHA256_IV), form_(&form) {
    Secret<std::array<Block, 2>> pads;
    auto& [ipad, opad] = *pads;
    if (key.size() > SHA256_BLOCK_BYTES) {
        Secret<Sha256Digest> hashed;
        Sha256 h(form);
        h.update(key);
        h.finalize(*hashed);
        pad_blocks(*hashed, ipad, opad);
    } else {
        pad_blocks(key, ipad, opad);
    }
    form_->compress_pair(inner_, ipad.data(), outer_, opad.data());
}

HmacSha256Key::~HmacSha256Key() {
    wipe(inner_);
    wipe(outer_);
}

void HmacSha256Key::mac(std::initializer_list<std::span<const std::uint8_t>> parts, Sha256Digest& out) const {
    Secret<Sha256State> inner(inner_), outer(outer_);
    Secret<Block> block;
    PaddedBlocks blocks(parts, SHA256_BLOCK_BYTES);
    while (blocks.next(*block)) form_->compress(*inner, block->data(), 1);
    outer_block(*inner, *block);
    form_->compress(*outer, block->data(), 1);
    store_digest(*outer, out);
}

void HmacSha256Key::mac_pair(std::initializer_list<std::span<const std::uint8_t>> parts_a, Sha256Digest& out_a,
                             std::initializer_list<std::span<const std::uint8_t>> parts_b,
                             Sha256Digest& out_b) const {
    Secret<std::array<Sha256State, 2>> inner(std::array<Sha256State, 2>{inner_, inner_}),
        outer(std::array<Sha256State, 2>{outer_, outer_});
    Secret<std::array<Block, 2>> block;
    auto& [ia, ib] = *inner;
    auto& [oa, ob] = *outer;
    auto& [ba, bb] = *block;
    PaddedBlocks blocks_a(parts_a, SHA256_BLOCK_BYTES), blocks_b(parts_b, SHA256_BLOCK_BYTES);
    bool more_a = blocks_a.next(ba), more_b = blocks_b.next(bb);
    while (more_a || more_b) {
        if (more_a && more_b) {
            form_->compress_pair(ia, ba.data(), ib, bb.data());
        } else if (more_a) {
            form_->compress(ia, ba.data(), 1);
        } else {
            form_->compress(ib, bb.data(), 1);
        }
        if (more_a) more_a = blocks_a.next(ba);
        if (more_b) more_b = blocks_b.next(bb);
    }
    outer_block(ia, ba);
    outer_block(ib, bb);
    form_->compress_pair(oa, ba.data(), ob, bb.data());
    store_digest(oa, out_a);
    store_digest(ob, out_b);
}

void HmacSha256Key::mac_scheduled(std::initializer_list<const std::uint32_t*> schedules,
                                  std::span<std::uint8_t, SHA256_DIGEST_BYTES> out) const {
    Secret<Sha256State> inner(inner_), outer(outer_);
    Secret<Block> block;
    for (const std::uint32_t* wk : schedules) sha256_compress_scheduled(*inner, wk);
    outer_block(*inner, *block);
    form_->compress(*outer, block->data(), 1);
    store_digest(*outer, out.data());
}

HmacSha256::HmacSha256(const HmacSha256Key& key)
    : inner_(*key.form_, key.inner_, SHA256_BLOCK_BYTES), inner_start_(key.inner_), outer_(key.outer_) {}

HmacSha256::~HmacSha256() {
    wipe(inner_start_);
    wipe(outer_);
}

void HmacSha256::finalize(Sha256Digest& out) {
    Secret<Sha256Digest> inner_digest;
    inner_.finalize(*inner_digest);
    Secret<Sha256State> outer(outer_);
    Secret<Block> block;
    outer_block(*inner_digest, *block);
    inner_.form_->compress(*outer, block->data(), 1);
    store_digest(*outer, out);
    inner_ = Sha256(*inner_.form_, inner_start_, SHA256_BLOCK_BYTES);
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
