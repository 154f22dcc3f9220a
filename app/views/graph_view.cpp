#include "app/views/graph_view.h"

#include "app/dialogs/graph_picture_dialog.h"
#include "app/dialogs/graph_properties_dialog.h"
#include "app/platform/app_settings.h"
#include "app/platform/prompter.h"
#include "core/document.h"
#include "graph/qt/qpainter_surface.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPrinter>
#include <QScrollBar>

#include <algorithm>

namespace doseplex::app {

namespace {

// The graphs are laid out in units of a 96-dpi screen on paper too, so a
// printed graph keeps the proportions of its lines and letters.
constexpr double kGraphUnitsPerInch = 96.0;

} // namespace

QRect CGraphScreenLayout::Cell(int index, int scroll) const {
    const int column = index % m_nPerRow;
    const int row = index / m_nPerRow;
    return QRect(column * m_nCellWidth, row * m_nCellHeight - scroll, m_nCellWidth, m_nCellHeight);
}

CGraphScreenLayout GraphScreenLayout(int graphCount, int graphsPerRow, int clientWidth,
                                     int clientHeight) {
    CGraphScreenLayout layout;
    layout.m_nPerRow = graphsPerRow > 0 ? graphsPerRow : 1;
    // An empty list still has one row.
    layout.m_nRows = (std::max(graphCount, 1) - 1) / layout.m_nPerRow + 1;
    layout.m_nCellWidth = std::max(0, clientWidth) / layout.m_nPerRow;
    layout.m_nCellHeight = std::max(0, clientHeight) / layout.m_nPerRow;
    return layout;
}

CGraphPrintGrid GraphPrintGrid(int graphsPerPage, int width, int height) {
    CGraphPrintGrid grid;
    const int n = graphsPerPage > 0 ? graphsPerPage : 1;
    if (n == 1) {
        grid.m_nColumns = 1;
        grid.m_nRows = 1;
    } else if (n == 2) {
        grid.m_nColumns = width > height ? 2 : 1;
        grid.m_nRows = width > height ? 1 : 2;
    } else if (n <= 4) {
        grid.m_nColumns = 2;
        grid.m_nRows = 2;
    } else {
        grid.m_nColumns = width > height ? 3 : 2;
        grid.m_nRows = width > height ? 2 : 3;
    }
    grid.m_nCellWidth = width / grid.m_nColumns;
    grid.m_nCellHeight = height / grid.m_nRows;
    return grid;
}

int GraphsOnAPage(int graphsPerPage) {
    // A count beyond the largest grid (from an experiment file written
    // elsewhere) would put graphs below the page's end.
    return std::clamp(graphsPerPage, 1, 6);
}

int GraphPageCount(int graphCount, int graphsPerPage) {
    const int n = GraphsOnAPage(graphsPerPage);
    return (std::max(graphCount, 1) - 1) / n + 1;
}

CGraphView::CGraphView(CDoseplexDoc& doc, CAppSettings& settings, QWidget* parent)
    : QAbstractScrollArea(parent), m_doc(doc), m_settings(settings) {
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    viewport()->setAutoFillBackground(false);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    setAccessibleName(QStringLiteral("Graphs"));
    // Page Up, Page Down and the arrows scroll.
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(200, 150);
}

void CGraphView::SetGraphs(GraphList graphs, std::uint32_t builtAt) {
    m_graphs = std::move(graphs);
    m_builtAt = builtAt;
    UpdateLayout();
    viewport()->update();
}

void CGraphView::RebuildGraphs() {
    // The hand-over fields say what the window shows, as when it opened.
    m_doc.m_bOpenSummaryGraphs = m_nKind == kSummaryGraphsWindow ? 1 : 0;
    m_doc.m_nCurrentDrug = m_nDrug;
    if (m_doc.m_lastChange == m_builtAt) {
        return;
    }
    CGraphRequest request;
    request.m_bSummary = m_nKind == kSummaryGraphsWindow;
    request.m_nDrug = m_nDrug;
    const std::uint32_t stamp = m_doc.m_lastChange;
    if (std::optional<GraphList> graphs = BuildGraphsInBackground(this, m_doc, request)) {
        SetGraphs(std::move(*graphs), stamp);
    }
}

void CGraphView::UpdateLayout() {
    const QSize client = viewport()->size();
    m_layout = GraphScreenLayout(static_cast<int>(m_graphs.size()), m_doc.m_graph.m_nGraphsPerRow,
                                 client.width(), client.height());
    QScrollBar* bar = verticalScrollBar();
    bar->setRange(0, std::max(0, m_layout.ScrollHeight() - client.height()));
    bar->setPageStep(std::max(1, client.height()));
    bar->setSingleStep(std::max(1, m_layout.m_nCellHeight / 10));
}

void CGraphView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateLayout();
}

