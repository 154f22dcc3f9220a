// The graph windows: opening and refreshing them, the screen grid, the
// Graph Properties dialog, printing, and copying and exporting one graph.
// (The repaint time of a full window is measured by bench/bench_graphs.cpp,
// which draws the same graphs through the same surface.)

#include "app_test_support.h"

#include "app/dialogs/graph_picture_dialog.h"
#include "app/dialogs/graph_properties_dialog.h"
#include "app/views/graph_view.h"
#include "core/document.h"
#include "core/encoding.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMimeData>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTimer>
#include <QtTest>

#include <cstring>
#include <functional>

using namespace doseplex;
using namespace doseplex::app;
using namespace doseplex::app::testing;

namespace {

// Drug ids of examples/two-drug.txt: two drugs and their combination.
constexpr int kCombination = 2;

// Pixels whose red, green and blue differ clearly: drawn in colour.
int ColouredPixels(const QImage& image) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            const int spread =
                std::max({c.red(), c.green(), c.blue()}) - std::min({c.red(), c.green(), c.blue()});
            count += spread > 60 ? 1 : 0;
        }
    }
    return count;
}

// Answers the next modal dialog of type T once it is open.
template <typename T> void WhenOpen(std::function<void(T*)> answer) {
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, answer] {
        if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            answer(dialog);
        }
    });
    timer->start();
}

// The enhanced metafile's framing: a header that counts the bytes and
// records and carries the " EMF" signature, records whose sizes are
// multiples of four inside the data, EMR_EOF (14) last.
bool IsEnhancedMetafile(const QByteArray& bytes) {
    const auto u32 = [&bytes](qsizetype at) {
        std::uint32_t v = 0;
        std::memcpy(&v, bytes.constData() + at, 4);
        return v;
    };
    if (bytes.size() < 108 || u32(0) != 1 || u32(40) != 0x464D4520u ||
        u32(48) != static_cast<std::uint32_t>(bytes.size())) {
        return false;
    }
    qsizetype at = 0;
    std::uint32_t records = 0;
    std::uint32_t last = 0;
    while (at + 8 <= bytes.size()) {
        const std::uint32_t size = u32(at + 4);
        if (size < 8 || size % 4 != 0 || at + size > bytes.size()) {
            return false;
        }
        last = u32(at);
        at += size;
        ++records;
    }
    return at == bytes.size() && records == u32(52) && last == 14;
}

struct CGraphsFixture : CAppFixture {
    CGraphsFixture() {
        QVERIFY(m_window->ImportExperiment(Example("two-drug.txt")));
        m_window->resize(1200, 900);
    }
    CDoseplexDoc& Doc() { return *m_window->Document(); }
    void SetGraphOptions(const std::function<void(CGraphOptions&)>& change) {
        CGraphOptions options = Doc().m_graph;
        change(options);
        m_window->ApplyGraphSetup(options, false);
    }
    std::vector<CGraphView*> GraphWindows() {
        std::vector<CGraphView*> views;
        for (CChildView* view : m_window->Views()) {
            if (auto* graphs = dynamic_cast<CGraphView*>(view)) {
                views.push_back(graphs);
            }
        }
        return views;
    }
};

std::vector<const CGraph*> GraphPointers(const CGraphView& view) {
    std::vector<const CGraph*> pointers;
    for (const auto& graph : view.Graphs()) {
        pointers.push_back(graph.get());
    }
    return pointers;
}

} // namespace

class TestGraphs : public QObject {
    Q_OBJECT
private slots:
    void screenLayout_data();
    void screenLayout();
    void printGrid_data();
    void printGrid();
    void openAndReplace();
    void refreshOnlyWhenChanged();
    void windowGridAndHitTest();
    void contextMenu();
    void refusedRecord();
    void propertiesDialog();
    void editPropertiesFromTheWindow();
    void printPagesAndGrid();
    void printInBlackAndWhite();
    void pictureDialogChecks_data();
    void pictureDialogChecks();
    void dialogsRememberTheirValues();
    void clipboardFormats();
    void copyBlackWhiteLeavesTheWindow();
    void exportFiles();
    void exportFailures();
};

void TestGraphs::screenLayout_data() {
    QTest::addColumn<int>("graphs");
    QTest::addColumn<int>("perRow");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("cellWidth");
    QTest::addColumn<int>("cellHeight");
    QTest::newRow("five, two to a row") << 5 << 2 << 3 << 400 << 300;
    QTest::newRow("four, two to a row") << 4 << 2 << 2 << 400 << 300;
    QTest::newRow("none still one row") << 0 << 2 << 1 << 400 << 300;
    QTest::newRow("zero per row is one") << 3 << 0 << 3 << 800 << 600;
    QTest::newRow("three to a row") << 6 << 3 << 2 << 266 << 200;
}

