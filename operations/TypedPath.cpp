#include "operations/TypedPath.h"

#include "operations/FileFormat.h"
#include "platform/Text.h"

namespace vornal {

std::string pathFromText(const std::u16string& text) {
    return utf16ToUtf8(text);
}

std::u16string typedPath(FileSystem& files, const std::u16string& text) {
    return files.exists(pathFromText(text)) ? text : trimBlanks(text);
}

} // namespace vornal
