// The main window: window replacement and captions, the contents tree and
// its dispatch, refresh after changes, deleting drugs, the modified flag and
// the save prompt, the command line.

#include "app_test_support.h"

#include "app/shell/contents_tree.h"
#include "app/shell/splash.h"
#include "app/views/report_view.h"
#include "app/views/summary_table_view.h"
#include "core/document.h"
#include "core/drug_info.h"
#include "core/encoding.h"
#include "core/random.h"
#include "report/summary_report.h"

#include <QFile>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMimeData>
#include <QtTest>

using namespace doseplex;
using namespace doseplex::app;
using namespace doseplex::app::testing;

namespace {

// The report the engine builds for the document as it stands (nothing here
// simulates, so a generator of its own gives the window's text).
std::string ExpectedReport(const CDoseplexDoc& doc, bool summary, int drug) {
    CRandom random;
    std::string text;
    BuildReport(doc, summary ? CBuildTarget::Summary() : CBuildTarget::Drug(drug), random, text);
    return text;
}

QStringList Captions(const CMainWindow& window) {
    QStringList captions;
    for (QMdiSubWindow* sub : window.MdiArea()->subWindowList()) {
        captions.append(sub->windowTitle());
    }
    captions.sort();
    return captions;
}

QTreeWidgetItem* Child(QTreeWidgetItem* parent, const QString& text) {
    for (int i = 0; parent && i < parent->childCount(); ++i) {
        if (parent->child(i)->text(0) == text) {
            return parent->child(i);
        }
    }
    return nullptr;
}

} // namespace

class TestShell : public QObject {
    Q_OBJECT
private slots:
    void commandLine_data();
    void commandLine();
    void startUp();
    void windowsAreReplacedAndCaptioned();
    void treeDispatchesBySiblingPosition();
    void treeItemsWithChildrenOpenNothing();
    void optionsRefreshEachReportWithItsOwnText();
    void detailsRefreshReports();
    void deleteDrugRefusedWhileUsed();
    void deleteDrugRenumbersOpenWindows();
    void savePromptGuardsReplacement();
    void failedOpenAndImportKeepTheExperiment();
    void saveAsRecentFilesAndReopen();
    void splashClosesOnKeyOrClick();
    void viewToggles();
};

void TestShell::commandLine_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("action");
    QTest::addColumn<QString>("path");
    using A = CCommandLine::EAction;
    QTest::newRow("empty") << QStringList{} << int(A::NewExperiment) << QString();
    QTest::newRow("blank") << QStringList{" "} << int(A::NewExperiment) << QString();
    QTest::newRow("/i") << QStringList{"/i", "x.dpx"} << int(A::Nothing) << QString();
    QTest::newRow("/r path") << QStringList{"/r", "data/my", "file.txt"} << int(A::StoreImportPath)
                             << QString("data/my file.txt");
    QTest::newRow("/i before /r") << QStringList{"/i", "/r", "a.txt"} << int(A::Nothing)
                                  << QString();
    QTest::newRow("file") << QStringList{"exp.dpx"} << int(A::OpenFile) << QString("exp.dpx");
    QTest::newRow("path holding /r ") << QStringList{"/data/r", "results.dpx"} << int(A::OpenFile)
                                      << QString("/data/r results.dpx");
}

void TestShell::commandLine() {
    QFETCH(QStringList, arguments);
    QFETCH(int, action);
    QFETCH(QString, path);
    const CCommandLine parsed = ParseCommandLine(arguments);
    QCOMPARE(int(parsed.m_action), action);
    QCOMPARE(parsed.m_path, path);
}

