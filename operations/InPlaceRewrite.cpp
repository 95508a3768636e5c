#include "operations/InPlaceRewrite.h"

#include "platform/RunError.h"

#include <cerrno>
#include <cstdint>

namespace vornal {

namespace {

// Reads the old content, counting what it has handed on.
class CountingReader : public FileReader {
public:
    explicit CountingReader(std::unique_ptr<FileReader> inner) : inner_(std::move(inner)) {}
    std::size_t read(char* buffer, std::size_t size) override {
        const std::size_t n = inner_->read(buffer, size);
        consumed_ += n;
        return n;
    }
    [[nodiscard]] std::uint64_t consumed() const noexcept { return consumed_; }

private:
    std::unique_ptr<FileReader> inner_;
    std::uint64_t consumed_ = 0;
};

// Writes over the old content only where it has been read already: anything else would
// destroy text still to be read.
class BehindTheReading : public FileWriter {
public:
    BehindTheReading(std::unique_ptr<FileWriter> inner, const CountingReader& reader)
        : inner_(std::move(inner)), reader_(reader) {}
    void write(std::string_view bytes) override {
        if (written_ + bytes.size() > reader_.consumed()) {
            throw RunError::fromErrno(EINVAL);
        }
        written_ += bytes.size();
        inner_->write(bytes);
    }
    void sync() override { inner_->sync(); }
    void close() override { inner_->close(); }

private:
    std::unique_ptr<FileWriter> inner_;
    const CountingReader& reader_;
    std::uint64_t written_ = 0;
};

} // namespace

InPlaceRewrite::InPlaceRewrite(FileSystem& files, std::string target)
    : files_(files), target_(std::move(target)) {}

InPlaceRewrite::~InPlaceRewrite() = default;

std::string InPlaceRewrite::freeBackupName() const {
    std::string name = target_ + ".bak";
    for (int n = 1; files_.exists(name); ++n) {
        name = target_ + ".bak." + std::to_string(n);
    }
    return name;
}

void InPlaceRewrite::makeBackup() {
    // Another program may take the free name between the look and the copy; the copy
    // refuses to replace, so try the next name then.
    for (int attempt = 0;; ++attempt) {
        std::string name = freeBackupName();
        try {
            // Renamed, the file is its own backup at no cost; a new file then takes its
            // place. Where that would lose something about the file, it is copied.
            if (files_.moveAside(target_, name)) {
                movedAside_ = true;
                touched_ = true; // the name is free now: any failure needs restore()
            } else {
                files_.copyToNew(target_, name);
            }
            backup_ = std::move(name);
            return;
        } catch (const RunError& e) {
            if (e.number() != EEXIST || attempt >= 100) {
                throw;
            }
        }
    }
}

void InPlaceRewrite::begin() {
    touched_ = true;
    writer_ = movedAside_ ? files_.openReplacement(target_, backup_)
                          : files_.openRewrite(target_, FileSystem::Rewrite::Empty);
}

void InPlaceRewrite::beginOver() {
    if (movedAside_) {
        // The old content is in the backup, out of the writing's way.
        reader_ = files_.openRead(backup_);
        begin();
        return;
    }
    auto reader = std::make_unique<CountingReader>(files_.openRead(target_));
    touched_ = true;
    writer_ = std::make_unique<BehindTheReading>(
        files_.openRewrite(target_, FileSystem::Rewrite::Overwrite), *reader);
    reader_ = std::move(reader);
}

void InPlaceRewrite::write(std::string_view bytes) {
    writer_->write(bytes);
}

void InPlaceRewrite::finish() {
    writer_->sync();
    writer_->close();
    writer_.reset();
    reader_.reset();
}

bool InPlaceRewrite::discardBackup() noexcept {
    try {
        files_.remove(backup_);
        return true;
    } catch (...) {
        return false;
    }
}

bool InPlaceRewrite::restore() noexcept {
    writer_.reset();
    reader_.reset();
    if (!touched_) {
        return true;
    }
    try {
        if (movedAside_) {
            if (files_.exists(target_)) {
                files_.remove(target_);
            }
            files_.copyToNew(backup_, target_);
        } else {
            files_.copyOver(backup_, target_);
        }
        return true;
    } catch (...) {
        return false;
    }
}

} // namespace vornal
