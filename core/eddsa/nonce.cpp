#include "eddsa/nonce.h"

// HMAC_CTX is the library's HMAC itself; the EVP_MAC interface in front of it
// costs a provider dispatch per call and, per derivation, a fetch that is
// dearer than the fetch of the digest alone. Together about a sixth of the
// derivation. OpenSSL 3 marks the interface deprecated, not removed.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <array>
#include <cstring>
#include <initializer_list>

namespace lumora::eddsa::inline LUMORA_KERNEL_NS {

namespace {

using Block = std::array<std::uint8_t, 32>;

// One HMAC-SHA256 context for the whole derivation: re-keying it costs two
// compression rounds, setting one up costs far more. The library allocates
// the context and the digest's state copies on the heap; nothing here can
// spare it that.
class Hmac {
public:
    Hmac() {
        md_ = EVP_MD_fetch(nullptr, "SHA256", nullptr);
        ctx_ = HMAC_CTX_new();
        if (md_ == nullptr || ctx_ == nullptr) abort_with("HMAC-SHA256 is not available from the crypto library");
    }
    Hmac(const Hmac&) = delete;
    Hmac& operator=(const Hmac&) = delete;
    ~Hmac() {
        HMAC_CTX_free(ctx_);
        EVP_MD_free(md_);
    }

    // HMAC(key, parts[0] ‖ parts[1] ‖ …); a null key reuses the previous
    // key's prepared pads, which saves two compression rounds.
    Block compute(const Block* key, std::initializer_list<std::span<const std::uint8_t>> parts) {
        if (HMAC_Init_ex(ctx_, key ? key->data() : nullptr, key ? static_cast<int>(key->size()) : 0, md_, nullptr) !=
            1)
            abort_with("HMAC-SHA256 initialisation failed");
        for (auto part : parts)
            if (HMAC_Update(ctx_, part.data(), part.size()) != 1) abort_with("HMAC-SHA256 update failed");
        Block out{};
        unsigned len = 0;
        if (HMAC_Final(ctx_, out.data(), &len) != 1 || len != out.size())
            abort_with("HMAC-SHA256 finalisation failed");
        return out;
    }

    // SHA-256 of `data`, with the digest this context already fetched.
    Block digest(std::span<const std::uint8_t> data) {
        Block out{};
        if (EVP_Digest(data.data(), data.size(), out.data(), nullptr, md_, nullptr) != 1)
            abort_with("SHA-256 failed");
        return out;
    }

private:
    EVP_MD* md_ = nullptr;
    HMAC_CTX* ctx_ = nullptr;
};

}  // namespace

field::Fs deterministic_seed(const field::Fs& sk, std::span<const std::uint8_t> message) {
    Hmac hmac;
    const Block h1 = hmac.digest(message);
    const Block x = field::repr_to_bytes_be(sk.into_repr());

    static constexpr std::uint8_t ZERO[1] = {0x00};
    static constexpr std::uint8_t ONE[1] = {0x01};
    Block v;
    v.fill(0x01);
    Block k{};
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
