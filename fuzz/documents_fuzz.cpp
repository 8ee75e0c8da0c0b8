// Feeds arbitrary bytes to the decoder of every document kind
// (LUMORA_SDK_DOCUMENT_KINDS). Besides the sanitizers' checks, a rejection
// must carry a message and a position inside the input.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "sdk/documents.h"

namespace {

void check_position(std::string_view input, const lumora::Error& error) {
    if (error.message.empty() || !error.position || error.position->line == 0) std::abort();
    const lumora::TextPosition at = *error.position;
    // The line must exist and the column must not run past its end.
    std::size_t line_start = 0;
    for (std::size_t line = 1; line < at.line; ++line) {
        const std::size_t newline = input.find('\n', line_start);
        if (newline == std::string_view::npos) std::abort();
        line_start = newline + 1;
    }
    const std::size_t line_end = std::min(input.find('\n', line_start), input.size());
    // A column may count the line feed itself only when the fault is that byte,
    // which then moves the position to the next line; so never past the end.
    if (at.column > line_end - line_start) std::abort();
}

template <class T>
void check(std::string_view input, const lumora::Result<T>& parsed) {
    if (!parsed.ok()) check_position(input, parsed.error());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
#define LUMORA_FUZZ_DECODE(stem, record, ...) check(input, lumora::sdk::parse_document<lumora::sdk::record>(input));
    LUMORA_SDK_DOCUMENT_KINDS(LUMORA_FUZZ_DECODE)
#undef LUMORA_FUZZ_DECODE
    return 0;
}
