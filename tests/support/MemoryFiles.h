#pragma once

#include "platform/FileSystem.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace vornal::test {

// A file's bytes held in memory, read in pieces of at most `step` bytes.
class StringReader : public FileReader {
public:
    explicit StringReader(std::string bytes, std::size_t step = SIZE_MAX)
        : bytes_(std::move(bytes)), step_(step) {}
    std::size_t read(char* buffer, std::size_t size) override {
        const std::size_t n = std::min({size, step_, bytes_.size() - at_});
        std::memcpy(buffer, bytes_.data() + at_, n);
        at_ += n;
        return n;
    }

private:
    std::string bytes_;
    std::size_t step_;
    std::size_t at_ = 0;
};

// Collects what is written.
class StringWriter : public FileWriter {
public:
    void write(std::string_view bytes) override { text.append(bytes); }
    void sync() override {}
    void close() override {}
    std::string text;
};

} // namespace vornal::test
