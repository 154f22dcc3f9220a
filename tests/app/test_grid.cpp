// The raw-data grid window and its dialogs: editing with undo, the
// clipboard, imports from text, workbooks and a real ODBC driver, the Select
// Data dialog, printing, and the sheet's life in the experiment file.

#include "app_test_support.h"

#include "app/dialogs/data_source_dialog.h"
#include "app/dialogs/excel_import_dialog.h"
#include "app/dialogs/format_cells_dialog.h"
#include "app/dialogs/header_footer_dialog.h"
#include "app/dialogs/odbc_import_dialog.h"
#include "app/dialogs/select_data_dialog.h"
#include "app/models/raw_sheet_model.h"
#include "app/shell/contents_tree.h"
#include "app/views/raw_data_view.h"
#include "core/document.h"
#include "core/drug_info.h"
#include "entry/excel/workbook_file.h"
#include "entry/sheet_import.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QTreeWidget>
#include <QUndoStack>
#include <QtTest>

#include <dlfcn.h>
#include <functional>

// The driver manager's configuration library keeps what it read until the
// process ends; those allocations are not this program's leaks.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libodbcinst.so\n";
}

using namespace doseplex;
using namespace doseplex::app;
using namespace doseplex::app::testing;

namespace {

void WriteAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

std::string Text(const CRawSheetModel& model, int row, int column) {
    return model.Sheet().GetText(row, column);
}

// Runs `act` on the next modal dialog of type T once it shows.
template <class T> void WhenShown(std::function<void(T*)> act) {
    QTimer::singleShot(0, [act] {
        T* dialog = nullptr;
        QTRY_VERIFY((dialog = qobject_cast<T*>(QApplication::activeModalWidget())) != nullptr);
        act(dialog);
    });
}

// Private ODBC driver and data-source files: "plates" is the SQLite
// database plates.db in the same folder.
struct COdbcHome {
    QTemporaryDir m_dir;
    QString m_database = m_dir.filePath(QStringLiteral("plates.db"));

    COdbcHome() {
        dlopen("libodbcinst.so.2", RTLD_NOW | RTLD_NODELETE);
        WriteAll(m_dir.filePath("odbcinst.ini"),
                 "[DosePlex SQLite]\nDriver=" DOSEPLEX_SQLITE_ODBC_DRIVER "\n");
        WriteAll(m_dir.filePath("odbc.ini"), "");
        WriteAll(m_dir.filePath("user-odbc.ini"),
                 "[plates]\nDriver=DosePlex SQLite\nDatabase=" + m_database.toUtf8() + "\n");
        qputenv("ODBCSYSINI", m_dir.path().toUtf8());
        qputenv("ODBCINI", m_dir.filePath("user-odbc.ini").toUtf8());
    }
    bool MakeDatabase(const QString& sql) {
        QFile::remove(m_database);
        return QProcess::execute(QStringLiteral("/usr/bin/sqlite3"), {m_database, sql}) == 0;
    }
};

COdbcHome& OdbcHome() {
    static COdbcHome home;
    return home;
}

const char* const kAssaySql = "create table Assay (Well text, Dose real, Effect real);"
                              "insert into Assay values ('A1', 1, 0.25);"
                              "insert into Assay values ('A2', 2.5, 0.5);"
                              "create table Drugs (Well text, Drug text);"
                              "insert into Drugs values ('A1', 'Taxol');";

} // namespace

class TestGrid : public QObject {
    Q_OBJECT
private slots:
    void editsUndoAndRedo();
    void numberFormats_data();
    void numberFormats();
    void clipboardRoundTrip();
    void formatAndHeaderDialogs();
    void textImport();
    void workbookImport_data();
    void workbookImport();
    void selectDataDialog();
    void rangeCheckMessages_data();
    void rangeCheckMessages();
    void odbcQueryTexts();
    void odbcImport();
    void windowMenusAndSaveReopen();
    void printsUsedArea();
};

