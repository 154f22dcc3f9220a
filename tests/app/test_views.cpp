// The report window (tab stops, fonts, export, printing) and the summary
// table window (copy, export).

#include "app_test_support.h"

#include "app/dialogs/tab_stops_dialog.h"
#include "app/views/report_view.h"
#include "app/views/summary_table_view.h"
#include "core/document.h"
#include "core/encoding.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>
#include <QTextBlock>
#include <QtTest>

using namespace doseplex;
using namespace doseplex::app;
using namespace doseplex::app::testing;

class TestViews : public QObject {
    Q_OBJECT
private slots:
    void tabStops_data();
    void tabStops();
    void storedFonts();
    void mirrorDisplayFont();
    void exportReport_data();
    void exportReport();
    void exportReportFailure();
    void printLayout();
    void summaryTableCopyAndExport();
};

void TestViews::tabStops_data() {
    QTest::addColumn<QString>("entered");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("message");
    QTest::newRow("12") << "12" << true << "";
    QTest::newRow("1") << "1" << true << "";
    QTest::newRow("16") << "16" << true << "";
    QTest::newRow("17") << "17" << false << "Please enter an integer between 1 and 16.";
    QTest::newRow("0") << "0" << false << "Please enter an integer between 1 and 16.";
    QTest::newRow("text") << "wide" << false << "Please enter an integer.";
}

void TestViews::tabStops() {
    QFETCH(QString, entered);
    QFETCH(bool, accepted);
    QFETCH(QString, message);
    CScriptedPrompter prompter;
    CTabStopsDialog dialog(12);
    QCOMPARE(dialog.Field()->text(), QString("12"));
    QCOMPARE(dialog.Field()->accessibleName(), QString("Tab Stops:"));
    dialog.Field()->setText(entered);
    QCOMPARE(dialog.TryAccept(), accepted);
    QCOMPARE(prompter.m_messages, message.isEmpty() ? QStringList() : QStringList{message});
    if (accepted) {
        QCOMPARE(dialog.Characters(), entered.toInt());
    }

    // Twelve characters are 48 dialog units, four units to a character.
    CAppFixture app;
    QVERIFY(app.m_window->StartWith({}));
    CReportView view(*app.m_window->Document(), app.m_settings);
    QCOMPARE(view.TabStopUnits(), 48);
    view.ApplyTabStops(12 * 4);
    QCOMPARE(view.tabStopDistance(), 12 * QFontMetricsF(view.font()).averageCharWidth());
}

void TestViews::storedFonts() {
    CAppFixture app;
    QVERIFY(app.m_window->StartWith({}));
    CDoseplexDoc& doc = *app.m_window->Document();
    // A stored font of height 0 is no font, whatever the other keys say.
    app.m_settings.m_view.m_settings.m_font.m_nHeight = 0;
    app.m_settings.m_view.m_settings.m_font.m_strFaceName = "DejaVu Serif";
    CReportView plain(doc, app.m_settings);
    QCOMPARE(plain.font(), QApplication::font(&plain));

    app.m_settings.m_view.m_settings.m_font.m_nHeight = -20;
    CReportView stored(doc, app.m_settings);
    QCOMPARE(stored.font().family(), QString("DejaVu Serif"));
    QVERIFY(!stored.HasPrinterFont());

    QFont chosen("DejaVu Sans Mono", 11);
    stored.ApplyDisplayFont(chosen);
    QCOMPARE(app.m_settings.m_view.m_settings.m_font.m_strFaceName,
             std::string("DejaVu Sans Mono"));
    QVERIFY(app.m_settings.m_view.m_settings.m_font.m_nHeight < 0);
    // The tab stops follow the new font's character width.
    QCOMPARE(stored.tabStopDistance(), 12 * QFontMetricsF(stored.font()).averageCharWidth());
}