void CGraphView::scrollContentsBy(int, int) {
    // The cells are shifted at paint time; the whole area is drawn anew.
    viewport()->update();
}

void CGraphView::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    const QRect area = event->rect();
    painter.fillRect(area, Qt::white);
    painter.setRenderHint(QPainter::Antialiasing);
    CQPainterSurface surface(painter);
    const int scroll = verticalScrollBar()->value();
    for (size_t i = 0; i < m_graphs.size(); ++i) {
        const QRect cell = m_layout.Cell(static_cast<int>(i), scroll);
        if (!cell.intersects(area)) {
            continue;
        }
        CGraph& graph = *m_graphs[i];
        graph.Layout(cell.left(), cell.top(), cell.left() + cell.width(),
                     cell.top() + cell.height(), 0, 0);
        graph.Draw(surface, graph.m_rect);
    }
}

int CGraphView::GraphAt(const QPoint& point) const {
    const int scroll = verticalScrollBar()->value();
    for (size_t i = 0; i < m_graphs.size(); ++i) {
        if (m_layout.Cell(static_cast<int>(i), scroll).contains(point)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

bool CGraphView::EditGraphProperties(const QPoint& point) {
    // Summary graphs show several records and keep no axis override.
    if (m_nKind == kSummaryGraphsWindow) {
        return false;
    }
    const int index = GraphAt(point);
    if (index < 0 || !m_graphs[static_cast<size_t>(index)]->m_pOverride) {
        return false;
    }
    // The dialog writes into the record's own override, shared with the graph.
    const std::shared_ptr<CGraphOverride> override =
        m_graphs[static_cast<size_t>(index)]->m_pOverride;
    CGraphPropertiesDialog dialog(*override, this);
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    m_doc.SetModifiedFlag(true);
    m_doc.Touch();
    emit overrideChanged();
    RebuildGraphs();
    return true;
}

void CGraphView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        m_rightClick = event->position().toPoint();
    }
    QAbstractScrollArea::mousePressEvent(event);
}

QMenu* CGraphView::MakeContextMenu() {
    auto* menu = new QMenu(this);
    QAction* properties = menu->addAction(QStringLiteral("Edit Graph &Properties..."));
    properties->setEnabled(m_nKind != kSummaryGraphsWindow);
    connect(properties, &QAction::triggered, this, [this] { EditGraphProperties(m_rightClick); });
    connect(menu->addAction(QStringLiteral("&Copy Graph...")), &QAction::triggered, this,
            &CGraphView::CopyGraph);
    connect(menu->addAction(QStringLiteral("&Export Graph...")), &QAction::triggered, this,
            &CGraphView::ExportGraph);
    if (!m_documentActions.isEmpty()) {
        menu->addSeparator();
        menu->addActions(m_documentActions);
    }
    return menu;
}

void CGraphView::contextMenuEvent(QContextMenuEvent* event) {
    m_rightClick = event->pos();
    std::unique_ptr<QMenu> menu(MakeContextMenu());
    menu->exec(event->globalPos());
}

QStringList CGraphView::GraphEntries() const {
    QStringList entries;
    for (const auto& graph : m_graphs) {
        entries.append(QString::fromStdString(graph->GetTitle() + " (" + graph->GetYTitle() +
                                              " v.s. " + graph->GetXTitle() + ")"));
    }
    return entries;
}

// --- Printing ------------------------------------------------------------------------

int CGraphView::PageCount() const {
    return GraphPageCount(static_cast<int>(m_graphs.size()), m_doc.m_graph.m_nGraphsPerPage);
}

int CGraphView::PrintTo(QPrinter& printer) {
    QPainter painter;
    if (!painter.begin(&printer)) {
        return -1;
    }
    const int perPage = GraphsOnAPage(m_doc.m_graph.m_nGraphsPerPage);
    const int graphCount = static_cast<int>(m_graphs.size());
    const int pageCount = GraphPageCount(graphCount, perPage);
    const int dpiX = printer.logicalDpiX();
    const int dpiY = printer.logicalDpiY();

    const CDeviceRect area = ApplyPrintMargins(CDeviceRect{0, 0, printer.width(), printer.height()},
                                               m_settings.m_page.m_margins, dpiX, dpiY);
    const int left = static_cast<int>(area.m_nLeft);
    const int top = static_cast<int>(area.m_nTop);
    const int right = static_cast<int>(area.m_nRight);
    const int bottom = static_cast<int>(area.m_nBottom);
    const int width = std::max(1, right - left);
    // Half an inch (12.7 mm) at the top and at the bottom for the header
    // and the footer.
    const int band = dpiY / 2;
    const int gridTop = top + band;
    const CGraphPrintGrid grid =
        GraphPrintGrid(perPage, width, std::max(1, bottom - top - 2 * band));

    const QFontMetrics metrics = painter.fontMetrics();
    const int h = metrics.height();
    const int g = h / 4;
    const double scale = dpiX / kGraphUnitsPerInch;
    const double scaleY = dpiY / kGraphUnitsPerInch;
    const QString title = QString::fromStdString(m_doc.m_strTitle);
    const QString date = QString::fromStdString(m_doc.m_strDate);
    const QString path = QString::fromStdString(m_doc.m_strPathName);

    int first = 1;
    int last = pageCount;
    if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
        first = printer.fromPage();
        last = std::min(pageCount, printer.toPage() > 0 ? printer.toPage() : pageCount);
    }
    m_printedCells.assign(static_cast<size_t>(pageCount), {});
    for (int page = first; page <= last; ++page) {
        if (page > first) {
            printer.newPage();
        }
        painter.setPen(Qt::black);
        const QRect header(left, top, width, h);
        painter.drawText(header, Qt::AlignLeft | Qt::AlignTop,
                         QStringLiteral("Experiment: ") + title);
        painter.drawText(header, Qt::AlignRight | Qt::AlignTop, QStringLiteral("Date: ") + date);
        painter.drawLine(left, top + h + g, right, top + h + g);

        std::vector<QRect>& cells = m_printedCells[static_cast<size_t>(page - 1)];
        for (int slot = 0; slot < perPage; ++slot) {
            const int index = (page - 1) * perPage + slot;
            if (index >= graphCount) {
                break;
            }
            // A printed graph is at most two-thirds of its width high.
            const int drawnHeight = std::min(grid.m_nCellHeight, 2 * grid.m_nCellWidth / 3);
            const QRect cell(left + (slot % grid.m_nColumns) * grid.m_nCellWidth,
                             gridTop + (slot / grid.m_nColumns) * grid.m_nCellHeight,
                             grid.m_nCellWidth, drawnHeight);
            cells.push_back(cell);
            CGraph& graph = *m_graphs[static_cast<size_t>(index)];
            painter.save();
            painter.translate(cell.topLeft());
            painter.scale(scale, scaleY);
            painter.setRenderHint(QPainter::Antialiasing);
            {
                CQPainterSurface surface(painter);
                const int wasMonochrome = graph.m_bMonochrome;
                graph.m_bMonochrome = m_doc.m_graph.m_nColourPrint ? 0 : 1;
                graph.Layout(0, 0, static_cast<int>(cell.width() / scale),
                             static_cast<int>(cell.height() / scaleY), 0, 0);
                graph.Draw(surface, graph.m_rect);
                graph.m_bMonochrome = wasMonochrome;
            }
            painter.restore();
        }

        painter.setPen(Qt::black);
        painter.setBrush(Qt::NoBrush);
        const QRect footer(left, bottom - h, width, h);
        painter.drawText(footer, Qt::AlignLeft | Qt::AlignTop, QStringLiteral("Filename: ") + path);
        painter.drawText(footer, Qt::AlignRight | Qt::AlignTop,
                         QStringLiteral("Page: ") + QString::number(page));
        painter.drawLine(left, bottom - h - g, right, bottom - h - g);
    }
    painter.end();
    // The screen lays its graphs out again at the next paint.
    viewport()->update();
    return pageCount;
}