void TestGraphs::screenLayout() {
    QFETCH(int, graphs);
    QFETCH(int, perRow);
    QFETCH(int, rows);
    QFETCH(int, cellWidth);
    QFETCH(int, cellHeight);
    const CGraphScreenLayout layout = GraphScreenLayout(graphs, perRow, 800, 600);
    QCOMPARE(layout.m_nRows, rows);
    QCOMPARE(layout.m_nCellWidth, cellWidth);
    QCOMPARE(layout.m_nCellHeight, cellHeight);
    QCOMPARE(layout.ScrollHeight(), rows * cellHeight);
    if (graphs > 0) {
        // The last graph's cell, scrolled by 10.
        const int last = graphs - 1;
        const int columns = std::max(perRow, 1);
        QCOMPARE(layout.Cell(last, 10),
                 QRect((last % columns) * cellWidth, (last / columns) * cellHeight - 10, cellWidth,
                       cellHeight));
    }
}

void TestGraphs::printGrid_data() {
    QTest::addColumn<int>("perPage");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("columns");
    QTest::addColumn<int>("rows");
    QTest::newRow("1") << 1 << 600 << 900 << 1 << 1;
    QTest::newRow("0 as 1") << 0 << 600 << 900 << 1 << 1;
    QTest::newRow("2 portrait: one above the other") << 2 << 600 << 900 << 1 << 2;
    QTest::newRow("2 landscape: side by side") << 2 << 900 << 600 << 2 << 1;
    QTest::newRow("2 square") << 2 << 600 << 600 << 1 << 2;
    QTest::newRow("3") << 3 << 600 << 900 << 2 << 2;
    QTest::newRow("4") << 4 << 900 << 600 << 2 << 2;
    QTest::newRow("6 portrait") << 6 << 600 << 900 << 2 << 3;
    QTest::newRow("6 landscape") << 6 << 900 << 600 << 3 << 2;
    QTest::newRow("9 portrait") << 9 << 600 << 900 << 2 << 3;
}

void TestGraphs::printGrid() {
    QFETCH(int, perPage);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, columns);
    QFETCH(int, rows);
    const CGraphPrintGrid grid = GraphPrintGrid(perPage, width, height);
    QCOMPARE(grid.m_nColumns, columns);
    QCOMPARE(grid.m_nRows, rows);
    QCOMPARE(grid.m_nCellWidth, width / columns);
    QCOMPARE(grid.m_nCellHeight, height / rows);

    QCOMPARE(GraphPageCount(4, 3), 2);
    QCOMPARE(GraphPageCount(6, 3), 2);
    QCOMPARE(GraphPageCount(0, 6), 1);
    QCOMPARE(GraphPageCount(5, 0), 5);
    // More than the six cells of the largest grid: six to a page.
    QCOMPARE(GraphPageCount(9, 9), 2);
}

void TestGraphs::openAndReplace() {
    CGraphsFixture app;
    CGraphView* first = app.m_window->OpenDrugGraphs(kCombination);
    QVERIFY(first);
    QCOMPARE(first->windowTitle(), QString("Exp1_Mix Graphs"));
    // A two-drug combination: median-effect plot, dose-effect curve, Fa-CI
    // plot and its logarithmic form, isobologram and conservative isobologram.
    QCOMPARE(first->Graphs().size(), size_t(6));
    QCOMPARE(first->m_nKind, int(kDrugWindow));
    QCOMPARE(first->m_nDrug, kCombination);

    // Opening it again replaces it; the drug's report stays open beside it.
    QVERIFY(app.m_window->OpenDrugReport(kCombination));
    CGraphView* second = app.m_window->OpenDrugGraphs(kCombination);
    QVERIFY(second);
    QCOMPARE(app.GraphWindows().size(), size_t(1));
    QCOMPARE(app.m_window->Views().size(), size_t(2));

    // The summary graphs: with no selection the dialog asks for one first
    // (cancelled here); the window opens anyway, empty.
    WhenOpen<QDialog>([](QDialog* dialog) { dialog->reject(); });
    CGraphView* summary = app.m_window->OpenSummaryGraphs();
    QVERIFY(summary);
    QCOMPARE(summary->windowTitle(), QString("Summary Graphs"));
    QCOMPARE(summary->m_nKind, int(kSummaryGraphsWindow));
    QVERIFY(summary->Graphs().empty());
    QCOMPARE(app.GraphWindows().size(), size_t(2));

    // Graph windows enable printing, copying and export.
    for (const char* name : {"Print", "PrintPreview", "Copy", "Export"}) {
        QVERIFY2(app.m_window->Action(name)->isEnabled(), name);
    }

    // Deleting a drug closes its graph window.
    app.m_prompter.m_answers.push_back(QMessageBox::Yes);
    QVERIFY(!app.m_window->DeleteDrug(0)); // used by the combination
    app.m_prompter.m_answers.push_back(QMessageBox::Yes);
    QVERIFY(app.m_window->DeleteDrug(kCombination));
    QCOMPARE(app.GraphWindows().size(), size_t(1));
    QCOMPARE(app.GraphWindows().front()->m_nKind, int(kSummaryGraphsWindow));
}

