// Excel 97 workbooks through FreeXL.

#include "entry/excel/workbook_file.h"
#include "entry/number_text.h"

#include <freexl.h>

namespace doseplex::entry {

namespace {

class CFreeXlHandle {
public:
    ~CFreeXlHandle() {
        if (m_handle != nullptr) {
            freexl_close(m_handle);
        }
    }
    const void* m_handle = nullptr;
};

std::string CellText(const FreeXL_CellValue& value) {
    switch (value.type) {
    case FREEXL_CELL_INT:
        return std::to_string(value.value.int_value);
    case FREEXL_CELL_DOUBLE:
        return ShortestNumberText(value.value.double_value);
    case FREEXL_CELL_TEXT:
    case FREEXL_CELL_SST_TEXT:
    case FREEXL_CELL_DATE:
    case FREEXL_CELL_DATETIME:
    case FREEXL_CELL_TIME:
        return value.value.text_value != nullptr ? value.value.text_value : "";
    default:
        return {};
    }
}

} // namespace

CResult<CSheetData> ReadXlsWorkbook(const std::string& path) {
    const auto failure = [&path](const std::string& why) {
        return CStatus::Fail("Cannot read the workbook \"" + path + "\": " + why + ".");
    };
    CFreeXlHandle xls;
    if (freexl_open(path.c_str(), &xls.m_handle) != FREEXL_OK) {
        return failure("it is not an Excel 97 workbook or cannot be opened");
    }
    unsigned int sheets = 0;
    if (freexl_get_info(xls.m_handle, FREEXL_BIFF_SHEET_COUNT, &sheets) != FREEXL_OK ||
        sheets == 0) {
        return failure("it holds no worksheet");
    }
    unsigned int rows = 0;
    unsigned short columns = 0;
    if (freexl_select_active_worksheet(xls.m_handle, 0) != FREEXL_OK ||
        freexl_worksheet_dimensions(xls.m_handle, &rows, &columns) != FREEXL_OK) {
        return failure("its first worksheet cannot be read");
    }
    CSheetData data;
    data.m_nRows = static_cast<int>(rows);
    data.m_nColumns = columns;
    for (unsigned int row = 0; row < rows; ++row) {
        for (unsigned short column = 0; column < columns; ++column) {
            FreeXL_CellValue value{};
            if (freexl_get_cell_value(xls.m_handle, row, column, &value) != FREEXL_OK) {
                return failure("a cell of its first worksheet cannot be read");
            }
            std::string text = CellText(value);
            if (!text.empty()) {
                data.m_cells[{static_cast<int>(row) + 1, column + 1}] = std::move(text);
            }
        }
    }
    return data;
}

CResult<CSheetData> ReadWorkbook(const std::string& path) {
    const std::size_t dot = path.rfind('.');
    const std::string extension = dot == std::string::npos ? "" : path.substr(dot + 1);
    if (extension == "xls") {
        return ReadXlsWorkbook(path);
    }
    if (extension == "xlsx") {
        return ReadXlsxWorkbook(path);
    }
    return CStatus::Fail("Cannot read \"" + path + "\": it is not an .xls or .xlsx workbook.");
}

} // namespace doseplex::entry
