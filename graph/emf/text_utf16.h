#pragma once

#include <string>
#include <string_view>

namespace doseplex::emf {

// A text as UTF-16 for the wide-character GDI calls. Valid UTF-8 is decoded
// as it is; other bytes are read as Windows-1252, as the project reads 8-bit
// texts. Characters beyond the BMP become surrogate pairs.
std::u16string TextToUtf16(std::string_view text);

} // namespace doseplex::emf
