// The setup and experiment dialogs: their checks and messages, what they
// store, and the progress dialog of long builds.

#include "app_test_support.h"

#include "app/dialogs/delete_drug_dialog.h"
#include "app/dialogs/details_dialog.h"
#include "app/dialogs/margins_dialog.h"
#include "app/dialogs/option_form_dialog.h"
#include "app/dialogs/summary_graphs_dialog.h"
#include "app/models/engine_calls.h"
#include "core/document.h"
#include "core/message_sink.h"
#include "core/text_import.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QtTest>

#include <memory>
#include <thread>

using namespace doseplex;
using namespace doseplex::app;
using namespace doseplex::app::testing;

class TestDialogs : public QObject {
    Q_OBJECT
private slots:
    void optionsChecks_data();
    void optionsChecks();
    void optionsSetDefaults();
    void graphSetupChecks_data();
    void graphSetupChecks();
    void marginsUnitSwitchAndBottomRange();
    void detailsLimits();
    void summaryGraphsSelection();
    void summaryGraphsReachTheExperiment();
    void deleteDrugSelection();
    void labelsNameTheirFields();
    void longWorkShowsProgressAndCancels();
    void engineMessagesReachTheWindowThread();
    void hugeRepeatCountAsksFirst();
};

void TestDialogs::optionsChecks_data() {
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("entered");
    QTest::addColumn<QString>("message");
    QTest::newRow("repeats 32767") << "ReportRepeats"
                                   << "32767"
                                   << "";
    QTest::newRow("repeats 32768") << "ReportRepeats"
                                   << "32768"
                                   << "Please enter an integer between 0 and 32767.";
    QTest::newRow("repeats text") << "GraphRepeats"
                                  << "many"
                                  << "Please enter an integer.";
    QTest::newRow("effect 0 passes") << "EffectStep"
                                     << "0"
                                     << "";
    QTest::newRow("effect 1 passes") << "Effect3"
                                     << "1"
                                     << "";
    QTest::newRow("effect 1.5") << "Effect1"
                                << "1.5"
                                << "Please enter a number between 0 and 1.";
    QTest::newRow("effect text") << "EffectEnd"
                                 << "x"
                                 << "Please enter a number.";
    QTest::newRow("sd 10") << "sdMultiple"
                           << "10"
                           << "";
    QTest::newRow("sd 10.5") << "sdMultiple"
                             << "10.5"
                             << "Please enter a number between 0 and 10.";
}

void TestDialogs::optionsChecks() {
    QFETCH(QString, key);
    QFETCH(QString, entered);
    QFETCH(QString, message);
    CScriptedPrompter prompter;
    const CAnalysisOptions start;
    std::unique_ptr<COptionFormDialog> dialog(COptionFormDialog::ForAnalysis(start, nullptr));
    QCOMPARE(dialog->windowTitle(), QString("Options"));
    QCOMPARE(dialog->Field("Effect1")->text(), QString("0.5"));
    QCOMPARE(dialog->Field("sdMultiple")->text(), QString("1.96"));
    QLineEdit* field = dialog->Field(key.toStdString());
    QVERIFY(field);
    field->setText(entered);
    dialog->CheckBox("MonteCarlo")->setChecked(true);
    const bool accepted = dialog->TryAccept(false);
    QCOMPARE(accepted, message.isEmpty());
    QCOMPARE(prompter.m_messages, message.isEmpty() ? QStringList() : QStringList{message});
    if (accepted) {
        QCOMPARE(dialog->result(), int(QDialog::Accepted));
        QCOMPARE(dialog->Analysis().m_nMonteCarlo, 1);
        QVERIFY(!dialog->DefaultsChosen());
        // NonExCI has no control and passes through.
        QCOMPARE(dialog->Analysis().m_nNonExCI, start.m_nNonExCI);
    } else {
        QVERIFY(dialog->Analysis() == start);
    }
}

