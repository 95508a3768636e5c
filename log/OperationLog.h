#pragma once

#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/RunError.h"

#include <optional>
#include <string>

namespace vornal {

// True only when path can be opened for reading and closed again.
[[nodiscard]] bool FileExists(FileSystem& files, const std::string& path) noexcept;

// Where the operations record the outcome of their attempts.
class OperationLog {
public:
    virtual ~OperationLog() = default;
    // Appends one row. A log that cannot be written answers the error and changes nothing
    // else: the operation being logged goes on as it would.
    virtual std::optional<RunError> AppendLogRow(const std::u16string& description,
                                                 const std::u16string& status) = 0;
};

// The HTML log a browser displays: the fresh-log line "<table border>" or the ten header
// lines of a cleared log, then six lines a row, CR LF after each, never a footer.
class HtmlLog : public OperationLog {
public:
    HtmlLog(FileSystem& files, Clock& clock, std::string path);

    std::optional<RunError> AppendLogRow(const std::u16string& description,
                                         const std::u16string& status) override;

    // Rewrites an existing log as the ten header lines. Answers false (and writes nothing)
    // when there is no log; throws RunError when it cannot be written.
    bool clear();

    [[nodiscard]] const std::string& path() const noexcept { return path_; }
    // True when the log can be opened for reading.
    [[nodiscard]] bool exists() const noexcept { return FileExists(files_, path_); }

    // The ten header lines, CR LF after each.
    [[nodiscard]] static std::string headerBlock();
    // The six lines of one row as they are written.
    [[nodiscard]] static std::string rowLines(const std::u16string& date,
                                              const std::u16string& time,
                                              const std::u16string& description,
                                              const std::u16string& status);

private:
    // The log lists every file the user processed: on every write it is made readable and
    // writable by its owner alone, which tightens a log made before.
    void keepPrivate();

    FileSystem& files_;
    Clock& clock_;
    std::string path_;
};

// Text for a log cell: &, < and > escaped, characters outside Windows-1252 written as
// numeric character references, everything else one byte per character.
[[nodiscard]] std::string htmlCell(const std::u16string& text);

} // namespace vornal
