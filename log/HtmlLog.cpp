#include "log/OperationLog.h"
#include "platform/Text.h"

#include <cerrno>

namespace vornal {

namespace {

constexpr const char* kEol = "\r\n";
constexpr const char* kGreyCell =
    "<TD ALIGN='center' BGCOLOR='#CCCCCC'><FONT FACE='Verdana' SIZE='2'>";
constexpr const char* kBlueCell =
    "<TD ALIGN='center' BGCOLOR='#CCCCFF'><FONT FACE='Verdana' SIZE='2'>";
constexpr const char* kCellEnd = "</FONT></TD>";

} // namespace

bool FileExists(FileSystem& files, const std::string& path) noexcept {
    return files.canOpenForReading(path);
}

std::string htmlCell(const std::u16string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c == u'&') {
            out += "&amp;";
        } else if (c == u'<') {
            out += "&lt;";
        } else if (c == u'>') {
            out += "&gt;";
        } else if (auto byte = charToWindows1252(c)) {
            out.push_back(static_cast<char>(*byte));
        } else {
            // No byte for it in the log's code page: a character reference keeps it.
            char32_t cp = c;
            if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
                text[i + 1] <= 0xDFFF) {
                cp = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
            } else if (c >= 0xD800 && c <= 0xDFFF) {
                cp = 0xFFFD;
            }
            out += "&#" + std::to_string(static_cast<unsigned long>(cp)) + ";";
        }
    }
    return out;
}

std::string HtmlLog::headerBlock() {
    static const char* const kLines[] = {
        "<HTML>",
        "<HEAD><TITLE>Vornal Encryption Log</TITLE></HEAD>",
        "<BODY>",
        "<TABLE BORDER=0 CELLPADDING=3 CELLSPACING=1 WIDTH=600 BGCOLOR=#000000>",
        "<TR VALIGN='bottom' bgcolor='#9999CC'>",
        "<TH><FONT FACE='Verdana' SIZE='2'>Date</FONT></TH>",
        "<TH><FONT FACE='Verdana' SIZE='2'>Time</FONT></TH>",
        "<TH><FONT FACE='Verdana' SIZE='2'>Description</FONT></TH>",
        "<TH><FONT FACE='Verdana' SIZE='2'>Status</FONT></TH>",
        "</TR>",
    };
    std::string out;
    for (const char* line : kLines) {
        out += line;
        out += kEol;
    }
    return out;
}

std::string HtmlLog::rowLines(const std::u16string& date, const std::u16string& time,
                              const std::u16string& description, const std::u16string& status) {
    std::string out = "<TR VALIGN='baseline' BGCOLOR='#CCCCCC'>";
    out += kEol;
    for (const auto* cell : {&date, &time, &description}) {
        out += kGreyCell + htmlCell(*cell) + kCellEnd + kEol;
    }
    out += kBlueCell + htmlCell(status) + kCellEnd + kEol;
    out += "</TR>";
    out += kEol;
    return out;
}

HtmlLog::HtmlLog(FileSystem& files, Clock& clock, std::string path)
    : files_(files), clock_(clock), path_(std::move(path)) {}

std::optional<RunError> HtmlLog::AppendLogRow(const std::u16string& description,
                                              const std::u16string& status) {
    try {
        // A log that exists but cannot be read now is still the user's log: append to it
        // (or fail), never start it afresh.
        if (!FileExists(files_, path_) && !files_.exists(path_)) {
            try {
                auto fresh = files_.createNew(path_);
                fresh->write(std::string("<table border>") + kEol);
                fresh->close();
            } catch (const RunError& e) {
                if (e.number() != EEXIST) {
                    throw;
                }
            }
        }
        const std::u16string date = clock_.dateText();
        const std::u16string time = clock_.timeText();
        // One write per row, so that rows of two programs writing at once never mix.
        auto out = files_.openAppend(path_, false);
        keepPrivate();
        out->write(rowLines(date, time, description, status));
        out->close();
        return std::nullopt;
    } catch (const RunError& e) {
        return e;
    }
}

void HtmlLog::keepPrivate() {
    try {
        files_.restrictToOwner(path_);
    } catch (const RunError&) {
        // A log that is not ours to tighten is still written.
    }
}

bool HtmlLog::clear() {
    if (!FileExists(files_, path_)) {
        return false;
    }
    auto out = files_.openTruncated(path_);
    keepPrivate();
    out->write(headerBlock());
    out->close();
    return true;
}

} // namespace vornal