void TestDialogs::optionsSetDefaults() {
    CAppFixture app;
    QVERIFY(app.m_window->StartWith({}));
    std::unique_ptr<COptionFormDialog> dialog(
        COptionFormDialog::ForAnalysis(app.m_window->Document()->m_analysis, nullptr));
    dialog->Field("ReportRepeats")->setText("500");
    QVERIFY(dialog->TryAccept(true));
    QVERIFY(dialog->DefaultsChosen());
    app.m_window->ApplyOptions(dialog->Analysis(), dialog->DefaultsChosen());
    QCOMPARE(app.m_window->Document()->m_analysis.m_nReportRepeats, 500);
    QCOMPARE(app.m_store.ReadInt("ReportDefaults", "ReportRepeats", 0), 500);
    // A new experiment starts from the new defaults.
    QVERIFY(app.m_window->NewExperiment() || app.m_window->Document());
    app.m_prompter.m_answers = {QMessageBox::Discard};
    QVERIFY(app.m_window->NewExperiment());
    QCOMPARE(app.m_window->Document()->m_analysis.m_nReportRepeats, 500);

    // Graph View Setup and its Set defaults the same way.
    std::unique_ptr<COptionFormDialog> graphs(
        COptionFormDialog::ForGraphs(app.m_window->Document()->m_graph, nullptr));
    graphs->Field("GraphsPerRow")->setText("3");
    graphs->CheckBox("CIPoints")->setChecked(false);
    QVERIFY(graphs->TryAccept(false));
    app.m_window->ApplyGraphSetup(graphs->Graphs(), graphs->DefaultsChosen());
    QCOMPARE(app.m_window->Document()->m_graph.m_nGraphsPerRow, 3);
    QCOMPARE(app.m_window->Document()->m_graph.m_nCIPoints, 0);
    QVERIFY(app.m_window->Document()->IsModified());
    QCOMPARE(app.m_store.ReadInt("GraphOptions", "GraphsPerRow", 0), 0);
    app.m_window->ApplyGraphSetup(graphs->Graphs(), true);
    QCOMPARE(app.m_store.ReadInt("GraphOptions", "GraphsPerRow", 0), 3);
}

void TestDialogs::graphSetupChecks_data() {
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("entered");
    QTest::addColumn<QString>("message");
    QTest::newRow("row 4") << "GraphsPerRow"
                           << "4"
                           << "";
    QTest::newRow("row 5") << "GraphsPerRow"
                           << "5"
                           << "Please enter an integer between 1 and 4.";
    QTest::newRow("page 0") << "GraphsPerPage"
                            << "0"
                            << "Please enter an integer between 1 and 6.";
    QTest::newRow("page 6") << "GraphsPerPage"
                            << "6"
                            << "";
}

void TestDialogs::graphSetupChecks() {
    QFETCH(QString, key);
    QFETCH(QString, entered);
    QFETCH(QString, message);
    CScriptedPrompter prompter;
    std::unique_ptr<COptionFormDialog> dialog(COptionFormDialog::ForGraphs({}, nullptr));
    QCOMPARE(dialog->windowTitle(), QString("Graph View Setup"));
    dialog->Field(key.toStdString())->setText(entered);
    dialog->CheckBox("LogPlots")->setChecked(false);
    QCOMPARE(dialog->TryAccept(false), message.isEmpty());
    QCOMPARE(prompter.m_messages, message.isEmpty() ? QStringList() : QStringList{message});
    if (message.isEmpty()) {
        QCOMPARE(dialog->Graphs().m_nLogPlots, 0);
    }
}

void TestDialogs::marginsUnitSwitchAndBottomRange() {
    CScriptedPrompter prompter;
    CMargins margins;
    CMarginsDialog dialog(margins);
    QCOMPARE(dialog.windowTitle(), QString("Select Margins"));
    QVERIFY(dialog.Inches()->isChecked());
    dialog.Centimetres()->click();
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(dialog.Field(i)->text(), QString("1.27"));
    }
    // The switch acts on the margins record at once.
    QVERIFY(margins.m_bMetric);
    QCOMPARE(margins.m_dLeft, 1.27);

    dialog.Field(3)->setText("11");
    QVERIFY(!dialog.TryAccept());
    QCOMPARE(prompter.m_messages.size(), 1);
    QCOMPARE(margins.m_dBottom, 1.27);
    dialog.Field(3)->setText("10");
    dialog.Field(0)->setText("25");
    QVERIFY(dialog.TryAccept());
    QCOMPARE(margins.m_dBottom, 10.0);
    QCOMPARE(margins.m_dLeft, 25.0);
}