void TestGraphs::refreshOnlyWhenChanged() {
    CGraphsFixture app;
    CGraphView* drug = app.m_window->OpenDrugGraphs(0);
    QVERIFY(drug);
    app.m_prompter.m_answers.clear();
    QVERIFY(app.m_window->ApplySummaryGraphs({0, 1}, 5, 3));
    CGraphView* summary = app.m_window->OpenSummaryGraphs();
    QVERIFY(summary);

    // Nothing changed since: the same graphs stay.
    drug->RebuildGraphs();
    const auto drugGraphs = GraphPointers(*drug);
    const auto summaryGraphs = GraphPointers(*summary);
    drug->RebuildGraphs();
    summary->RebuildGraphs();
    QVERIFY(GraphPointers(*drug) == drugGraphs);
    QVERIFY(GraphPointers(*summary) == summaryGraphs);

    // Options: every graph window is rebuilt.
    CAnalysisOptions options = app.Doc().m_analysis;
    options.m_nGraphRepeats = 50;
    app.m_window->ApplyOptions(options, false);
    QCOMPARE(drug->BuiltAt(), app.Doc().m_lastChange);
    QCOMPARE(summary->BuiltAt(), app.Doc().m_lastChange);
    QVERIFY(GraphPointers(*drug) != drugGraphs);

    // Graph Setup: three to a row.
    app.SetGraphOptions([](CGraphOptions& o) { o.m_nGraphsPerRow = 3; });
    QCOMPARE(drug->ScreenLayout().m_nPerRow, 3);
    QCOMPARE(drug->BuiltAt(), app.Doc().m_lastChange);

    // A new summary selection rebuilds the summary graphs only.
    const std::uint32_t drugBuilt = drug->BuiltAt();
    QVERIFY(app.m_window->ApplySummaryGraphs({1}, 5, 3));
    QCOMPARE(summary->BuiltAt(), app.Doc().m_lastChange);
    QCOMPARE(drug->BuiltAt(), drugBuilt);
}

void TestGraphs::windowGridAndHitTest() {
    CGraphsFixture app;
    app.SetGraphOptions([](CGraphOptions& o) { o.m_nConservativeIso = 0; });
    CGraphView* view = app.m_window->OpenDrugGraphs(kCombination);
    QVERIFY(view);
    QCOMPARE(view->Graphs().size(), size_t(5));
    const QSize client = view->viewport()->size();
    const CGraphScreenLayout& layout = view->ScreenLayout();
    QCOMPARE(layout.m_nRows, 3);
    QCOMPARE(layout.m_nCellWidth, client.width() / 2);
    QCOMPARE(layout.m_nCellHeight, client.height() / 2);
    QCOMPARE(view->verticalScrollBar()->maximum(), 3 * layout.m_nCellHeight - client.height());

    const int w = layout.m_nCellWidth;
    const int h = layout.m_nCellHeight;
    QCOMPARE(view->GraphAt(QPoint(5, 5)), 0);
    QCOMPARE(view->GraphAt(QPoint(w + 5, 5)), 1);
    QCOMPARE(view->GraphAt(QPoint(w + 5, h + 5)), 3);
    // The fifth graph's row lies below; its right neighbour cell is empty.
    view->verticalScrollBar()->setValue(view->verticalScrollBar()->maximum());
    const int scroll = view->verticalScrollBar()->value();
    QCOMPARE(view->GraphAt(QPoint(5, 2 * h - scroll + 5)), 4);
    QCOMPARE(view->GraphAt(QPoint(w + 5, 2 * h - scroll + 5)), -1);

    // The window paints what it shows.
    const QImage shot = view->viewport()->grab().toImage();
    QVERIFY(ColouredPixels(shot) > 0);
}

