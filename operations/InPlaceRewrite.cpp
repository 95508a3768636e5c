#include "operations/InPlaceRewrite.h"

#include "platform/RunError.h"

#include <algorithm>
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

// Counts the bytes of new content, which the file must hold exactly once it is flushed.
class CountingWriter : public FileWriter {
public:
    CountingWriter(std::unique_ptr<FileWriter> inner, std::uint64_t& count)
        : inner_(std::move(inner)), count_(count) {}
    void write(std::string_view bytes) override {
        inner_->write(bytes);
        count_ += bytes.size();
    }
    void sync() override { inner_->sync(); }
    void close() override { inner_->close(); }

private:
    std::unique_ptr<FileWriter> inner_;
    std::uint64_t& count_;
};

} // namespace

InPlaceRewrite::InPlaceRewrite(FileSystem& files, RunJournal& journal, std::string target,
                               const FileIdentity& asRead, bool encrypt, RunLock* lock)
    : files_(files), journal_(journal), target_(std::move(target)), asRead_(asRead), lock_(lock),
      exchanges_(files_.canExchange(target_)) {
    record_.encrypt = encrypt;
    record_.original = asRead;
}

InPlaceRewrite::~InPlaceRewrite() = default;

std::uint64_t InPlaceRewrite::roomNeeded(std::uint64_t newSize) const noexcept {
    if (exchanges_) {
        return newSize; // the backup is a second name, free
    }
    // The copy first; then the emptied file gives its room to the new content.
    return record_.encrypt ? std::max(asRead_.size, newSize) : asRead_.size;
}

std::string InPlaceRewrite::freeBackupName() const {
    std::string name = target_ + ".bak";
    for (int n = 1; files_.exists(name); ++n) {
        name = target_ + ".bak." + std::to_string(n);
    }
    return name;
}

void InPlaceRewrite::chooseNames() {
    backup_ = freeBackupName();
    if (exchanges_) {
        const std::string hidden = hiddenBeside(target_, ".vornal-new");
        temporary_ = hidden;
        for (int n = 1; files_.exists(temporary_); ++n) {
            temporary_ = hidden + "." + std::to_string(n);
        }
    }
    record_.target = canonicalTarget(target_);
    record_.backup = canonicalTarget(backup_);
    record_.temporary = exchanges_ ? canonicalTarget(temporary_) : std::string();
}

void InPlaceRewrite::makeBackup(std::uint64_t expectedSize) {
    record_.expectedSize = expectedSize;
    // Another program may take a free name between the look and its use; neither the link
    // nor the copy replaces anything, so try the next name then.
    for (int attempt = 0;; ++attempt) {
        chooseNames();
        journal_.write(record_);
        recorded_ = true;
        try {
            backUp();
            backedUp_ = true;
            break;
        } catch (const RunError& e) {
            if (e.number() != EEXIST || attempt >= 100) {
                throw;
            }
        }
    }
    // The backup is of the file as it is now, which must be the file as it was read.
    if (files_.identify(target_) != asRead_ ||
        (!exchanges_ && files_.identify(backup_).size != asRead_.size)) {
        if (!exchanges_) {
            removeQuietly(backup_); // a copy of something the run never read
            backedUp_ = false;
        }
        throw FileChanged{false, restore()};
    }
}

void InPlaceRewrite::backUp() {
    if (exchanges_) {
        files_.link(target_, backup_);
    } else {
        files_.copyToNew(target_, backup_);
    }
}

void InPlaceRewrite::begin() {
    if (exchanges_) {
        auto created = files_.createLike(temporary_, target_);
        started_ = true;
        if (lock_ != nullptr) {
            // It is to take the target's name while the run still holds it.
            lock_->alsoHold(temporary_);
        }
        writer_ = std::make_unique<CountingWriter>(std::move(created), written_);
        return;
    }
    writer_ = std::make_unique<CountingWriter>(openRewrite(FileSystem::Rewrite::Empty), written_);
}

std::unique_ptr<FileWriter> InPlaceRewrite::openRewrite(FileSystem::Rewrite how) {
    started_ = true;
    try {
        return files_.openRewrite(target_, how);
    } catch (const RunError&) {
        started_ = false; // the file could not be opened, let alone emptied
        throw;
    }
}

void InPlaceRewrite::beginOver() {
    if (exchanges_) {
        // The original keeps its name and its content: read it while the new file fills.
        reader_ = files_.openRead(backup_);
        begin();
        return;
    }
    auto reader = std::make_unique<CountingReader>(files_.openRead(target_));
    writer_ = std::make_unique<CountingWriter>(
        std::make_unique<BehindTheReading>(openRewrite(FileSystem::Rewrite::Overwrite), *reader),
        written_);
    reader_ = std::move(reader);
}

