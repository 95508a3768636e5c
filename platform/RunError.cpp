#include "platform/RunError.h"

#include "platform/Text.h"

#include <cstring>

namespace vornal {

RunError RunError::fromErrno(int err) {
    char buf[256];
    // GNU strerror_r may return a static string instead of filling buf.
    const char* text = strerror_r(err, buf, sizeof buf);
    return {err, text ? text : "Unknown error"};
}

std::u16string numberAndText(const RunError& e) {
    return ascii(std::to_string(e.number())) + u"-" + utf8ToUtf16(e.text()).value_or(ascii("?"));
}

} // namespace vornal
