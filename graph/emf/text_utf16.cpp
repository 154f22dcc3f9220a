#include "graph/emf/text_utf16.h"

#include "core/encoding.h"

namespace doseplex::emf {

std::u16string TextToUtf16(std::string_view text) {
    const std::string utf8 = EightBitToUtf8(text);
    std::u16string out;
    out.reserve(utf8.size());
    size_t i = 0;
    while (i < utf8.size()) {
        const auto b0 = static_cast<unsigned char>(utf8[i]);
        // EightBitToUtf8 gives well-formed UTF-8, so the lead byte tells the
        // length and the continuation bytes are there.
        size_t length = 1;
        char32_t cp = b0;
        if (b0 >= 0xF0) {
            length = 4;
            cp = b0 & 0x07u;
        } else if (b0 >= 0xE0) {
            length = 3;
            cp = b0 & 0x0Fu;
        } else if (b0 >= 0xC0) {
            length = 2;
            cp = b0 & 0x1Fu;
        }
        if (i + length > utf8.size()) {
            out += u'\uFFFD';
            break;
        }
        for (size_t k = 1; k < length; ++k) {
            cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3Fu);
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

} // namespace doseplex::emf
