// Wiping secrets when they go out of scope.
//
// A store the optimiser may not remove: after the bytes are zeroed, an empty
// asm statement that takes their address and clobbers memory makes the
// compiler assume they are read, so the zeroing stays even when the object
// dies right after it.
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

}  // namespace lumora