// --- Copy and export -------------------------------------------------------------------

void CGraphView::CopyGraph() {
    CCopyGraphDialog dialog(GraphEntries(), this);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    CGraphPictureDialog::CopySettings() = dialog.Values();
    using EAction = CGraphPictureDialog::EAction;
    const EAction action = dialog.Action();
    const EGraphCopy picture = dialog.AsBitmap() ? EGraphCopy::Bitmap : EGraphCopy::Metafile;
    const EGraphCopy format = action == EAction::CopyData     ? EGraphCopy::Data
                              : action == EAction::CopyCurves ? EGraphCopy::Curves
                                                              : picture;
    CopyGraphAs(dialog.SelectedGraph(), format, action == EAction::CopyBlackWhite, dialog.Values());
}

bool CGraphView::CopyGraphAs(int graph, EGraphCopy format, bool monochrome,
                             const CGraphPictureSettings& settings) {
    if (graph < 0 || graph >= static_cast<int>(m_graphs.size())) {
        Prompter().Message(this, QStringLiteral("No graph was selected."));
        return false;
    }
    QMimeData* contents =
        GraphMimeData(*m_graphs[static_cast<size_t>(graph)], format, settings, monochrome);
    QClipboard* clipboard = QGuiApplication::clipboard();
    // The window's own layout comes back at the next paint.
    viewport()->update();
    if (!contents || !clipboard) {
        delete contents;
        Prompter().Message(this, QStringLiteral("Oops - unable to copy!"));
        return false;
    }
    clipboard->setMimeData(contents);
    return true;
}