void TestShell::startUp() {
    {
        CAppFixture app;
        QVERIFY(app.m_window->StartWith(ParseCommandLine({})));
        QVERIFY(app.m_window->Document());
        QVERIFY(!app.m_window->Document()->IsModified());
    }
    {
        CAppFixture app;
        QVERIFY(!app.m_window->StartWith(ParseCommandLine({"/r", "in.txt"})));
        QVERIFY(!app.m_window->Document());
        QCOMPARE(app.m_window->ImportPath(), QString("in.txt"));
        QVERIFY(!app.m_window->Action("CloseDocument")->isEnabled());
        QVERIFY(!app.m_window->Action("Options")->isEnabled());
        QCOMPARE(app.m_window->Tree()->topLevelItemCount(), 0);
    }
    {
        CAppFixture app;
        QVERIFY(!app.m_window->StartWith(ParseCommandLine({Example("checkerboard.dpx")})));
        QVERIFY(app.m_window->Document());
        QCOMPARE(app.m_window->Tree()->topLevelItem(0)->text(0), QString("checkerboard.dpx"));
        QVERIFY(app.m_prompter.m_messages.isEmpty());
    }
}

void TestShell::windowsAreReplacedAndCaptioned() {
    CAppFixture app;
    CMainWindow& window = *app.m_window;
    QVERIFY(window.ImportExperiment(Example("two-drug.txt")));
    QVERIFY(window.OpenDrugReport(1));
    QVERIFY(window.OpenDrugReport(1));
    QVERIFY(window.OpenDrugReport(0));
    QVERIFY(window.OpenSummaryReport());
    QVERIFY(window.OpenSummaryReport());
    QVERIFY(window.OpenSummaryTable());
    QVERIFY(window.OpenSummaryTable());
    QCOMPARE(Captions(window), (QStringList{"Exp1_DrugA Report", "Exp1_DrugB Report",
                                            "Summary Report", "Summary Table"}));
    QVERIFY(!window.OpenDrugReport(7));
    QCOMPARE(window.Views().size(), size_t(4));
}

void TestShell::treeDispatchesBySiblingPosition() {
    CAppFixture app;
    CMainWindow& window = *app.m_window;
    QVERIFY(window.ImportExperiment(Example("two-drug.txt")));
    CDoseplexDoc& doc = *window.Document();
    doc.GetDrug(1)->m_strName = doc.GetDrug(0)->m_strName;
    doc.NotifyContentsChanged();

    CContentsTree* tree = window.Tree();
    QTreeWidgetItem* drugs = tree->DrugsFolder();
    QVERIFY(drugs);
    QCOMPARE(drugs->childCount(), 3);
    QCOMPARE(drugs->child(0)->text(0), drugs->child(1)->text(0));
    QTreeWidgetItem* root = tree->topLevelItem(0);
    QStringList top;
    for (int i = 0; i < root->childCount(); ++i) {
        top.append(root->child(i)->text(0));
    }
    QCOMPARE(top, (QStringList{"Experiment Details", "Raw Data", "Drugs", "Summaries"}));

    tree->Activate(Child(drugs->child(1), "Report"));
    QCOMPARE(tree->ItemKind(), int(kTreeDrugItem));
    QCOMPARE(tree->SubKind(), int(kTreeReport));
    QCOMPARE(tree->DrugId(), 1);
    QCOMPARE(window.Views().size(), size_t(1));
    auto* report = dynamic_cast<CReportView*>(window.Views().front());
    QVERIFY(report);
    QCOMPARE(report->m_nDrug, 1);
    QCOMPARE(report->ReportText(), ExpectedReport(doc, false, 1));

    tree->Activate(Child(Child(root, "Summaries"), "Summary Table"));
    QCOMPARE(tree->ItemKind(), int(kTreeSummaryTable));
    tree->Activate(Child(Child(root, "Summaries"), "Summary Report"));
    QCOMPARE(Captions(window),
             (QStringList{"Exp1_DrugA Report", "Summary Report", "Summary Table"}));
}

void TestShell::treeItemsWithChildrenOpenNothing() {
    CAppFixture app;
    QVERIFY(app.m_window->ImportExperiment(Example("two-drug.txt")));
    CContentsTree* tree = app.m_window->Tree();
    QSignalSpy opened(tree, &CContentsTree::openItem);
    tree->Activate(tree->DrugsFolder());
    tree->Activate(tree->DrugsFolder()->child(0));
    tree->Activate(tree->topLevelItem(0));
    QCOMPARE(opened.count(), 0);
    QVERIFY(app.m_window->Views().empty());
}

