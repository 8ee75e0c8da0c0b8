// The nonce derivation's fused HMAC-SHA256 steps (NonceSteps::retry_step
// and nonce_seed), written once over the vector operations of an instruction
// form: keys, pads, states and blocks pass from one compression to the next
// as vector values, and the only schedule written to memory (the set-up's
// shared second block) is wiped before the routine returns. With 32 vector
// registers (aarch64) nothing else reaches the stack, which
// scripts/field-codegen.sh checks; x86-64's sixteen leave the compiler some
// spills.
//
// Included by the instruction forms' files (nonce_x86_64.cpp,
// nonce_aarch64.cpp), each compiled for one target only, after they define
// LUMORA_SHA256_FORM_TARGET, the target attribute of their functions. The
// form is a class with:
//   Vec                         four 32-bit lanes
//   load_state(state, s0, s1)   a chaining value as the form's two state vectors
//   state_words(s0, s1, lo, hi) the chaining value of two state vectors as
//                               message words: H0..H3 and H4..H7, lane i the
//                               i-th word
//   compress<N, Scheduled, Recorded>(s0, s1, w, wk, recorded)
//                               one block into each of N independent states,
//                               the block given as message words (w[lane][g]
//                               holds words 4g..4g+3; overwritten); a lane
//                               whose bit is set in Scheduled takes its
//                               schedule, constants added, from wk[lane]
//                               instead, one whose bit is set in Recorded
//                               writes its schedule to recorded[lane] (64
//                               words, 16-byte aligned)
//   load_bytes(p), store_bytes(p, v)
//                               16 bytes as they lie in memory
//   swap_bytes(v)               each lane's bytes reversed: bytes to
//                               big-endian words and back
//   straddle(lo, hi)            byte 15 of lo, then bytes 0..14 of hi
//   words(a, b, c, d), splat(a), exclusive_or(a, b)
// Nothing here branches on or indexes memory by the key, x or V.
#pragma once

#include <array>
#include <cstdint>

#include "common/secret.h"
#include "eddsa/nonce_steps.h"
#include "hashes/sha256_forms.h"

#ifndef LUMORA_SHA256_FORM_TARGET
#error "define LUMORA_SHA256_FORM_TARGET before including nonce_fused.h"
#endif

// Everything here is inlined into the two entry points: an array of vectors
// passed by reference to a function left out of line lives in memory, and
// would leave states and schedules on the stack.
#define LUMORA_SHA256_FUSED LUMORA_SHA256_FORM_TARGET __attribute__((always_inline))

namespace lumora::eddsa::detail {

using hashes::SHA256_IV;

// W[t] + K[t] of HMAC's inner block for V = 0x01 (32 bytes), the first V of
// the nonce derivation: V, the marker, and the length of pad block and V.
alignas(16) inline constexpr std::array<std::uint32_t, 64> FIRST_V_SCHEDULE =
    schedule_constexpr({0x01010101, 0x01010101, 0x01010101, 0x01010101, 0x01010101, 0x01010101, 0x01010101,
                        0x01010101, 0x80000000, 0, 0, 0, 0, 0, 0, (64 + 32) * 8});

template <class Isa>
struct FusedHmac {
    using Vec = typename Isa::Vec;

    // Words 8..15 of a block that ends a 96-byte message after 32 bytes of it
    // (HMAC's outer block, and its inner block of a 32-byte message): the
    // 0x80 marker and the length in bits.
    LUMORA_SHA256_FUSED static Vec end_96_lo() { return Isa::words(0x80000000u, 0, 0, 0); }
    LUMORA_SHA256_FUSED static Vec end_96_hi() { return Isa::words(0, 0, 0, (64 + 32) * 8); }

    LUMORA_SHA256_FUSED static Vec load_be_words(const std::uint8_t* p) {
        return Isa::swap_bytes(Isa::load_bytes(p));
    }
    LUMORA_SHA256_FUSED static void store_be_words(std::uint8_t* p, Vec words) {
        Isa::store_bytes(p, Isa::swap_bytes(words));
    }

    // The pad states of a 32-byte key given as words (zero-extended to the
    // block), side by side.
    LUMORA_SHA256_FUSED static void key_pads(Vec k0, Vec k1, Vec& inner0, Vec& inner1, Vec& outer0, Vec& outer1) {
        const Vec ipad = Isa::splat(0x36363636), opad = Isa::splat(0x5c5c5c5c);
        Vec s0[2], s1[2];
        Isa::load_state(SHA256_IV, s0[0], s1[0]);
        s0[1] = s0[0];
        s1[1] = s1[0];
        Vec w[2][4] = {{Isa::exclusive_or(k0, ipad), Isa::exclusive_or(k1, ipad), ipad, ipad},
                       {Isa::exclusive_or(k0, opad), Isa::exclusive_or(k1, opad), opad, opad}};
        Isa::template compress<2>(s0, s1, w);
        inner0 = s0[0];
        inner1 = s1[0];
        outer0 = s0[1];
        outer1 = s1[1];
    }

