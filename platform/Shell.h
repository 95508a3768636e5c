#pragma once

#include <string>

namespace vornal {

// Asks the desktop to open documents with their default handler.
class Shell {
public:
    virtual ~Shell() = default;
    // Opens path with the handler of its file type; answers whether the request was made.
    virtual bool openDocument(const std::string& path) = 0;
};

} // namespace vornal
