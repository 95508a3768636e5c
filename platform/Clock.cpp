#include "platform/Clock.h"

#include "platform/Text.h"

#include <ctime>
#include <locale.h>
#include <string>
#include <time.h>
#include <utility>

namespace vornal {

namespace {

// The locale's formats, in its charset. strftime reports an empty result and a buffer too
// small alike (0), so the buffer grows a few times before the text is taken as empty.
std::string formatNow(const char* format) {
    const std::time_t now = std::time(nullptr);
    // localtime_r need not look at TZ again after the first call; tzset makes it.
    ::tzset();
    std::tm local{};
    if (::localtime_r(&now, &local) == nullptr) {
        return {};
    }

    locale_t locale = ::newlocale(LC_TIME_MASK, "", static_cast<locale_t>(nullptr));
    if (locale == static_cast<locale_t>(nullptr)) {
        // An environment naming a locale that is not installed.
        locale = ::newlocale(LC_TIME_MASK, "C", static_cast<locale_t>(nullptr));
    }
    std::string text;
    for (std::size_t size = 64; size <= 4096; size *= 4) {
        std::string buffer(size, '\0');
        const std::size_t n =
            locale != static_cast<locale_t>(nullptr)
                ? ::strftime_l(buffer.data(), buffer.size(), format, &local, locale)
                : std::strftime(buffer.data(), buffer.size(), format, &local);
        if (n > 0) {
            buffer.resize(n);
            text = std::move(buffer);
            break;
        }
    }
    if (locale != static_cast<locale_t>(nullptr)) {
        ::freelocale(locale);
    }
    return text;
}

std::u16string toUtf16(const std::string& text) {
    if (auto utf16 = utf8ToUtf16(text)) {
        return *utf16;
    }
    // A locale whose charset is not UTF-8: keep what reads the same in every charset.
    std::u16string plain;
    for (const char c : text) {
        if (static_cast<unsigned char>(c) < 0x80) {
            plain.push_back(static_cast<char16_t>(c));
        }
    }
    return plain;
}

} // namespace

std::u16string SystemClock::dateText() {
    return toUtf16(formatNow("%x"));
}

std::u16string SystemClock::timeText() {
    return toUtf16(formatNow("%X"));
}

} // namespace vornal