void TestViews::mirrorDisplayFont() {
    CAppFixture app;
    QVERIFY(app.m_window->StartWith({}));
    CReportView view(*app.m_window->Document(), app.m_settings);
    const CViewSettings before = app.m_settings.m_view.m_settings;
    view.MirrorDisplayFont();
    QVERIFY(!view.HasPrinterFont());
    QVERIFY(app.m_settings.m_view.m_settings == before);

    view.ApplyPrinterFont(QFont("DejaVu Serif", 10));
    QVERIFY(view.HasPrinterFont());
    QCOMPARE(view.PrintingFont().family(), QString("DejaVu Serif"));
    QVERIFY(app.m_settings.m_view.m_settings.m_printFont.m_nHeight != 0);
    view.MirrorDisplayFont();
    QVERIFY(!view.HasPrinterFont());
    QCOMPARE(view.PrintingFont(), view.font());
    QCOMPARE(app.m_settings.m_view.m_settings.m_printFont.m_nHeight, 0);
}

void TestViews::exportReport_data() {
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("written");
    QTest::newRow("no extension") << "report"
                                  << "report.txt";
    QTest::newRow(".log") << "report.log"
                          << "report.log";
    QTest::newRow(".txt") << "report.txt"
                          << "report.txt";
}

void TestViews::exportReport() {
    QFETCH(QString, chosen);
    QFETCH(QString, written);
    CAppFixture app;
    QVERIFY(app.m_window->ImportExperiment(Example("two-drug.txt")));
    app.m_window->Document()->GetDrug(0)->m_strUnits = "µM";
    app.m_window->Document()->Touch();
    CReportView* view = app.m_window->OpenDrugReport(0);
    QVERIFY(view);
    app.m_prompter.m_fileNames = {app.Path(chosen)};
    view->ExportReport();
    QCOMPARE(app.m_prompter.m_fileDialogTitles, QStringList{"Export Report"});
    QVERIFY(app.m_prompter.m_messages.isEmpty());
    const QByteArray bytes = ReadAll(app.Path(written));
    QCOMPARE(bytes.toStdString(), Utf8ToEightBit(view->ReportText()));
    // 8-bit text with CR LF line ends, as the report was built.
    QVERIFY(bytes.contains("\xB5M"));
    QVERIFY(bytes.contains("\r\n"));
    QCOMPARE(QDir(app.m_dir.path()).entryList({"*.txt", "*.log"}).size(), 1);
}

void TestViews::exportReportFailure() {
    CAppFixture app;
    QVERIFY(app.m_window->ImportExperiment(Example("two-drug.txt")));
    CReportView* view = app.m_window->OpenSummaryReport();
    QVERIFY(!view->ExportTo(app.Path("no-such-folder/report.txt")));
    QCOMPARE(app.m_prompter.m_messages,
             QStringList{"There was a problem opening the file to write the report to."});
}

