#include "operations/InPlaceRewrite.h"

#include "platform/RunError.h"

#include <cerrno>

namespace vornal {

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
            files_.copyToNew(target_, name);
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
    writer_ = files_.openRewrite(target_, FileSystem::Rewrite::Empty);
}

void InPlaceRewrite::write(std::string_view bytes) {
    writer_->write(bytes);
}

void InPlaceRewrite::finish() {
    writer_->sync();
    writer_->close();
    writer_.reset();
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
    if (!touched_) {
        return true;
    }
    try {
        files_.copyOver(backup_, target_);
        return true;
    } catch (...) {
        return false;
    }
}

} // namespace vornal
