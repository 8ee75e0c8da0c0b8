#include "eddsa/nonce_steps.h"

#include <cstring>

#include "common/cpu.h"
#include "common/secret.h"

namespace lumora::eddsa {

namespace {

using hashes::Sha256Digest;
using Block = std::array<std::uint8_t, hashes::SHA256_BLOCK_BYTES>;

// HmacSha256Retry::step: the key's pads, then the three blocks whose
// schedules are known before the step (v alone, v ‖ v, and the zero byte's
// block) without scheduling them again, then the two outer hashes.
void retry_step_portable(const std::uint32_t* v_schedules, std::uint8_t* k, std::uint8_t* t) {
    constexpr std::size_t N = hashes::SHA256_DIGEST_BYTES;
    // k is read into the key's pad states before the new one is written.
    const hashes::HmacSha256Key key(std::span<const std::uint8_t>(k, N), hashes::SHA256_PORTABLE);
    key.mac_scheduled({v_schedules}, std::span<std::uint8_t, N>(t, N));
    key.mac_scheduled({v_schedules + 64, detail::ZERO_BYTE_SCHEDULE.data()}, std::span<std::uint8_t, N>(k, N));
}

}  // namespace

const NonceSteps NONCE_STEPS_PORTABLE = {"portable", &hashes::SHA256_PORTABLE, &retry_step_portable};

const NonceSteps* nonce_steps_extension() {
#if defined(__x86_64__) && defined(LUMORA_SHA256_EXTENSION)
    static const NonceSteps SHANI = {"SHA-NI", hashes::sha256_extension_form(), &detail::retry_step_shani,
                                     &detail::nonce_seed_shani};
    return &SHANI;
#elif defined(__aarch64__) && defined(LUMORA_SHA256_EXTENSION)
    static const NonceSteps ARMV8 = {"Armv8 SHA-256", hashes::sha256_extension_form(), &detail::retry_step_armv8,
                                     &detail::nonce_seed_armv8};
    return &ARMV8;
#else
    return nullptr;
#endif
}

const NonceSteps& nonce_steps() {
    static const NonceSteps* const chosen = [] {
        const NonceSteps* extension = nonce_steps_extension();
        return extension != nullptr && &hashes::sha256_form() == extension->sha ? extension : &NONCE_STEPS_PORTABLE;
    }();
    return *chosen;
}

HmacSha256Retry::HmacSha256Retry(const Sha256Digest& v, const NonceSteps& steps) : HmacSha256Retry(steps) {
    prepare(v);
}

void HmacSha256Retry::prepare(const Sha256Digest& v) {
    v_ = v;
    if (steps_->retry_step == nullptr) return;
    // v as HMAC's whole inner message (after the pad block: 96 bytes), and v ‖ v.
    Secret<std::array<Block, 2>> blocks;
    auto& [alone, twice] = *blocks;
    alone.fill(0);
    std::memcpy(alone.data(), v.data(), v.size());
    alone[v.size()] = 0x80;
    alone[alone.size() - 2] = ((64 + 32) * 8) >> 8;
    alone[alone.size() - 1] = ((64 + 32) * 8) & 0xff;
    std::memcpy(twice.data(), v.data(), v.size());
    std::memcpy(twice.data() + v.size(), v.data(), v.size());
    hashes::sha256_schedule(alone.data(), v_schedules_.data());
    hashes::sha256_schedule(twice.data(), v_schedules_.data() + 64);
}

HmacSha256Retry::~HmacSha256Retry() {
    wipe(v_);
    wipe(v_schedules_);
}

void HmacSha256Retry::step(Sha256Digest& k, Sha256Digest& t) const {
    if (steps_->retry_step != nullptr) return steps_->retry_step(v_schedules_.data(), k.data(), t.data());
    static constexpr std::uint8_t ZERO[1] = {0x00};
    // Both MACs under one prepared key, side by side; k is read before the
    // new one is written.
    const hashes::HmacSha256Key key(k, *steps_->sha);
    key.mac_pair({v_}, t, {v_, v_, ZERO}, k);
}

HmacSha256Candidates::HmacSha256Candidates(const Sha256Digest& x, std::span<const std::uint8_t> message,
                                           const NonceSteps& steps)
    : k_{}, first_{}, retry_(steps) {
    static constexpr std::uint8_t ZERO[1] = {0x00};
    static constexpr std::uint8_t ONE[1] = {0x01};
    const hashes::Sha256Form& form = *steps.sha;
    // The message is public; everything derived from x is wiped.
    Sha256Digest h1;
    if (steps.nonce_seed != nullptr && steps.retry_step != nullptr) {
        // A message that fits one block (the marker and the length follow
        // it) is hashed inside the fused set-up.
        constexpr std::size_t ONE_BLOCK = hashes::SHA256_BLOCK_BYTES - 9;
        Block message_block{};
        const bool one_block = message.size() <= ONE_BLOCK;
        if (one_block) {
            if (!message.empty()) std::memcpy(message_block.data(), message.data(), message.size());
            message_block[message.size()] = 0x80;
            const std::uint64_t bits = std::uint64_t{message.size()} * 8;
            for (std::size_t i = 0; i < 8; ++i)
                message_block[message_block.size() - 1 - i] = static_cast<std::uint8_t>(bits >> (8 * i));
        } else {
            hashes::Sha256 hash(form);
            hash.update(message);
            hash.finalize(h1);
        }
        steps.nonce_seed(x.data(), one_block ? message_block.data() : nullptr, h1.data(), k_.data(),
                         retry_.v_.data(), first_.data(), retry_.v_schedules_.data());
        first_ready_ = true;
        return;
    }
    {
        hashes::Sha256 hash(form);
        hash.update(message);
        hash.finalize(h1);
    }
    Secret<Sha256Digest> v;
    v->fill(0x01);
    {
        // K = 0x00…: its pad states are constants.
        const auto key = hashes::HmacSha256Key::from_pad_states(detail::ZERO_KEY_INNER, detail::ZERO_KEY_OUTER, form);
        key.mac({*v, ZERO, x, h1}, k_);
    }
    {
        const hashes::HmacSha256Key key(k_, form);  // both MACs under this K
        key.mac(*v, *v);
        key.mac({*v, ONE, x, h1}, k_);
    }
    hashes::HmacSha256Key(k_, form).mac(*v, *v);
    retry_.prepare(*v);
}

HmacSha256Candidates::~HmacSha256Candidates() {
    wipe(k_);
    wipe(first_);
}

void HmacSha256Candidates::next(Sha256Digest& t) {
    if (first_ready_) {
        t = first_;
        wipe(first_);
        first_ready_ = false;
        return;
    }
    retry_.step(k_, t);
}

}  // namespace lumora::eddsa