void TestGraphs::contextMenu() {
    CGraphsFixture app;
    QVERIFY(app.m_window->ApplySummaryGraphs({0, 1}, 5, 3));
    for (CGraphView* view : {app.m_window->OpenDrugGraphs(0), app.m_window->OpenSummaryGraphs()}) {
        QVERIFY(view);
        std::unique_ptr<QMenu> menu(view->MakeContextMenu());
        QStringList texts;
        for (QAction* action : menu->actions()) {
            if (!action->isSeparator()) {
                texts.append(action->text());
            }
        }
        QCOMPARE(texts,
                 (QStringList{"Edit Graph &Properties...", "&Copy Graph...", "&Export Graph...",
                              "&Options...", "Graph &Setup...", "Select Summary &Graphs..."}));
        QCOMPARE(menu->actions().front()->isEnabled(), view->m_nKind == kDrugWindow);
    }
}

void TestGraphs::refusedRecord() {
    // A mixture whose effect falls as its dose rises: its median-effect line
    // has a negative slope, which the window reports and then stays empty.
    CAppFixture app;
    const QString path = app.Path("falling.txt");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[start]\t1\nExp1\t2\t3\tuM\t1\t2\nDrugA\t1\t2\t4\n0.2\t0.35\t0.6\n"
               "DrugB\t2\t4\t8\n0.15\t0.3\t0.55\nMix\t3\t6\t12\n0.75\t0.5\t0.3\n");
    file.close();
    QVERIFY(app.m_window->ImportExperiment(path));
    CGraphView* view = app.m_window->OpenDrugGraphs(kCombination);
    QVERIFY(view);
    QVERIFY(view->Graphs().empty());
    QCOMPARE(app.m_prompter.m_messages.size(), 1);
    QVERIFY2(app.m_prompter.m_messages.front().contains("has a negative slope"),
             qPrintable(app.m_prompter.m_messages.front()));
}

void TestGraphs::propertiesDialog() {
    CScriptedPrompter prompter;
    CGraphOverride override;
    override.m_xMin = 0.5;
    override.m_xMax = 2;
    override.m_yMin = -1;
    override.m_yMax = 1;
    const CGraphOverride original = override;
    {
        // The fields show the ranges; typing a limit clears that axis's Auto.
        CGraphPropertiesDialog dialog(override);
        QCOMPARE(dialog.XMin()->text(), QString("0.5"));
        QCOMPARE(dialog.YMin()->text(), QString("-1"));
        QVERIFY(dialog.AutoX()->isChecked());
        QVERIFY(dialog.AutoY()->isChecked());
        QTest::keyClick(dialog.XMin(), Qt::Key_1);
        QVERIFY(!dialog.AutoX()->isChecked());
        QVERIFY(dialog.AutoY()->isChecked());
        QTest::keyClick(dialog.YMax(), Qt::Key_0);
        QVERIFY(!dialog.AutoY()->isChecked());
        // Cancel changes nothing.
        dialog.reject();
        QVERIFY(override == original);
    }
    const struct {
        const char* name;
        bool autoX;
        QString xMin, xMax;
        bool autoY;
        QString yMin, yMax;
        QString message;
    } cases[] = {
        {"equal x limits", false, "2", "2", true, "0", "1",
         "Please ensure the Maximum X axis value is greater than the minimum"},
        {"equal y limits", true, "0", "1", false, "3", "1",
         "Please ensure the Maximum Y axis value is greater than the minimum"},
        {"not a number", false, "1", "two", true, "0", "1", "Please enter a number."},
        {"infinite", false, "1", "inf", true, "0", "1", "Please enter a number."},
        {"equal limits with Auto", true, "2", "2", true, "5", "5", ""},
        {"fixed x", false, "0.1", "10", true, "0", "1", ""},
    };
    for (const auto& c : cases) {
        CGraphOverride edited = override;
        CGraphPropertiesDialog dialog(edited);
        dialog.XMin()->setText(c.xMin);
        dialog.XMax()->setText(c.xMax);
        dialog.YMin()->setText(c.yMin);
        dialog.YMax()->setText(c.yMax);
        dialog.AutoX()->setChecked(c.autoX);
        dialog.AutoY()->setChecked(c.autoY);
        prompter.m_messages.clear();
        const bool accepted = dialog.TryAccept();
        QVERIFY2(accepted == c.message.isEmpty(), c.name);
        QCOMPARE(prompter.m_messages, c.message.isEmpty() ? QStringList() : QStringList{c.message});
        if (!accepted) {
            QVERIFY2(edited == override, c.name);
            continue;
        }
        QCOMPARE(edited.m_bActive, 1);
        QCOMPARE(edited.m_bAutoX, c.autoX ? 1 : 0);
        QCOMPARE(edited.m_xMin, c.xMin.toDouble());
        QCOMPARE(edited.m_xMax, c.xMax.toDouble());
    }
}

