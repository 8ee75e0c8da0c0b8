// The self-test of scripts/ctime_codegen.py: functions that handle a secret
// the way the checked code must not (planted_*, each must be reported), and
// functions that must pass (clean_*): a loop over a public count with
// pointers and indices derived from it, and a constant-time selection. The
// arguments are what the checked functions take: pointers to secret data and
// public counts.
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#elif defined(__aarch64__)
#include <arm_neon.h>
#endif

namespace {

// A table in the object's constants, as an S-box would be.
constexpr std::uint64_t TABLE[16] = {3, 1, 4, 1, 5, 9, 2, 6, 5, 3, 5, 8, 9, 7, 9, 3};

}  // namespace

extern "C" {

// A loop whose exit depends on the secret: a branch on loaded data.
std::uint64_t planted_branch_on_secret(const std::uint64_t* key) {
    std::uint64_t x = key[0];
    while (x > 7) x = x / 3 + (x & 1);
    return x;
}

// A table read at a secret index.
std::uint64_t planted_secret_table_index(const std::uint8_t* key) { return TABLE[key[0] & 15]; }

// A secret that reaches a general-purpose register from a vector register,
// and a loop on it.
int planted_branch_on_vector_data(const std::uint8_t* a, const std::uint8_t* b) {
    int rounds = 0;
#if defined(__x86_64__)
    __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a));
    const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b));
    while (_mm_movemask_epi8(_mm_cmpeq_epi8(x, y)) != 0xffff) {
        x = _mm_add_epi8(x, _mm_set1_epi8(1));
        ++rounds;
    }
#elif defined(__aarch64__)
    uint8x16_t x = vld1q_u8(a);
    const uint8x16_t y = vld1q_u8(b);
    while (vmaxvq_u8(veorq_u8(x, y)) != 0) {
        x = vaddq_u8(x, vdupq_n_u8(1));
        ++rounds;
    }
#endif
    return rounds;
}

// A secret used as an address.
std::uint64_t planted_secret_pointer(const std::uint64_t* const* keys) { return *keys[0]; }

// Blocks over a public count, the loop counter and pointers public.
void clean_public_count_loop(std::uint64_t* out, const std::uint64_t* in, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) out[i] = in[i] ^ (in[i] >> 7) ^ TABLE[i & 15];
}

// A selection by a secret bit through a mask, no branch.
void clean_masked_select(std::uint64_t* out, const std::uint64_t* a, const std::uint64_t* b, const std::uint64_t* bit) {
    const std::uint64_t mask = 0 - (bit[0] & 1);
    for (int i = 0; i < 4; ++i) out[i] = (a[i] & mask) | (b[i] & ~mask);
}

// A secret spilled to the stack and back, and a public count kept beside it.
void clean_wipe_after_use(std::uint8_t* out, const std::uint8_t* key, std::size_t count) {
    std::uint8_t copy[64];
    std::memcpy(copy, key, sizeof copy);
    for (std::size_t i = 0; i < count && i < sizeof copy; ++i) out[i] = static_cast<std::uint8_t>(copy[i] * 5 + 1);
    std::memset(copy, 0, sizeof copy);
    __asm__ __volatile__("" : : "r"(copy) : "memory");
}

}  // extern "C"