// Typing, paste, clear, format and a header are each one step back and
// forth, and every change is announced.
void TestGrid::editsUndoAndRedo() {
    CRawSheet sheet;
    CRawSheetModel model(sheet);
    int changes = 0;
    model.m_onChanged = [&] { ++changes; };
    QUndoStack& undo = *model.UndoStack();

    QVERIFY(model.setData(model.index(0, 0), QStringLiteral("Dose")));
    model.PasteText(QStringLiteral("1\t0.25\r\n2\t0.5\r\n"), {2, 1});
    QCOMPARE(Text(model, 3, 2), std::string("0.5"));
    CCellStyle bold;
    bold.m_nFlags = CCellStyle::kBold;
    bold.m_nBackColour = CCellStyle::Colour(255, 255, 0);
    model.FormatRanges({{1, 1, 1, 2}}, bold);
    model.ClearRanges({{2, 1, 2, 2}});
    QCOMPARE(undo.count(), 4);
    QCOMPARE(changes, 4);
    QVERIFY(model.Sheet().GetText(2, 1).empty());
    QVERIFY(model.data(model.index(0, 0), Qt::FontRole).value<QFont>().bold());
    QCOMPARE(model.data(model.index(0, 1), Qt::BackgroundRole).value<QBrush>().color(),
             QColor(255, 255, 0));

    undo.undo(); // clear
    QCOMPARE(Text(model, 2, 1), std::string("1"));
    undo.undo(); // format
    QVERIFY(model.Sheet().GetStyle(1, 1).IsDefault());
    QCOMPARE(Text(model, 1, 1), std::string("Dose"));
    undo.undo(); // paste
    QCOMPARE(model.Sheet().CellCount(), std::size_t{1});
    undo.undo(); // typing
    QVERIFY(model.Sheet().IsEmpty());
    undo.redo();
    undo.redo();
    undo.redo();
    QVERIFY(model.Sheet().GetStyle(1, 2).IsBold());
    QCOMPARE(Text(model, 2, 1), std::string("1"));
    // A change that changes nothing makes no step.
    QVERIFY(!model.ApplySheet(model.Sheet(), QStringLiteral("Nothing")));
    QCOMPARE(undo.index(), 3);
    QCOMPARE(model.headerData(27, Qt::Horizontal).toString(), QStringLiteral("AB"));
    QCOMPARE(model.headerData(999, Qt::Vertical).toString(), QStringLiteral("1000"));
    QCOMPARE(model.rowCount(), 1000);
    QCOMPARE(model.columnCount(), 50);
}

void TestGrid::numberFormats_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("shown");
    const char* const cases[][4] = {
        {"decimals", "0.12345", "0.00", "0.12"}, {"whole, half up", "2.5", "0", "3"},
        {"percent", "0.125", "0.0%", "12.5%"},   {"scientific", "12345", "0.00E+00", "1.23E+04"},
        {"text stays", "n/a", "0.00", "n/a"},    {"unknown format", "1.5", "#,##0", "1.5"},
        {"no format", "1.50", "", "1.50"},
    };
    for (const auto& c : cases) {
        QTest::newRow(c[0]) << QString(c[1]) << QString(c[2]) << QString(c[3]);
    }
}

void TestGrid::numberFormats() {
    QFETCH(QString, text);
    QFETCH(QString, format);
    QFETCH(QString, shown);
    QCOMPARE(CRawSheetModel::FormatNumber(text, format.toStdString()), shown);
}

// Copy gives tab-separated rows; paste of that text elsewhere gives the same
// cells; cut empties the source as one step.
void TestGrid::clipboardRoundTrip() {
    CRawSheet sheet;
    CRawSheetModel model(sheet);
    CRawDataView view(model);
    model.PasteText(QStringLiteral("a\tb\nc\t\n"), {1, 1});
    view.SelectRange({1, 1, 2, 2});
    view.CopySelection();
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("a\tb\r\nc\t\r\n"));
    view.SelectRange({10, 3, 10, 3});
    view.Paste();
    QCOMPARE(Text(model, 10, 3), std::string("a"));
    QCOMPARE(Text(model, 10, 4), std::string("b"));
    QCOMPARE(Text(model, 11, 3), std::string("c"));
    view.SelectRange({1, 1, 1, 2});
    view.CutSelection();
    QVERIFY(model.Sheet().GetText(1, 1).empty());
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("a\tb\r\n"));
    // Pasting near the sheet's edge drops what does not fit.
    view.SelectRange({1000, 50, 1000, 50});
    view.Paste();
    QCOMPARE(Text(model, 1000, 50), std::string("a"));
    model.UndoStack()->undo();
    model.UndoStack()->undo();
    QCOMPARE(Text(model, 1, 2), std::string("b"));
}

