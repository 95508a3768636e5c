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
//   "openAppend a", "createNew a", "link a b", "createLike a", "exchange a b", "rename a b",
//   "write a", "sync a", "close a", "remove a", "createDirectory a", "restrictToOwner a"
// so that a test can check the order, e.g. that the backup exists before the target is
// emptied. Queries (canOpenForReading, exists, size, sizeOpenForReadWrite, freeSpace,
// identify, rewriteRefusal, canExchange, lockForRun, syncFolder) are not recorded.
class FaultyFileSystem : public FileSystem {
public:
    explicit FaultyFileSystem(TransferWays ways = {}) : real_(ways) {}

    // Faults. Call numbers count from 1; 0 means never.

    // The Nth FileWriter::write, counted across every writer handed out, writes the first
    // half of its bytes and then throws RunError(ENOSPC), like a disk filling up.
    int failWrite = 0;
    // What freeSpace answers, when set.
    std::optional<std::uint64_t> freeSpaceAnswer;
    // openTruncated, openRewrite and createLike throw EACCES before touching anything. Any
    // other call fails through beforeCall.
    bool failOpenTruncated = false;

    // Files replaced whole by exchanging names, as the real file system does where it can;
    // off, every backup is a copy and the file is written over.
    bool allowExchange = false;

    // Called with the write's number before each write is carried out.
    std::function<void(int)> onWrite;
    // Called with the number and text of each call as it is recorded, before it is carried
    // out, and with each call that creates, closes, copies or names files once it has been:
    // a test may throw from either to make the call fail, or to stop the run as a crash
    // would, with everything done so far on the disk.
    std::function<void(std::size_t, const std::string&)> beforeCall;
    std::function<void(const std::string&)> afterCall;

    // What happened. The failed calls are counted too.
    int writes = 0;
    std::vector<std::string> calls;

    bool canOpenForReading(const std::string& path) noexcept override {
        return real_.canOpenForReading(path);
    }
    bool exists(const std::string& path) noexcept override { return real_.exists(path); }

    std::string readAll(const std::string& path) override {
        record("readAll " + path);
        return real_.readAll(path);
    }
    std::unique_ptr<FileReader> openRead(const std::string& path) override {
        record("openRead " + path);
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
        real_.copyToNew(from, to);
        done();
    }
    void copyOver(const std::string& from, const std::string& to) override {
        record("copyOver " + from + " " + to);
        real_.copyOver(from, to);
        done();
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
    bool canExchange(const std::string& path) override {
        return allowExchange && real_.canExchange(path);
    }
    void link(const std::string& from, const std::string& to) override {
        record("link " + from + " " + to);
        real_.link(from, to);
        done();
    }
    std::unique_ptr<FileWriter> createLike(const std::string& path,
                                           const std::string& like) override {
        record("createLike " + path);
        failIf(failOpenTruncated, EACCES);
        auto created = wrap(real_.createLike(path, like), path);
        done();
        return created;
    }
    void exchange(const std::string& a, const std::string& b) override {
        record("exchange " + a + " " + b);
        real_.exchange(a, b);
        done();
    }
    void rename(const std::string& from, const std::string& to) override {
        record("rename " + from + " " + to);
        real_.rename(from, to);
        done();
    }
    void syncFolder(const std::string& path) override { real_.syncFolder(path); }
    FileIdentity identify(const std::string& path) override { return real_.identify(path); }
    RewriteRefusal rewriteRefusal(const std::string& path) override {
        return real_.rewriteRefusal(path);
    }
    std::unique_ptr<RunLock> lockForRun(const std::string& path) override {
        return real_.lockForRun(path);
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
        real_.remove(path);
        done();
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
                throw RunError::fromErrno(ENOSPC);
            }
            inner_->write(bytes);
        }
        void sync() override {
            files_.record("sync " + path_);
            inner_->sync();
        }
        void close() override {
            files_.record("close " + path_);
            inner_->close();
            files_.done();
        }

    private:
        FaultyFileSystem& files_;
        std::unique_ptr<FileWriter> inner_;
        std::string path_;
    };

    std::unique_ptr<FileWriter> wrap(std::unique_ptr<FileWriter> inner, const std::string& path) {
        return std::make_unique<Writer>(*this, std::move(inner), path);
    }
    void record(std::string call) {
        calls.push_back(std::move(call));
        if (beforeCall) {
            beforeCall(calls.size(), calls.back());
        }
    }
    void done() {
        if (afterCall) {
            afterCall(calls.back());
        }
    }
    static void failIf(bool fail, int err) {
        if (fail) {
            throw RunError::fromErrno(err);
        }
    }

    PosixFileSystem real_;
};

} // namespace vornal::test
