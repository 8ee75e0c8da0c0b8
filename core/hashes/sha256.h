// SHA-256 (FIPS 180-4) and HMAC-SHA256 (RFC 2104).
//
// The compression function comes in three forms: portable C++, SHA-NI on
// x86-64 and the Armv8 SHA-256 instructions on aarch64. The form a process
// uses is chosen once, from cpu::dispatch(); an instruction form is never
// entered on a CPU that does not report its instructions. Every form gives
// the same results.
//
// Contexts hold what they absorbed (key material, for HMAC) and wipe their
// state when they are destroyed. Digests are written through output
// references so that a caller can keep a secret digest in wiped storage; an
// output may alias the input: it is written only after the input was read.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>

namespace lumora::hashes {

inline constexpr std::size_t SHA256_BLOCK_BYTES = 64;
inline constexpr std::size_t SHA256_DIGEST_BYTES = 32;

// The chaining value: eight 32-bit words H0..H7.
using Sha256State = std::array<std::uint32_t, 8>;
using Sha256Digest = std::array<std::uint8_t, SHA256_DIGEST_BYTES>;

// H(0) of FIPS 180-4 §5.3.3: the first 32 bits of the fractional parts of
// the square roots of the first eight primes.
inline constexpr Sha256State SHA256_IV = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                          0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};

// A form of the compression function (FIPS 180-4 §6.2.2, message words
// big-endian).
struct Sha256Form {
    const char* name;
    // Applies the compression to `state` for `count` consecutive 64-byte
    // blocks at `blocks`.
    void (*compress)(Sha256State& state, const std::uint8_t* blocks, std::size_t count);
    // One block into each of two independent states. The instruction forms
    // interleave the two, which costs little more than one: a single
    // compression is bound by the latency of the round instructions.
    void (*compress_pair)(Sha256State& a, const std::uint8_t* block_a, Sha256State& b, const std::uint8_t* block_b);
};

// The portable form; it runs on every CPU.
extern const Sha256Form SHA256_PORTABLE;

// The form built on the CPU's SHA-256 instructions (SHA-NI on x86-64, the
// Armv8 ones on aarch64), or null on targets without one. Running it on a CPU
// that lacks the instructions is an illegal instruction: test
// cpu::features().sha first.
const Sha256Form* sha256_extension_form();

// The form this process uses: the instruction form when
// cpu::dispatch().extensions.sha, the portable one otherwise. Chosen on the
// first call; the same afterwards.
const Sha256Form& sha256_form();

// A block compressed under many states is scheduled once: its message
// schedule with the round constants added (W[t] + K[t], 64 words), then the
// compression of a state by that schedule. Portable code; `wk` may be key
// material, and the caller wipes it.
void sha256_schedule(const std::uint8_t* block, std::uint32_t* wk);
void sha256_compress_scheduled(Sha256State& state, const std::uint32_t* wk);

// An incremental SHA-256. Copies are independent contexts (HMAC copies its
// prepared states).
class Sha256 {
public:
    explicit Sha256(const Sha256Form& form = sha256_form()) : form_(&form) {}
    Sha256(const Sha256&) = default;
    Sha256& operator=(const Sha256&) = default;
    ~Sha256() { clear(); }

    // Absorbs more input. More than 2^61 − 1 bytes in total (2^64 − 1 bits,
    // the standard's limit) aborts with "SHA-256 input longer than 2^64 - 1 bits".
    void update(std::span<const std::uint8_t> data);

    // The digest of everything absorbed; the context is wiped and starts
    // over as a fresh SHA-256 with the same compression form.
    void finalize(Sha256Digest& out);

private:
    friend class HmacSha256Key;
    friend class HmacSha256;

    // A context that has already absorbed `bytes` bytes (a whole number of
    // blocks) and reached `state`.
    Sha256(const Sha256Form& form, const Sha256State& state, std::uint64_t bytes)
        : state_(state), length_(bytes), form_(&form) {}
    void clear() noexcept;

    Sha256State state_ = SHA256_IV;
    std::array<std::uint8_t, SHA256_BLOCK_BYTES> buffer_{};
    std::uint64_t length_ = 0;  // bytes absorbed, including those still in buffer_
    const Sha256Form* form_;
};

// SHA-256 of `data` in one call.
void sha256(std::span<const std::uint8_t> data, Sha256Digest& out);
Sha256Digest sha256(std::span<const std::uint8_t> data);

// An HMAC-SHA256 key, prepared once: the SHA-256 states after the inner
// (key ⊕ 0x36…) and outer (key ⊕ 0x5c…) pad blocks. Each MAC under a prepared
// key costs two compressions fewer than one keyed from scratch. A key longer
// than a block is first replaced by its SHA-256, as RFC 2104 specifies.
class HmacSha256Key {
public:
    explicit HmacSha256Key(std::span<const std::uint8_t> key, const Sha256Form& form = sha256_form());
    HmacSha256Key(const HmacSha256Key&) = delete;
    HmacSha256Key& operator=(const HmacSha256Key&) = delete;
    ~HmacSha256Key();

    // HMAC of the concatenation of `parts`.
    void mac(std::initializer_list<std::span<const std::uint8_t>> parts, Sha256Digest& out) const;
    void mac(std::span<const std::uint8_t> data, Sha256Digest& out) const { mac({data}, out); }

    // Two MACs under this key, computed side by side: as fast as one on the
    // instruction forms while both messages fit in a block. The outputs are
    // written after both inputs were read.
    void mac_pair(std::initializer_list<std::span<const std::uint8_t>> parts_a, Sha256Digest& out_a,
                  std::initializer_list<std::span<const std::uint8_t>> parts_b, Sha256Digest& out_b) const;

    // The HMAC of a message given as the schedules (sha256_schedule) of its
    // padded inner blocks, the padding counting the pad block: for a message
    // that stays while the key changes. The scheduled blocks run on the
    // portable code.
    void mac_scheduled(std::initializer_list<const std::uint32_t*> schedules,
                       std::span<std::uint8_t, SHA256_DIGEST_BYTES> out) const;

    // A key given by the states its inner and outer pad blocks lead to, for
    // a constant key whose states are known in advance.
    static HmacSha256Key from_pad_states(const Sha256State& inner, const Sha256State& outer,
                                         const Sha256Form& form = sha256_form()) {
        return HmacSha256Key(inner, outer, form);
    }

private:
    friend class HmacSha256;

    HmacSha256Key(const Sha256State& inner, const Sha256State& outer, const Sha256Form& form)
        : inner_(inner), outer_(outer), form_(&form) {}

    Sha256State inner_;
    Sha256State outer_;
    const Sha256Form* form_;
};

// An incremental HMAC-SHA256 under a prepared key.
class HmacSha256 {
public:
    explicit HmacSha256(const HmacSha256Key& key);
    HmacSha256(const HmacSha256&) = delete;
    HmacSha256& operator=(const HmacSha256&) = delete;
    ~HmacSha256();

    void update(std::span<const std::uint8_t> data) { inner_.update(data); }
    // The MAC of everything absorbed; the context starts over under the
    // same key.
    void finalize(Sha256Digest& out);

private:
    Sha256 inner_;
    Sha256State inner_start_;
    Sha256State outer_;
};

// HMAC-SHA256 of `data` under `key`, in one call.
void hmac_sha256(std::span<const std::uint8_t> key, std::span<const std::uint8_t> data, Sha256Digest& out);
Sha256Digest hmac_sha256(std::span<const std::uint8_t> key, std::span<const std::uint8_t> data);

}  // namespace lumora::hashes
