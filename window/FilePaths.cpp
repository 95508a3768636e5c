#include "window/FilePaths.h"

namespace vornal {

std::u16string composeFilePath(const std::u16string& folder, const std::u16string& name) {
    if (!folder.empty() && folder.back() == u'/') {
        return folder + name;
    }
    return folder + u"/" + name;
}

} // namespace vornal
