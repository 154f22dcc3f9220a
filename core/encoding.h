#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace doseplex {

// Texts are held as UTF-8 in memory. Stored and imported texts are 8-bit:
// files from the Windows world hold Windows-1252 ("µM" is the byte 0xB5).

// The one UTF-8 decoder: the character whose sequence starts at byte `at`,
// and the sequence's length; 0 when there is none or it is malformed
// (overlong forms, surrogates and values above U+10FFFF included).
size_t DecodeUtf8(std::string_view text, size_t at, char32_t& codePoint);

// A UTF-8 text as UTF-16; each malformed byte becomes U+FFFD.
std::u16string Utf8ToUtf16(std::string_view utf8);

// True when `bytes` is well-formed UTF-8.
bool IsValidUtf8(std::string_view bytes);

// An 8-bit text as UTF-8: kept as it is when it is valid UTF-8, otherwise
// read as Windows-1252.
std::string EightBitToUtf8(std::string_view bytes);

// A UTF-8 text as 8-bit: Windows-1252 when every character has a byte there,
// otherwise the UTF-8 bytes unchanged.
std::string Utf8ToEightBit(std::string_view utf8);

// The 8-bit form of a text kept in a file that is read back with
// EightBitToUtf8: as Utf8ToEightBit, but UTF-8 also when the Windows-1252
// bytes would themselves form UTF-8, so that reading always gives back the
// text.
std::string Utf8ToStoredText(std::string_view utf8);

} // namespace doseplex
