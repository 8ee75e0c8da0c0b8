// Branch-free helpers and the marks of the constant-time check (the
// hexadecimal codec built on them is in common/hex.h).
//
// The check (core/tests/ctime, run by scripts/ctime.sh) builds the core with
// LUMORA_CTIME and runs the secret paths under valgrind's memcheck with the
// private key, seed and nonce marked undefined: every branch or memory index
// that depends on them is then reported. A value that is public by design
// once computed (a signature, a public key, the accept bit of a rejection
// loop, the failure bit of a key that the API reports anyway) is declared so
// with LUMORA_DECLASSIFY at the exact point where it becomes public, with a
// comment saying why. In every other build the marks compile to nothing.
#pragma once

#include <cstdint>

#ifdef LUMORA_CTIME
#include <valgrind/memcheck.h>
#define LUMORA_CLASSIFY(ptr, len) ((void)VALGRIND_MAKE_MEM_UNDEFINED((ptr), (len)))
#define LUMORA_DECLASSIFY(ptr, len) ((void)VALGRIND_MAKE_MEM_DEFINED((ptr), (len)))
#else
#define LUMORA_CLASSIFY(ptr, len) ((void)(ptr), (void)(len))
#define LUMORA_DECLASSIFY(ptr, len) ((void)(ptr), (void)(len))
#endif

namespace lumora::ct {

// All ones when x is zero, else zero.
inline std::uint64_t mask_if_zero(std::uint64_t x) noexcept { return ((x | (0 - x)) >> 63) - 1; }

}  // namespace lumora::ct
