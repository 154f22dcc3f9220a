#pragma once

// The query text of the "Import ODBC Data" dialog, built from the fields the
// user picks in its lists.

#include <string>
#include <string_view>
#include <vector>

namespace doseplex::entry {

inline constexpr std::string_view kNoQueryMessage =
    "Please select the fields to import or manually enter an SQL query";

// "select [Dose], [Effect]\n from [Assay]" for the selected fields of a table,
// in list order; "select *\n from [Assay]" when every field is selected;
// empty when none is. `selected` holds one flag per field of `fields`.
// Names are enclosed in `open` and `close`; a source that does not take
// square brackets (PostgreSQL) gets its own identifier quote, `"` on both
// sides. A closing quote inside a name is doubled.
std::string BuildFieldQuery(std::string_view table, const std::vector<std::string>& fields,
                            const std::vector<bool>& selected, std::string_view open = "[",
                            std::string_view close = "]");

} // namespace doseplex::entry
