#pragma once

#include "platform/FileSystem.h"
#include "platform/RunError.h"

#include <cerrno>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vornal::test {

// The real file system with faults on demand, for testing the operations that must never
// lose a file. Every call is recorded in `calls` before it is forwarded or failed:
//   "readAll a", "copyToNew a b", "copyOver a b", "openTruncated a", "openRewrite a",
//   "openAppend a", "createNew a", "moveAside a b", "openReplacement a", "write a", "sync a",
//   "close a", "remove a", "createDirectory a", "restrictToOwner a"
// so that a test can check the order, e.g. that the backup exists before the target is
// emptied. Queries (canOpenForReading, exists, size, sizeOpenForReadWrite, freeSpace) are
// not recorded.
class FaultyFileSystem : public FileSystem {
public:
    explicit FaultyFileSystem(TransferWays ways = {}) : real_(ways) {}

    // Faults. Call numbers count from 1; 0 means never.

    // The Nth FileWriter::write, counted across every writer handed out, writes the first
    // half of its bytes and then throws RunError(writeError), like a disk filling up.
    int failWrite = 0;
    int writeError = ENOSPC;
    // The Nth FileWriter::sync throws RunError(syncError) without syncing.
    int failSync = 0;
    int syncError = EIO;
    // What freeSpace answers, when set.
    std::optional<std::uint64_t> freeSpaceAnswer;
    // copyToNew throws EACCES without creating anything; when copyToNewFailSuffix is not
    // empty, only for a target whose path ends with it.
    bool failCopyToNew = false;
    std::string copyToNewFailSuffix;
    // Each throws before touching anything: remove EACCES, copyOver EIO, readAll and
    // openRead EIO, openTruncated and openRewrite EACCES.
    bool failRemove = false;
    bool failCopyOver = false;
    bool failReadAll = false;
    bool failOpenTruncated = false;

    // Backups by renaming, as the real file system makes them where it can; off, every
    // backup is a copy.
    bool allowMoveAside = false;

    // Called with the write's number before each write is carried out.
    std::function<void(int)> onWrite;

    // What happened. The failed calls are counted too.
    int writes = 0;
    int syncs = 0;
    int copies = 0; // copyToNew and copyOver
    std::vector<std::string> calls;

    bool canOpenForReading(const std::string& path) noexcept override {
        return real_.canOpenForReading(path);
    }
    bool exists(const std::string& path) noexcept override { return real_.exists(path); }

    std::string readAll(const std::string& path) override {
        record("readAll " + path);
        failIf(failReadAll, EIO);
        return real_.readAll(path);
    }
    std::unique_ptr<FileReader> openRead(const std::string& path) override {
        record("openRead " + path);
        failIf(failReadAll, EIO);
        return real_.openRead(path);
    }
    std::uint64_t size(const std::string& path) override { return real_.size(path); }
    std::uint64_t sizeOpenForReadWrite(const std::string& path) override {
        return real_.sizeOpenForReadWrite(path);
    }
    std::uint64_t freeSpace(const std::string& path) override {
        return freeSpaceAnswer ? *freeSpaceAnswer : real_.freeSpace(path);
    }

    void copyToNew(const std::string& from, const std::string& to) override {
        record("copyToNew " + from + " " + to);
        ++copies;
        failIf(failCopyToNew && endsWith(to, copyToNewFailSuffix), EACCES);
        real_.copyToNew(from, to);
    }
    void copyOver(const std::string& from, const std::string& to) override {
        record("copyOver " + from + " " + to);
        ++copies;
        failIf(failCopyOver, EIO);
        real_.copyOver(from, to);
    }

    std::unique_ptr<FileWriter> openTruncated(const std::string& path) override {
        record("openTruncated " + path);
        failIf(failOpenTruncated, EACCES);
        return wrap(real_.openTruncated(path), path);
    }
    std::unique_ptr<FileWriter> openRewrite(const std::string& path, Rewrite how) override {
        record("openRewrite " + path);
        failIf(failOpenTruncated, EACCES);
        return wrap(real_.openRewrite(path, how), path);
    }
    bool moveAside(const std::string& from, const std::string& to) override {
        if (!allowMoveAside) {
            return false;
        }
        record("moveAside " + from + " " + to);
        return real_.moveAside(from, to);
    }
    std::unique_ptr<FileWriter> openReplacement(const std::string& path,
                                                const std::string& original) override {
        record("openReplacement " + path);
        failIf(failOpenTruncated, EACCES);
        return wrap(real_.openReplacement(path, original), path);
    }
    std::unique_ptr<FileWriter> openAppend(const std::string& path, bool createIfMissing) override {
        record("openAppend " + path);
        return wrap(real_.openAppend(path, createIfMissing), path);
    }
    std::unique_ptr<FileWriter> createNew(const std::string& path) override {
        record("createNew " + path);
        return wrap(real_.createNew(path), path);
    }

    void remove(const std::string& path) override {
        record("remove " + path);
        failIf(failRemove, EACCES);
        real_.remove(path);
    }
    void createDirectory(const std::string& path) override {
        record("createDirectory " + path);
        real_.createDirectory(path);
    }
    void restrictToOwner(const std::string& path) override {
        record("restrictToOwner " + path);
        real_.restrictToOwner(path);
    }

private:
    class Writer : public FileWriter {
    public:
        Writer(FaultyFileSystem& files, std::unique_ptr<FileWriter> inner, std::string path)
            : files_(files), inner_(std::move(inner)), path_(std::move(path)) {}

        void write(std::string_view bytes) override {
            files_.record("write " + path_);
            ++files_.writes;
            if (files_.onWrite) {
                files_.onWrite(files_.writes);
            }
            if (files_.writes == files_.failWrite) {
                inner_->write(bytes.substr(0, bytes.size() / 2));
                throw RunError::fromErrno(files_.writeError);
            }
            inner_->write(bytes);
        }
        void sync() override {
            files_.record("sync " + path_);
            if (++files_.syncs == files_.failSync) {
                throw RunError::fromErrno(files_.syncError);
            }
            inner_->sync();
        }
        void close() override {
            files_.record("close " + path_);
            inner_->close();
        }

    private:
        FaultyFileSystem& files_;
        std::unique_ptr<FileWriter> inner_;
        std::string path_;
    };

    std::unique_ptr<FileWriter> wrap(std::unique_ptr<FileWriter> inner, const std::string& path) {
        return std::make_unique<Writer>(*this, std::move(inner), path);
    }
    void record(std::string call) { calls.push_back(std::move(call)); }
    static void failIf(bool fail, int err) {
        if (fail) {
            throw RunError::fromErrno(err);
        }
    }
    static bool endsWith(const std::string& text, const std::string& suffix) {
        return text.size() >= suffix.size() &&
               text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
    }

    PosixFileSystem real_;
};

} // namespace vornal::test