// Format Cells starts from the first range's top-left look and applies the
// result to every selected range as one step; the header and footer dialog
// edits the sheet's print texts.
void TestGrid::formatAndHeaderDialogs() {
    CRawSheet sheet;
    CRawSheetModel model(sheet);
    CRawDataView view(model);
    CCellStyle italic;
    italic.m_nFlags = CCellStyle::kItalic;
    model.FormatRanges({{2, 2, 2, 2}}, italic);
    view.SelectRange({2, 2, 3, 2});
    view.selectionModel()->select(QItemSelection(model.index(9, 4), model.index(9, 5)),
                                  QItemSelectionModel::Select);
    WhenShown<CFormatCellsDialog>([](CFormatCellsDialog* dialog) {
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Format Cells"));
        QVERIFY(dialog->ItalicBox()->isChecked());
        dialog->BoldBox()->setChecked(true);
        dialog->AlignField()->setCurrentIndex(CCellStyle::kAlignCentre);
        dialog->BorderField()->setCurrentIndex(CCellBorder::kThin);
        dialog->NumberFormatField()->setCurrentText(QStringLiteral("0.0"));
        dialog->SetBackColour(CCellStyle::Colour(0, 128, 255));
        dialog->accept();
    });
    view.FormatCells();
    QCOMPARE(model.UndoStack()->count(), 2);
    for (const auto& [row, column] : {std::pair{2, 2}, {3, 2}, {10, 5}, {10, 6}}) {
        const CCellStyle style = model.Sheet().GetStyle(row, column);
        QCOMPARE(style.m_nFlags, std::uint16_t(CCellStyle::kBold | CCellStyle::kItalic));
        QCOMPARE(style.m_nAlign, std::uint16_t(CCellStyle::kAlignCentre));
        QCOMPARE(style.m_borders[CCellStyle::kTop].m_nLine, std::uint16_t(CCellBorder::kThin));
        QCOMPARE(style.m_strNumberFormat, std::string("0.0"));
        QCOMPARE(style.m_nBackColour, CCellStyle::Colour(0, 128, 255));
    }
    QVERIFY(model.Sheet().GetStyle(4, 2).IsDefault());

    WhenShown<CHeaderFooterDialog>([](CHeaderFooterDialog* dialog) {
        dialog->HeaderField()->setText(QStringLiteral("Plate 7"));
        dialog->FooterField()->setText(QStringLiteral("Page &P"));
        dialog->accept();
    });
    view.EditHeaderFooter();
    QCOMPARE(model.Sheet().Header(), std::string("Plate 7"));
    QCOMPARE(model.Sheet().Footer(), std::string("Page &P"));
    model.UndoStack()->undo();
    QVERIFY(model.Sheet().Header().empty());
}

void TestGrid::textImport() {
    CScriptedPrompter prompter;
    QTemporaryDir dir;
    const QString file = dir.filePath("plate.txt");
    WriteAll(file, "a\tb\r\nc");
    CRawSheet sheet;
    CRawSheetModel model(sheet);
    CRawDataView view(model);
    view.SelectRange({5, 3, 5, 3});
    QVERIFY(view.ImportFile(file));
    QCOMPARE(Text(model, 5, 3), std::string("a"));
    QCOMPARE(Text(model, 5, 4), std::string("b"));
    QCOMPARE(Text(model, 6, 3), std::string("c"));
    model.UndoStack()->undo();
    QVERIFY(model.Sheet().IsEmpty());

    // The file dialog's way in, and an extension that cannot be read.
    const QString capitals = dir.filePath("DATA.TXT");
    WriteAll(capitals, "x");
    prompter.m_fileNames = {capitals};
    view.ImportFromFile();
    QCOMPARE(prompter.m_fileDialogTitles, QStringList{"Import Raw Data"});
    QCOMPARE(prompter.m_messages,
             QStringList{QString::fromUtf8(entry::kUnknownFileTypeMessage.data())});
    QVERIFY(model.Sheet().IsEmpty());
    QVERIFY(!view.ImportFile(dir.filePath("missing.txt")));
    QCOMPARE(prompter.m_messages.last(), QStringLiteral("Error opening file to import."));
}