void TestShell::optionsRefreshEachReportWithItsOwnText() {
    CAppFixture app;
    CMainWindow& window = *app.m_window;
    QVERIFY(window.ImportExperiment(Example("two-drug.txt")));
    CReportView* summary = window.OpenSummaryReport();
    CReportView* combination = window.OpenDrugReport(2);
    CSummaryTableView* table = window.OpenSummaryTable();
    QVERIFY(summary && combination && table);

    CAnalysisOptions options = window.Document()->m_analysis;
    options.m_dEffect1 = 0.6;
    window.ApplyOptions(options, false);
    CDoseplexDoc& doc = *window.Document();
    QVERIFY(doc.IsModified());
    QCOMPARE(summary->ReportText(), ExpectedReport(doc, true, -1));
    QCOMPARE(combination->ReportText(), ExpectedReport(doc, false, 2));
    QVERIFY(summary->toPlainText().contains("\tED60\t"));
    QVERIFY(combination->toPlainText().contains("\tED60\t"));
    QCOMPARE(table->item(3, 1)->text(), QString("ED60"));
    // Not written as defaults without Set Defaults.
    QVERIFY(!app.m_store.ReadString("ReportDefaults", "Effect1", "").size());
    window.ApplyOptions(options, true);
    QCOMPARE(QString::fromStdString(app.m_store.ReadString("ReportDefaults", "Effect1", "")),
             QString("0.600000"));
}

void TestShell::detailsRefreshReports() {
    CAppFixture app;
    CMainWindow& window = *app.m_window;
    QVERIFY(window.ImportExperiment(Example("two-drug.txt")));
    CReportView* summary = window.OpenSummaryReport();
    CReportView* drug = window.OpenDrugReport(0);
    window.ApplyDetails("Synergy screen", "R. Chou", "2026-12-10", "first\nsecond");
    for (CReportView* report : {summary, drug}) {
        QVERIFY(report->toPlainText().contains("Synergy screen"));
        QVERIFY(report->toPlainText().contains("2026-12-10"));
    }
    QCOMPARE(window.Document()->m_strNotes, std::string("first\nsecond"));
}

void TestShell::deleteDrugRefusedWhileUsed() {
    CAppFixture app;
    CMainWindow& window = *app.m_window;
    QVERIFY(window.ImportExperiment(Example("two-drug.txt")));
    window.Document()->SetModifiedFlag(false);

    app.m_prompter.m_answers = {QMessageBox::No};
    QVERIFY(!window.DeleteDrug(0));
    QCOMPARE(app.m_prompter.m_questions.constLast(),
             QString("Are you sure you want to delete Exp1_DrugA? \nWarning - You will not be "
                     "able to undo this action."));
    QVERIFY(app.m_prompter.m_messages.isEmpty());

    app.m_prompter.m_answers = {QMessageBox::Yes};
    QVERIFY(!window.DeleteDrug(0));
    QCOMPARE(app.m_prompter.m_messages,
             QStringList{"This drug is referred to by other entries.  You must delete all "
                         "references first."});
    QCOMPARE(window.Document()->DrugCount(), 3);
    QVERIFY(!window.Document()->IsModified());
}

void TestShell::deleteDrugRenumbersOpenWindows() {
    CAppFixture app;
    CMainWindow& window = *app.m_window;
    QVERIFY(window.ImportExperiment(Example("two-drug.txt")));
    CDoseplexDoc& doc = *window.Document();
    auto copy = doc.GetDrug(0)->Clone();
    copy->m_strName = "Copy";
    QVERIFY(doc.AddDrug(std::move(copy)));
    doc.NotifyContentsChanged();
    CReportView* combination = window.OpenDrugReport(2);
    CReportView* last = window.OpenDrugReport(3);
    CReportView* summary = window.OpenSummaryReport();
    QVERIFY(combination && last && summary);
    QSignalSpy destroyed(combination, &QObject::destroyed);

    app.m_prompter.m_answers = {QMessageBox::Yes};
    QVERIFY(window.DeleteDrug(2));
    QCOMPARE(destroyed.count(), 1);
    QCOMPARE(last->m_nDrug, 2);
    QCOMPARE(summary->ReportText(), ExpectedReport(doc, true, -1));
    QVERIFY(!summary->toPlainText().contains("Exp1_Mix"));
    QCOMPARE(window.Tree()->DrugsFolder()->childCount(), 3);
    QCOMPARE(window.Tree()->DrugsFolder()->child(2)->text(0), QString("Copy"));
    QVERIFY(doc.IsModified());
    // The window of the drug that moved up still shows that drug.
    doc.Touch();
    last->Refresh();
    QCOMPARE(last->ReportText(), ExpectedReport(doc, false, 2));
}

