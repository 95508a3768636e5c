#include "operations/FileRun.h"

#include "log/OperationLog.h"
#include "operations/FileFormat.h"
#include "operations/InPlaceRewrite.h"
#include "operations/Recovery.h"
#include "operations/TypedPath.h"

#include <climits>

namespace vornal {

namespace {

// The longest field the framing's 32-bit length can carry, in characters.
constexpr std::uint64_t kMaxFieldChars = (INT32_MAX - 35) / 2;

// The engine's progress, told as the run's events, and the request's cancellation.
class EventProgress : public EngineProgress {
public:
    EventProgress(RunEvents& events, const std::atomic<bool>* cancel)
        : events_(events), cancel_(cancel) {}
    void written(std::uint64_t index) override { events_.written(index); }
    bool cancelRequested() override { return cancel_ != nullptr && cancel_->load(); }

private:
    RunEvents& events_;
    const std::atomic<bool>* cancel_;
};

std::u16string quoted(const std::u16string& text) {
    return u"\"" + text + u"\"";
}

} // namespace

// What the run holds from its claim to its end.
struct FileRun::State {
    std::unique_ptr<RunLock> lock;
    FileIdentity asRead; // the file just before it was read
    PlainScan plain;
    EncryptedScan encrypted;
    std::optional<InPlaceRewrite> rewrite;
};

std::u16string runDescription(Direction direction, const std::u16string& typedPath) {
    return (direction == Direction::Encrypt ? u"Encrypting " : u"Decrypting ") + quoted(typedPath);
}

void logFileError(OperationLog& log, const std::u16string& typedPath, const RunError& e) {
    (void)log.AppendLogRow(u"Open File " + quoted(typedPath), u"Failure: " + numberAndText(e));
}

void logKeyProblem(OperationLog& log, Direction direction, const std::u16string& typedPath,
                   KeyProblem problem) {
    const bool encrypting = direction == Direction::Encrypt;
    const char16_t* status =
        problem == KeyProblem::Missing
            ? (encrypting ? u"Failure - No Key" : u"Failure - Missing Key")
            : (encrypting ? u"Failure - Key Mis-match" : u"Failure - Key Mis-Match");
    (void)log.AppendLogRow(runDescription(direction, typedPath), status);
}

FileRun::FileRun(RunServices& services, FileRequest request)
    : services_(services), request_(std::move(request)),
      pathText_(typedPath(services.files, request_.typedPath)), path_(pathFromText(pathText_)),
      state_(std::make_unique<State>()) {}

FileRun::~FileRun() = default;

bool FileRun::cancelled() const noexcept {
    return request_.cancel != nullptr && request_.cancel->load();
}

void FileRun::log(const std::u16string& status) {
    (void)services_.log.AppendLogRow(runDescription(request_.direction, request_.typedPath),
                                     status);
}

FileOutcome FileRun::refused(RunStatus status) {
    FileOutcome o;
    o.status = status;
    return o;
}

FileOutcome FileRun::refusedLogged(RunStatus status, const std::u16string& logStatus) {
    log(logStatus);
    return refused(status);
}

std::optional<FileOutcome> FileRun::probe(RunEvents& events) {
    FileSystem& files = services_.files;
    if (pathText_.empty()) {
        return refused(RunStatus::NoPath);
    }
    if (!FileExists(files, path_)) {
        return refused(RunStatus::NotFound);
    }
    events.found();
    // Asked first, so that a file that cannot be rewritten gets not even a lock file.
    if (const RewriteRefusal why = files.rewriteRefusal(path_); why != RewriteRefusal::None) {
        FileOutcome o = refused(RunStatus::CannotRewrite);
        o.why = why;
        return o;
    }
    state_->lock = files.lockForRun(path_);
    if (!state_->lock) {
        return refused(RunStatus::Busy);
    }
    // Under the lock nobody else's run can hold a record for the file: any there is one
    // that died on the way, and its file may hold half a run's work.
    if (!recordsFor(files, services_.journal, path_).empty()) {
        state_->lock.reset();
        return refused(RunStatus::Interrupted);
    }
    try {
        state_->asRead = files.identify(path_);
        auto in = files.openRead(path_);
        if (request_.direction == Direction::Encrypt) {
            state_->plain = scanPlain(*in, request_.engine);
            events.read(state_->plain.size);
            if (state_->plain.marked) {
                return refused(RunStatus::AlreadyEncrypted);
            }
        } else {
            state_->encrypted = scanEncrypted(*in, request_.engine);
            events.read(files.size(path_));
            if (!state_->encrypted.marked) {
                return refused(RunStatus::NotEncrypted);
            }
        }
    } catch (const RunError& e) {
        logFileError(services_.log, request_.typedPath, e);
        FileOutcome o = refused(RunStatus::Unreadable);
        o.error = e;
        return o;
    }
    return std::nullopt;
}

FileOutcome FileRun::run(RunEvents& events) {
    if (auto stop = probe(events)) {
        return *stop;
    }
    return rewrite(events);
}

FileOutcome FileRun::rewrite(RunEvents& events) {
    State& s = *state_;
    FileOutcome o;
    try {
        return request_.direction == Direction::Encrypt ? encrypt(events) : decrypt(events);
    } catch (const OperationCancelled&) {
        if (!s.rewrite) {
            return refused(RunStatus::Cancelled);
        }
        o.status = RunStatus::Failed;
        o.failure = Failure::Cancelled;
        o.restored = s.rewrite->restore();
    } catch (const FileChanged& c) {
        o.status = RunStatus::Failed;
        o.failure = Failure::Changed;
        o.putBackFromBackup = c.putBackFromBackup;
        o.restored = c.restored;
        log(u"Failure - File Changed");
    } catch (const PartFailed& f) {
        o.status = RunStatus::Failed;
        // Only the first part with a ciphertext tells a wrong key; once that has
        // decrypted, a part that does not is damage.
        const bool first =
            f.index == s.encrypted.firstFull && f.outcome == TextCipher::Outcome::InvalidPassword;
        o.failure = first ? Failure::WrongKey : Failure::Damaged;
        o.restored = s.rewrite->restore();
        log(first ? u"Failure - Invalid Password" : u"Failure - Damaged File");
    } catch (const RunError& e) {
        o.status = RunStatus::Failed;
        o.failure = Failure::Error;
        o.error = e;
        o.restored = !s.rewrite || s.rewrite->restore();
        logFileError(services_.log, request_.typedPath, e);
    }
    // A backup that outlives the run: the original's whole copy when it could not be put
    // back, or a copy kept beside the file put back.
    if (s.rewrite && services_.files.exists(s.rewrite->backupPath())) {
        o.backup = s.rewrite->backupPath();
    }
    return o;
}

std::optional<FileOutcome> FileRun::backUp(std::uint64_t newSize) {
    State& s = *state_;
    InPlaceRewrite& rewrite =
        s.rewrite.emplace(services_.files, services_.journal, path_, s.asRead,
                          request_.direction == Direction::Encrypt, s.lock.get());
    if (services_.files.freeSpace(path_) < rewrite.roomNeeded(newSize)) {
        return refusedLogged(RunStatus::NoRoom, u"Failure - Not enough disk space");
    }
    if (cancelled()) {
        return refused(RunStatus::Cancelled);
    }
    rewrite.makeBackup(newSize);
    return std::nullopt;
}

FileOutcome FileRun::encrypt(RunEvents& events) {
    State& s = *state_;
    const PlainScan& scan = s.plain;
    if (scan.size == 0) {
        return refused(RunStatus::Nothing);
    }
    if (scan.longest > kMaxFieldChars) {
        return refused(RunStatus::WordTooLong);
    }
    if (auto stop = backUp(scan.encryptedSize)) {
        return *stop;
    }
    InPlaceRewrite& rewrite = *s.rewrite;
    const TextCipher keyed(request_.key.view());
    const auto cipher = makeEngine(keyed.cipher());
    rewrite.begin();
    events.rewriting(scan.fields);
    EventProgress progress(events, request_.cancel);
    auto in = services_.files.openRead(rewrite.backupPath());
    encryptStream(*in, rewrite.writer(), *cipher, scan, request_.engine, progress);
    events.markerWritten();
    rewrite.finish();
    // At once after the last check: a failure to delete the backup is ignored.
    (void)rewrite.discardBackup();
    (void)services_.log.AppendLogRow(runDescription(request_.direction, request_.typedPath) +
                                         u" with AES Encryption ",
                                     u"Success");
    return {};
}

FileOutcome FileRun::decrypt(RunEvents& events) {
    State& s = *state_;
    const EncryptedScan& scan = s.encrypted;
    if (scan.textSize == 0) {
        return refused(RunStatus::Nothing);
    }
    if (scan.parts < 2) {
        return refused(RunStatus::NotEncrypted);
    }
    if (!scan.lastPartBlank) {
        return refusedLogged(RunStatus::Damaged, u"Failure - Damaged File");
    }
    const TextCipher keyed(request_.key.view());
    const auto cipher = makeEngine(keyed.cipher());
    EventProgress progress(events, request_.cancel);
    // The key is tried on a whole part before the file is touched, so a wrong key costs
    // nothing.
    switch (checkFirstPart(
        scan, *cipher, [this] { return services_.files.openRead(path_); }, request_.engine,
        progress)) {
    case TextCipher::Outcome::Text:
        break;
    case TextCipher::Outcome::InvalidPassword:
        return refusedLogged(RunStatus::WrongKey, u"Failure - Invalid Password");
    case TextCipher::Outcome::Malformed:
        return refusedLogged(RunStatus::Damaged, u"Failure - Damaged File");
    }
    if (auto stop = backUp(scan.decryptedBound)) {
        return *stop;
    }
    InPlaceRewrite& rewrite = *s.rewrite;
    // The text decrypted is always shorter than the text read for it, so where the backup
    // is a copy the file is written over as it is read: its content is still in memory,
    // where the copy, written straight to the disk, is not.
    rewrite.beginOver();
    events.rewriting(scan.parts - 1);
    decryptStream(rewrite.oldContent(), rewrite.writer(), *cipher, scan, request_.engine, progress);
    rewrite.finish();
    (void)rewrite.discardBackup();
    log(u"Success");
    return {};
}

} // namespace vornal
