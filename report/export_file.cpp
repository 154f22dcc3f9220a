#include "report/export_file.h"

#include "core/encoding.h"

#include <cstring>

namespace doseplex::export_file {

namespace {

constexpr std::size_t kMaxSheetNameUnits = 31;

} // namespace

std::string SheetName(const std::string& name) {
    const std::string utf8 = EightBitToUtf8(name);
    std::string result;
    std::size_t units = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        // EightBitToUtf8 gives well-formed UTF-8.
        char32_t cp = 0;
        const std::size_t length = DecodeUtf8(utf8, i, cp);
        const auto lead = static_cast<unsigned char>(utf8[i]);
        units += cp >= 0x10000 ? 2 : 1;
        if (units > kMaxSheetNameUnits) {
            break; // never half of a surrogate pair
        }
        if (lead < 0x20 || std::strchr("[]:*?/\\", lead) != nullptr) {
            result += '_';
        } else {
            result.append(utf8, i, length);
        }
        i += length;
    }
    if (!result.empty() && result.front() == '\'') {
        result.front() = '_';
    }
    if (!result.empty() && result.back() == '\'') {
        result.back() = '_';
    }
    return result.empty() ? "Sheet1" : result;
}

} // namespace doseplex::export_file
