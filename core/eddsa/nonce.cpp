#include "eddsa/nonce.h"

#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/sha.h>

#include <array>
#include <cstring>

namespace lumora::eddsa {

namespace {

using Block = std::array<std::uint8_t, 32>;

// One HMAC-SHA256 context for the whole derivation: re-keying it costs two
// compression rounds, setting one up costs far more.
class Hmac {
public:
    Hmac() {
        mac_ = EVP_MAC_fetch(nullptr, OSSL_MAC_NAME_HMAC, nullptr);
        if (mac_ != nullptr) ctx_ = EVP_MAC_CTX_new(mac_);
        char digest[] = "SHA256";
        const OSSL_PARAM params[] = {OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, digest, 0),
                                     OSSL_PARAM_construct_end()};
        if (ctx_ == nullptr || EVP_MAC_CTX_set_params(ctx_, params) != 1)
            abort_with("HMAC-SHA256 is not available from the crypto library");
    }
    Hmac(const Hmac&) = delete;
    Hmac& operator=(const Hmac&) = delete;
    ~Hmac() {
        EVP_MAC_CTX_free(ctx_);
        EVP_MAC_free(mac_);
    }

    // HMAC(key, parts[0] ‖ parts[1] ‖ …); a null key reuses the previous
    // key's prepared pads, which saves two compression rounds.
    Block compute(const Block* key, std::initializer_list<std::span<const std::uint8_t>> parts) {
        if (EVP_MAC_init(ctx_, key ? key->data() : nullptr, key ? key->size() : 0, nullptr) != 1)
            abort_with("HMAC-SHA256 initialisation failed");
        for (auto part : parts)
            if (EVP_MAC_update(ctx_, part.data(), part.size()) != 1) abort_with("HMAC-SHA256 update failed");
        Block out{};
        std::size_t len = 0;
        if (EVP_MAC_final(ctx_, out.data(), &len, out.size()) != 1 || len != out.size())
            abort_with("HMAC-SHA256 finalisation failed");
        return out;
    }

private:
    EVP_MAC* mac_ = nullptr;
    EVP_MAC_CTX* ctx_ = nullptr;
};

}  // namespace

field::Fs deterministic_seed(const field::Fs& sk, std::span<const std::uint8_t> message) {
    Block h1{};
    SHA256(message.data(), message.size(), h1.data());
    const Block x = field::repr_to_bytes_be(sk.into_repr());

    static constexpr std::uint8_t ZERO[1] = {0x00};
    static constexpr std::uint8_t ONE[1] = {0x01};
    Block v;
    v.fill(0x01);
    Block k{};
    Hmac hmac;
    k = hmac.compute(&k, {v, ZERO, x, h1});
    v = hmac.compute(&k, {v});
    k = hmac.compute(&k, {v, ONE, x, h1});
    v = hmac.compute(&k, {v});
    for (;;) {
        const Block t = hmac.compute(&k, {v});
        const field::Repr candidate = field::repr_from_bytes_be(t);
        if (field::Fs::is_below_modulus(candidate)) return field::Fs::from_raw(candidate);
        k = hmac.compute(nullptr, {v, v, ZERO});  // still keyed with this pass's K
    }
}

}  // namespace lumora::eddsa