void TestGrid::workbookImport_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("Excel 97, the project's writer") << "plate.xls";
    QTest::newRow("Excel, libxlsxwriter") << "plate.xlsx";
}

// A workbook written from a sheet is shown in "Select Data to Import"; OK
// with nothing selected is refused with its message, then the marked area
// lands at the current cell.
void TestGrid::workbookImport() {
    QFETCH(QString, name);
    CScriptedPrompter prompter;
    QTemporaryDir dir;
    CRawSheet source;
    source.SetText(1, 1, "Dose");
    source.SetText(1, 2, "Effect");
    source.SetText(2, 1, "0.5");
    source.SetText(2, 2, "0.125");
    source.SetText(3, 1, "1");
    source.SetText(3, 2, "0.3");
    const QString path = dir.filePath(name);
    QVERIFY(entry::ExportSheetFile(source, path.toStdString()));

    CRawSheet sheet;
    CRawSheetModel model(sheet);
    CRawDataView view(model);
    view.SelectRange({4, 2, 4, 2});
    bool sawRefusal = false;
    WhenShown<CExcelImportDialog>([&](CExcelImportDialog* dialog) {
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Select Data to Import"));
        QCOMPARE(dialog->Grid()->model()->data(dialog->Grid()->model()->index(1, 1)).toString(),
                 QStringLiteral("0.125"));
        dialog->accept();
        sawRefusal = dialog->isVisible() && prompter.m_messages.size() == 1;
        QItemSelectionModel* selection = dialog->Grid()->selectionModel();
        const QAbstractItemModel* cells = dialog->Grid()->model();
        selection->select(QItemSelection(cells->index(1, 0), cells->index(2, 1)),
                          QItemSelectionModel::ClearAndSelect);
        dialog->accept();
    });
    QVERIFY(view.ImportFile(path));
    QVERIFY(sawRefusal);
    QCOMPARE(prompter.m_messages, QStringList{"Please select an area of data to import"});
    QCOMPARE(Text(model, 4, 2), std::string("0.5"));
    QCOMPARE(Text(model, 4, 3), std::string("0.125"));
    QCOMPARE(Text(model, 5, 2), std::string("1"));
    QCOMPARE(Text(model, 5, 3), std::string("0.3"));
    QCOMPARE(model.Sheet().CellCount(), std::size_t{4});
    model.UndoStack()->undo();
    QVERIFY(model.Sheet().IsEmpty());
}

// The dialog shows the same model: an edit there shows in the grid window.
// It starts on the given range and returns the first selected range.
void TestGrid::selectDataDialog() {
    CRawSheet sheet;
    CRawSheetModel model(sheet);
    CRawDataView view(model);
    {
        CSelectDataDialog dialog(model, QStringLiteral("b2..b5"), nullptr);
        const auto ranges = SelectionRanges(dialog.Grid()->selectionModel()->selection());
        QCOMPARE(ranges.size(), std::size_t{1});
        QCOMPARE(ranges.front(), (entry::CCellRange{2, 2, 5, 2}));
        model.setData(model.index(0, 0), QStringLiteral("typed in the dialog"));
        QCOMPARE(view.model()->data(view.model()->index(0, 0)).toString(),
                 QStringLiteral("typed in the dialog"));
        dialog.accept();
        QCOMPARE(dialog.Range(), QStringLiteral("B2..B5"));
        QVERIFY(!dialog.Grid()->selectionModel()->hasSelection());
    }
    {
        CSelectDataDialog dialog(model, QString(), nullptr);
        QVERIFY(!dialog.Grid()->selectionModel()->hasSelection());
        dialog.accept();
        QVERIFY(dialog.Range().isEmpty());
    }
    WhenShown<CSelectDataDialog>([&](CSelectDataDialog* dialog) {
        const QAbstractItemModel* cells = dialog->Grid()->model();
        dialog->Grid()->selectionModel()->select(
            QItemSelection(cells->index(2, 27), cells->index(11, 27)),
            QItemSelectionModel::ClearAndSelect);
        dialog->accept();
    });
    QCOMPARE(SelectDataRange(model, QString(), nullptr), std::optional<QString>("AB3..AB12"));
    WhenShown<CSelectDataDialog>([](CSelectDataDialog* dialog) { dialog->reject(); });
    QCOMPARE(SelectDataRange(model, QStringLiteral("A1..A9"), nullptr), std::nullopt);
}

