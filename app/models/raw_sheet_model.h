#pragma once

#include "core/raw_sheet.h"
#include "entry/cell_range.h"

#include <QAbstractTableModel>
#include <QUndoStack>

#include <functional>
#include <vector>

class QItemSelection;

namespace doseplex::app {

// The experiment's raw-data sheet as a table model: 1000 rows numbered from
// 1 and 50 columns named by letters, each cell's text and look. Every change
// goes through the model's undo stack as one step, so typing, pasting,
// clearing, formatting and importing can each be undone. The grid window and
// the Select Data dialog show the same model, so an edit in one shows in the
// other.
class CRawSheetModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit CRawSheetModel(CRawSheet& sheet, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Typing into a cell: one undoable step.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

    const CRawSheet& Sheet() const { return m_sheet; }
    QUndoStack* UndoStack() { return &m_undo; }

    // Makes the sheet look like `after` as one undoable step named `label`.
    // Only the cells that differ (and the header and footer) are recorded.
    // Returns false when nothing differs; no step is then made.
    bool ApplySheet(const CRawSheet& after, const QString& label);
    // Empties the cells of `ranges` (their texts and looks).
    bool ClearRanges(const std::vector<entry::CCellRange>& ranges);
    // Gives every cell of `ranges` the look `style`, keeping its text.
    bool FormatRanges(const std::vector<entry::CCellRange>& ranges, const CCellStyle& style);
    // Tab-separated text (rows by LF, CR LF or CR) into the sheet from
    // `origin`; what falls outside the sheet is dropped.
    bool PasteText(const QString& text, entry::CCellPosition origin);
    // Sizes in pixels as the grid shows them; not steps of the undo stack
    // (as in spreadsheet programs), but changes of the experiment.
    void SetColumnWidth(int column, int pixels);
    void SetRowHeight(int row, int pixels);
    // The cells of `range` as tab-separated text, rows ended by CR LF.
    QString RangeText(const entry::CCellRange& range) const;

    // Called after every change, undo and redo included.
    std::function<void()> m_onChanged;

    // How a cell's text is shown under a number format ("0.00", "0.0E+00",
    // "0%"); texts that are not numbers, and unknown formats, show as typed.
    static QString FormatNumber(const QString& text, const std::string& format);

private:
    friend class CSheetEditCommand;
    struct CCellChange {
        int m_nRow = 0;
        int m_nColumn = 0;
        CRawCell m_before;
        CRawCell m_after;
    };
    void Apply(const std::vector<CCellChange>& changes, bool after, const std::string& header,
               const std::string& footer);

    CRawSheet& m_sheet;
    QUndoStack m_undo;
};

// The ranges of a view's selection in sheet terms (rows and columns from 1),
// in the order they were selected.
std::vector<entry::CCellRange> SelectionRanges(const QItemSelection& selection);

} // namespace doseplex::app