void TestGraphs::editPropertiesFromTheWindow() {
    CGraphsFixture app;
    CGraphView* view = app.m_window->OpenDrugGraphs(0);
    QVERIFY(view);
    app.Doc().SetModifiedFlag(false);
    const std::uint32_t before = app.Doc().m_lastChange;
    // Outside every graph nothing happens.
    QVERIFY(!view->EditGraphProperties(QPoint(-5, -5)));

    // Fix the x axis of the first graph (the median-effect plot).
    WhenOpen<CGraphPropertiesDialog>([](CGraphPropertiesDialog* dialog) {
        dialog->XMin()->setText("-2");
        dialog->XMax()->setText("3");
        QVERIFY(dialog->TryAccept());
    });
    QVERIFY(view->EditGraphProperties(QPoint(10, 10)));
    QVERIFY(app.Doc().IsModified());
    QVERIFY(app.Doc().m_lastChange != before);
    QCOMPARE(view->BuiltAt(), app.Doc().m_lastChange);
    const CGraph& graph = *view->Graphs().front();
    QCOMPARE(graph.m_xMin, -2.0);
    QCOMPARE(graph.m_xMax, 3.0);
    QVERIFY(graph.m_pOverride && graph.m_pOverride->m_bActive);

    // Cancel: no change at all.
    const std::uint32_t stamp = app.Doc().m_lastChange;
    WhenOpen<CGraphPropertiesDialog>([](CGraphPropertiesDialog* dialog) { dialog->reject(); });
    QVERIFY(!view->EditGraphProperties(QPoint(10, 10)));
    QCOMPARE(app.Doc().m_lastChange, stamp);

    // Summary graphs have no override: nothing happens, no dialog opens.
    app.m_window->ApplySummaryGraphs({0, 1}, 5, 3);
    CGraphView* summary = app.m_window->OpenSummaryGraphs();
    QVERIFY(summary);
    QVERIFY(!summary->EditGraphProperties(QPoint(10, 10)));
}

void TestGraphs::printPagesAndGrid() {
    if (QStandardPaths::findExecutable("pdftotext").isEmpty() ||
        QStandardPaths::findExecutable("pdfinfo").isEmpty()) {
        QSKIP("poppler-utils (pdftotext, pdfinfo) is not installed");
    }
    CGraphsFixture app;
    app.SetGraphOptions([](CGraphOptions& o) {
        o.m_nLogPlots = 0;
        o.m_nConservativeIso = 0;
        o.m_nGraphsPerPage = 3;
    });
    app.m_window->ApplyDetails("Checkerboard run", "", "10 Dec 2026", "");
    CGraphView* view = app.m_window->OpenDrugGraphs(kCombination);
    QVERIFY(view);
    QCOMPARE(view->Graphs().size(), size_t(4));

    const auto print = [&](QPageLayout::Orientation orientation, const QString& name) {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setPageSize(QPageSize(QPageSize::Letter));
        printer.setPageOrientation(orientation);
        printer.setOutputFileName(app.Path(name));
        return view->PrintTo(printer);
    };
    QCOMPARE(view->PageCount(), 2);
    QCOMPARE(print(QPageLayout::Portrait, "graphs.pdf"), 2);
    QCOMPARE(PdfPages(app.Path("graphs.pdf")), 2);
    // Three graphs on the first page in a 2 x 2 grid with one cell empty,
    // each at most two-thirds of its width high; one on the second.
    const auto& cells = view->PrintedCells();
    QCOMPARE(cells.size(), size_t(2));
    QCOMPARE(cells[0].size(), size_t(3));
    QCOMPARE(cells[1].size(), size_t(1));
    QCOMPARE(cells[0][1].top(), cells[0][0].top());
    QVERIFY(cells[0][1].left() > cells[0][0].right());
    QCOMPARE(cells[0][2].left(), cells[0][0].left());
    QVERIFY(cells[0][2].top() > cells[0][0].bottom());
    QCOMPARE(cells[1][0].topLeft(), cells[0][0].topLeft());
    for (const QRect& cell : cells[0]) {
        QVERIFY(cell.height() <= 2 * cell.width() / 3);
    }
    const QString text = RunTool("pdftotext", {"-layout", app.Path("graphs.pdf"), "-"})
                             .normalized(QString::NormalizationForm_KC);
    QVERIFY2(text.contains("Experiment: Checkerboard run"), qPrintable(text));
    QVERIFY(text.contains("Date: 10 Dec 2026"));
    QVERIFY(text.contains("Filename: "));
    QVERIFY(text.contains("Page: 1"));
    QVERIFY(text.contains("Page: 2"));
    QVERIFY(text.contains("Median-effect plot"));

    // Two to a page: one above the other upright, side by side on its side.
    app.SetGraphOptions([](CGraphOptions& o) { o.m_nGraphsPerPage = 2; });
    QCOMPARE(print(QPageLayout::Portrait, "portrait.pdf"), 2);
    QCOMPARE(view->PrintedCells()[0][1].left(), view->PrintedCells()[0][0].left());
    QVERIFY(view->PrintedCells()[0][1].top() > view->PrintedCells()[0][0].top());
    QCOMPARE(print(QPageLayout::Landscape, "landscape.pdf"), 2);
    QCOMPARE(view->PrintedCells()[0][1].top(), view->PrintedCells()[0][0].top());
    QVERIFY(view->PrintedCells()[0][1].left() > view->PrintedCells()[0][0].left());
}

