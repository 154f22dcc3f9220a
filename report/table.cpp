#include "report/table.h"

#include "core/number_text.h"

namespace doseplex {

bool CellTextIsNumber(const std::string& text, double& value) {
    const auto number = ParseDecimal(text);
    if (!number) {
        return false;
    }
    value = *number;
    return true;
}

} // namespace doseplex
