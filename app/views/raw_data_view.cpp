#include "app/views/raw_data_view.h"

#include "app/dialogs/excel_import_dialog.h"
#include "app/dialogs/format_cells_dialog.h"
#include "app/dialogs/header_footer_dialog.h"
#include "app/dialogs/import_raw_data_dialog.h"
#include "app/dialogs/odbc_import_dialog.h"
#include "app/models/raw_sheet_model.h"
#include "app/platform/prompter.h"
#include "entry/excel/workbook_file.h"
#include "entry/sheet_import.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPrinter>
#include <QUndoStack>

#include <algorithm>

namespace doseplex::app {

namespace {

const QString kSheetFileFilter =
    QStringLiteral("Tab-Delimited Text (*.txt);;Excel 97 Files (*.xls);;Excel Workbooks (*.xlsx)");

QString FromView(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QColor ToQColor(std::uint32_t colour) {
    return QColor(static_cast<int>((colour >> 16) & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                  static_cast<int>(colour & 0xFF));
}

QString PageText(QString text, int page, int pages) {
    text.replace(QStringLiteral("&P"), QString::number(page));
    text.replace(QStringLiteral("&N"), QString::number(pages));
    return text;
}

} // namespace

CRawDataView::CRawDataView(CRawSheetModel& model, QWidget* parent)
    : QTableView(parent), m_model(model) {
    m_nKind = kRawDataGridWindow;
    setModel(&model);
    setAccessibleName(QStringLiteral("Raw Data"));
    // Texts run on into the next cells' room as in spreadsheet programs
    // rather than break into lines that the row height cuts off.
    setWordWrap(false);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::AnyKeyPressed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setDefaultSectionSize(80);
    // Column widths and row heights stored with the sheet; a size the user
    // drags is stored there in turn.
    for (int column = 1; column <= CRawSheet::kColumns; ++column) {
        if (const int width = model.Sheet().ColumnWidth(column); width > 0) {
            setColumnWidth(column - 1, width);
        }
    }
    for (int row = 1; row <= CRawSheet::kRows; ++row) {
        if (const int height = model.Sheet().RowHeight(row); height > 0) {
            setRowHeight(row - 1, height);
        }
    }
    connect(horizontalHeader(), &QHeaderView::sectionResized, this,
            [this](int column, int, int size) { m_model.SetColumnWidth(column + 1, size); });
    connect(verticalHeader(), &QHeaderView::sectionResized, this,
            [this](int row, int, int size) { m_model.SetRowHeight(row + 1, size); });
    setCurrentIndex(model.index(0, 0));
}

entry::CCellPosition CRawDataView::Origin() const {
    const QModelIndex current = currentIndex();
    std::optional<entry::CCellPosition> cell;
    if (current.isValid()) {
        cell = entry::CCellPosition{current.row() + 1, current.column() + 1};
    }
    return entry::ImportOrigin(cell);
}

std::vector<entry::CCellRange> CRawDataView::Ranges() const {
    return SelectionRanges(selectionModel()->selection());
}

void CRawDataView::SelectRange(const entry::CCellRange& range) {
    const QModelIndex topLeft = m_model.index(range.m_nTop - 1, range.m_nLeft - 1);
    selectionModel()->setCurrentIndex(topLeft, QItemSelectionModel::NoUpdate);
    selectionModel()->select(
        QItemSelection(topLeft, m_model.index(range.m_nBottom - 1, range.m_nRight - 1)),
        QItemSelectionModel::ClearAndSelect);
}

// --- Clipboard and editing -------------------------------------------------------

void CRawDataView::CopySelection() {
    const std::vector<entry::CCellRange> ranges = Ranges();
    if (!ranges.empty()) {
        QApplication::clipboard()->setText(m_model.RangeText(ranges.front()));
    }
}

void CRawDataView::CutSelection() {
    const std::vector<entry::CCellRange> ranges = Ranges();
    if (ranges.empty()) {
        return;
    }
    QApplication::clipboard()->setText(m_model.RangeText(ranges.front()));
    m_model.ClearRanges({ranges.front()});
}

void CRawDataView::Paste() {
    const QString text = QApplication::clipboard()->text();
    if (!text.isEmpty()) {
        m_model.PasteText(text, Origin());
    }
}

void CRawDataView::ClearCells() {
    m_model.ClearRanges(Ranges());
}

void CRawDataView::FormatCells() {
    const std::vector<entry::CCellRange> ranges = Ranges();
    if (ranges.empty()) {
        return;
    }
    const entry::CCellRange& first = ranges.front();
    CFormatCellsDialog dialog(
        m_model.Sheet().GetStyle(std::max(first.m_nTop, 1), std::max(first.m_nLeft, 1)), this);
    if (dialog.exec() == QDialog::Accepted) {
        m_model.FormatRanges(ranges, dialog.Style());
    }
}

void CRawDataView::EditHeaderFooter() {
    CHeaderFooterDialog dialog(QString::fromStdString(m_model.Sheet().Header()),
                               QString::fromStdString(m_model.Sheet().Footer()), this);
    if (dialog.exec() == QDialog::Accepted) {
        CRawSheet after = m_model.Sheet();
        after.SetHeader(dialog.HeaderField()->text().toStdString());
        after.SetFooter(dialog.FooterField()->text().toStdString());
        m_model.ApplySheet(after, QStringLiteral("Edit Header & Footer"));
    }
}

void CRawDataView::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    QUndoStack* undo = m_model.UndoStack();
    QAction* undoAction = menu.addAction(QStringLiteral("Undo"), undo, &QUndoStack::undo);
    undoAction->setEnabled(undo->canUndo());
    QAction* redoAction = menu.addAction(QStringLiteral("Redo"), undo, &QUndoStack::redo);
    redoAction->setEnabled(undo->canRedo());
    menu.addSeparator();
    menu.addAction(QStringLiteral("Cut"), this, &CRawDataView::CutSelection);
    menu.addAction(QStringLiteral("&Copy"), this, &CRawDataView::CopySelection);
    menu.addAction(QStringLiteral("Paste"), this, &CRawDataView::Paste);
    menu.addSeparator();
    menu.addAction(QStringLiteral("Clear Cells"), this, &CRawDataView::ClearCells);
    menu.addSeparator();
    menu.addAction(QStringLiteral("Format Cells..."), this, &CRawDataView::FormatCells);
    menu.addAction(QStringLiteral("Edit Header && Footer..."), this,
                   &CRawDataView::EditHeaderFooter);
    menu.addSeparator();
    menu.addAction(QStringLiteral("Import Data..."), this, &CRawDataView::ImportRawData);
    menu.addAction(QStringLiteral("&Export Data..."), this, &CRawDataView::ExportData);
    menu.addSeparator();
    menu.addAction(QStringLiteral("Add Drug Wizard..."), this,
                   &CRawDataView::addDrugWizardRequested);
    menu.exec(event->globalPos());
}

void CRawDataView::keyPressEvent(QKeyEvent* event) {
    if (state() != QAbstractItemView::EditingState) {
        if (event->matches(QKeySequence::Copy)) {
            CopySelection();
            return;
        }
        if (event->matches(QKeySequence::Cut)) {
            CutSelection();
            return;
        }
        if (event->matches(QKeySequence::Paste)) {
            Paste();
            return;
        }
        if (event->matches(QKeySequence::Undo)) {
            m_model.UndoStack()->undo();
            return;
        }
        if (event->matches(QKeySequence::Redo) ||
            (event->key() == Qt::Key_Y && event->modifiers() == Qt::ControlModifier)) {
            m_model.UndoStack()->redo();
            return;
        }
        if (event->key() == Qt::Key_Delete) {
            ClearCells();
            return;
        }
    }
    QTableView::keyPressEvent(event);
}

// --- Import and export ---------------------------------------------------------------

void CRawDataView::ImportRawData() {
    CImportRawDataDialog::ESource source = CImportRawDataDialog::ESource::None;
    {
        // Gone before the next dialog opens.
        CImportRawDataDialog dialog(this);
        if (dialog.exec() != QDialog::Accepted) {
            return;
        }
        source = dialog.Source();
    }
    if (source == CImportRawDataDialog::ESource::File) {
        ImportFromFile();
    } else if (source == CImportRawDataDialog::ESource::Odbc) {
        ImportFromOdbc();
    }
}

void CRawDataView::ImportFromFile() {
    const QString path = Prompter().OpenFileName(this, QStringLiteral("Import Raw Data"), QString(),
                                                 kSheetFileFilter);
    if (!path.isEmpty()) {
        ImportFile(path);
    }
}

bool CRawDataView::ImportFile(const QString& path) {
    const std::string file = path.toStdString();
    CRawSheet after = m_model.Sheet();
    switch (entry::SheetFileKind(file)) {
    case entry::ESheetFileKind::Text: {
        const entry::CStatus status = entry::ImportSheetTextFile(file, after, Origin());
        if (!status) {
            Prompter().Message(this, QString::fromStdString(status.Message()));
            return false;
        }
        break;
    }
    case entry::ESheetFileKind::Xls:
    case entry::ESheetFileKind::Xlsx: {
        auto workbook = entry::ReadWorkbook(file);
        if (!workbook) {
            Prompter().Message(this, QString::fromStdString(workbook.Message()));
            return false;
        }
        CExcelImportDialog dialog(std::move(workbook).Value(), this);
        if (dialog.exec() != QDialog::Accepted || !dialog.Range()) {
            return false;
        }
        entry::ImportCellRange(after, Origin(), dialog.SheetData(), *dialog.Range());
        break;
    }
    case entry::ESheetFileKind::Unknown:
        // Nothing can be read from it; say so rather than do nothing.
        Prompter().Message(this, FromView(entry::kUnknownFileTypeMessage));
        return false;
    }
    return m_model.ApplySheet(after, QStringLiteral("Import"));
}

void CRawDataView::ImportFromOdbc() {
    // Rows below the sheet's last row cannot land; they are not read.
    COdbcImportDialog dialog(CRawSheet::kRows - Origin().m_nRow, this);
    if (dialog.exec() == QDialog::Accepted) {
        ImportOdbcRows(dialog.FieldCount(), dialog.RowTexts());
    }
}

bool CRawDataView::ImportOdbcRows(int fieldCount, const std::vector<std::string>& rowTexts) {
    CRawSheet after = m_model.Sheet();
    entry::ImportOdbcRows(after, Origin(), fieldCount, rowTexts);
    return m_model.ApplySheet(after, QStringLiteral("Import"));
}

void CRawDataView::ExportData() {
    const QString path =
        Prompter().SaveFileName(this, QStringLiteral("Export Raw Data Grid"), QString(),
                                kSheetFileFilter, QStringLiteral("txt"));
    if (!path.isEmpty()) {
        ExportTo(path);
    }
}

bool CRawDataView::ExportTo(const QString& path) {
    const entry::CStatus status = entry::ExportSheetFile(m_model.Sheet(), path.toStdString());
    if (!status) {
        Prompter().Message(this, QString::fromStdString(status.Message()));
        return false;
    }
    return true;
}

// --- Printing ------------------------------------------------------------------------

void CRawDataView::PrintTo(QPrinter& printer) {
    const CRawSheet& sheet = m_model.Sheet();
    const int rows = std::max(sheet.UsedRows(), 1);
    const int columns = std::max(sheet.UsedColumns(), 1);
    QPainter painter;
    if (!painter.begin(&printer)) {
        return;
    }
    // Screen pixels to printer pixels.
    const double scale = printer.resolution() / static_cast<double>(logicalDpiX());
    const QRectF page = printer.pageLayout().paintRectPixels(printer.resolution());
    const QRectF area(0, 0, page.width(), page.height());
    const QFont baseFont = font();
    painter.setFont(baseFont);
    const double lineHeight = painter.fontMetrics().height() * 1.5;
    const bool hasHeader = !sheet.Header().empty();
    const bool hasFooter = !sheet.Footer().empty();
    const double top = area.top() + (hasHeader ? lineHeight * 1.5 : 0);
    const double bottom = area.bottom() - (hasFooter ? lineHeight * 1.5 : 0);

    // Column groups across, row groups down; each page is one of each.
    const auto groups = [](int count, double room, const auto& size) {
        std::vector<std::pair<int, int>> out;
        int first = 1;
        double used = 0;
        for (int i = 1; i <= count; ++i) {
            const double s = size(i);
            if (i > first && used + s > room) {
                out.push_back({first, i - 1});
                first = i;
                used = 0;
            }
            used += s;
        }
        out.push_back({first, count});
        return out;
    };
    const auto width = [&](int column) { return columnWidth(column - 1) * scale; };
    const auto height = [&](int row) { return rowHeight(row - 1) * scale; };
    const auto columnGroups = groups(columns, area.width(), width);
    const auto rowGroups = groups(rows, bottom - top, height);
    const int pages = static_cast<int>(columnGroups.size() * rowGroups.size());

    int pageNumber = 0;
    for (const auto& [firstColumn, lastColumn] : columnGroups) {
        for (const auto& [firstRow, lastRow] : rowGroups) {
            ++pageNumber;
            if (pageNumber > 1) {
                printer.newPage();
            }
            painter.setFont(baseFont);
            painter.setPen(Qt::black);
            if (hasHeader) {
                painter.drawText(
                    QRectF(area.left(), area.top(), area.width(), lineHeight),
                    Qt::AlignHCenter | Qt::AlignVCenter,
                    PageText(QString::fromStdString(sheet.Header()), pageNumber, pages));
            }
            if (hasFooter) {
                painter.drawText(
                    QRectF(area.left(), area.bottom() - lineHeight, area.width(), lineHeight),
                    Qt::AlignHCenter | Qt::AlignVCenter,
                    PageText(QString::fromStdString(sheet.Footer()), pageNumber, pages));
            }
            double y = top;
            for (int row = firstRow; row <= lastRow; ++row) {
                double x = area.left();
                const double h = height(row);
                for (int column = firstColumn; column <= lastColumn; ++column) {
                    const double w = width(column);
                    const QRectF cell(x, y, w, h);
                    const QModelIndex index = m_model.index(row - 1, column - 1);
                    const QVariant back = m_model.data(index, Qt::BackgroundRole);
                    if (back.isValid()) {
                        painter.fillRect(cell, back.value<QBrush>());
                    }
                    painter.setPen(QPen(QColor(200, 200, 200), 0));
                    painter.drawRect(cell);
                    const CCellStyle style = sheet.GetStyle(row, column);
                    for (int side = 0; side < 4; ++side) {
                        const CCellBorder& border = style.m_borders[static_cast<size_t>(side)];
                        if (border.m_nLine == CCellBorder::kNone) {
                            continue;
                        }
                        QPen pen(border.m_nColour ? ToQColor(border.m_nColour) : QColor(Qt::black));
                        pen.setWidthF(scale * (border.m_nLine == CCellBorder::kMedium  ? 2
                                               : border.m_nLine == CCellBorder::kThick ? 3
                                                                                       : 1));
                        if (border.m_nLine == CCellBorder::kDashed) {
                            pen.setStyle(Qt::DashLine);
                        } else if (border.m_nLine == CCellBorder::kDotted) {
                            pen.setStyle(Qt::DotLine);
                        }
                        painter.setPen(pen);
                        switch (side) {
                        case CCellStyle::kLeft:
                            painter.drawLine(cell.topLeft(), cell.bottomLeft());
                            break;
                        case CCellStyle::kTop:
                            painter.drawLine(cell.topLeft(), cell.topRight());
                            break;
                        case CCellStyle::kRight:
                            painter.drawLine(cell.topRight(), cell.bottomRight());
                            break;
                        default:
                            painter.drawLine(cell.bottomLeft(), cell.bottomRight());
                        }
                    }
                    const QString text = m_model.data(index, Qt::DisplayRole).toString();
                    if (!text.isEmpty()) {
                        const QVariant cellFont = m_model.data(index, Qt::FontRole);
                        painter.setFont(cellFont.isValid() ? cellFont.value<QFont>() : baseFont);
                        const QVariant fore = m_model.data(index, Qt::ForegroundRole);
                        painter.setPen(fore.isValid() ? fore.value<QBrush>().color()
                                                      : QColor(Qt::black));
                        const auto align =
                            m_model.data(index, Qt::TextAlignmentRole).value<Qt::Alignment>();
                        const double pad = 3 * scale;
                        painter.drawText(
                            cell.adjusted(pad, 0, -pad, 0),
                            static_cast<int>(align) |
                                ((style.m_nFlags & CCellStyle::kWrapText) ? Qt::TextWordWrap : 0),
                            text);
                    }
                    x += w;
                }
                y += h;
            }
        }
    }
    painter.end();
}

} // namespace doseplex::app
