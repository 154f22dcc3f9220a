#include "report/export_file.h"

#include "core/encoding.h"

#include <cstring>

namespace doseplex::export_file {

namespace {

constexpr std::size_t kMaxSheetNameUnits = 31;

bool IsContinuationByte(char ch) {
    return (static_cast<unsigned char>(ch) & 0xC0) == 0x80;
}

// UTF-16 code units of a UTF-8 sequence starting with `lead`.
std::size_t Utf16Units(unsigned char lead) {
    return lead >= 0xF0 ? 2 : 1;
}

} // namespace

std::string SheetName(const std::string& name) {
    const std::string utf8 = EightBitToUtf8(name);
    std::string result;
    std::size_t units = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        std::size_t length = 1;
        while (i + length < utf8.size() && IsContinuationByte(utf8[i + length])) {
            ++length;
        }
        const auto lead = static_cast<unsigned char>(utf8[i]);
        units += Utf16Units(lead);
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
