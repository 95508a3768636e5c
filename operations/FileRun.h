#pragma once

#include "log/OperationLog.h"
#include "operations/Engine.h"
#include "platform/FileSystem.h"
#include "platform/RunError.h"
#include "platform/RunJournal.h"
#include "platform/Secrets.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace vornal {

enum class Direction { Encrypt, Decrypt };

// What a run on a file works with besides its own inputs.
struct RunServices {
    FileSystem& files;
    OperationLog& log;
    RunJournal& journal;
};

// One file to encrypt or decrypt in place.
struct FileRequest {
    // The path as the user gave it: the run takes the file it names (typedPath), and the
    // log rows quote it as it is.
    std::u16string typedPath;
    Direction direction = Direction::Encrypt;
    // The key, already confirmed; wiped when the request goes.
    SecretUtf16 key;
    EngineOptions engine = {};
    // Set, from any thread, to stop the run at its next piece; the file is then put back.
    const std::atomic<bool>* cancel = nullptr;
};

// What a run tells as it goes, in this order; each at most once but written().
class RunEvents {
public:
    virtual ~RunEvents() = default;
    // The path names a file that can be read; the run is about to claim it and read it.
    virtual void found() {}
    // The file is read through: its length in bytes.
    virtual void read(std::uint64_t /*length*/) {}
    // The backup is made; count pieces (encryption) or parts (decryption) are to be written.
    virtual void rewriting(std::uint64_t /*count*/) {}
    // Pieces or parts 0..index are written; a few times a second at most.
    virtual void written(std::uint64_t /*index*/) {}
    // Encryption only: the last piece and the marker line are written.
    virtual void markerWritten() {}
};

// How a run ended.
enum class RunStatus {
    Succeeded,
    Nothing, // the file holds nothing to encrypt or decrypt: empty, or only the marker
    // Refused before anything was touched:
    NoPath,           // the path is empty
    NotFound,         // no file that can be read has that name
    CannotRewrite,    // the file may not be rewritten (FileOutcome::why says why)
    Busy,             // another run has the file
    Interrupted,      // an interrupted run left the file to be put back first
    Unreadable,       // reading the file failed (FileOutcome::error)
    AlreadyEncrypted, // encryption: the file carries the marker line
    NotEncrypted,     // decryption: it does not, or holds no piece
    WordTooLong,      // encryption: a word the format cannot frame
    WrongKey,         // decryption: the first piece does not open with the key
    Damaged,          // decryption: the text cannot have been written by the format
    NoRoom,           // not enough free space for the way the file is rewritten
    Cancelled,        // the user stopped the run before the backup was made
    // Ended after the backup was made (FileOutcome::failure says how):
    Failed,
};

enum class Failure {
    Error,     // the system reported an error (FileOutcome::error)
    Changed,   // another program changed the file meanwhile
    WrongKey,  // the first part did not decrypt after all
    Damaged,   // a later part does not decrypt
    Cancelled, // the user stopped the run
};

struct FileOutcome {
    RunStatus status = RunStatus::Succeeded;
    RewriteRefusal why = RewriteRefusal::None; // CannotRewrite
    Failure failure = Failure::Error;          // Failed
    std::optional<RunError> error;             // Unreadable; Failed with Failure::Error
    // Failed with Failure::Changed: the original was put back from the backup (the file
    // was being written over), rather than left as the other program left it.
    bool putBackFromBackup = false;
    // Failed: the original is whole at its name again. When it is not, backup holds it.
    bool restored = true;
    // The backup when it outlives the run, else empty.
    std::string backup;

    [[nodiscard]] bool succeeded() const noexcept { return status == RunStatus::Succeeded; }
};

// Encrypts or decrypts one file in place without ever losing it. The run claims the file
// (one run per file), reads it through, checks that it can go on (the marker, the words,
// the key, the room), records itself, makes a backup, rewrites the file, checks that
// nothing else changed it, and writes its log row. Any failure puts the original back.
// Window-free: a front end gives it its inputs and turns its events and outcome into
// what its user sees. Its calls may run on any one thread.
class FileRun {
public:
    FileRun(RunServices& services, FileRequest request);
    ~FileRun();
    FileRun(const FileRun&) = delete;
    FileRun& operator=(const FileRun&) = delete;

    // The file the typed path means (typedPath): as typed when something has that name,
    // else without the blanks around it.
    [[nodiscard]] const std::u16string& pathText() const noexcept { return pathText_; }
    [[nodiscard]] Direction direction() const noexcept { return request_.direction; }

    // Everything up to the file read through: the path, the claim, the marker. Answers the
    // outcome when the run must stop there, nothing when it may go on.
    [[nodiscard]] std::optional<FileOutcome> probe(RunEvents& events);
    // The rest, after a probe that let the run go on.
    [[nodiscard]] FileOutcome rewrite(RunEvents& events);
    // Both.
    [[nodiscard]] FileOutcome run(RunEvents& events);

private:
    struct State;

    // Checks the room and the cancellation, then records the run and makes the backup, for
    // new content of newSize (for decryption, at most this). Answers a refusal, or nothing.
    [[nodiscard]] std::optional<FileOutcome> backUp(std::uint64_t newSize);
    [[nodiscard]] FileOutcome encrypt(RunEvents& events);
    [[nodiscard]] FileOutcome decrypt(RunEvents& events);
    [[nodiscard]] bool cancelled() const noexcept;
    // The log row of an attempt that ended with status.
    void log(const std::u16string& status);
    [[nodiscard]] FileOutcome refused(RunStatus status);
    [[nodiscard]] FileOutcome refusedLogged(RunStatus status, const std::u16string& logStatus);

    RunServices& services_;
    FileRequest request_;
    std::u16string pathText_;
    std::string path_;
    std::unique_ptr<State> state_;
};

// The description of a file run in the log: "Encrypting" or "Decrypting" and the path as
// the user gave it, in double quotes.
[[nodiscard]] std::u16string runDescription(Direction direction, const std::u16string& typedPath);

// Logs an error the system reported while a file was read or written: "Open File", the path
// as the user gave it in double quotes, and "Failure: " with the error's number and text.
void logFileError(OperationLog& log, const std::u16string& typedPath, const RunError& e);

// Why a key was not taken, before any run.
enum class KeyProblem { Missing, Mismatch };

// Logs a key that was missing or not confirmed, with the statuses the operations have
// always used ("Failure - No Key", "Failure - Key Mis-match" when encrypting; "Failure -
// Missing Key", "Failure - Key Mis-Match" when decrypting).
void logKeyProblem(OperationLog& log, Direction direction, const std::u16string& typedPath,
                   KeyProblem problem);

} // namespace vornal
