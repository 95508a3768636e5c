#include "app/cli/ExitStatus.h"

#include <cerrno>

namespace vornal::cli {

int exitStatus(const FileOutcome& o) noexcept {
    switch (o.status) {
    case RunStatus::Succeeded:
        return kSuccess;
    case RunStatus::NoPath:
    case RunStatus::NotFound:
    case RunStatus::Unreadable:
        return kNotFound;
    case RunStatus::AlreadyEncrypted:
    case RunStatus::NotEncrypted:
    case RunStatus::Damaged:
        return kForeign;
    case RunStatus::WrongKey:
        return kWrongKey;
    case RunStatus::NoRoom:
        return kNoRoom;
    case RunStatus::Cancelled:
        return kInterrupted;
    case RunStatus::Nothing:
    case RunStatus::CannotRewrite:
    case RunStatus::Busy:
    case RunStatus::Interrupted:
    case RunStatus::WordTooLong:
        return kFailed;
    case RunStatus::Failed:
        break;
    }
    switch (o.failure) {
    case Failure::WrongKey:
        return kWrongKey;
    case Failure::Damaged:
        return kForeign;
    case Failure::Cancelled:
        return kInterrupted;
    case Failure::Error:
        // The disk filled up after all (another program took the room meanwhile).
        if (o.error && (o.error->number() == ENOSPC || o.error->number() == EDQUOT)) {
            return kNoRoom;
        }
        return kFailed;
    case Failure::Changed:
        return kFailed;
    }
    return kFailed;
}

} // namespace vornal::cli