void CGraphView::ExportGraph() {
    CExportGraphDialog dialog(GraphEntries(), this);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    CGraphPictureDialog::ExportSettings() = dialog.Values();
    using EAction = CGraphPictureDialog::EAction;
    const EAction action = dialog.Action();
    const EExport what = action == EAction::ExportData     ? EExport::Data
                         : action == EAction::ExportCurves ? EExport::Curves
                                                           : EExport::Picture;
    ExportGraphAs(dialog.SelectedGraph(), what, dialog.Values());
}

bool CGraphView::ExportGraphAs(int index, EExport what, const CGraphPictureSettings& settings) {
    if (index < 0 || index >= static_cast<int>(m_graphs.size())) {
        Prompter().Message(this, QStringLiteral("No graph was selected."));
        return false;
    }
    CGraph& graph = *m_graphs[static_cast<size_t>(index)];
    std::string error;
    if (what == EExport::Picture) {
        const QString path = Prompter().SaveFileName(
            this, QStringLiteral("Export Graph"), QString(),
            QStringLiteral("Bitmap (*.bmp);;JPEG (*.jpg);;TIFF (*.tif);;Enhanced MetaFile "
                           "(*.emf);;PNG (*.png);;SVG (*.svg);;PDF (*.pdf)"),
            QStringLiteral("bmp"));
        if (path.isEmpty()) {
            return false;
        }
        if (GraphFileType(path) == EGraphFile::Unknown) {
            Prompter().Message(this, QStringLiteral("Graphs are exported as .bmp, .jpg, .tif, "
                                                    ".emf, .png, .svg or .pdf files (the "
                                                    "extension in lower case)."));
            return false;
        }
        const bool written = WriteGraphPicture(graph, path, settings.m_nWidth, settings.m_nHeight,
                                               settings.m_bIncludeTitle, error);
        viewport()->update();
        if (!written) {
            Prompter().Message(this, QStringLiteral("Error writing graph to file!"));
        }
        return written;
    }
    const bool curves = what == EExport::Curves;
    const QString path = Prompter().SaveFileName(
        this, curves ? QStringLiteral("Export Curves") : QStringLiteral("Export Data"), QString(),
        QStringLiteral("Tab-Delimited Text (*.txt)"), QStringLiteral("txt"));
    if (path.isEmpty()) {
        return false;
    }
    graph.m_nCurvePoints = settings.m_nPoints;
    if (!WriteGraphText(graph, path, curves, error)) {
        Prompter().Message(this, curves ? QStringLiteral("Error writing curves to file!")
                                        : QStringLiteral("Error writing data to file!"));
        return false;
    }
    return true;
}

} // namespace doseplex::app
