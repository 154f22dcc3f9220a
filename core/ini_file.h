#pragma once

// Reading the per-user settings file without the application's libraries:
// the INI text that the application's settings store writes, or a user
// writes by hand, read into a store in memory. Nothing is ever written back.

#include "core/settings_store.h"

#include <string>
#include <string_view>

namespace doseplex {

// "[Section]" lines start a section; "key=value" lines hold values; lines
// starting with ';' or '#' are comments. Names may carry %XX escapes. A
// value is trimmed; double-quoted parts keep their blanks and take the
// escapes \" \\ \n \t \r \a \b \f \v \0 and \xHH..; an unquoted value with
// commas is a list, read back as its parts joined by ", " (as the
// application reads it); "@ByteArray(x)" reads as x, and other "@Variant"
// values as missing. A later value for the same key replaces an earlier one.
void ReadIniText(std::string_view text, CMemoryStore& store);

// Reads the settings file at `path` into `store`. A missing file reads as
// empty when `mayBeMissing`; otherwise, and for anything that is not a
// readable regular file of a settings file's size, false and the reason.
bool ReadIniFile(const std::string& path, bool mayBeMissing, CMemoryStore& store,
                 std::string& problem);

} // namespace doseplex
