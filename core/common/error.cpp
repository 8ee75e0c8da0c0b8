#include "common/error.h"

#include <cstdio>

namespace lumora {

namespace {

// Continuation lines of a multi-line cause line up with its first line.
void append_indented(std::string& out, std::string_view text, std::string_view indent) {
    for (char c : text) {
        out.push_back(c);
        if (c == '\n') out.append(indent);
    }
}

}  // namespace

std::string Error::report() const {
    std::string out = message;
    if (position)
        out += " at line " + std::to_string(position->line) + " column " + std::to_string(position->column);
    if (causes.empty()) return out;
    out += "\n\nCaused by:";
    if (causes.size() == 1) {
        out += "\n    ";
        append_indented(out, causes[0], "    ");
        return out;
    }
    for (std::size_t i = 0; i < causes.size(); ++i) {
        char index[32];
        std::snprintf(index, sizeof index, "\n%5zu: ", i);
        out += index;
        append_indented(out, causes[i], "       ");
    }
    return out;
}

void write_abort_diagnostic(std::string_view message) noexcept {
    std::fprintf(stderr, "lumora_python_sdk: call aborted: %.*s\n", static_cast<int>(message.size()),
                 message.data());
    std::fflush(stderr);
}

void abort_with(std::string message) {
    write_abort_diagnostic(message);
    throw Abort(std::move(message));
}

}  // namespace lumora
