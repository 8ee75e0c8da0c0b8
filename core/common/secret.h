// Wiping secrets when they go out of scope.
//
// A store the optimiser may not remove: after the bytes are zeroed, an empty
// asm statement that takes their address and clobbers memory makes the
// compiler assume they are read, so the zeroing stays even when the object
// dies right after it.
//
// Values a function keeps in named objects are wiped by Secret. What the
// compiler puts on the stack on its own (spilled registers, callee-saved
// registers pushed while they hold limbs, temporaries) has no name to wipe:
// an operation that takes a secret wipes, once it has returned, the stack it
// ran on (StackWipe).
#pragma once

#include <cstddef>
#include <cstring>
#include <type_traits>
#include <utility>

namespace lumora {

inline void wipe_bytes(void* p, std::size_t n) noexcept {
    std::memset(p, 0, n);
    __asm__ __volatile__("" : : "r"(p) : "memory");
}

template <class T>
inline void wipe(T& object) noexcept {
    static_assert(std::is_trivially_copyable_v<T>, "only plain values are wiped in place");
    wipe_bytes(&object, sizeof(T));
}

// A plain value (scalar, limbs, byte array, HMAC state) that is wiped when
// it goes out of scope, on every path, unwinding included. Access through
// get() or ->/*; copies are explicit (a copy is another secret to wipe). A
// move hands the value on and wipes the source, so a Secret can travel in a
// Result or be returned without leaving a copy behind.
template <class T>
class Secret {
    static_assert(std::is_trivially_copyable_v<T>, "only plain values are wiped in place");

public:
    Secret() = default;
    explicit Secret(const T& value) : value_(value) {}
    // From a temporary (a function's result) or a moved value: the source is
    // wiped once copied, so no stray copy of the secret stays on the stack.
    explicit Secret(T&& value) : value_(value) { wipe(value); }
    Secret(Secret&& other) noexcept : value_(other.value_) { wipe(other.value_); }
    Secret(const Secret&) = delete;
    Secret& operator=(const Secret&) = delete;
    ~Secret() { wipe(value_); }

    T& get() noexcept { return value_; }
    const T& get() const noexcept { return value_; }
    T* operator->() noexcept { return &value_; }
    const T* operator->() const noexcept { return &value_; }
    T& operator*() noexcept { return value_; }
    const T& operator*() const noexcept { return value_; }

private:
    T value_{};
};

// How much stack below its caller's frame wipe_stack_below_caller zeroes. It
// covers the deepest secret-taking operation with room to spare: the core's
// tests measure each operation's depth on every kernel path and fail when
// one comes within a quarter of this. The deepest are failures that unwind:
// 12 KiB on x86-64, 14 KiB on 64-bit Arm (signing itself stays within 7
// KiB). Instrumented builds (sanitizers, no optimisation) use more stack and
// wipe more.
#if defined(__SANITIZE_ADDRESS__) || !defined(__OPTIMIZE__)
inline constexpr std::size_t STACK_WIPE_BYTES = 64 * 1024;
#else
inline constexpr std::size_t STACK_WIPE_BYTES = 24 * 1024;
#endif

// Zeroes the STACK_WIPE_BYTES of stack just below the caller's frame (where
// the functions the caller has called ran), and, where the compiler offers
// it, the registers a call may leave changed. The caller's own frame and
// those above it are untouched. The stack below must be mapped that far,
// which it is after an operation that went nearly as deep.
void wipe_stack_below_caller() noexcept;

// Calls wipe_stack_below_caller when it goes out of scope, returns and
// unwinding alike: declared first in the outermost frame of an operation on
// secrets, it wipes the stack the operation used after the operation is done.
class StackWipe {
public:
    StackWipe() = default;
    StackWipe(const StackWipe&) = delete;
    StackWipe& operator=(const StackWipe&) = delete;
    ~StackWipe() { wipe_stack_below_caller(); }
};

}  // namespace lumora
