#include "eddsa/nonce_steps.h"

#include <gtest/gtest.h>

#include <vector>

#include "common/cpu.h"
#include "hash_test_support.h"

namespace lumora::eddsa {
namespace {

using namespace hashes::test_support;
using hashes::HmacSha256Key;
using hashes::SHA256_PORTABLE;
using hashes::sha256;
using hashes::Sha256Digest;

// The forms of the steps this CPU can run.
std::vector<const NonceSteps*> runnable_steps() {
    std::vector<const NonceSteps*> forms = {&NONCE_STEPS_PORTABLE};
    if (nonce_steps_extension() != nullptr && cpu::features().sha) forms.push_back(nonce_steps_extension());
    return forms;
}

// The process uses the fused steps exactly when it uses the SHA-256
// instruction form.
TEST(NonceSteps, FollowTheSha256Form) {
    EXPECT_EQ(nonce_steps().sha, &hashes::sha256_form());
    if (&hashes::sha256_form() != &SHA256_PORTABLE) {
        EXPECT_EQ(&nonce_steps(), nonce_steps_extension());
    }
}

// The retry steps of every form equal the two MACs it stands for, computed
// one by one, over a chain of steps where each step's K is the previous
// step's output; and one step pinned to a value computed independently. The
// portable form with its fused step removed builds the step from the MACs.
TEST(NonceSteps, RetryStepEqualsItsTwoMacs) {
    static constexpr std::uint8_t ZERO[1] = {0};
    NonceSteps unfused = NONCE_STEPS_PORTABLE;
    unfused.name = "portable, step built from its MACs";
    unfused.retry_step = nullptr;
    std::vector<const NonceSteps*> forms = runnable_steps();
    forms.push_back(&unfused);
    for (const NonceSteps* form : forms) {
        for (int trial = 0; trial < 20; ++trial) {
            Sha256Digest v, k, t;
            std::copy_n(random_bytes(32).begin(), 32, v.begin());
            std::copy_n(random_bytes(32).begin(), 32, k.begin());
            const HmacSha256Retry retry(v, *form);
            for (int step = 0; step < 8; ++step) {
                Sha256Digest expected_t, expected_k;
                HmacSha256Key(k, SHA256_PORTABLE).mac(v, expected_t);
                HmacSha256Key(k, SHA256_PORTABLE).mac({v, v, ZERO}, expected_k);
                const Sha256Digest v_before = v;
                retry.step(k, t);
                EXPECT_EQ(t, expected_t) << form->name << ", trial " << trial << ", step " << step;
                EXPECT_EQ(k, expected_k) << form->name << ", trial " << trial << ", step " << step;
                EXPECT_EQ(v, v_before) << form->name;
            }
        }
        // K = 32 zero bytes, V = 32 bytes 0x01.
        Sha256Digest v, k{}, t;
        v.fill(0x01);
        HmacSha256Retry(v, *form).step(k, t);
        EXPECT_EQ(to_hex(t), "80a09de3bfe30da90116e588ade2f812d49b55625be8b4abbff775fa5a5a74e9") << form->name;
        EXPECT_EQ(to_hex(k), "551992aeecf649f5a4f140688b0551127357ad7477ca6e814f6957a2475fe4a0") << form->name;
    }
}

// The candidates of every form follow their construction, spelled out here
// with keys prepared from scratch on the portable form: messages around the
// one-block limit of SHA-256's padding (55 bytes) and beyond, x from zero to
// all ones, and several candidates each so the retry's K is checked too.
TEST(NonceSteps, CandidatesFollowTheirConstruction) {
    static constexpr std::uint8_t ZERO[1] = {0}, ONE[1] = {1};
    auto& rng = testing::rng();
    const std::size_t lengths[] = {0, 1, 31, 32, 33, 55, 56, 63, 64, 65, 119, 120, 200};
    for (const NonceSteps* form : runnable_steps()) {
        for (int trial = 0; trial < 40; ++trial) {
            Sha256Digest x;
            std::copy_n(random_bytes(32).begin(), 32, x.begin());
            if (trial == 0) x.fill(0x00);
            if (trial == 1) x.fill(0xff);
            const std::size_t length = trial < 13 ? lengths[trial] : rng() % 130;
            const Bytes message = random_bytes(length);

            const Sha256Digest h1 = sha256(message);
            Sha256Digest k{}, v, expected, t;
            v.fill(0x01);
            HmacSha256Key(k, SHA256_PORTABLE).mac({v, ZERO, x, h1}, k);
            HmacSha256Key(k, SHA256_PORTABLE).mac(v, v);
            HmacSha256Key(k, SHA256_PORTABLE).mac({v, ONE, x, h1}, k);
            HmacSha256Key(k, SHA256_PORTABLE).mac(v, v);
            HmacSha256Candidates candidates(x, message, *form);
            for (int i = 0; i < 6; ++i) {
                HmacSha256Key(k, SHA256_PORTABLE).mac(v, expected);
                HmacSha256Key(k, SHA256_PORTABLE).mac({v, v, ZERO}, k);
                candidates.next(t);
                EXPECT_EQ(t, expected) << form->name << ", trial " << trial << ", message of " << length
                                       << " bytes, candidate " << i;
            }
        }
    }
}

}  // namespace
}  // namespace lumora::eddsa