    // HMAC's outer hash from the outer pad state and the inner hash's state:
    // the MAC as words.
    LUMORA_SHA256_FUSED static void outer_hash(Vec outer0, Vec outer1, Vec inner0, Vec inner1, Vec& mac0, Vec& mac1) {
        Vec s0[1] = {outer0}, s1[1] = {outer1};
        Vec w[1][4];
        Isa::state_words(inner0, inner1, w[0][0], w[0][1]);
        w[0][2] = end_96_lo();
        w[0][3] = end_96_hi();
        Isa::template compress<1>(s0, s1, w);
        Isa::state_words(s0[0], s1[0], mac0, mac1);
    }

    // One block from one state, its schedule given (W[t] + K[t], 16-byte
    // aligned).
    LUMORA_SHA256_FUSED static void compress_scheduled(Vec& state0, Vec& state1, const std::uint32_t* wk) {
        Vec s0[1] = {state0}, s1[1] = {state1};
        Vec unused[1][4] = {};
        const std::uint32_t* const given[1] = {wk};
        Isa::template compress<1, 1>(s0, s1, unused, given);
        state0 = s0[0];
        state1 = s1[0];
    }

    // The end of a retry step, from k's outer pad state and the two inner
    // states after the step's first blocks (t's whole inner hash; v ‖ v of
    // the new k's): t's outer block beside the new k's last inner block
    // (0x00, the marker and the length of pad block, v ‖ v and the zero
    // byte), then the new k's outer block.
    LUMORA_SHA256_FUSED static void finish_retry_step(Vec outer0, Vec outer1, Vec (&s0)[2], Vec (&s1)[2],
                                                      std::uint8_t* k, std::uint8_t* t) {
        {
            Vec d0, d1;
            Isa::state_words(s0[0], s1[0], d0, d1);
            Vec w[2][4] = {{d0, d1, end_96_lo(), end_96_hi()}, {}};
            s0[0] = outer0;
            s1[0] = outer1;
            const std::uint32_t* const wk[2] = {nullptr, ZERO_BYTE_SCHEDULE.data()};
            Isa::template compress<2, 2>(s0, s1, w, wk);
        }
        Vec t0, t1, k0, k1;
        Isa::state_words(s0[0], s1[0], t0, t1);
        store_be_words(t, t0);
        store_be_words(t + 16, t1);
        outer_hash(outer0, outer1, s0[1], s1[1], k0, k1);
        store_be_words(k, k0);
        store_be_words(k + 16, k1);
    }

    // t = HMAC(k, v) and k = HMAC(k, v ‖ v ‖ 0x00), both 32-byte messages'
    // blocks built in registers. The key's pad states, the second block of
    // the longer MAC and the outer hashes form a chain of four compressions;
    // T's two ride beside it.
    LUMORA_SHA256_FUSED static void retry_step(const std::uint32_t* v_schedules, std::uint8_t* k, std::uint8_t* t) {
        Vec inner0, inner1, outer0, outer1;
        key_pads(load_be_words(k), load_be_words(k + 16), inner0, inner1, outer0, outer1);
        // The inner hash of t (v and its padding) beside the first block of
        // the new k's (v ‖ v), both from the inner pad state; both schedules
        // given.
        Vec s0[2] = {inner0, inner0}, s1[2] = {inner1, inner1};
        {
            Vec w[2][4] = {};
            const std::uint32_t* const wk[2] = {v_schedules, v_schedules + 64};
            Isa::template compress<2, 3>(s0, s1, w, wk);
        }
        finish_retry_step(outer0, outer1, s0, s1, k, t);
    }

