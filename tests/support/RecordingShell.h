#pragma once

#include "platform/Shell.h"

#include <string>
#include <vector>

namespace vornal::test {

// Keeps the documents it was asked to open.
class RecordingShell : public Shell {
public:
    bool openDocument(const std::string& path) override {
        opened.push_back(path);
        return answer;
    }
    std::vector<std::string> opened;
    bool answer = true;
};

} // namespace vornal::test
