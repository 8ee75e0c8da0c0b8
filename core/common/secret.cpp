#include "common/secret.h"

namespace lumora {

#if defined(__has_attribute)
#if __has_attribute(zero_call_used_regs)
#define LUMORA_ZERO_CALL_USED_REGISTERS __attribute__((zero_call_used_regs("all")))
#endif
#endif
#ifndef LUMORA_ZERO_CALL_USED_REGISTERS
#define LUMORA_ZERO_CALL_USED_REGISTERS
#endif

// Not inlined: its frame must lie below the caller's, over the frames of the
// operation the caller ran. The region is a local array, kept on the real
// stack in an AddressSanitizer build too; the barrier in wipe_bytes keeps
// its zeroing although it dies unread.
[[gnu::noinline]] __attribute__((no_sanitize_address)) LUMORA_ZERO_CALL_USED_REGISTERS void
wipe_stack_below_caller() noexcept {
    unsigned char region[STACK_WIPE_BYTES];
    wipe_bytes(region, sizeof region);
}

}  // namespace lumora
