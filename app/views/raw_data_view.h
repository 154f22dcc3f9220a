#pragma once

#include "app/views/child_view.h"
#include "entry/cell_range.h"

#include <QTableView>

#include <vector>

class QPrinter;

namespace doseplex::app {

class CRawSheetModel;

// The raw-data grid window: the experiment's sheet with typing, clipboard
// (tab-separated text, as spreadsheet programs exchange it), clearing,
// formatting, import, export and printing. Every edit is one step of the
// model's undo stack.
class CRawDataView final : public QTableView, public CChildView {
    Q_OBJECT
public:
    explicit CRawDataView(CRawSheetModel& model, QWidget* parent = nullptr);

    QString ViewClass() const override { return QStringLiteral("Raw Data Grid"); }
    CRawSheetModel& SheetModel() const { return m_model; }

    // Where imports and pastes start: the current cell, or A1.
    entry::CCellPosition Origin() const;
    // The selected ranges, in the order they were selected.
    std::vector<entry::CCellRange> Ranges() const;
    // Selects the cells of `range` and makes its top-left cell current.
    void SelectRange(const entry::CCellRange& range);

    // Text or workbook into the sheet at the origin, by the file's extension
    // ("txt", "xls", "xlsx", compared exactly); a workbook first shows
    // "Select Data to Import". A file of another kind, or one that cannot be
    // read, gets a message and changes nothing. True when the sheet changed.
    bool ImportFile(const QString& path);
    // Rows of the "Import ODBC Data" dialog into the sheet at the origin.
    bool ImportOdbcRows(int fieldCount, const std::vector<std::string>& rowTexts);
    // The sheet as .txt, .xls or .xlsx by the extension; any other writes
    // nothing and says so.
    bool ExportTo(const QString& path);
    // The used part of the sheet, with its header and footer, page by page.
    void PrintTo(QPrinter& printer);

public slots:
    void CopySelection();
    void CutSelection();
    void Paste();
    void ClearCells();
    void FormatCells();
    void EditHeaderFooter();
    void ImportRawData();
    void ImportFromFile();
    void ImportFromOdbc();
    void ExportData();

signals:
    void addDrugWizardRequested();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    CRawSheetModel& m_model;
};

} // namespace doseplex::app
