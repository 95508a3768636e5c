#pragma once

#include <stdexcept>
#include <string>

namespace vornal {

// The one error type of the core: a run-time error number and its text, as the
// messages and log rows show them ("WARNING: 9-Subscript out of range ...").
class RunError : public std::runtime_error {
public:
    RunError(int number, std::string text)
        : std::runtime_error(text), number_(number), text_(std::move(text)) {}

    [[nodiscard]] int number() const noexcept { return number_; }
    [[nodiscard]] const std::string& text() const noexcept { return text_; }

    static RunError subscriptOutOfRange() { return {9, "Subscript out of range"}; }
    static RunError overflow() { return {6, "Overflow"}; }
    // An error reported by the operating system, from errno.
    static RunError fromErrno(int err);

private:
    int number_;
    std::string text_;
};

// "number-text" as messages and log rows show an error: "28-No space left on device".
[[nodiscard]] std::u16string numberAndText(const RunError& e);

} // namespace vornal
