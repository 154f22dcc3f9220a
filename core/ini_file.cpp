#include "core/ini_file.h"

#include "core/file_io.h"
#include "core/settings.h"

#include <cerrno>
#include <sys/stat.h>
#include <vector>

namespace doseplex {

namespace {

std::string_view Trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// One UTF-16 code unit of a \x escape, as UTF-8 (texts are UTF-8 in memory).
void AppendCodePoint(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// A section or key name: %XX escapes decoded, '\' standing for '/'.
std::string Name(std::string_view text) {
    std::string name;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 &&
            HexDigit(text[i + 2]) >= 0) {
            name += static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
            i += 2;
        } else {
            name += text[i] == '\\' ? '/' : text[i];
        }
    }
    return name;
}

// One escape after a backslash at text[i]; advances i past it.
void Unescape(std::string_view text, size_t& i, std::string& out) {
    if (i + 1 >= text.size()) {
        ++i;
        return;
    }
    const char c = text[i + 1];
    i += 2;
    switch (c) {
    case 'n':
        out += '\n';
        return;
    case 't':
        out += '\t';
        return;
    case 'r':
        out += '\r';
        return;
    case 'a':
        out += '\a';
        return;
    case 'b':
        out += '\b';
        return;
    case 'f':
        out += '\f';
        return;
    case 'v':
        out += '\v';
        return;
    case '0':
        out += '\0';
        return;
    case 'x': {
        char32_t cp = 0;
        int digits = 0;
        while (i < text.size() && digits < 4 && HexDigit(text[i]) >= 0) {
            cp = cp * 16 + static_cast<char32_t>(HexDigit(text[i]));
            ++i;
            ++digits;
        }
        AppendCodePoint(out, cp);
        return;
    }
    default:
        out += c;
        return;
    }
}

// The parts of a value, split at commas outside quotes.
std::vector<std::string> ValueParts(std::string_view text) {
    std::vector<std::string> parts(1);
    bool quoted = false;
    bool sawQuote = false;
    std::string pendingBlanks; // unquoted blanks, kept only when text follows
    for (size_t i = 0; i < text.size();) {
        const char c = text[i];
        if (c == '"') {
            quoted = !quoted;
            sawQuote = true;
            parts.back() += pendingBlanks;
            pendingBlanks.clear();
            ++i;
        } else if (c == '\\') {
            parts.back() += pendingBlanks;
            pendingBlanks.clear();
            Unescape(text, i, parts.back());
        } else if (!quoted && c == ',') {
            parts.emplace_back();
            pendingBlanks.clear();
            ++i;
        } else if (!quoted && (c == ' ' || c == '\t')) {
            if (!parts.back().empty() || sawQuote) {
                pendingBlanks += c;
            }
            ++i;
        } else {
            parts.back() += pendingBlanks;
            pendingBlanks.clear();
            parts.back() += c;
            ++i;
        }
    }
    return parts;
}

} // namespace

void ReadIniText(std::string_view text, CMemoryStore& store) {
    std::string section;
    size_t at = 0;
    while (at <= text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        const std::string_view line = Trim(text.substr(at, end - at));
        at = end + 1;
        if (line.empty() || line.front() == ';' || line.front() == '#') {
            continue;
        }
        if (line.front() == '[') {
            const auto close = line.find(']');
            section =
                Name(line.substr(1, close == std::string_view::npos ? line.size() - 1 : close - 1));
            continue;
        }
        const auto equals = line.find('=');
        if (equals == std::string_view::npos) {
            continue;
        }
        const std::string key = Name(Trim(line.substr(0, equals)));
        const std::string_view raw = Trim(line.substr(equals + 1));
        if (raw.starts_with("@ByteArray(") && raw.ends_with(")")) {
            store.Set(section, key, raw.substr(11, raw.size() - 12));
            continue;
        }
        if (raw.starts_with("@") && !raw.starts_with("@@")) {
            store.Remove(section, key); // a typed value no text reading gives
            continue;
        }
        const std::vector<std::string> parts =
            ValueParts(raw.starts_with("@@") ? raw.substr(1) : raw);
        std::string value;
        for (size_t i = 0; i < parts.size(); ++i) {
            value += (i > 0 ? ", " : "") + parts[i];
        }
        store.Set(section, key, value);
    }
}

bool ReadIniFile(const std::string& path, bool mayBeMissing, CMemoryStore& store,
                 std::string& problem) {
    problem = CheckSettingsFile(path, mayBeMissing);
    if (!problem.empty()) {
        return false;
    }
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 && errno == ENOENT) {
        return true; // a missing file that may be missing: nothing to read
    }
    std::vector<std::uint8_t> bytes;
    if (!ReadFileBytes(path, bytes, problem, kMaxSettingsFileBytes)) {
        return false;
    }
    ReadIniText(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), store);
    return true;
}

} // namespace doseplex
