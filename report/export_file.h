#pragma once

// What the workbook writers share: the clean-up of a sheet name.

#include <string>

namespace doseplex::export_file {

// A valid worksheet name in UTF-8 for `name` (an 8-bit text, read as
// Windows-1252 when it is not valid UTF-8): at most 31 UTF-16 code units,
// without []:*?/\ or control characters and not starting or ending with an
// apostrophe; offending characters become '_', and an empty name "Sheet1".
std::string SheetName(const std::string& name);

} // namespace doseplex::export_file