void TestShell::savePromptGuardsReplacement() {
    CAppFixture app;
    CMainWindow& window = *app.m_window;
    QVERIFY(window.ImportExperiment(Example("two-drug.txt")));
    CDoseplexDoc* imported = window.Document();
    QVERIFY(imported->IsModified());
    QVERIFY(window.OpenSummaryReport());

    // Cancel keeps everything.
    app.m_prompter.m_answers = {QMessageBox::Cancel, QMessageBox::Cancel, QMessageBox::Cancel};
    QVERIFY(!window.NewExperiment());
    QVERIFY(!window.CloseExperiment());
    QVERIFY(!window.ImportExperiment(Example("three-drug.txt")));
    QCOMPARE(app.m_prompter.m_questions,
             (QStringList{"Save changes?", "Save changes?", "Save changes?"}));
    QCOMPARE(window.Document(), imported);
    QVERIFY(window.Document()->IsModified());
    QCOMPARE(window.Views().size(), size_t(1));

    // Save, but the save dialog is cancelled: nothing happens either.
    app.m_prompter.m_answers = {QMessageBox::Save};
    QVERIFY(!window.NewExperiment());
    QCOMPARE(window.Document(), imported);

    // Save to a file, then the new experiment replaces it.
    const QString saved = app.Path("saved.dpx");
    app.m_prompter.m_answers = {QMessageBox::Save};
    app.m_prompter.m_fileNames = {saved};
    QVERIFY(window.NewExperiment());
    QVERIFY(QFile::exists(saved));
    QVERIFY(window.Views().empty());
    QCOMPARE(window.Document()->DrugCount(), 0);
    QVERIFY(!window.Document()->IsModified());

    // An unmodified experiment closes without a question; Discard drops changes.
    const int questions = int(app.m_prompter.m_questions.size());
    QVERIFY(window.OpenExperiment(saved));
    QCOMPARE(int(app.m_prompter.m_questions.size()), questions);
    window.ApplyDetails("changed", "", "", "");
    app.m_prompter.m_answers = {QMessageBox::Discard};
    QVERIFY(window.CloseExperiment());
    QVERIFY(!window.Document());
    QCOMPARE(window.Tree()->topLevelItemCount(), 0);
}

void TestShell::failedOpenAndImportKeepTheExperiment() {
    CAppFixture app;
    CMainWindow& window = *app.m_window;
    QVERIFY(window.ImportExperiment(Example("two-drug.txt")));
    window.Document()->SetModifiedFlag(false);
    CDoseplexDoc* before = window.Document();

    QVERIFY(!window.OpenExperiment(app.Path("missing.dpx")));
    QCOMPARE(app.m_prompter.m_messages.size(), 1);
    QVERIFY(app.m_prompter.m_messages[0].startsWith("Unable to open"));

    QFile bad(app.Path("bad.txt"));
    QVERIFY(bad.open(QIODevice::WriteOnly));
    bad.write("[start]\t0\n");
    bad.close();
    QVERIFY(!window.ImportExperiment(bad.fileName()));
    QCOMPARE(app.m_prompter.m_messages.size(), 2);
    QVERIFY(app.m_prompter.m_messages[1].startsWith("Import Error! \n\nCannot Import File.\n\n"
                                                    "Error 1007."));
    QCOMPARE(window.Document(), before);
    QCOMPARE(window.Document()->DrugCount(), 3);
}