void TestDialogs::detailsLimits() {
    CDetailsDialog dialog("T", "I", "D", "line 1\nline 2");
    QCOMPARE(dialog.windowTitle(), QString("Experiment details"));
    QCOMPARE(dialog.TitleField()->maxLength(), 40);
    QCOMPARE(dialog.InvestigatorField()->maxLength(), 40);
    QCOMPARE(dialog.DateField()->maxLength(), 20);
    QCOMPARE(dialog.NotesField()->toPlainText(), QString("line 1\nline 2"));
}

void TestDialogs::summaryGraphsSelection() {
    CScriptedPrompter prompter;
    CSummaryGraphsDialog dialog({"A", "B", "A+B"}, {2}, 5, 3);
    QCOMPARE(dialog.DisplayList()->count(), 1);
    dialog.DrugList()->item(0)->setSelected(true);
    dialog.DrugList()->item(2)->setSelected(true);
    dialog.Add();
    QCOMPARE(dialog.Selection(), (std::vector<int>{2, 0}));
    dialog.DisplayList()->item(0)->setSelected(true);
    dialog.Remove();
    QCOMPARE(dialog.Selection(), (std::vector<int>{0}));
    dialog.AddAll();
    QCOMPARE(dialog.Selection(), (std::vector<int>{0, 1, 2}));
    dialog.RemoveAll();
    QVERIFY(dialog.Selection().empty());

    dialog.PerMedianField()->setText("7");
    QVERIFY(!dialog.TryAccept());
    QCOMPARE(prompter.m_messages, QStringList{"Please enter an integer between 1 and 6."});
    dialog.PerMedianField()->setText("6");
    dialog.PerCIField()->setText("4");
    QVERIFY(dialog.TryAccept());
    QCOMPARE(dialog.DrugsPerMedianGraph(), 6);
    QCOMPARE(dialog.DrugsPerCIGraph(), 4);
}

void TestDialogs::summaryGraphsReachTheExperiment() {
    CAppFixture app;
    QVERIFY(app.m_window->ImportExperiment(Example("two-drug.txt")));
    CDoseplexDoc& doc = *app.m_window->Document();
    doc.SetModifiedFlag(false);
    QVERIFY(app.m_window->ApplySummaryGraphs({2, 0}, 4, 2));
    QCOMPARE(doc.m_summaryDrugs, (std::vector<CDrugInfo*>{doc.GetDrug(2), doc.GetDrug(0)}));
    QCOMPARE(doc.m_nDrugsPerMedianGraph, 4);
    QCOMPARE(doc.m_nDrugsPerCIGraph, 2);
    QVERIFY(doc.IsModified());
}

void TestDialogs::deleteDrugSelection() {
    CDeleteDrugDialog dialog({"A", "B"});
    QCOMPARE(dialog.SelectedDrug(), -1);
    dialog.List()->item(1)->setSelected(true);
    QCOMPARE(dialog.SelectedDrug(), 1);
}

void TestDialogs::labelsNameTheirFields() {
    std::unique_ptr<COptionFormDialog> options(COptionFormDialog::ForAnalysis({}, nullptr));
    const QList<QLabel*> labels = options->findChildren<QLabel*>();
    int labelled = 0;
    for (QLabel* label : labels) {
        if (QWidget* buddy = label->buddy()) {
            QCOMPARE(buddy->accessibleName(), QString(label->text()).remove('&'));
            ++labelled;
        }
    }
    QCOMPARE(labelled, 11);
    QCOMPARE(options->CheckBox("EffectTable")->accessibleName(),
             QString("Always Display Dose-Effect"));
    QCOMPARE(options->Field("sdMultiple")->accessibleName(), QString("Multiplier for s.d. :"));
}

