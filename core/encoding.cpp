#include "core/encoding.h"

#include <array>
#include <cstdint>

namespace doseplex {

namespace {

// Windows-1252 code points of the bytes 0x80..0x9F. The five bytes the code
// page leaves undefined map to the C1 control of the same number, as Windows
// itself converts them.
constexpr std::array<char32_t, 32> kHighTable = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

} // namespace

size_t DecodeUtf8(std::string_view s, size_t i, char32_t& cp) {
    if (i >= s.size()) {
        return 0;
    }
    const auto b0 = static_cast<unsigned char>(s[i]);
    size_t length = 0;
    char32_t min = 0;
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    }
    if ((b0 & 0xE0) == 0xC0) {
        length = 2;
        cp = b0 & 0x1F;
        min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        length = 3;
        cp = b0 & 0x0F;
        min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        length = 4;
        cp = b0 & 0x07;
        min = 0x10000;
    } else {
        return 0;
    }
    if (i + length > s.size()) {
        return 0;
    }
    for (size_t k = 1; k < length; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) {
            return 0;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        return 0;
    }
    return length;
}

namespace {

int Cp1252Byte(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
        return static_cast<int>(cp);
    }
    for (size_t i = 0; i < kHighTable.size(); ++i) {
        if (kHighTable[i] == cp) {
            return static_cast<int>(0x80 + i);
        }
    }
    return -1;
}

} // namespace

bool IsValidUtf8(std::string_view bytes) {
    char32_t cp = 0;
    for (size_t i = 0; i < bytes.size();) {
        const size_t length = DecodeUtf8(bytes, i, cp);
        if (length == 0) {
            return false;
        }
        i += length;
    }
    return true;
}

std::string EightBitToUtf8(std::string_view bytes) {
    if (IsValidUtf8(bytes)) {
        return std::string(bytes);
    }
    std::string out;
    out.reserve(bytes.size() * 2);
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        AppendUtf8(out, b >= 0x80 && b < 0xA0 ? kHighTable[b - 0x80] : char32_t{b});
    }
    return out;
}

std::string Utf8ToEightBit(std::string_view utf8) {
    if (!IsValidUtf8(utf8)) {
        return std::string(utf8);
    }
    std::string out;
    out.reserve(utf8.size());
    char32_t cp = 0;
    for (size_t i = 0; i < utf8.size();) {
        i += DecodeUtf8(utf8, i, cp);
        const int byte = Cp1252Byte(cp);
        if (byte < 0) {
            return std::string(utf8);
        }
        out += static_cast<char>(byte);
    }
    return out;
}

std::string Utf8ToStoredText(std::string_view utf8) {
    std::string out = Utf8ToEightBit(utf8);
    // Windows-1252 bytes that happen to form UTF-8 (such as the two bytes of
    // "Ã©") would read back as other characters; the UTF-8 form reads back
    // as the text itself.
    if (out != utf8 && IsValidUtf8(out)) {
        return std::string(utf8);
    }
    return out;
}

std::u16string Utf8ToUtf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        char32_t cp = 0;
        const size_t length = DecodeUtf8(utf8, i, cp);
        if (length == 0) {
            out += u'\uFFFD';
            ++i;
            continue;
        }
        i += length;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FFu));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

} // namespace doseplex
