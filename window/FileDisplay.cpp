#include "window/FileDisplay.h"

#include "operations/FileFormat.h"
#include "platform/Text.h"

#include <cmath>
#include <cstdio>

namespace vornal {

namespace {

// Up to 15 significant digits, "." as the point, no exponent or trailing zeros; then cut
// after the second digit behind the point.
std::string twoDecimalsCut(double quotient) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15g", quotient);
    std::string s = buf;
    const std::size_t point = s.find('.');
    if (point != std::string::npos && s.size() > point + 3) {
        s.resize(point + 3);
    }
    return s;
}

} // namespace

std::u16string fileSizeText(std::uint64_t length) {
    std::string text;
    if (length < 1024) {
        text = std::to_string(length) + " bytes";
    } else if (length < 1048576) {
        text = twoDecimalsCut(static_cast<double>(length) / 1024) + " kb";
    } else {
        text = twoDecimalsCut(static_cast<double>(length) / 1024 / 1024) + " mb";
    }
    return u"File size: " + ascii(text);
}

void ShowFileSize(Window& window, FileSystem& files) {
    const std::uint64_t length =
        files.sizeOpenForReadWrite(pathFromText(typedPath(files, window.text(Ctl::filepath))));
    window.setText(Ctl::labelFileSize, fileSizeText(length));
}

std::u16string elapsedText(float seconds) {
    char buf[64];
    if (seconds < 60) {
        std::snprintf(buf, sizeof buf, "%.1f", static_cast<double>(seconds));
    } else {
        const long n = std::lround(seconds);
        if (seconds < 3600) {
            std::snprintf(buf, sizeof buf, "%ldmin %lds", n / 60, n % 60);
        } else {
            std::snprintf(buf, sizeof buf, "%ldhr %ldmin %lds", n / 3600, (n / 60) % 60, n % 60);
        }
    }
    return ascii(buf);
}

void ElapsedTimer_Timer(ProcessState& state, Window& window) {
    if (state.ElapsedStopped) {
        return;
    }
    if (state.ElapsedSeconds < 60) {
        state.ElapsedSeconds += 0.1f;
    } else if (state.ElapsedSeconds < 3600) {
        window.setInterval(Ctl::ElapsedTimer, 1000);
        state.ElapsedSeconds += 1;
    } else {
        state.ElapsedSeconds += 1;
    }
}

} // namespace vornal
