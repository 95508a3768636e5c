#include "operations/TextStream.h"

#include <algorithm>

namespace vornal {

PatternRemover::PatternRemover(std::string_view pattern, Sink out, const ByteCodes& codes)
    : pattern_(pattern), codes_(codes), out_(std::move(out)) {}

// The first occurrence at or after pos.
std::size_t PatternRemover::findIn(std::string_view text, std::size_t pos) const noexcept {
    const std::size_t at = codes_.find(text.substr(pos), pattern_);
    return at == std::string_view::npos ? at : pos + at;
}

// Removes the occurrences in text from pos on and hands on what is certain; answers where
// the bytes that may still begin an occurrence start.
std::size_t PatternRemover::scan(std::string_view text, std::size_t pos) {
    while (true) {
        const std::size_t at = findIn(text, pos);
        if (at == std::string_view::npos) {
            break;
        }
        if (at > pos) {
            out_(text.substr(pos, at - pos));
        }
        pos = at + pattern_.size();
        ++removed_;
    }
    const std::size_t keep = std::min(text.size() - pos, pattern_.size() - 1);
    const std::size_t emitEnd = text.size() - keep;
    if (emitEnd > pos) {
        out_(text.substr(pos, emitEnd - pos));
    }
    return emitEnd;
}

void PatternRemover::push(std::string_view piece) {
    const std::size_t reach = pattern_.size() - 1;
    if (carry_.empty() || piece.size() < reach) {
        if (carry_.empty() && piece.size() >= reach) {
            carry_.assign(piece.substr(scan(piece, 0)));
            return;
        }
        carry_.append(piece);
        carry_.erase(0, scan(carry_, 0));
        return;
    }
    // An occurrence that begins in the carry ends within the piece's first bytes, so only
    // those are joined to it; the rest of the piece is searched where it lies.
    const std::string joint = carry_ + std::string(piece.substr(0, reach));
    std::size_t start = 0;
    const std::size_t at = findIn(joint, 0);
    if (at != std::string_view::npos && at < carry_.size()) {
        if (at > 0) {
            out_(std::string_view(carry_).substr(0, at));
        }
        ++removed_;
        start = at + pattern_.size() - carry_.size();
    } else {
        out_(carry_);
    }
    carry_.assign(piece.substr(scan(piece, start)));
}

void PatternRemover::finish() {
    if (!carry_.empty()) {
        out_(carry_);
        carry_.clear();
    }
}

BlankTrimmer::BlankTrimmer(Sink out) : out_(std::move(out)) {}

void BlankTrimmer::emit(std::string_view bytes) {
    emitted_ += bytes.size();
    out_(bytes);
}

void BlankTrimmer::push(std::string_view piece) {
    if (!started_) {
        const std::size_t first = piece.find_first_not_of(' ');
        if (first == std::string_view::npos) {
            return;
        }
        started_ = true;
        piece.remove_prefix(first);
    }
    const std::size_t last = piece.find_last_not_of(' ');
    if (last == std::string_view::npos) {
        heldBlanks_ += piece.size();
        return;
    }
    // Blanks held from before are inside the text after all.
    static const std::string kBlanks(1 << 16, ' ');
    while (heldBlanks_ > 0) {
        const auto n =
            static_cast<std::size_t>(std::min<std::uint64_t>(heldBlanks_, kBlanks.size()));
        emit(std::string_view(kBlanks).substr(0, n));
        heldBlanks_ -= n;
    }
    emit(piece.substr(0, last + 1));
    heldBlanks_ = piece.size() - last - 1;
}

} // namespace vornal
