#include "poseidon/sponge.h"

namespace lumora::poseidon {
inline namespace LUMORA_KERNEL_NS {

Poseidon::Poseidon(const Spec& spec) : spec_(&spec) { state_[0] = Fr::from_u128(static_cast<field::u128>(1) << 64); }

Fr Poseidon::update_exact(const std::array<Fr, RATE>& block) {
    for (std::size_t i = 0; i < RATE; ++i) state_[i + 1] += block[i];
    spec_->permute(state_);
    return state_[1];
}

const Poseidon& get_poseidon_hasher() {
    static const Spec SPEC = Spec::create(FULL_ROUNDS, PARTIAL_ROUNDS);
    static const Poseidon POSEIDON_HASHER(SPEC);
    return POSEIDON_HASHER;
}

void Reduce::reduce(std::uint64_t word) {
    words_[consumed_] = word;
    if (++consumed_ == words_.size()) {
        accumulator_ = Fr::from_raw(words_);
        consumed_ = 0;
    }
}

void PoseidonContext::poseidon_new(std::uint64_t flag) {
    buf_len_ = 0;
    if (flag != 0) hasher_ = get_poseidon_hasher();
}

void PoseidonContext::push_word(std::uint64_t word) {
    reducer_.reduce(word);
    if (reducer_.consumed() != 0) return;
    // Elements past a full block are counted but not kept: poseidon_finalize
    // refuses such a block.
    if (buf_len_ < RATE) buf_[buf_len_] = reducer_.accumulator();
    ++buf_len_;
}

std::uint64_t PoseidonContext::poseidon_finalize() {
    if (buf_len_ != RATE) abort_with("assertion failed: self.buf.len() == 8");
    if (generator_.next_index == 0) {
        if (!hasher_) abort_with("called `Option::unwrap()` on a `None` value");
        // The canonical value's limbs are its little-endian bytes cut into words.
        generator_.words = hasher_->update_exact(buf_).into_repr();
    }
    const std::uint64_t word = generator_.words[generator_.next_index];
    generator_.next_index = (generator_.next_index + 1) % 4;
    return word;
}

PoseidonHasher::PoseidonHasher() { context_.poseidon_new(1); }

void PoseidonHasher::absorb_block() {
    for (int i = 0; i < 4; ++i) context_.poseidon_finalize();
    context_.poseidon_new(0);
    count_ = 0;
}

void PoseidonHasher::update(std::uint64_t word) {
    context_.push_word(word);
    if (++count_ == BLOCK_WORDS) absorb_block();
}

Digest PoseidonHasher::finalize() {
    while (count_ % 4 != 0) {
        context_.push_word(0);
        ++count_;
    }
    if (count_ == BLOCK_WORDS) absorb_block();
    context_.push_word(1);
    ++count_;
    for (std::size_t n = count_; n < BLOCK_WORDS; ++n) context_.push_word(0);
    Digest digest;
    for (auto& w : digest) w = context_.poseidon_finalize();
    return digest;
}

}  // inline namespace LUMORA_KERNEL_NS
}  // namespace lumora::poseidon