    // The set-up of the nonce derivation and its first candidate, states and
    // blocks in registers. Its chain: the two inner blocks and the outer
    // block of K under the zero key (whose pad states are constants; SHA-256
    // of a one-block message rides beside the first block, which holds V,
    // 0x00 and x but not h1), K's pads, V's inner and outer blocks (the inner
    // one's schedule a constant), again for the second K and V, and then the
    // first retry step on pads already at hand. The second block of both K's
    // inner hashes is the same (x's last byte, h1, the padding): its schedule
    // is computed once. V's two blocks of the retry step have their schedules
    // recorded for the steps that follow.
    LUMORA_SHA256_FUSED static void nonce_seed(const std::uint8_t* x, const std::uint8_t* message_block,
                                               const std::uint8_t* h1, std::uint8_t* k, std::uint8_t* v,
                                               std::uint8_t* t, std::uint32_t* v_schedules) {
        const Vec x_a = Isa::load_bytes(x), x_b = Isa::load_bytes(x + 16);
        // Words 8..15 of each K's first inner block: the separator byte (the
        // last byte of a vector holding it), then x's bytes 0..30.
        const Vec x_words_lo_0 = Isa::swap_bytes(Isa::straddle(Isa::words(0, 0, 0, 0), x_a));
        const Vec x_words_lo_1 = Isa::swap_bytes(Isa::straddle(Isa::words(0, 0, 0, 0x01000000), x_a));
        const Vec x_words_hi = Isa::swap_bytes(Isa::straddle(x_a, x_b));
        const Vec ones = Isa::splat(0x01010101);

        // K's first inner block under the zero key, with SHA-256 of the
        // message beside it when it is one block.
        Vec block0, block1, h1_a, h1_b;
        Isa::load_state(ZERO_KEY_INNER, block0, block1);
        if (message_block != nullptr) {
            Vec s0[2], s1[2];
            s0[0] = block0;
            s1[0] = block1;
            Isa::load_state(SHA256_IV, s0[1], s1[1]);
            Vec w[2][4] = {{ones, ones, x_words_lo_0, x_words_hi},
                           {load_be_words(message_block), load_be_words(message_block + 16),
                            load_be_words(message_block + 32), load_be_words(message_block + 48)}};
            Isa::template compress<2>(s0, s1, w);
            block0 = s0[0];
            block1 = s1[0];
            Vec d0, d1;
            Isa::state_words(s0[1], s1[1], d0, d1);
            h1_a = Isa::swap_bytes(d0);
            h1_b = Isa::swap_bytes(d1);
        } else {
            Vec s0[1] = {block0}, s1[1] = {block1};
            Vec w[1][4] = {{ones, ones, x_words_lo_0, x_words_hi}};
            Isa::template compress<1>(s0, s1, w);
            block0 = s0[0];
            block1 = s1[0];
            h1_a = Isa::load_bytes(h1);
            h1_b = Isa::load_bytes(h1 + 16);
        }

        // The second inner block: x's last byte, h1, the marker (the first
        // byte of a vector holding it) and the length of pad block and 97
        // bytes.
        alignas(16) std::uint32_t second_block[64];
        {
            Vec s0[1] = {block0}, s1[1] = {block1};
            Vec w[1][4] = {{Isa::swap_bytes(Isa::straddle(x_b, h1_a)), Isa::swap_bytes(Isa::straddle(h1_a, h1_b)),
                            Isa::swap_bytes(Isa::straddle(h1_b, Isa::words(0x80, 0, 0, 0))),
                            Isa::words(0, 0, 0, (64 + 97) * 8)}};
            std::uint32_t* const recorded[1] = {second_block};
            Isa::template compress<1, 0, 1>(s0, s1, w, nullptr, recorded);
            block0 = s0[0];
            block1 = s1[0];
        }
        // Read back from memory when it is used: kept in registers from here,
        // the schedule would take stack slots that are never wiped.
        __asm__ __volatile__("" : : "r"(second_block) : "memory");
        Vec zero_outer0, zero_outer1, k0, k1;
        Isa::load_state(ZERO_KEY_OUTER, zero_outer0, zero_outer1);
        outer_hash(zero_outer0, zero_outer1, block0, block1, k0, k1);

        // V = HMAC(K, V), then K = HMAC(K, V ‖ 0x01 ‖ x ‖ h1) from the same
        // pads.
        Vec inner0, inner1, outer0, outer1, v0, v1;
        key_pads(k0, k1, inner0, inner1, outer0, outer1);
        block0 = inner0;
        block1 = inner1;
        compress_scheduled(block0, block1, FIRST_V_SCHEDULE.data());
        outer_hash(outer0, outer1, block0, block1, v0, v1);
        {
            Vec s0[1] = {inner0}, s1[1] = {inner1};
            Vec w[1][4] = {{v0, v1, x_words_lo_1, x_words_hi}};
            Isa::template compress<1>(s0, s1, w);
            block0 = s0[0];
            block1 = s1[0];
        }
        compress_scheduled(block0, block1, second_block);
        wipe(second_block);
        outer_hash(outer0, outer1, block0, block1, k0, k1);

        // V = HMAC(K, V).
        key_pads(k0, k1, inner0, inner1, outer0, outer1);
        {
            Vec s0[1] = {inner0}, s1[1] = {inner1};
            Vec w[1][4] = {{v0, v1, end_96_lo(), end_96_hi()}};
            Isa::template compress<1>(s0, s1, w);
            outer_hash(outer0, outer1, s0[0], s1[0], v0, v1);
        }
        store_be_words(v, v0);
        store_be_words(v + 16, v1);

        // The first retry step under the pads at hand: T's inner block beside
        // the first of the next K's (V ‖ V), their schedules recorded.
        Vec s0[2] = {inner0, inner0}, s1[2] = {inner1, inner1};
        {
            Vec w[2][4] = {{v0, v1, end_96_lo(), end_96_hi()}, {v0, v1, v0, v1}};
            std::uint32_t* const recorded[2] = {v_schedules, v_schedules + 64};
            Isa::template compress<2, 0, 3>(s0, s1, w, nullptr, recorded);
        }
        finish_retry_step(outer0, outer1, s0, s1, k, t);
    }
};

}  // namespace lumora::eddsa::detail

#undef LUMORA_SHA256_FUSED