void TestDialogs::longWorkShowsProgressAndCancels() {
    QWidget parent;
    // Quick work: no dialog, the result arrives.
    bool ran = false;
    QVERIFY(RunCancellable(&parent, "quick", [&ran](const CBuildControl&) {
        ran = true;
        return true;
    }));
    QVERIFY(ran);
    QVERIFY(parent.findChildren<QProgressDialog*>().isEmpty());

    // Long work: the dialog appears after half a second; Cancel stops it and
    // the caller gets no result.
    bool sawDialog = false;
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* progress = qobject_cast<QProgressDialog*>(widget);
                progress && progress->isVisible()) {
                sawDialog = true;
                QPushButton* cancel = progress->findChild<QPushButton*>();
                QVERIFY(cancel);
                QCOMPARE(cancel->text(), QString("Cancel"));
                cancel->click();
            }
        }
    });
    poll.start(50);
    QElapsedTimer clock;
    clock.start();
    const bool finished = RunCancellable(&parent, "long", [](const CBuildControl& control) {
        QElapsedTimer spent;
        spent.start();
        while (!control.m_cancel->load() && spent.elapsed() < 20000) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    });
    poll.stop();
    QVERIFY(!finished);
    QVERIFY(sawDialog);
    QVERIFY(clock.elapsed() >= 450);
    QVERIFY(clock.elapsed() < 15000);
}

void TestDialogs::engineMessagesReachTheWindowThread() {
    QStringList shown;
    QList<QThread*> threads;
    {
        CEngineMessages messages([&](const QString& text) {
            shown.append(text);
            threads.append(QThread::currentThread());
        });
        QVERIFY(RunCancellable(nullptr, "work", [](const CBuildControl&) {
            ShowMessage("Negative dose");
            return true;
        }));
        ShowMessage("Bad effect");
    }
    QCOMPARE(shown, (QStringList{"Negative dose", "Bad effect"}));
    QCOMPARE(threads, (QList<QThread*>{qApp->thread(), qApp->thread()}));
    // Removed again: the engine's default sink is back.
    CCollectingMessageSink collected;
    CScopedMessageSink scope(collected);
    ShowMessage("after");
    QCOMPARE(collected.m_messages.size(), size_t(1));
}

void TestDialogs::hugeRepeatCountAsksFirst() {
    // A count no dialog would accept, as a file can store it: the report is
    // built only when the user says so; with the simulation off nobody asks.
    CDoseplexDoc doc;
    CImportError error;
    QVERIFY(ImportTextFile(Example("two-drug.txt").toStdString(), doc, error));
    doc.m_analysis.m_nMonteCarlo = 1;
    doc.m_analysis.m_nReportRepeats = 2147483647;
    CScriptedPrompter prompter;
    const CReportRequest combination{false, 2};
    prompter.m_answers = {QMessageBox::No};
    QVERIFY(!BuildReportInBackground(nullptr, doc, combination).has_value());
    QCOMPARE(prompter.m_questions.size(), 1);
    QVERIFY(prompter.m_questions[0].startsWith(
        "The experiment's ReportRepeats is 2147483647, outside its range 0 to 32767."));

    doc.m_analysis.m_nReportRepeats = -5;
    prompter.m_answers = {QMessageBox::Yes};
    const auto text = BuildReportInBackground(nullptr, doc, combination);
    QVERIFY(text.has_value());
    QVERIFY(text->find("MC Failed") != std::string::npos);

    doc.m_analysis.m_nMonteCarlo = 0;
    doc.m_analysis.m_nReportRepeats = 2147483647;
    QVERIFY(BuildReportInBackground(nullptr, doc, combination).has_value());
    QCOMPARE(prompter.m_questions.size(), 2);
}

QTEST_MAIN(TestDialogs)
#include "test_dialogs.moc"
