#pragma once

#include "app/models/graph_calls.h"
#include "app/views/child_view.h"
#include "graph/graph.h"

#include <QAbstractScrollArea>
#include <QList>
#include <QRect>

#include <cstdint>
#include <vector>

class QAction;
class QMenu;
class QPrinter;

namespace doseplex {
class CDoseplexDoc;
}

namespace doseplex::app {

class CAppSettings;

// The screen grid of a graph window: `m_nPerRow` graphs to a row, each cell
// the window's proportions scaled down by the graphs per row.
struct CGraphScreenLayout {
    int m_nPerRow = 1;
    int m_nRows = 1;
    int m_nCellWidth = 0;
    int m_nCellHeight = 0;
    int ScrollHeight() const { return m_nCellHeight * m_nRows; }
    // Graph `index`'s cell, scrolled up by `scroll`.
    QRect Cell(int index, int scroll) const;
};
CGraphScreenLayout GraphScreenLayout(int graphCount, int graphsPerRow, int clientWidth,
                                     int clientHeight);

// The printed page grid for `graphsPerPage` graphs on a page W x H.
struct CGraphPrintGrid {
    int m_nColumns = 1;
    int m_nRows = 1;
    int m_nCellWidth = 0;
    int m_nCellHeight = 0;
};
CGraphPrintGrid GraphPrintGrid(int graphsPerPage, int width, int height);
// Graphs printed on one page: GraphsPerPage within 1..6.
int GraphsOnAPage(int graphsPerPage);
int GraphPageCount(int graphCount, int graphsPerPage);

// A graph window: one drug's graphs or the summary graphs, in a grid that
// fills the window's width and scrolls vertically. It prints them several
// to a page and copies or exports one of them.
class CGraphView final : public QAbstractScrollArea, public CChildView {
    Q_OBJECT
public:
    CGraphView(CDoseplexDoc& doc, CAppSettings& settings, QWidget* parent = nullptr);

    QString ViewClass() const override { return QStringLiteral("Graph"); }

    // Shows `graphs`, built at change stamp `builtAt`.
    void SetGraphs(GraphList graphs, std::uint32_t builtAt);
    const GraphList& Graphs() const { return m_graphs; }
    std::uint32_t BuiltAt() const { return m_builtAt; }
    const CGraphScreenLayout& ScreenLayout() const { return m_layout; }

    // Rebuilds the graphs when the experiment changed since they were built.
    // The old graphs stay on screen until the new ones are complete; a
    // cancelled build keeps them.
    void RebuildGraphs();

    // The graph whose cell holds `point` (viewport coordinates), or -1.
    int GraphAt(const QPoint& point) const;
    // The Graph Properties dialog on the override of the graph under
    // `point`; true when it ended with OK (the experiment is then changed).
    bool EditGraphProperties(const QPoint& point);

    // The context menu: Edit Graph Properties (on the graph under the last
    // right click; disabled on summary graphs), Copy Graph, Export Graph and
    // the document actions. The caller owns it.
    QMenu* MakeContextMenu();
    // The commands the context menu offers beside its own (Options, Graph
    // Setup, Select Summary Graphs of the main window).
    void SetDocumentActions(const QList<QAction*>& actions) { m_documentActions = actions; }

    // Prints every graph (or the printer's page range); the page count, or
    // -1 when the printer cannot be painted on. The cells of each printed
    // page, in printer pixels, are kept for a look afterwards.
    int PrintTo(QPrinter& printer);
    // The pages a printing takes.
    int PageCount() const;
    const std::vector<std::vector<QRect>>& PrintedCells() const { return m_printedCells; }

    // The Copy Graph and Export Graph commands: the dialog, then the copy
    // or the file dialog and the writer.
    void CopyGraph();
    void ExportGraph();
    // The same after the dialog: `graph` the chosen list entry (-1: none).
    bool CopyGraphAs(int graph, EGraphCopy format, bool monochrome,
                     const CGraphPictureSettings& settings);
    enum class EExport { Picture, Data, Curves };
    bool ExportGraphAs(int graph, EExport what, const CGraphPictureSettings& settings);

    // The list entries of the Copy and Export dialogs.
    QStringList GraphEntries() const;

signals:
    // The user changed a graph's axis override: the experiment is stamped and
    // marked modified; every graph window should refresh.
    void overrideChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void UpdateLayout();

    CDoseplexDoc& m_doc;
    CAppSettings& m_settings;
    GraphList m_graphs;
    std::uint32_t m_builtAt = 0;
    CGraphScreenLayout m_layout;
    QPoint m_rightClick;
    QList<QAction*> m_documentActions;
    std::vector<std::vector<QRect>> m_printedCells;
};

} // namespace doseplex::app
