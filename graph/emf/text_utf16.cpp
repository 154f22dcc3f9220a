#include "graph/emf/text_utf16.h"

#include "core/encoding.h"

namespace doseplex::emf {

std::u16string TextToUtf16(std::string_view text) {
    return Utf8ToUtf16(EightBitToUtf8(text));
}

} // namespace doseplex::emf
