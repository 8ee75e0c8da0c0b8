// The kernel operations of the count driver, compiled once per copy of the
// core (LUMORA_KERNEL_NS). Each repeats one operation on inputs given as
// texts. Chains (the field operations) feed each result into the next call,
// so no call can be folded away or overlapped with its neighbours; the
// others keep each result through a compiler barrier.
#include <array>
#include <optional>
#include <string_view>

#include "curve/alt_jubjub.h"
#include "curve/multiples.h"
#include "eddsa/eddsa.h"
#include "eddsa/nonce.h"
#include "eddsa/nonce_steps.h"
#include "field/fr.h"
#include "field/fs.h"
#include "field/sqrt.h"
#include "hashes/sha256.h"
#include "icount/kernels.h"
#include "integers/u256.h"
#include "poseidon/sponge.h"
#include "sdk/documents.h"
#include "sdk/hashing.h"
#include "sdk/keys.h"

namespace lumora::icount {
inline namespace LUMORA_KERNEL_NS {

namespace {

using field::Fr;
using field::Fs;
using field::Repr;
using Arguments = std::span<const std::string_view>;

// Makes the compiler assume `value` is read and memory written: the call
// that produced it stays, and the next one is not moved across.
template <class T>
inline void keep(const T& value) {
    __asm__ __volatile__("" : : "r"(&value) : "memory");
}

std::optional<Repr> integer(std::string_view text) {
    auto value = integers::U256::from_str_radix16(sdk::strip_hex_prefixes(text));
    if (!value.ok()) return std::nullopt;
    return value.value().limbs;
}

std::optional<Fs> scalar(std::string_view text) {
    const auto value = integer(text);
    if (!value) return std::nullopt;
    auto element = Fs::from_repr(*value);
    if (!element.ok()) return std::nullopt;
    return element.value();
}

// The 32 little-endian bytes of a hash text, as the signing operations read
// a digest.
std::optional<std::array<std::uint8_t, 32>> message_bytes(std::string_view text) {
    const auto value = integer(text);
    if (!value) return std::nullopt;
    return integers::to_bytes_le(*value);
}

std::optional<curve::edwards::Point<curve::edwards::Unknown>> packed_point(std::string_view text) {
    const auto value = integer(text);
    if (!value) return std::nullopt;
    const auto bytes = integers::to_bytes_le(*value);
    auto point = curve::edwards::read_var(bytes, curve::jubjub_params());
    if (!point.ok()) return std::nullopt;
    return point.value();
}

// a·b, a², a + b: chains of `calls` from a and b reduced into Fr.
template <class Step>
bool field_chain(Arguments args, std::uint64_t calls, Step step) {
    const auto a = integer(args[0]), b = integer(args[1]);
    if (!a || !b) return false;
    Fr x = Fr::from_raw(*a);
    const Fr y = Fr::from_raw(*b);
    for (std::uint64_t i = 0; i <= calls; ++i) x = step(x, y);
    keep(x);
    return true;
}

bool fr_mul(Arguments args, std::uint64_t calls) {
    return field_chain(args, calls, [](const Fr& x, const Fr& y) { return x * y; });
}

bool fr_sqr(Arguments args, std::uint64_t calls) {
    return field_chain(args, calls, [](const Fr& x, const Fr&) { return x.square(); });
}

bool fr_add(Arguments args, std::uint64_t calls) {
    return field_chain(args, calls, [](const Fr& x, const Fr& y) { return x + y; });
}

// Variable-time inversion (public values), the input reduced into Fr.
bool fr_inverse_var(Arguments args, std::uint64_t calls) {
    const auto a = integer(args[0]);
    if (!a) return false;
    const Fr x = Fr::from_raw(*a);
    for (std::uint64_t i = 0; i <= calls; ++i) keep(x.inverse_var());
    return true;
}

// Constant-time inversion (a^(p−2)).
bool fr_invert(Arguments args, std::uint64_t calls) {
    const auto a = integer(args[0]);
    if (!a) return false;
    const Fr x = Fr::from_raw(*a);
    for (std::uint64_t i = 0; i <= calls; ++i) keep(x.invert());
    return true;
}

// The square root of the square of the input reduced into Fr.
bool fr_sqrt(Arguments args, std::uint64_t calls) {
    const auto a = integer(args[0]);
    if (!a) return false;
    const Fr square = Fr::from_raw(*a).square();
    for (std::uint64_t i = 0; i <= calls; ++i) keep(field::sqrt_var(square));
    return true;
}

// The permutation of the state (1, 2, …, 9), each call on the previous
// call's output.
bool poseidon_permutation(Arguments, std::uint64_t calls) {
    const poseidon::Spec& spec = poseidon::get_poseidon_hasher().spec();
    poseidon::State state;
    for (std::size_t i = 0; i < state.size(); ++i) state[i] = Fr::from_u64(i + 1);
    for (std::uint64_t i = 0; i <= calls; ++i) spec.permute(state);
    keep(state);
    return true;
}

// k·G for the signing generator, from its table (secret scalars).
bool fixed_base_mul(Arguments args, std::uint64_t calls) {
    const auto k = scalar(args[0]);
    if (!k) return false;
    const auto& params = curve::jubjub_params();
    for (std::uint64_t i = 0; i <= calls; ++i) keep(params.mul_signing_generator(*k));
    return true;
}

// c·pk in variable time, c the message scalar of a hash: the product a
// signer's own check computes.
bool variable_base_mul_var(Arguments args, std::uint64_t calls) {
    const auto pk = packed_point(args[0]);
    const auto message = message_bytes(args[1]);
    if (!pk || !message) return false;
    const Repr c = eddsa::message_scalar(*message).into_repr();
    const auto& params = curve::jubjub_params();
    for (std::uint64_t i = 0; i <= calls; ++i) keep(pk->mul_var(c, params));
    return true;
}

// The subgroup test of a foreign key.
bool subgroup_check_var(Arguments args, std::uint64_t calls) {
    const auto pk = packed_point(args[0]);
    if (!pk) return false;
    const auto& params = curve::jubjub_params();
    for (std::uint64_t i = 0; i <= calls; ++i) keep(curve::in_subgroup_var(*pk, params));
    return true;
}

// s·G = R + c·pk as verification checks it (the challenge halved, four
// short products on one chain of doublings), R = G and s = 1 + c for c the
// message scalar of a hash: an equation that holds for pk = G.
bool signing_equation_var(Arguments args, std::uint64_t calls) {
    const auto message = message_bytes(args[0]);
    if (!message) return false;
    const auto& params = curve::jubjub_params();
    const curve::edwards::Point<curve::edwards::Unknown> g = params.generator(curve::SIGNING_GENERATOR);
    const Fs c = eddsa::message_scalar(*message);
    const Fs s = c + Fs::one();
    for (std::uint64_t i = 0; i <= calls; ++i) {
        const bool holds = curve::signing_equation_holds_var(g, g, s, c, params);
        if (!holds) return false;
        keep(holds);
    }
    return true;
}

// k·P in constant time for a point that is not the generator (secret k).
bool variable_base_mul(Arguments args, std::uint64_t calls) {
    const auto pk = packed_point(args[0]);
    const auto k = scalar(args[1]);
    if (!pk || !k) return false;
    const auto& params = curve::jubjub_params();
    for (std::uint64_t i = 0; i <= calls; ++i) keep(pk->mul(*k, params));
    return true;
}

// A packed point read back to its coordinates (a square root and the curve
// equation).
bool point_decoding(Arguments args, std::uint64_t calls) {
    const auto value = integer(args[0]);
    if (!value) return false;
    const auto bytes = integers::to_bytes_le(*value);
    const auto& params = curve::jubjub_params();
    for (std::uint64_t i = 0; i <= calls; ++i) {
        const auto point = curve::edwards::read_var(bytes, params);
        if (!point.ok()) return false;
        keep(point);
    }
    return true;
}

// The signature nonce of a transfer's signing: its digest (the 32
// little-endian bytes signing reads) under a private key.
bool nonce(Arguments args, std::uint64_t calls) {
    auto transfer = sdk::parse_document<sdk::Transfer>(args[0]);
    const auto sk = scalar(args[1]);
    if (!transfer.ok() || !sk) return false;
    const auto message = integers::to_bytes_le(sdk::transfer_hash_internal(transfer.value()).limbs);
    for (std::uint64_t i = 0; i <= calls; ++i) keep(eddsa::deterministic_seed(*sk, message));
    return true;
}

// One retry step of the nonce derivation (a rejected candidate's cost), K
// and V given as 32 bytes each, most significant first; each step under the
// previous step's K.
bool nonce_retry_step(Arguments args, std::uint64_t calls) {
    const auto k_value = integer(args[0]), v_value = integer(args[1]);
    if (!k_value || !v_value) return false;
    hashes::Sha256Digest k = integers::to_bytes_be(*k_value), t;
    const eddsa::HmacSha256Retry retry(integers::to_bytes_be(*v_value));
    for (std::uint64_t i = 0; i <= calls; ++i) retry.step(k, t);
    keep(k);
    keep(t);
    return true;
}

constexpr Kernel KERNEL_LIST[] = {
    {"nonce", 2, &nonce},
    {"nonce_retry_step", 2, &nonce_retry_step},
    {"fr_mul", 2, &fr_mul},
    {"fr_sqr", 2, &fr_sqr},
    {"fr_add", 2, &fr_add},
    {"fr_inverse_var", 1, &fr_inverse_var},
    {"fr_invert", 1, &fr_invert},
    {"fr_sqrt", 1, &fr_sqrt},
    {"poseidon_permutation", 0, &poseidon_permutation},
    {"fixed_base_mul", 1, &fixed_base_mul},
    {"variable_base_mul", 2, &variable_base_mul},
    {"variable_base_mul_var", 2, &variable_base_mul_var},
    {"subgroup_check_var", 1, &subgroup_check_var},
    {"signing_equation_var", 1, &signing_equation_var},
    {"point_decoding", 1, &point_decoding},
};

}  // namespace

extern const std::span<const Kernel> KERNELS;
const std::span<const Kernel> KERNELS = KERNEL_LIST;

}  // inline namespace LUMORA_KERNEL_NS
}  // namespace lumora::icount
