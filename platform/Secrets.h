#pragma once

// Keys in memory: wiped when done, never written out by a core dump.

#include <algorithm>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace vornal {

// Overwrites n bytes at p with zeros. Unlike memset, the compiler may not drop it because
// the memory is about to be freed or to go out of scope.
void wipe(void* p, std::size_t n) noexcept;

// Wipes all that a container holds; for a string or a vector all it has allocated, up to
// its capacity, where a shorter content held before may still lie past its size.
template <typename Container>
void wipeAll(Container& c) noexcept {
    if constexpr (requires { c.capacity(); }) {
        wipe(c.data(), c.capacity() * sizeof(*c.data()));
    } else {
        wipe(c.data(), c.size() * sizeof(*c.data()));
    }
}

template <typename Container>
void wipeAll(std::optional<Container>& c) noexcept {
    if (c) {
        wipeAll(*c);
    }
}

// Wipes a container when the scope ends, however it ends.
template <typename Container>
class WipeOnExit {
public:
    explicit WipeOnExit(Container& c) noexcept : c_(c) {}
    ~WipeOnExit() { wipeAll(c_); }
    WipeOnExit(const WipeOnExit&) = delete;
    WipeOnExit& operator=(const WipeOnExit&) = delete;

private:
    Container& c_;
};

// Key text, UTF-8 (char) or UTF-16 (char16_t), that leaves no copy behind: it wipes its
// characters when it goes away, and every buffer it outgrows or is moved out of. It cannot
// be copied; str() lends it to interfaces that take a plain string.
template <typename Char>
class SecretText {
public:
    using String = std::basic_string<Char>;

    SecretText() = default;
    // Takes text over and wipes what the move leaves in it (a short text is copied).
    explicit SecretText(String&& text) noexcept : text_(std::move(text)) { wipeAll(text); }
    SecretText(SecretText&& other) noexcept : SecretText(std::move(other.text_)) {}
    SecretText& operator=(SecretText&& other) noexcept {
        if (this != &other) {
            wipeAll(text_);
            text_ = std::move(other.text_);
            wipeAll(other.text_);
        }
        return *this;
    }
    SecretText(const SecretText&) = delete;
    SecretText& operator=(const SecretText&) = delete;
    ~SecretText() { wipeAll(text_); }

    void append(std::basic_string_view<Char> more) {
        if (more.size() > text_.capacity() - text_.size()) {
            // Grow by hand: the string would free its old buffer unwiped.
            String bigger;
            bigger.reserve(std::max(2 * text_.capacity(), text_.size() + more.size()));
            bigger.append(text_);
            wipeAll(text_);
            text_.swap(bigger);
            wipeAll(bigger);
        }
        text_.append(more);
    }
    void push_back(Char c) { append(std::basic_string_view<Char>(&c, 1)); }
    void pop_back() noexcept {
        text_.back() = Char{};
        text_.pop_back();
    }

    [[nodiscard]] const String& str() const noexcept { return text_; }
    [[nodiscard]] std::basic_string_view<Char> view() const noexcept { return text_; }
    [[nodiscard]] bool empty() const noexcept { return text_.empty(); }
    [[nodiscard]] std::size_t size() const noexcept { return text_.size(); }

private:
    String text_;
};

using SecretUtf8 = SecretText<char>;
using SecretUtf16 = SecretText<char16_t>;

// No core dump of this process from now on, so that a key it holds never reaches a file:
// the core size limit goes to 0 and the process is marked not dumpable (which also stops
// a crash handler that ignores the limit, and other processes of the user from reading
// its memory). Programs it starts are dumpable again; they inherit the limit.
void forbidCoreDumps() noexcept;

} // namespace vornal
