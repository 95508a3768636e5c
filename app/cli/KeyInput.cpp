#include "app/cli/KeyInput.h"

#include "app/cli/ExitStatus.h"
#include "platform/Secrets.h"
#include "platform/Text.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <iterator>
#include <termios.h>
#include <unistd.h>

namespace vornal::cli {

namespace {

void stripLineEnd(std::string& s) {
    if (!s.empty() && s.back() == '\n') {
        s.pop_back();
        if (!s.empty() && s.back() == '\r') {
            s.pop_back();
        }
    }
}

// The first line of fd without its line end (LF or CR LF), read straight into key text:
// a stream would leave a copy in its buffer. Absent when nothing could be read, with error
// set to the system's error number if reading failed.
std::optional<SecretUtf8> readKeyLine(int fd, int& error) {
    SecretUtf8 line;
    bool gotLine = false;
    error = 0;
    char c;
    while (true) {
        const ssize_t n = ::read(fd, &c, 1);
        if (n == 1) {
            if (c == '\n') {
                gotLine = true;
                break;
            }
            line.push_back(c);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            error = n < 0 ? errno : 0;
            break;
        }
    }
    wipe(&c, sizeof c);
    if (!gotLine && line.empty()) {
        return std::nullopt;
    }
    if (gotLine && !line.empty() && line.view().back() == '\r') {
        line.pop_back();
    }
    return line;
}

// One line from a terminal with echo off; the line end is not kept.
std::optional<SecretUtf8> readHiddenLine(const char* prompt) {
    termios saved{};
    const bool isTerm = tcgetattr(STDIN_FILENO, &saved) == 0;
    if (isTerm) {
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        quiet.c_lflag |= ECHONL;
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    // Echo is off before the prompt shows, so nothing typed after it can be echoed.
    std::cerr << prompt << std::flush;
    int error = 0;
    auto line = readKeyLine(STDIN_FILENO, error);
    if (isTerm) {
        tcsetattr(STDIN_FILENO, TCSANOW, &saved);
    }
    return line;
}

KeyResult fail(std::string error, int exitCode) {
    KeyResult r;
    r.error = std::move(error);
    r.exitCode = exitCode;
    return r;
}

KeyResult fromUtf8(std::string_view utf8, const char* what) {
    auto key = utf8ToUtf16(utf8);
    if (!key) {
        return fail(std::string(what) + " is not valid UTF-8", kUsage);
    }
    KeyResult r;
    r.key.emplace(std::move(*key));
    return r;
}

} // namespace

SecretUtf16 copyOf(const SecretUtf16& key) {
    SecretUtf16 copy;
    copy.append(key.view());
    return copy;
}

KeyResult readKey(const KeySource& source, bool confirm) {
    switch (source.kind) {
    case KeySource::Kind::Env: {
        // The value stays in the environment, where the user put it.
        const char* value = std::getenv(source.name.c_str());
        if (!value) {
            return fail("environment variable " + source.name + " is not set", kUsage);
        }
        return fromUtf8(value, "the key");
    }
    case KeySource::Kind::File: {
        const bool fromStdin = source.name == "-";
        const int fd = fromStdin ? STDIN_FILENO : ::open(source.name.c_str(), O_RDONLY | O_CLOEXEC);
        int error = fd < 0 ? errno : 0;
        std::optional<SecretUtf8> line;
        if (fd >= 0) {
            line = readKeyLine(fd, error);
        }
        if (fd >= 0 && !fromStdin) {
            ::close(fd);
        }
        if (error != 0) {
            return fail("cannot read key file " + source.name + ": " + std::strerror(error),
                        kUsage);
        }
        // An empty file is an empty key, refused later like an empty typed one.
        return fromUtf8(line ? line->view() : std::string_view(), "the key");
    }
    case KeySource::Kind::Prompt:
        break;
    }
    if (!isatty(STDIN_FILENO)) {
        return fail("no key given and standard input is not a terminal", kUsage);
    }
    auto key = readHiddenLine("Enter encryption key: ");
    if (!key) {
        return fail("no key was typed", kUsage);
    }
    if (confirm) {
        const auto again = readHiddenLine("Re-enter encryption key: ");
        if (!again) {
            return fail("no key was typed", kUsage);
        }
        if (key->view() != again->view()) {
            return fail("Encryption keys mismatch. Please re-enter both keys.", kFailed);
        }
    }
    return fromUtf8(key->view(), "the key");
}

std::optional<std::string> readAllStdin(std::string& error) {
    std::string data((std::istreambuf_iterator<char>(std::cin)), std::istreambuf_iterator<char>());
    if (std::cin.bad()) {
        error = "cannot read standard input";
        return std::nullopt;
    }
    stripLineEnd(data);
    return data;
}

} // namespace vornal::cli
