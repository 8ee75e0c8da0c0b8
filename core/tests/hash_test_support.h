// What the hash tests share: byte strings, their hexadecimal text, seeded
// random input, and the SHA-256 compression forms this CPU can run.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/cpu.h"
#include "hashes/sha256.h"
#include "seeded_rng.h"

namespace lumora::hashes::test_support {

using Bytes = std::vector<std::uint8_t>;

inline std::string to_hex(std::span<const std::uint8_t> bytes) {
    std::string out;
    char buf[3];
    for (auto b : bytes) {
        std::snprintf(buf, sizeof buf, "%02x", b);
        out += buf;
    }
    return out;
}

inline Bytes ascii(std::string_view s) { return Bytes(s.begin(), s.end()); }

inline Bytes random_bytes(std::size_t n) {
    Bytes out(n);
    for (auto& b : out) b = static_cast<std::uint8_t>(testing::rng()());
    return out;
}

// The compression forms this CPU can run.
inline std::vector<const Sha256Form*> runnable_forms() {
    std::vector<const Sha256Form*> forms = {&SHA256_PORTABLE};
    if (sha256_extension_form() != nullptr && cpu::features().sha) forms.push_back(sha256_extension_form());
    return forms;
}

}  // namespace lumora::hashes::test_support