void TestGrid::rangeCheckMessages_data() {
    QTest::addColumn<QString>("range");
    QTest::addColumn<QString>("message");
    const QString format = QStringLiteral("Error with Taxol range (format should be $$nn..$$nn)");
    QTest::newRow("passes") << "a1..a10"
                            << "";
    QTest::newRow("colon") << "A1:A10" << format;
    QTest::newRow("two columns")
        << "A1..B10"
        << format + " \nThe data must be arranged in columns and can only be 1 column wide";
    QTest::newRow("one row")
        << "A1..A1"
        << format + " \nThe data must be arranged in columns and there must be at least 2 data "
                    "points";
    QTest::newRow("five digits") << "A12345..A12350" << format;
}

void TestGrid::rangeCheckMessages() {
    QFETCH(QString, range);
    QFETCH(QString, message);
    CScriptedPrompter prompter;
    const auto checked = CheckDataRangeOrTell(range, QStringLiteral("Taxol"), nullptr);
    QCOMPARE(checked.has_value(), message.isEmpty());
    QCOMPARE(prompter.m_messages, message.isEmpty() ? QStringList() : QStringList{message});
}

// Against the real SQLite ODBC driver: the sources listed, the query built
// from the field selection, a refused query kept open with the driver's
// message.
void TestGrid::odbcQueryTexts() {
    CScriptedPrompter prompter;
    COdbcHome& home = OdbcHome();
    QVERIFY(home.MakeDatabase(kAssaySql));
    {
        CDataSourceDialog sources;
        QCOMPARE(sources.SourceList()->topLevelItemCount(), 1);
        QCOMPARE(sources.SourceList()->topLevelItem(0)->text(1), QStringLiteral("User"));
        sources.SourceList()->setCurrentItem(sources.SourceList()->topLevelItem(0));
        QCOMPARE(sources.Connection(), QStringLiteral("plates"));
    }
    COdbcImportDialog dialog;
    QVERIFY(!dialog.OkButton()->isEnabled());
    QVERIFY(!dialog.FieldList()->isEnabled());
    QVERIFY(dialog.ConnectTo(QStringLiteral("plates")));
    QVERIFY(dialog.SourceField()->text().contains(QStringLiteral("plates")));
    QVERIFY(dialog.OkButton()->isEnabled());
    QVERIFY(!dialog.QueryField()->isEnabled());
    QCOMPARE(dialog.TableList()->topLevelItemCount(), 2);
    QCOMPARE(dialog.FieldList()->topLevelItemCount(), 3);
    QCOMPARE(dialog.FieldList()->topLevelItem(1)->text(0), QStringLiteral("Dose"));

    QTreeWidget* fields = dialog.FieldList();
    fields->topLevelItem(1)->setSelected(true);
    fields->topLevelItem(2)->setSelected(true);
    // SQLite names its identifier quote as the double quote.
    const QString quote = dialog.QueryField()->toPlainText().mid(7, 1);
    QCOMPARE(dialog.QueryField()->toPlainText(),
             QStringLiteral("select %1Dose%2, %1Effect%2\n from %1Assay%2")
                 .arg(quote, quote == "[" ? "]" : quote));
    dialog.SelectAllButton()->click();
    QVERIFY(dialog.QueryField()->toPlainText().startsWith(QStringLiteral("select *\n from ")));
    dialog.SelectNoneButton()->click();
    QVERIFY(dialog.QueryField()->toPlainText().isEmpty());
    dialog.accept();
    QCOMPARE(prompter.m_messages,
             QStringList{"Please select the fields to import or manually enter an SQL query"});

    fields->topLevelItem(0)->setSelected(true);
    dialog.ChooseTable(1);
    QVERIFY(dialog.QueryField()->toPlainText().isEmpty());
    QCOMPARE(fields->topLevelItemCount(), 2);
    QCOMPARE(fields->topLevelItem(1)->text(0), QStringLiteral("Drug"));
    dialog.TableList()->setCurrentItem(dialog.TableList()->topLevelItem(0));
    QCOMPARE(fields->topLevelItemCount(), 3);

    dialog.UseQueryBox()->setChecked(true);
    QVERIFY(dialog.QueryField()->isEnabled());
    QVERIFY(!fields->isEnabled());
    QVERIFY(!dialog.SelectAllButton()->isEnabled());
    dialog.QueryField()->setPlainText(QStringLiteral("select * from NoSuchTable"));
    dialog.show();
    dialog.accept();
    QVERIFY(dialog.isVisible());
    QCOMPARE(prompter.m_messages.size(), 2);
    QVERIFY(prompter.m_messages.last().contains(QStringLiteral("NoSuchTable")));

    // A source that cannot be reached empties and disables everything.
    QVERIFY(!dialog.ConnectTo(QStringLiteral("no-such-source")));
    QCOMPARE(dialog.TableList()->topLevelItemCount(), 0);
    QVERIFY(!dialog.OkButton()->isEnabled());
    QVERIFY(dialog.SourceField()->text().isEmpty());
    QCOMPARE(prompter.m_messages.size(), 3);
}

