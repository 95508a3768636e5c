#include "operations/RunMessages.h"

#include "platform/Text.h"

namespace vornal {

namespace {

std::u16string pathText(const std::string& path) {
    return utf8ToUtf16(path).value_or(u"its backup");
}

} // namespace

const char16_t* refusalMessage(RewriteRefusal why) noexcept {
    switch (why) {
    case RewriteRefusal::ReadOnlyVolume:
        return u"The file is on a read-only disk and cannot be changed.";
    case RewriteRefusal::Immutable:
        return u"The file is marked as unchangeable and cannot be rewritten.";
    case RewriteRefusal::AppendOnly:
        return u"The file is marked as append-only and cannot be rewritten.";
    case RewriteRefusal::ReadOnly:
        return u"The file is read-only.";
    case RewriteRefusal::NoPermission:
        return u"You do not have permission to change this file.";
    case RewriteRefusal::FolderNotWritable:
        return u"You do not have permission to create files in the folder of this file.";
    case RewriteRefusal::None:
        break;
    }
    return u"";
}

std::u16string warningMessage(const RunError& e) {
    return u"WARNING: " + numberAndText(e) + u" while performing operation.";
}

std::u16string outcomeMessage(const FileOutcome& o) {
    switch (o.status) {
    case RunStatus::Succeeded:
    case RunStatus::Nothing:
    case RunStatus::Cancelled:
        return {};
    case RunStatus::NoPath:
        return kNoPathMessage;
    case RunStatus::NotFound:
        return kNotFoundMessage;
    case RunStatus::CannotRewrite:
        return refusalMessage(o.why);
    case RunStatus::Busy:
        return kBusyMessage;
    case RunStatus::Interrupted:
        return kInterruptedMessage;
    case RunStatus::Unreadable:
        return kUnreadableMessage;
    case RunStatus::AlreadyEncrypted:
        return kAlreadyEncryptedMessage;
    case RunStatus::NotEncrypted:
        return kNotEncryptedMessage;
    case RunStatus::WordTooLong:
        return kFieldTooLongMessage;
    case RunStatus::WrongKey:
        return kInvalidPasswordMessage;
    case RunStatus::Damaged:
        return kDamagedMessage;
    case RunStatus::NoRoom:
        return kNoSpaceMessage;
    case RunStatus::Failed:
        break;
    }
    switch (o.failure) {
    case Failure::Error:
        return warningMessage(o.error.value_or(RunError(0, "")));
    case Failure::Changed:
        return o.putBackFromBackup ? kChangedPutBackMessage : kChangedNotProcessedMessage;
    case Failure::WrongKey:
        return kInvalidPasswordMessage;
    case Failure::Damaged:
        // Whether a backup outlives the restore depends on how it was made: it is named
        // only when it is there.
        return o.restored && !o.backup.empty()
                   ? kDamagedMessage + (u" A copy of it is kept in " + pathText(o.backup) + u".")
                   : std::u16string(kDamagedMessage);
    case Failure::Cancelled:
        return {};
    }
    return {};
}

std::optional<std::u16string> keptMessage(const FileOutcome& o) {
    if (o.status != RunStatus::Failed || o.restored) {
        return std::nullopt;
    }
    return u"The original file is kept in " + pathText(o.backup) + u".";
}

} // namespace vornal
