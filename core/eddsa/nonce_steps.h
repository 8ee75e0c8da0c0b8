// The HMAC-SHA256 steps of the nonce derivation (nonce.h), in forms that
// follow the SHA-256 forms: portable code built on the portable compression,
// and steps fused over the SHA-256 instructions (nonce_fused.h), which keep
// every state in registers from one compression to the next. The form a
// process uses is chosen once, by the rule that chooses the SHA-256 form.
// Compiled once: nothing here uses the field kernels.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "hashes/sha256.h"
#include "hashes/sha256_forms.h"

namespace lumora::eddsa {

struct NonceSteps {
    const char* name;
    // The SHA-256 form of the MACs the steps are not fused into.
    const hashes::Sha256Form* sha;
    // HmacSha256Retry::step in one call, given the message schedules
    // (constants added) of the retry's two blocks that depend on v alone;
    // null when the step is built from two MACs of `sha`.
    void (*retry_step)(const std::uint32_t* v_schedules, std::uint8_t* k, std::uint8_t* t);
    // HmacSha256Candidates' set-up and its first retry step in one call: from
    // x and the message's one padded block (or h1 when that is null), writes
    // V, the first candidate t, the K that the step leaves, and V's schedules
    // for retry_step. Null when the set-up is built from MACs of `sha`.
    void (*nonce_seed)(const std::uint8_t* x, const std::uint8_t* message_block, const std::uint8_t* h1,
                       std::uint8_t* k, std::uint8_t* v, std::uint8_t* t, std::uint32_t* v_schedules) = nullptr;
};

// On the portable SHA-256 compression; it runs on every CPU.
extern const NonceSteps NONCE_STEPS_PORTABLE;

// The steps fused over the CPU's SHA-256 instructions, or null on targets
// without them. Running them on a CPU that lacks the instructions is an
// illegal instruction: test cpu::features().sha first.
const NonceSteps* nonce_steps_extension();

// The steps this process uses: fused when hashes::sha256_form() is the
// instruction form, portable otherwise.
const NonceSteps& nonce_steps();

// A retry loop with a fixed 32-byte `v`: each step under the 32-byte key `k`
// gives t = HMAC(k, v), then k = HMAC(k, v ‖ v ‖ 0x00). What depends on v
// alone is prepared once and wiped with the object; intermediate states stay
// out of memory the caller does not own.
class HmacSha256Retry {
public:
    explicit HmacSha256Retry(const hashes::Sha256Digest& v, const NonceSteps& steps = nonce_steps());
    HmacSha256Retry(const HmacSha256Retry&) = delete;
    HmacSha256Retry& operator=(const HmacSha256Retry&) = delete;
    ~HmacSha256Retry();

    void step(hashes::Sha256Digest& k, hashes::Sha256Digest& t) const;

private:
    friend class HmacSha256Candidates;

    // Not prepared: v is given to prepare(), or set with the schedules by the
    // nonce seed step.
    explicit HmacSha256Retry(const NonceSteps& steps) : v_{}, v_schedules_{}, steps_(&steps) {}
    void prepare(const hashes::Sha256Digest& v);

    hashes::Sha256Digest v_;
    // W[t] + K[t] of v with its padding (as HMAC's inner message) and of v ‖ v.
    alignas(16) std::array<std::uint32_t, 128> v_schedules_;
    const NonceSteps* steps_;
};

// The candidates of a deterministic nonce in the manner of RFC 6979 §3.2 over
// SHA-256, for a 32-byte private key x, with h1 = SHA-256(message) taken as
// it is:
//   K = 0x00 (32 bytes), V = 0x01 (32 bytes)
//   K = HMAC(K, V ‖ 0x00 ‖ x ‖ h1), V = HMAC(K, V)
//   K = HMAC(K, V ‖ 0x01 ‖ x ‖ h1), V = HMAC(K, V)
// then each candidate is T = HMAC(K, V), after which K = HMAC(K, V ‖ V ‖ 0x00)
// and V stays. Everything derived from x is wiped with the object.
class HmacSha256Candidates {
public:
    HmacSha256Candidates(const hashes::Sha256Digest& x, std::span<const std::uint8_t> message,
                         const NonceSteps& steps = nonce_steps());
    HmacSha256Candidates(const HmacSha256Candidates&) = delete;
    HmacSha256Candidates& operator=(const HmacSha256Candidates&) = delete;
    ~HmacSha256Candidates();

    // The next candidate T.
    void next(hashes::Sha256Digest& t);

private:
    hashes::Sha256Digest k_;
    hashes::Sha256Digest first_;  // the first candidate, when the set-up computed it
    bool first_ready_ = false;
    HmacSha256Retry retry_;
};

namespace detail {

using hashes::detail::compress_constexpr;
using hashes::detail::schedule_constexpr;

constexpr std::array<std::uint32_t, 16> repeated_words(std::uint32_t word) {
    std::array<std::uint32_t, 16> block{};
    block.fill(word);
    return block;
}

// The HMAC pad states of the key of 32 zero bytes (zero-extended to the
// block, so the pads are 0x36 and 0x5c throughout), which starts the
// derivation.
inline constexpr hashes::Sha256State ZERO_KEY_INNER =
    compress_constexpr(hashes::SHA256_IV, repeated_words(0x36363636));
inline constexpr hashes::Sha256State ZERO_KEY_OUTER =
    compress_constexpr(hashes::SHA256_IV, repeated_words(0x5c5c5c5c));

// W[t] + K[t] of the last inner block of HMAC(k, 64 bytes ‖ 0x00), the
// retry's: the byte, the marker and the length (pad block and 65 bytes) are
// all constant.
alignas(16) inline constexpr std::array<std::uint32_t, 64> ZERO_BYTE_SCHEDULE =
    schedule_constexpr({0x00800000, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, (64 + 65) * 8});

#if defined(__x86_64__) && defined(LUMORA_SHA256_EXTENSION)
// On SHA-NI (nonce_x86_64.cpp).
void retry_step_shani(const std::uint32_t* v_schedules, std::uint8_t* k, std::uint8_t* t);
void nonce_seed_shani(const std::uint8_t* x, const std::uint8_t* message_block, const std::uint8_t* h1,
                      std::uint8_t* k, std::uint8_t* v, std::uint8_t* t, std::uint32_t* v_schedules);
#elif defined(__aarch64__) && defined(LUMORA_SHA256_EXTENSION)
// On the Armv8 SHA-256 instructions (nonce_aarch64.cpp).
void retry_step_armv8(const std::uint32_t* v_schedules, std::uint8_t* k, std::uint8_t* t);
void nonce_seed_armv8(const std::uint8_t* x, const std::uint8_t* message_block, const std::uint8_t* h1,
                      std::uint8_t* k, std::uint8_t* v, std::uint8_t* t, std::uint32_t* v_schedules);
#endif

}  // namespace detail
}  // namespace lumora::eddsa
