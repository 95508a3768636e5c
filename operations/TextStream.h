#pragma once

#include "operations/ByteCodes.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace vornal {

// Pieces of a text arrive one after another, split anywhere; these filters give the same
// result as working on the whole text at once.
using Sink = std::function<void(std::string_view)>;

// Removes every occurrence of pattern (two bytes or more) in one pass from the start, as a
// find-and-replace over the whole text would: text that closes up around a removed
// occurrence is not searched again. With no occurrence at all, removed() stays 0.
class PatternRemover {
public:
    PatternRemover(std::string_view pattern, Sink out, const ByteCodes& codes = byteCodes());
    void push(std::string_view piece);
    void finish();
    [[nodiscard]] std::uint64_t removed() const noexcept { return removed_; }

private:
    std::size_t scan(std::string_view text, std::size_t pos);
    [[nodiscard]] std::size_t findIn(std::string_view text, std::size_t pos) const noexcept;

    std::string pattern_;
    const ByteCodes& codes_;
    Sink out_;
    std::string carry_; // the last bytes seen, which may begin an occurrence
    std::uint64_t removed_ = 0;
};

// Drops blanks (0x20) at the start and at the end of the whole text.
class BlankTrimmer {
public:
    explicit BlankTrimmer(Sink out);
    void push(std::string_view piece);
    void finish() {} // trailing blanks held back are dropped
    [[nodiscard]] std::uint64_t emitted() const noexcept { return emitted_; }

private:
    void emit(std::string_view bytes);

    Sink out_;
    bool started_ = false;
    std::uint64_t heldBlanks_ = 0; // a run of blanks that only counts if text follows
    std::uint64_t emitted_ = 0;
};

} // namespace vornal
