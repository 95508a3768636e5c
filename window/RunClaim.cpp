#include "window/RunClaim.h"

#include "operations/Recovery.h"

namespace vornal {

const char16_t* refusalMessage(RewriteRefusal why) noexcept {
    switch (why) {
    case RewriteRefusal::ReadOnlyVolume:
        return kReadOnlyVolumeMessage;
    case RewriteRefusal::Immutable:
        return kImmutableMessage;
    case RewriteRefusal::AppendOnly:
        return kAppendOnlyMessage;
    case RewriteRefusal::ReadOnly:
        return kReadOnlyMessage;
    case RewriteRefusal::NoPermission:
        return kNoPermissionMessage;
    case RewriteRefusal::FolderNotWritable:
        return kFolderNotWritableMessage;
    case RewriteRefusal::None:
        break;
    }
    return u"";
}

bool claimFile(OperationContext& ctx, const std::string& path, RunClaim& claim) {
    const auto refuse = [&](const char16_t* message) {
        claim.lock.reset();
        claim.refused = true;
        ctx.window.FlashFailure(message);
        return false;
    };
    // Asked first, so that a file that cannot be rewritten gets not even a lock file.
    if (const RewriteRefusal why = ctx.files.rewriteRefusal(path); why != RewriteRefusal::None) {
        return refuse(refusalMessage(why));
    }
    claim.lock = ctx.files.lockForRun(path);
    if (!claim.lock) {
        return refuse(kBusyMessage);
    }
    // Under the lock nobody else's run can hold a record for the file: any there is one
    // that died on the way, and its file may hold half a run's work.
    if (!recordsFor(ctx.files, ctx.journal, path).empty()) {
        return refuse(kInterruptedMessage);
    }
    claim.asRead = ctx.files.identify(path);
    return true;
}

} // namespace vornal