void TestGraphs::printInBlackAndWhite() {
    if (QStandardPaths::findExecutable("pdftoppm").isEmpty()) {
        QSKIP("poppler-utils (pdftoppm) is not installed");
    }
    CGraphsFixture app;
    CGraphView* view = app.m_window->OpenDrugGraphs(kCombination);
    QVERIFY(view);
    const auto printed = [&](const QString& name) {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(app.Path(name + ".pdf"));
        printer.setPrintRange(QPrinter::PageRange);
        printer.setFromTo(1, 1);
        if (view->PrintTo(printer) < 1) {
            return QImage();
        }
        RunTool("pdftoppm",
                {"-r", "40", "-png", "-singlefile", app.Path(name + ".pdf"), app.Path(name)});
        return QImage(app.Path(name + ".png"));
    };
    const QImage colour = printed("colour");
    QVERIFY(!colour.isNull());
    QVERIFY(ColouredPixels(colour) > 0);

    app.SetGraphOptions([](CGraphOptions& o) { o.m_nColourPrint = 0; });
    const QImage mono = printed("mono");
    QVERIFY(!mono.isNull());
    QCOMPARE(ColouredPixels(mono), 0);
    // The screen keeps its colours.
    for (const auto& graph : view->Graphs()) {
        QCOMPARE(graph->m_bMonochrome, 0);
    }
    QVERIFY(ColouredPixels(view->viewport()->grab().toImage()) > 0);
}

void TestGraphs::pictureDialogChecks_data() {
    QTest::addColumn<QString>("width");
    QTest::addColumn<QString>("height");
    QTest::addColumn<QString>("points");
    QTest::addColumn<QString>("message");
    const QString size = "Please enter an integer between 256 and 4096.";
    QTest::newRow("smallest") << "256"
                              << "256"
                              << "64"
                              << "";
    QTest::newRow("largest") << "4096"
                             << "4096"
                             << "2048"
                             << "";
    QTest::newRow("narrow") << "255"
                            << "768"
                            << "100" << size;
    QTest::newRow("tall") << "1024"
                          << "4097"
                          << "100" << size;
    QTest::newRow("few points") << "1024"
                                << "768"
                                << "63"
                                << "Please enter an integer between 64 and 2048.";
    QTest::newRow("not a number") << "wide"
                                  << "768"
                                  << "100" << size;
}

void TestGraphs::pictureDialogChecks() {
    QFETCH(QString, width);
    QFETCH(QString, height);
    QFETCH(QString, points);
    QFETCH(QString, message);
    CScriptedPrompter prompter;
    CExportGraphDialog dialog({"Median-effect plot (log(fa/fu) v.s. log(D))"});
    QCOMPARE(dialog.SelectedGraph(), -1);
    dialog.WidthField()->setText(width);
    dialog.HeightField()->setText(height);
    dialog.PointsField()->setText(points);
    const bool accepted = dialog.TryAccept(CGraphPictureDialog::EAction::ExportData);
    QCOMPARE(accepted, message.isEmpty());
    QCOMPARE(prompter.m_messages, message.isEmpty() ? QStringList() : QStringList{message});
    QCOMPARE(dialog.result(), accepted ? int(QDialog::Accepted) : int(QDialog::Rejected));
    if (accepted) {
        QCOMPARE(dialog.Values().m_nWidth, width.toInt());
        QCOMPARE(dialog.Values().m_nPoints, points.toInt());
        QCOMPARE(dialog.Action(), CGraphPictureDialog::EAction::ExportData);
    }
}