void InPlaceRewrite::write(std::string_view bytes) {
    writer_->write(bytes);
}

void InPlaceRewrite::checkUnchanged(const std::string& path, bool putBackFromBackup) {
    if (files_.identify(path) != asRead_) {
        throw FileChanged{putBackFromBackup, restore()};
    }
}

void InPlaceRewrite::checkNewContent(const std::string& path) {
    const FileIdentity now = files_.identify(path);
    const bool whole =
        now.size == written_ && (!record_.encrypt || written_ == record_.expectedSize);
    const bool ours = exchanges_ ? now.sameFile(newFile_) : now.sameFile(asRead_);
    if (!whole || !ours) {
        throw FileChanged{!exchanges_, restore()};
    }
}

void InPlaceRewrite::finish() {
    writer_->sync();
    writer_->close();
    writer_.reset();
    reader_.reset();
    if (!exchanges_) {
        checkNewContent(target_);
        return;
    }
    newFile_ = files_.identify(temporary_);
    checkNewContent(temporary_);
    checkUnchanged(target_, false);
    files_.exchange(temporary_, target_);
    exchanged_ = true;
    // What left the name must be the original as it was read: anything else was put there
    // meanwhile by another program, and goes back.
    checkUnchanged(temporary_, false);
    // Only which file has the name counts now: what others add to it from here on comes
    // after our content, as it would after any change of a file.
    if (!files_.identify(target_).sameFile(newFile_)) {
        throw FileChanged{false, restore()};
    }
    files_.remove(temporary_);
    temporaryGone_ = true;
    files_.syncFolder(target_);
}

bool InPlaceRewrite::discardBackup() {
    if (ended_) {
        return true;
    }
    if (exchanges_) {
        // A program that kept the original open may have added to it since the exchange.
        checkUnchanged(backup_, false);
    }
    bool deleted = true;
    try {
        files_.remove(backup_);
        files_.syncFolder(backup_);
    } catch (const RunError&) {
        deleted = false;
    }
    ended_ = true;
    try {
        journal_.remove(record_);
    } catch (const RunError&) {
        // The run is done; a record left behind only finds no backup to put back.
    }
    return deleted;
}

void InPlaceRewrite::removeQuietly(const std::string& path) noexcept {
    try {
        files_.remove(path);
    } catch (...) {
    }
}

bool InPlaceRewrite::putBackExchanged() noexcept {
    try {
        if (exchanged_ && !temporaryGone_) {
            // Whatever the new file displaced goes back to its name.
            files_.exchange(temporary_, target_);
            exchanged_ = false;
        } else if (exchanged_) {
            // The original has only the backup's name left; the new file gives way to it.
            files_.exchange(backup_, target_);
            exchanged_ = false;
            if (files_.identify(backup_).size == written_) {
                removeQuietly(backup_); // the new content, which nobody added to
            }
            backedUp_ = false;
        }
        if (started_ && files_.exists(temporary_) &&
            (newFile_.inode == 0 || files_.identify(temporary_).sameFile(newFile_))) {
            files_.remove(temporary_);
        }
        started_ = false;
        // The backup is a second name of the original; where the original is at its name
        // again it is no backup, only a link that would make the two one file.
        if (backedUp_ && files_.identify(target_).sameFile(asRead_)) {
            files_.remove(backup_);
            backedUp_ = false;
        }
        files_.syncFolder(target_);
        return true;
    } catch (...) {
        return false;
    }
}

bool InPlaceRewrite::putBackCopied() noexcept {
    if (!started_) {
        return true;
    }
    try {
        // Written over only while it is still the file this run had: a file another
        // program put at its name is left alone, and the backup kept.
        if (!files_.identify(target_).sameFile(asRead_)) {
            return false;
        }
        files_.copyOver(backup_, target_);
        return true;
    } catch (...) {
        return false;
    }
}

bool InPlaceRewrite::restore() noexcept {
    writer_.reset();
    reader_.reset();
    if (ended_ || !recorded_) {
        return true;
    }
    const bool back = exchanges_ ? putBackExchanged() : putBackCopied();
    if (back) {
        try {
            journal_.remove(record_);
            recorded_ = false;
        } catch (...) {
            // Recovering the record later finds the file back already.
        }
    }
    return back;
}

} // namespace vornal
