#pragma once

#include <string>

namespace vornal {

// The path of a file picked in a folder: a root already ends in its separator ("/" +
// name); any other folder is joined to the name with one "/".
[[nodiscard]] std::u16string composeFilePath(const std::u16string& folder,
                                             const std::u16string& name);

} // namespace vornal