void TestGraphs::dialogsRememberTheirValues() {
    CGraphsFixture app;
    CGraphView* view = app.m_window->OpenDrugGraphs(0);
    QVERIFY(view);
    QCOMPARE(view->GraphEntries().front(), QString("Median-effect plot (log(fa/fu) v.s. log(D))"));

    // No entry chosen: the message, nothing copied.
    WhenOpen<CCopyGraphDialog>([](CCopyGraphDialog* dialog) {
        QCOMPARE(dialog->WidthField()->text(), QString("1024"));
        QCOMPARE(dialog->HeightField()->text(), QString("768"));
        QCOMPARE(dialog->PointsField()->text(), QString("100"));
        QVERIFY(dialog->TitleBox()->isChecked());
        QVERIFY(!dialog->BitmapBox()->isChecked());
        dialog->WidthField()->setText("300");
        dialog->TitleBox()->setChecked(false);
        dialog->BitmapBox()->setChecked(true);
        dialog->Button(CGraphPictureDialog::EAction::CopyData)->click();
    });
    view->CopyGraph();
    QCOMPARE(app.m_prompter.m_messages, QStringList{"No graph was selected."});

    // The copy dialog remembers its values, but not "Copy as Bitmap"; the
    // export dialog keeps its own.
    WhenOpen<CCopyGraphDialog>([](CCopyGraphDialog* dialog) {
        QCOMPARE(dialog->WidthField()->text(), QString("300"));
        QVERIFY(!dialog->TitleBox()->isChecked());
        QVERIFY(!dialog->BitmapBox()->isChecked());
        dialog->List()->setCurrentRow(1);
        dialog->Button(CGraphPictureDialog::EAction::CopyData)->click();
    });
    view->CopyGraph();
    QCOMPARE(app.m_prompter.m_messages.size(), 1);
    QCOMPARE(QGuiApplication::clipboard()->text().left(26),
             QString("Title:\tDose-effect curve\r\n"));

    WhenOpen<CExportGraphDialog>([](CExportGraphDialog* dialog) {
        QCOMPARE(dialog->WidthField()->text(), QString("1024"));
        QVERIFY(dialog->TitleBox()->isChecked());
        QVERIFY(!dialog->BitmapBox());
        dialog->reject();
    });
    view->ExportGraph();
    CGraphPictureDialog::CopySettings() = CGraphPictureSettings{};
}

void TestGraphs::clipboardFormats() {
    CGraphsFixture app;
    CGraphView* view = app.m_window->OpenDrugGraphs(kCombination);
    QVERIFY(view);
    QClipboard* clipboard = QGuiApplication::clipboard();
    CGraphPictureSettings settings;
    settings.m_nWidth = 300;
    settings.m_nHeight = 256;
    settings.m_nPoints = 64;

    // Texts: exactly the export texts.
    QVERIFY(view->CopyGraphAs(0, EGraphCopy::Data, false, settings));
    QCOMPARE(clipboard->text(), QString::fromStdString(GraphDataText(*view->Graphs()[0])));
    QVERIFY(view->CopyGraphAs(2, EGraphCopy::Curves, false, settings));
    QCOMPARE(view->Graphs()[2]->m_nCurvePoints, 64);
    QCOMPARE(clipboard->text(), QString::fromStdString(GraphCurveText(*view->Graphs()[2])));

    // The bitmap at the size chosen.
    QVERIFY(view->CopyGraphAs(0, EGraphCopy::Bitmap, false, settings));
    QCOMPARE(clipboard->image().size(), QSize(300, 256));
    QVERIFY(!clipboard->mimeData()->hasFormat("image/x-emf"));

    // The metafile, with SVG and the bitmap beside it.
    QVERIFY(view->CopyGraphAs(0, EGraphCopy::Metafile, false, settings));
    const QMimeData* data = clipboard->mimeData();
    QVERIFY(IsEnhancedMetafile(data->data("image/x-emf")));
    const QByteArray svg = data->data("image/svg+xml");
    QVERIFY(svg.contains("<svg"));
    QCOMPARE(clipboard->image().size(), QSize(300, 256));

    // No graph chosen.
    QVERIFY(!view->CopyGraphAs(-1, EGraphCopy::Data, false, settings));
    QCOMPARE(app.m_prompter.m_messages, QStringList{"No graph was selected."});
}

void TestGraphs::copyBlackWhiteLeavesTheWindow() {
    CGraphsFixture app;
    CGraphView* view = app.m_window->OpenDrugGraphs(kCombination);
    QVERIFY(view);
    CGraphPictureSettings settings;
    settings.m_nWidth = 256;
    settings.m_nHeight = 256;
    settings.m_bIncludeTitle = false;
    const QImage before = view->viewport()->grab().toImage();
    QVERIFY(view->CopyGraphAs(0, EGraphCopy::Bitmap, true, settings));
    QCOMPARE(ColouredPixels(QGuiApplication::clipboard()->image()), 0);
    const CGraph& graph = *view->Graphs()[0];
    QCOMPARE(graph.m_bMonochrome, 0);
    QCOMPARE(graph.m_bShowTitle, 1);
    // The repaint lays the graph out in its own cell again.
    const QImage after = view->viewport()->grab().toImage();
    QCOMPARE(after, before);
}