// A join typed by hand imported at the current cell: numbers arrive as
// text, every value after the first with its leading blank; a query with no
// rows changes nothing.
void TestGrid::odbcImport() {
    CScriptedPrompter prompter;
    QVERIFY(OdbcHome().MakeDatabase(kAssaySql));
    CRawSheet sheet;
    CRawSheetModel model(sheet);
    CRawDataView view(model);
    view.SelectRange({2, 2, 2, 2});
    COdbcImportDialog dialog(CRawSheet::kRows - view.Origin().m_nRow);
    QVERIFY(dialog.ConnectTo(QStringLiteral("plates")));
    dialog.UseQueryBox()->setChecked(true);
    dialog.QueryField()->setPlainText(
        QStringLiteral("select d.Drug, a.Dose, a.Effect from Assay a join Drugs d on "
                       "a.Well = d.Well order by a.Dose"));
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.FieldCount(), 3);
    QVERIFY(view.ImportOdbcRows(dialog.FieldCount(), dialog.RowTexts()));
    QCOMPARE(Text(model, 2, 2), std::string("Taxol"));
    QCOMPARE(Text(model, 2, 3), std::string(" 1.0"));
    QCOMPARE(Text(model, 2, 4), std::string(" 0.25"));
    QCOMPARE(model.Sheet().CellCount(), std::size_t{3});

    COdbcImportDialog empty;
    QVERIFY(empty.ConnectTo(QStringLiteral("plates")));
    empty.UseQueryBox()->setChecked(true);
    empty.QueryField()->setPlainText(QStringLiteral("select * from Assay where Dose > 100"));
    empty.accept();
    QCOMPARE(empty.result(), int(QDialog::Accepted));
    QVERIFY(empty.RowTexts().empty());
    QVERIFY(!view.ImportOdbcRows(empty.FieldCount(), empty.RowTexts()));
    QCOMPARE(model.UndoStack()->count(), 1);
    QVERIFY(prompter.m_messages.isEmpty());
}

