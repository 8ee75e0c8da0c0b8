// The operations of the count driver that reach below the module's
// functions (field, curve, Poseidon, the nonce), one table per copy of the
// core: the driver runs the copy of the kernel path this process chose.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace lumora::icount {

struct Kernel {
    const char* name;
    // Hexadecimal texts the operation reads its inputs from.
    std::size_t arguments;
    // Reads the inputs, makes one call (which builds any shared table the
    // operation reads) and then `calls` more. False for inputs it cannot take.
    bool (*run)(std::span<const std::string_view> arguments, std::uint64_t calls);
};

}  // namespace lumora::icount
