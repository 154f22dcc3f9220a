#pragma once

#include "entry/cell_range.h"
#include "entry/sheet_data.h"

#include <QDialog>

#include <optional>

class QTableView;

namespace doseplex::app {

// "Select Data to Import": the first worksheet of a workbook in a grid, on
// which the user marks the area to copy into the raw-data sheet.
class CExcelImportDialog final : public QDialog {
    Q_OBJECT
public:
    CExcelImportDialog(entry::CSheetData sheet, QWidget* parent = nullptr);

    QTableView* Grid() const { return m_grid; }
    const entry::CSheetData& SheetData() const { return m_sheet; }
    // The first selected range, set when the dialog is accepted.
    const std::optional<entry::CCellRange>& Range() const { return m_range; }

    // With nothing selected: the message, and the dialog stays open.
    void accept() override;

private:
    entry::CSheetData m_sheet;
    QTableView* m_grid = nullptr;
    std::optional<entry::CCellRange> m_range;
};

} // namespace doseplex::app
