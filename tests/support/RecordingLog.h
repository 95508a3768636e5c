#pragma once

#include "log/OperationLog.h"

#include <cerrno>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vornal::test {

// Keeps every row appended, as (description, status). A failing log answers an error for
// each row, as a log that cannot be written does, and keeps nothing.
class RecordingLog : public OperationLog {
public:
    using Row = std::pair<std::u16string, std::u16string>;

    std::optional<RunError> AppendLogRow(const std::u16string& description,
                                         const std::u16string& status) override {
        if (failing) {
            return RunError::fromErrno(EACCES);
        }
        rows.emplace_back(description, status);
        return std::nullopt;
    }

    std::vector<Row> rows;
    bool failing = false;
};

} // namespace vornal::test
