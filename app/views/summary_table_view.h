#pragma once

#include "app/views/child_view.h"
#include "report/table.h"

#include <QTableWidget>

namespace doseplex {
class CDoseplexDoc;
}

namespace doseplex::app {

// The summary table window: a read-only grid of the summary table of the
// whole experiment, with copy and export.
class CSummaryTableView final : public QTableWidget, public CChildView {
    Q_OBJECT
public:
    explicit CSummaryTableView(CDoseplexDoc& doc, QWidget* parent = nullptr);

    QString ViewClass() const override { return QStringLiteral("Summary Data Table"); }

    // Shows `table` in the grid.
    void SetTable(const CTable& table);
    const CTable& Table() const { return m_table; }
    // Builds the table again from the experiment; a cancelled build keeps
    // the grid as it was.
    void Rebuild();

    // The selected cells as tab-separated text, one line (CR LF) per row of
    // the selection's bounding rectangle.
    QString SelectedText() const;
    // Writes the table as .txt, .xls or .xlsx by the name's extension
    // (".txt" when there is none); shows the reason and returns false when
    // nothing could be written.
    bool ExportTo(QString path);

public slots:
    void CopySelection();
    void ExportData();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    CDoseplexDoc& m_doc;
    CTable m_table;
};

} // namespace doseplex::app