void TestGraphs::exportFiles() {
    CGraphsFixture app;
    CGraphView* view = app.m_window->OpenDrugGraphs(0);
    QVERIFY(view);
    CGraphPictureSettings settings;
    settings.m_nWidth = 400;
    settings.m_nHeight = 300;
    using EExport = CGraphView::EExport;

    for (const char* name : {"graph.png", "graph.bmp", "graph.jpg", "graph.tif"}) {
        app.m_prompter.m_fileNames.push_back(app.Path(name));
        QVERIFY2(view->ExportGraphAs(0, EExport::Picture, settings), name);
        QCOMPARE(QImage(app.Path(name)).size(), QSize(400, 300));
    }
    app.m_prompter.m_fileNames.push_back(app.Path("graph.emf"));
    QVERIFY(view->ExportGraphAs(0, EExport::Picture, settings));
    QVERIFY(IsEnhancedMetafile(ReadAll(app.Path("graph.emf"))));
    QCOMPARE(app.m_prompter.m_fileDialogTitles.back(), QString("Export Graph"));

    // An extension the program does not write (the test is exact: "BMP" is
    // not "bmp") is answered with a message and writes nothing.
    app.m_prompter.m_fileNames.push_back(app.Path("graph.BMP"));
    QVERIFY(!view->ExportGraphAs(0, EExport::Picture, settings));
    QVERIFY(!QFile::exists(app.Path("graph.BMP")));
    QCOMPARE(app.m_prompter.m_messages.size(), 1);

    // The data and curve texts, as the command line writes them.
    settings.m_nPoints = 64;
    app.m_prompter.m_fileNames.push_back(app.Path("data.txt"));
    QVERIFY(view->ExportGraphAs(0, EExport::Data, settings));
    QCOMPARE(app.m_prompter.m_fileDialogTitles.back(), QString("Export Data"));
    app.m_prompter.m_fileNames.push_back(app.Path("curves.txt"));
    QVERIFY(view->ExportGraphAs(0, EExport::Curves, settings));
    QCOMPARE(app.m_prompter.m_fileDialogTitles.back(), QString("Export Curves"));
    QCOMPARE(ReadAll(app.Path("curves.txt")).count("\r\n"),
             QString::fromStdString(GraphCurveText(*view->Graphs()[0])).count("\r\n"));

    QProcess cli;
    cli.start(DOSEPLEX_CLI,
              {"graphs", Example("two-drug.txt"), "--drug", "0", "-o", app.Path("cli"), "--data"});
    QVERIFY(cli.waitForFinished(60000));
    QCOMPARE(cli.exitCode(), 0);
    QCOMPARE(ReadAll(app.Path("data.txt")), ReadAll(app.Path("cli/01-median-effect-plot.txt")));
}

void TestGraphs::exportFailures() {
    CGraphsFixture app;
    CGraphView* view = app.m_window->OpenDrugGraphs(0);
    QVERIFY(view);
    CGraphPictureSettings settings;
    using EExport = CGraphView::EExport;
    const QString missing = app.Path("no-such-folder/");
    const struct {
        EExport what;
        const char* name;
        const char* message;
    } cases[] = {
        {EExport::Picture, "g.png", "Error writing graph to file!"},
        {EExport::Picture, "g.emf", "Error writing graph to file!"},
        {EExport::Data, "d.txt", "Error writing data to file!"},
        {EExport::Curves, "c.txt", "Error writing curves to file!"},
    };
    for (const auto& c : cases) {
        app.m_prompter.m_messages.clear();
        app.m_prompter.m_fileNames.push_back(missing + c.name);
        QVERIFY(!view->ExportGraphAs(0, c.what, settings));
        QCOMPARE(app.m_prompter.m_messages, QStringList{c.message});
    }
    // No graph chosen, and a cancelled file dialog.
    app.m_prompter.m_messages.clear();
    QVERIFY(!view->ExportGraphAs(-1, EExport::Data, settings));
    QCOMPARE(app.m_prompter.m_messages, QStringList{"No graph was selected."});
    QVERIFY(!view->ExportGraphAs(0, EExport::Data, settings));
    QCOMPARE(app.m_prompter.m_messages.size(), 1);
}

QTEST_MAIN(TestGraphs)
#include "test_graphs.moc"