void TestShell::saveAsRecentFilesAndReopen() {
    CAppFixture app;
    CMainWindow& window = *app.m_window;
    QVERIFY(window.ImportExperiment(Example("two-drug.txt")));
    QStringList paths;
    for (int i = 0; i < 5; ++i) {
        paths.append(app.Path(QString("exp%1.dpx").arg(i)));
        QVERIFY(window.SaveExperimentAs(paths.constLast()));
    }
    QVERIFY(!window.Document()->IsModified());
    QCOMPARE(window.Tree()->topLevelItem(0)->text(0), QString("exp4.dpx"));
    QCOMPARE(app.m_settings.RecentFiles(), (QStringList{paths[4], paths[3], paths[2], paths[1]}));
    QCOMPARE(QString::fromStdString(app.m_store.ReadString("Recent File List", "File1", "")),
             paths[4]);
    // Save writes to the experiment's own file.
    window.ApplyDetails("again", "", "", "");
    QVERIFY(window.SaveExperiment());
    QVERIFY(window.OpenExperiment(paths[4]));
    QCOMPARE(window.Document()->m_strTitle, std::string("again"));
    QCOMPARE(window.Document()->DrugCount(), 3);

    // A file dropped on the window opens the same way.
    QMimeData dropped;
    dropped.setUrls({QUrl::fromLocalFile(paths[0])});
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
    // Straight to the window: the application delivers drops only after a
    // drag entered it.
    static_cast<QObject&>(window).event(&drop);
    QCOMPARE(window.Tree()->topLevelItem(0)->text(0), QString("exp0.dpx"));
    QCOMPARE(app.m_settings.RecentFiles().constFirst(), paths[0]);

    // A listed file that has gone is reported and leaves the list.
    QVERIFY(QFile::remove(paths[3]));
    QAction* gone = nullptr;
    for (QAction* action : window.findChildren<QAction*>()) {
        if (action->data().toString() == paths[3] && action->isVisible()) {
            gone = action;
        }
    }
    QVERIFY(gone);
    const qsizetype messages = app.m_prompter.m_messages.size();
    gone->trigger();
    QCOMPARE(app.m_prompter.m_messages.size(), messages + 1);
    QVERIFY(!app.m_settings.RecentFiles().contains(paths[3]));
    QCOMPARE(window.Tree()->topLevelItem(0)->text(0), QString("exp0.dpx"));
}

void TestShell::splashClosesOnKeyOrClick() {
    for (const bool key : {true, false}) {
        QPointer<CSplash> splash = new CSplash;
        splash->show();
        QWidget other;
        other.show();
        if (key) {
            QTest::keyClick(&other, Qt::Key_Space);
        } else {
            QTest::mouseClick(&other, Qt::LeftButton);
        }
        QTRY_VERIFY(splash.isNull());
    }
    // Left alone it closes after five seconds.
    QPointer<CSplash> splash = new CSplash;
    splash->show();
    QTest::qWait(CSplash::kShowMs - 1000);
    QVERIFY(!splash.isNull());
    QTRY_VERIFY_WITH_TIMEOUT(splash.isNull(), 3000);
}

void TestShell::viewToggles() {
    CAppFixture app;
    CMainWindow& window = *app.m_window;
    window.show();
    QCOMPARE(window.MdiArea()->viewMode(), QMdiArea::SubWindowView);
    QAction* workbook = window.Action("WorkbookView");
    QCOMPARE(workbook->text(), QString("&Workbook View   "));
    QVERIFY(!workbook->isChecked());
    workbook->trigger();
    QCOMPARE(window.MdiArea()->viewMode(), QMdiArea::TabbedView);
    workbook->trigger();
    QCOMPARE(window.MdiArea()->viewMode(), QMdiArea::SubWindowView);

    QAction* contents = window.Action("ContentsBar");
    QCOMPARE(contents->text(), QString("&Contents Bar"));
    QVERIFY(contents->isChecked());
    contents->trigger();
    QTRY_VERIFY(!window.Tree()->isVisible());
    QVERIFY(!contents->isChecked());
    QCOMPARE(window.Action("Copy")->text(), QString("&Copy  \tCtrl+C"));
    QCOMPARE(window.Action("Copy")->iconText(), QString("Copy"));
}

QTEST_MAIN(TestShell)
#include "test_shell.moc"
