#include "app/views/summary_table_view.h"

#include "app/models/engine_calls.h"
#include "app/platform/prompter.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QMenu>

#include <algorithm>

namespace doseplex::app {

namespace {
constexpr int kMinimumColumns = 7;
constexpr int kFirstColumnWidth = 125;
} // namespace

CSummaryTableView::CSummaryTableView(CDoseplexDoc& doc, QWidget* parent)
    : QTableWidget(parent), m_doc(doc) {
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    horizontalHeader()->hide();
    verticalHeader()->hide();
    setShowGrid(true);
    setAccessibleName(QStringLiteral("Summary Table"));
    QPalette colours = palette();
    colours.setColor(QPalette::Base, Qt::white);
    setPalette(colours);
}

void CSummaryTableView::SetTable(const CTable& table) {
    m_table = table;
    clearSpans();
    clear();
    int columns = kMinimumColumns;
    for (const auto& row : table.m_rows) {
        columns = std::max(columns, static_cast<int>(row.size()));
    }
    setRowCount(static_cast<int>(table.m_rows.size()));
    setColumnCount(columns);
    QFont cellFont = font();
    cellFont.setPointSize(table.m_nFontPoints);
    for (int r = 0; r < rowCount(); ++r) {
        const auto& row = table.m_rows[static_cast<size_t>(r)];
        for (int c = 0; c < static_cast<int>(row.size()); ++c) {
            const CTableCell& cell = row[static_cast<size_t>(c)];
            auto* item = new QTableWidgetItem(QString::fromStdString(cell.m_strText));
            QFont itemFont = cellFont;
            itemFont.setBold(cell.m_bBold);
            item->setFont(itemFont);
            setItem(r, c, item);
        }
    }
    resizeColumnsToContents();
    setColumnWidth(0, kFirstColumnWidth);
    // A text whose row is otherwise empty (the title, a ratio line) runs on
    // over the empty cells, as in a spreadsheet.
    for (int r = 0; r < rowCount(); ++r) {
        const auto& row = table.m_rows[static_cast<size_t>(r)];
        const bool alone = !row.empty() && !row[0].m_strText.empty() &&
                           std::all_of(row.begin() + 1, row.end(), [](const CTableCell& cell) {
                               return cell.m_strText.empty();
                           });
        if (alone && columns > 1) {
            setSpan(r, 0, 1, columns);
        }
    }
}

void CSummaryTableView::Rebuild() {
    if (auto table = BuildSummaryTableInBackground(this, m_doc)) {
        SetTable(*table);
    }
}

QString CSummaryTableView::SelectedText() const {
    const QList<QTableWidgetSelectionRange> ranges = selectedRanges();
    if (ranges.isEmpty()) {
        return {};
    }
    int top = rowCount(), left = columnCount(), bottom = -1, right = -1;
    for (const auto& range : ranges) {
        top = std::min(top, range.topRow());
        left = std::min(left, range.leftColumn());
        bottom = std::max(bottom, range.bottomRow());
        right = std::max(right, range.rightColumn());
    }
    QString text;
    for (int r = top; r <= bottom; ++r) {
        for (int c = left; c <= right; ++c) {
            if (c > left) {
                text += QLatin1Char('\t');
            }
            const QTableWidgetItem* cell = item(r, c);
            if (cell && cell->isSelected()) {
                text += cell->text();
            }
        }
        text += QStringLiteral("\r\n");
    }
    return text;
}

void CSummaryTableView::CopySelection() {
    QApplication::clipboard()->setText(SelectedText());
}

bool CSummaryTableView::ExportTo(QString path) {
    if (QFileInfo(path).suffix().isEmpty()) {
        path += QStringLiteral(".txt");
    }
    const std::string target = path.toStdString();
    if (TableExportFormat(target) == ETableExport::Unknown) {
        Prompter().Message(this, QStringLiteral("The summary table can be exported as "
                                                "tab-delimited text (.txt) or as an Excel "
                                                "workbook (.xls, .xlsx) only."));
        return false;
    }
    std::string error;
    if (!WriteSummaryTableFile(m_table, target, error)) {
        Prompter().Message(
            this,
            QStringLiteral("Unable to write \"%1\".\n%2").arg(path, QString::fromStdString(error)));
        return false;
    }
    return true;
}

void CSummaryTableView::ExportData() {
    const QString path = Prompter().SaveFileName(
        this, QStringLiteral("Export Raw Data Grid"), QString(),
        QStringLiteral("Tab-Delimited Text (*.txt);;Excel 97 Files (*.xls);;Excel Workbook "
                       "(*.xlsx)"),
        QStringLiteral("txt"));
    if (!path.isEmpty()) {
        ExportTo(path);
    }
}

void CSummaryTableView::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    menu.addAction(QStringLiteral("&Copy"), this, &CSummaryTableView::CopySelection);
    menu.addAction(QStringLiteral("&Export Data..."), this, &CSummaryTableView::ExportData);
    menu.exec(event->globalPos());
}

} // namespace doseplex::app