void TestViews::printLayout() {
    if (QStandardPaths::findExecutable("pdftotext").isEmpty() ||
        QStandardPaths::findExecutable("pdfinfo").isEmpty()) {
        QSKIP("poppler-utils (pdftotext, pdfinfo) is not installed");
    }
    CAppFixture app;
    CMainWindow& window = *app.m_window;
    QVERIFY(window.ImportExperiment(Example("three-drug.txt")));
    window.ApplyDetails("Checkerboard", "", "2026-12-10", "");
    QVERIFY(window.SaveExperimentAs(app.Path("printed.dpx")));
    CReportView* view = window.OpenSummaryReport();
    QVERIFY(view);

    auto print = [&](const QString& name) {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(app.Path(name));
        printer.setPageSize(QPageSize(QPageSize::A4));
        const int pages = view->PrintTo(printer);
        return std::make_pair(pages, app.Path(name));
    };
    const auto [pages, pdf] = print("report.pdf");
    QVERIFY(pages >= 2);
    QCOMPARE(PdfPages(pdf), pages);
    const QString text = RunTool("pdftotext", {"-layout", pdf, "-"});
    const QStringList sheets = text.split(QChar('\f'), Qt::SkipEmptyParts);
    QCOMPARE(sheets.size(), pages);
    for (int page = 0; page < pages; ++page) {
        const QString sheet = sheets[page];
        QVERIFY2(sheet.contains(QRegularExpression("Experiment:Checkerboard\\s+Date:2026-12-10")),
                 qPrintable(sheet.left(200)));
        QVERIFY(sheet.contains(
            QRegularExpression(QString("Filename:printed.dpx\\s+Page:%1").arg(page + 1))));
        // The header opens the page and the footer closes it.
        QVERIFY(sheet.trimmed().startsWith("Experiment:"));
        QVERIFY(sheet.trimmed().endsWith(QString("Page:%1").arg(page + 1)));
    }
    QVERIFY(text.contains("Summary table"));

    // The caret follows the printed pages (print preview starts at the
    // caret's page and leaves the caret at the page it closes on).
    QCOMPARE(view->CaretPage(), 1);
    view->MoveCaretToPage(2);
    QCOMPARE(view->CaretPage(), 2);
    const QString firstLine = view->textCursor().block().text();
    const QString firstField = firstLine.split('\t', Qt::SkipEmptyParts).value(0);
    QVERIFY(!firstField.isEmpty());
    QVERIFY2(sheets[1].contains(firstField), qPrintable(firstField));
    view->MoveCaretToPage(1);
    QCOMPARE(view->textCursor().position(), 0);

    // Wider margins leave less room: more pages; every line of the report
    // still reaches the paper.
    app.m_settings.m_page.m_margins = {2.0, 2.0, 3.0, 3.0, false};
    const auto [widerPages, widerPdf] = print("margins.pdf");
    QVERIFY(widerPages > pages);
    QCOMPARE(PdfPages(widerPdf), widerPages);
    // Compatibility form: the PDF's ligatures ("ff") become plain letters.
    const QString widerText =
        RunTool("pdftotext", {widerPdf, "-"}).normalized(QString::NormalizationForm_KC);
    for (const QString& line : view->toPlainText().split('\n', Qt::SkipEmptyParts)) {
        const QString firstWord = line.split('\t', Qt::SkipEmptyParts).value(0).trimmed();
        if (!firstWord.isEmpty() && !firstWord.startsWith('-')) {
            QVERIFY2(widerText.contains(firstWord), qPrintable(firstWord));
        }
    }
}

void TestViews::summaryTableCopyAndExport() {
    CAppFixture app;
    QVERIFY(app.m_window->ImportExperiment(Example("two-drug.txt")));
    CSummaryTableView* table = app.m_window->OpenSummaryTable();
    QVERIFY(table);
    QCOMPARE(table->item(1, 0)->text(), QString("Summary table"));
    QCOMPARE(table->item(2, 1)->text(), QString("CI Values at"));
    QVERIFY(table->item(2, 0)->font().bold());
    QCOMPARE(table->columnWidth(0), 125);
    QCOMPARE(table->item(4, 0)->text(), QString("Exp1_DrugA"));

    table->setRangeSelected(QTableWidgetSelectionRange(3, 1, 4, 2), true);
    table->CopySelection();
    QCOMPARE(QApplication::clipboard()->text(), QString("ED50\tED75\r\nN/A\tN/A\r\n"));

    // The same bytes as the command line's summary-table export.
    QProcess cli;
    cli.start(DOSEPLEX_CLI, {"summary-table", Example("two-drug.txt"), "-o", app.Path("cli.txt")},
              QIODevice::ReadOnly);
    QVERIFY(cli.waitForFinished(30000));
    app.m_prompter.m_fileNames = {app.Path("table")};
    table->ExportData();
    QCOMPARE(app.m_prompter.m_fileDialogTitles, QStringList{"Export Raw Data Grid"});
    QCOMPARE(ReadAll(app.Path("table.txt")), ReadAll(app.Path("cli.txt")));
    QVERIFY(table->ExportTo(app.Path("table.xls")));
    QVERIFY(ReadAll(app.Path("table.xls")).startsWith("\xD0\xCF\x11\xE0"));
    QVERIFY(table->ExportTo(app.Path("table.xlsx")));
    QVERIFY(ReadAll(app.Path("table.xlsx")).startsWith("PK"));

    QVERIFY(!table->ExportTo(app.Path("table.csv")));
    QCOMPARE(app.m_prompter.m_messages.size(), 1);
    QVERIFY(!QFile::exists(app.Path("table.csv")));
}

QTEST_MAIN(TestViews)
#include "test_views.moc"
