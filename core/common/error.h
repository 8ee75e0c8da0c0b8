// Failure values and aborts shared by every layer of the core.
//
// Two ways an operation fails:
//  - an `Error` value, for what input can cause: a message, the chain of
//    underlying causes (outermost first) and, for a rejected document, where
//    in it the fault was found; `report()` gives the text callers see;
//  - an abort, for what cannot happen in correct use or what the system defines
//    as fatal to the call: `abort_with` writes the message to standard error at
//    the moment it happens and unwinds with `Abort` to the one guard at the
//    boundary. No other code catches `Abort`.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace lumora {

// Where in a text a fault was detected. Lines count from 1; the column is the
// number of bytes of that line read when the fault was detected (0 when
// nothing of the line was read).
struct TextPosition {
    std::size_t line = 0;
    std::size_t column = 0;
};

struct Error {
    std::string message;
    std::vector<std::string> causes;         // outermost first
    std::optional<TextPosition> position{};  // set for a rejected document

    // The message; " at line L column C" when there is a position; then
    // "\n\nCaused by:" and the causes: one cause indented by four spaces;
    // several, each behind its index right-aligned in five columns.
    std::string report() const;
};

class Abort {
public:
    explicit Abort(std::string message) : message_(std::move(message)) {}
    const std::string& message() const noexcept { return message_; }

private:
    std::string message_;
};

// Writes the diagnostic to standard error, then throws Abort(message).
[[noreturn]] void abort_with(std::string message);

// Writes an abort's diagnostic to standard error without unwinding; for the
// boundary, which turns error values into aborts itself.
void write_abort_diagnostic(std::string_view message) noexcept;

// A value or an error. Deliberately small: construction from either side,
// a test, and checked access.
template <class T>
class [[nodiscard]] Result {
public:
    Result(T value) : v_(std::in_place_index<0>, std::move(value)) {}
    Result(Error error) : v_(std::in_place_index<1>, std::move(error)) {}

    bool ok() const noexcept { return v_.index() == 0; }
    explicit operator bool() const noexcept { return ok(); }

    T& value() & { return std::get<0>(v_); }
    const T& value() const& { return std::get<0>(v_); }
    T&& value() && { return std::get<0>(std::move(v_)); }
    const Error& error() const& { return std::get<1>(v_); }
    Error&& error() && { return std::get<1>(std::move(v_)); }

private:
    std::variant<T, Error> v_;
};

}  // namespace lumora