// The window from the contents tree and the menus; its edits mark the
// experiment changed and survive save and reopen, byte for byte.
void TestGrid::windowMenusAndSaveReopen() {
    CAppFixture app;
    CMainWindow& window = *app.m_window;
    QVERIFY(window.NewExperiment());
    QVERIFY(!window.Document()->m_pRawData || window.Document()->m_pRawData->IsEmpty());
    QVERIFY(window.Action("ImportRawData")->isEnabled());
    QVERIFY(!window.Action("FormatCells")->isEnabled());
    CRawDataView* view = window.OpenRawData();
    QVERIFY(view);
    QCOMPARE(view->windowTitle(), QStringLiteral("Raw Data Grid"));
    QVERIFY(window.Action("FormatCells")->isEnabled());
    QVERIFY(!window.Action("Undo")->isEnabled());
    QVERIFY(!window.Document()->IsModified());

    CRawSheetModel& model = view->SheetModel();
    model.PasteText(QStringLiteral("Dose\tEffect\n1\t0.2\n2\t0.4\n"), {1, 1});
    CCellStyle style;
    style.m_nFlags = CCellStyle::kBold | CCellStyle::kItalic;
    style.m_nTextColour = CCellStyle::Colour(200, 0, 0);
    style.m_strFontName = "DejaVu Serif";
    style.m_strNumberFormat = "0.00";
    style.m_borders[CCellStyle::kBottom].m_nLine = CCellBorder::kDouble;
    model.FormatRanges({{1, 1, 1, 2}}, style);
    CRawSheet withHeader = model.Sheet();
    withHeader.SetHeader("Plate 7");
    withHeader.SetFooter("Page &P");
    model.ApplySheet(withHeader, QStringLiteral("Edit Header & Footer"));
    QVERIFY(window.Document()->IsModified());
    view->setColumnWidth(1, 133);
    // A drug change waits on the experiment's own undo stack meanwhile: with
    // the grid active, Undo and Redo take back the grid's edits only.
    auto drug = std::make_shared<CDrugInfo>();
    drug->m_strName = "A";
    QVERIFY(drug->AddPoint(drug->CreatePoint(1.0, 0.3, 1, nullptr)));
    QVERIFY(window.AddDrug(drug));
    QVERIFY(window.Action("Undo")->isEnabled());
    window.Action("Undo")->trigger();
    QVERIFY(model.Sheet().Header().empty());
    QCOMPARE(window.Document()->DrugCount(), 1);
    window.Action("Redo")->trigger();
    QCOMPARE(model.Sheet().Header(), std::string("Plate 7"));
    QCOMPARE(window.Document()->DrugCount(), 1);

    // The Select Data dialog through the window shares the grid's model.
    WhenShown<CSelectDataDialog>([&](CSelectDataDialog* dialog) {
        QCOMPARE(dialog->Grid()->model(), view->model());
        dialog->accept();
    });
    QCOMPARE(window.SelectDataRange(QStringLiteral("A2..A3")), std::optional<QString>("A2..A3"));

    const QString first = app.Path("plate.dpx");
    QVERIFY(window.SaveExperimentAs(first));
    const CRawSheet saved = *window.Document()->m_pRawData;
    QVERIFY(window.OpenExperiment(first));
    QVERIFY(window.Document()->m_pRawData);
    QVERIFY(*window.Document()->m_pRawData == saved);
    const QString second = app.Path("again.dpx");
    QVERIFY(window.SaveExperimentAs(second));
    QCOMPARE(ReadAll(second), ReadAll(first));

    // Reopened, the tree's "Raw Data" item opens the grid on the read sheet.
    const auto found =
        window.Tree()->findItems(QStringLiteral("Raw Data"), Qt::MatchExactly | Qt::MatchRecursive);
    QCOMPARE(found.size(), 1);
    window.Tree()->Activate(found.front());
    auto* reopened = dynamic_cast<CRawDataView*>(window.ActiveView());
    QVERIFY(reopened);
    QCOMPARE(reopened->columnWidth(1), 133);
    QCOMPARE(reopened->model()->data(reopened->model()->index(1, 1)).toString(),
             QStringLiteral("0.2"));
    QVERIFY(reopened->model()
                ->data(reopened->model()->index(0, 0), Qt::FontRole)
                .value<QFont>()
                .italic());
}

// The printout covers the used area with the header and footer: a sheet
// wider than a page takes more than one page.
void TestGrid::printsUsedArea() {
    QTemporaryDir dir;
    CRawSheet sheet;
    CRawSheetModel model(sheet);
    CRawDataView view(model);
    CRawSheet after;
    after.SetText(1, 1, "Dose");
    after.SetText(40, 20, "far away");
    after.SetHeader("Plate 7");
    after.SetFooter("Page &P of &N");
    model.ApplySheet(after, QStringLiteral("Fill"));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    const QString pdf = dir.filePath("sheet.pdf");
    printer.setOutputFileName(pdf);
    view.PrintTo(printer);
    const QByteArray bytes = ReadAll(pdf);
    QVERIFY(bytes.startsWith("%PDF"));
    // One page object per page.
    QVERIFY(bytes.count("/Type /Page\n") + bytes.count("/Type /Page ") +
                bytes.count("/Type /Page/") >=
            2);
}

QTEST_MAIN(TestGrid)
#include "test_grid.moc"
