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
// lose a file. Each call that makes, writes, names or removes files is recorded in `calls`
// ("copyToNew a b", "link a b", "write a", "close a", ...) before it is forwarded or failed,
// so that a test can check their order or fail any of them; queries are not recorded.
class FaultyFileSystem : public PosixFileSystem {
public:
    // Faults. Call numbers count from 1; 0 means never.

    // The Nth FileWriter::write, counted across every writer handed out, writes the first
    // half of its bytes and then throws RunError(ENOSPC), like a disk filling up.
    int failWrite = 0;
    // What freeSpace answers, when set.
    std::optional<std::uint64_t> freeSpaceAnswer;
    // openTruncated, openRewrite and createLike throw EACCES before touching anything.
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

    std::unique_ptr<FileReader> openRead(const std::string& path) override {
        record("openRead " + path);
        return PosixFileSystem::openRead(path);
    }
    std::uint64_t freeSpace(const std::string& path) override {
        return freeSpaceAnswer ? *freeSpaceAnswer : PosixFileSystem::freeSpace(path);
    }
    void copyToNew(const std::string& from, const std::string& to) override {
        record("copyToNew " + from + " " + to);
        PosixFileSystem::copyToNew(from, to);
        done();
    }
    void copyOver(const std::string& from, const std::string& to) override {
        record("copyOver " + from + " " + to);
        PosixFileSystem::copyOver(from, to);
        done();
    }
    std::unique_ptr<FileWriter> openTruncated(const std::string& path) override {
        record("openTruncated " + path);
        failIf(failOpenTruncated, EACCES);
        return wrap(PosixFileSystem::openTruncated(path), path);
    }
    std::unique_ptr<FileWriter> openRewrite(const std::string& path, Rewrite how) override {
        record("openRewrite " + path);
        failIf(failOpenTruncated, EACCES);
        return wrap(PosixFileSystem::openRewrite(path, how), path);
    }
    bool canExchange(const std::string& path) override {
        return allowExchange && PosixFileSystem::canExchange(path);
    }
    void link(const std::string& from, const std::string& to) override {
        record("link " + from + " " + to);
        PosixFileSystem::link(from, to);
        done();
    }
    std::unique_ptr<FileWriter> createLike(const std::string& path,
                                           const std::string& like) override {
        record("createLike " + path);
        failIf(failOpenTruncated, EACCES);
        auto created = wrap(PosixFileSystem::createLike(path, like), path);
        done();
        return created;
    }
    void exchange(const std::string& a, const std::string& b) override {
        record("exchange " + a + " " + b);
        PosixFileSystem::exchange(a, b);
        done();
    }
    std::unique_ptr<FileWriter> openAppend(const std::string& path, bool createIfMissing) override {
        record("openAppend " + path);
        return wrap(PosixFileSystem::openAppend(path, createIfMissing), path);
    }
    std::unique_ptr<FileWriter> createNew(const std::string& path) override {
        record("createNew " + path);
        return wrap(PosixFileSystem::createNew(path), path);
    }
    void remove(const std::string& path) override {
        record("remove " + path);
        PosixFileSystem::remove(path);
        done();
    }
    void createDirectory(const std::string& path) override {
        record("createDirectory " + path);
        PosixFileSystem::createDirectory(path);
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
};

} // namespace vornal::test
