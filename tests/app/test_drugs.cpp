// Entering drugs by hand: Drug Properties, Drug Selection, Dose / Effect, the
// Add Drug Wizard, and the drug list's changes through the main window with
// undo.

#include "app_test_support.h"

#include "app/dialogs/add_drug_wizard.h"
#include "app/dialogs/dose_effect_dialog.h"
#include "app/dialogs/drug_dialog.h"
#include "app/dialogs/drug_selection_dialog.h"
#include "app/shell/contents_tree.h"
#include "app/views/report_view.h"
#include "core/document.h"
#include "entry/add_drug.h"
#include "entry/cell_range.h"
#include "entry/dose_entry.h"
#include "entry/ratio_text.h"

#include <QApplication>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QUndoStack>
#include <QtTest>

#include <functional>
#include <memory>

using namespace doseplex;
using namespace doseplex::app;
using namespace doseplex::app::testing;

namespace {

QString Q(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A single drug with the given (dose, effect) points.
std::shared_ptr<CDrugInfo> MakeDrug(const std::string& name,
                                    std::initializer_list<std::pair<double, double>> points) {
    auto record = std::make_shared<CDrugInfo>();
    record->m_strName = name;
    for (const auto& [dose, fa] : points) {
        auto point = record->CreatePoint(dose, fa, 1, nullptr);
        record->AddPoint(point);
    }
    return record;
}

// A combination of `ids` with a constant ratio of 1 each.
std::shared_ptr<CDrugInfo> MakeCombination(const std::string& name,
                                           std::vector<std::uint16_t> ids) {
    auto record = std::make_shared<CDrugInfo>();
    record->m_strName = name;
    const auto n = static_cast<std::uint16_t>(ids.size());
    record->SetComponents(n, ids.data());
    const std::vector<double> ratio(ids.size(), 1.0);
    record->SetRatio(n, ratio.data());
    record->SetConstantRatio(1);
    for (double dose : {1.0, 2.0, 4.0}) {
        auto point = record->CreatePoint(dose, dose / 5.0, n, ratio.data());
        record->AddPoint(point);
    }
    return record;
}

DrugList Drugs(int count) {
    DrugList drugs;
    for (int i = 0; i < count; ++i) {
        drugs.push_back(MakeDrug("D" + std::to_string(i + 1), {{1, 0.2}, {2, 0.4}, {4, 0.7}}));
    }
    return drugs;
}

// Runs `act` on the modal dialog of type T as soon as it shows.
template <class T> void WhenShown(std::function<void(T&)> act) {
    QTimer::singleShot(0, [act] {
        auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        act(*dialog);
    });
}

void SelectRows(QListWidget* list, std::initializer_list<int> rows) {
    for (int row : rows) {
        list->item(row)->setSelected(true);
    }
}

} // namespace

class TestDrugs : public QObject {
    Q_OBJECT
private slots:
    void wizardPageFlow_data();
    void wizardPageFlow();
    void wizardDrugsPageTexts();
    void wizardFinish_data();
    void wizardFinish();
    void wizardSelectButtonsFollowTheHook();
    void doseEffectChecks_data();
    void doseEffectChecks();
    void doseEffectTableLayout();
    void drugDialogListAndPreview();
    void drugDialogPointCommands();
    void drugDialogSelect();
    void drugSelectionRatio();
    void addAndUndoThroughTheWindow();
    void propertiesReplaceOrCancel();
    void deleteDrugRenumbersAndUndoes();
};

// --- Add Drug Wizard ---------------------------------------------------------------

void TestDrugs::wizardPageFlow_data() {
    QTest::addColumn<int>("drugCount");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("combination");
    QTest::addColumn<int>("selected");
    QTest::addColumn<QString>("ratio"); // "" keeps the filled-in ratio
    QTest::addColumn<int>("page");      // where the second Next leaves the wizard
    QTest::addColumn<QString>("message");
    const QString none;
    QTest::newRow("empty name") << 3 << "" << false << 0 << none << 0
                                << Q(entry::kNoDrugNameMessage);
    QTest::newRow("blank name") << 3 << "  " << false << 0 << none << 2 << none;
    QTest::newRow("combination in one-drug experiment")
        << 1 << "AB" << true << 0 << none << 0 << Q(entry::kTooFewDrugsMessage);
    QTest::newRow("one drug selected")
        << 3 << "AB" << true << 1 << none << 1 << Q(entry::kSelectTwoDrugsMessage);
    QTest::newRow("7 drugs") << 8 << "AB" << true << 7 << none << 1
                             << Q(entry::kTooManyDrugsMessage);
    QTest::newRow("6 drugs") << 8 << "AB" << true << 6 << none << 2 << none;
    QTest::newRow("ratio with a 0")
        << 3 << "AB" << true << 3 << "1 : 2 : 0" << 1 << Q(entry::kRatioFormatMessage);
    QTest::newRow("ratio too short")
        << 3 << "AB" << true << 3 << "1:2" << 1 << Q(entry::kRatioFormatMessage);
    QTest::newRow("ratio too long") << 3 << "AB" << true << 3 << "1:2:3:4" << 2 << none;
}

void TestDrugs::wizardPageFlow() {
    QFETCH(int, drugCount);
    QFETCH(QString, name);
    QFETCH(bool, combination);
    QFETCH(int, selected);
    QFETCH(QString, ratio);
    QFETCH(int, page);
    QFETCH(QString, message);
    CScriptedPrompter prompter;
    const DrugList drugs = Drugs(drugCount);
    CRawSheet sheet;
    CAddDrugWizard wizard(drugs, sheet);

    // The buttons of the name page.
    QCOMPARE(wizard.CurrentPage(), 0);
    QVERIFY(!wizard.BackButton()->isEnabled());
    QVERIFY(wizard.NextButton()->isEnabled());
    QVERIFY(!wizard.FinishButton()->isEnabled());

    wizard.NameField()->setText(name);
    (combination ? wizard.CombinationYes() : wizard.CombinationNo())->setChecked(true);
    wizard.Next();
    if (wizard.CurrentPage() == 1) {
        QVERIFY(wizard.BackButton()->isEnabled());
        QVERIFY(wizard.NextButton()->isEnabled());
        QVERIFY(!wizard.FinishButton()->isEnabled());
        for (int row = 0; row < selected; ++row) {
            wizard.DrugsList()->item(row)->setSelected(true);
        }
        if (!ratio.isEmpty()) {
            wizard.RatioField()->setText(ratio);
        }
        wizard.Next();
    }
    QCOMPARE(wizard.CurrentPage(), page);
    QCOMPARE(prompter.m_messages, message.isEmpty() ? QStringList() : QStringList{message});
    if (page == 2) {
        QVERIFY(wizard.BackButton()->isEnabled());
        QVERIFY(!wizard.NextButton()->isEnabled());
        QVERIFY(wizard.FinishButton()->isEnabled());
        // Back returns to where the wizard came from, keeping the answers.
        wizard.Back();
        QCOMPARE(wizard.CurrentPage(), combination ? 1 : 0);
        QCOMPARE(wizard.NameField()->text(), name);
    }
}

void TestDrugs::wizardDrugsPageTexts() {
    CScriptedPrompter prompter;
    const DrugList drugs = Drugs(4);
    CRawSheet sheet;
    CAddDrugWizard wizard(drugs, sheet);
    wizard.NameField()->setText(QStringLiteral("Mix"));
    wizard.CombinationYes()->setChecked(true);
    wizard.Next();
    QCOMPARE(wizard.CurrentPage(), 1);
    QVERIFY(wizard.ConstantYes()->isChecked());
    SelectRows(wizard.DrugsList(), {0, 2, 3});
    QCOMPARE(wizard.SelectedField()->text(), QStringLiteral("D1 : D3 : D4"));
    QCOMPARE(wizard.RatioField()->text(), QStringLiteral("1:1:1"));
    wizard.ConstantNo()->setChecked(true);
    QVERIFY(wizard.RatioField()->text().isEmpty());
    QVERIFY(!wizard.RatioField()->isEnabled());
    wizard.ConstantYes()->setChecked(true);
    QCOMPARE(wizard.RatioField()->text(), QStringLiteral("1:1:1"));

    // Without a constant ratio every drug has a dose row with its name.
    wizard.ConstantNo()->setChecked(true);
    wizard.Next();
    QCOMPARE(wizard.CurrentPage(), 2);
    QCOMPARE(wizard.DoseRowLabel(1)->text(), QStringLiteral("D1"));
    QCOMPARE(wizard.DoseRowLabel(3)->text(), QStringLiteral("D4"));
    QVERIFY(!wizard.DoseRangeField(3)->isHidden());
    QVERIFY(wizard.DoseRangeField(4)->isHidden());
    QCOMPARE(wizard.DoseRangeField(2)->accessibleName(), QStringLiteral("D3"));
}

void TestDrugs::wizardFinish_data() {
    QTest::addColumn<bool>("combination");
    QTest::addColumn<bool>("constant");
    QTest::addColumn<QString>("effects");
    QTest::addColumn<QStringList>("doses");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("points");
    const QString ok;
    QTest::newRow("shorter dose range")
        << false << true << "A2..A9" << QStringList{"B2..B6"} << ok << 5;
    QTest::newRow("lower case") << false << true << "a2..a4" << QStringList{"b2..b4"} << ok << 3;
    QTest::newRow("text dose") << false << true << "A2..A9" << QStringList{"C2..C9"}
                               << Q(entry::kPointValuesMessage) << 0;
    QTest::newRow("effect of 1") << false << true << "D2..D3" << QStringList{"B2..B3"}
                                 << Q(entry::kPointValuesMessage) << 0;
    QTest::newRow("effect not a range") << false << true << "A2:A9" << QStringList{"B2..B9"}
                                        << Q(entry::RangeFormatMessage("Effect")) << 0;
    QTest::newRow("dose two columns") << false << true << "A2..A9" << QStringList{"B2..C9"}
                                      << Q(entry::RangeOneColumnMessage("New")) << 0;
    QTest::newRow("dose one row") << false << true << "A2..A9" << QStringList{"B2..B2"}
                                  << Q(entry::RangeTwoPointsMessage("New")) << 0;
    QTest::newRow("five digits") << false << true << "A12345..A12350" << QStringList{"B2..B9"}
                                 << Q(entry::RangeFormatMessage("Effect")) << 0;
    QTest::newRow("combination constant")
        << true << true << "A2..A5" << QStringList{"B2..B5"} << ok << 4;
    QTest::newRow("combination second drug checked")
        << true << false << "A2..A5" << QStringList{"B2..B5", "E2"}
        << Q(entry::RangeFormatMessage("D2")) << 0;
    QTest::newRow("combination varying ratio")
        << true << false << "A2..A5" << QStringList{"B2..B5", "E2..E5"} << ok << 4;
}

void TestDrugs::wizardFinish() {
    QFETCH(bool, combination);
    QFETCH(bool, constant);
    QFETCH(QString, effects);
    QFETCH(QStringList, doses);
    QFETCH(QString, message);
    QFETCH(int, points);
    CScriptedPrompter prompter;
    const DrugList drugs = Drugs(2);
    // A: effects, B: doses, C: words, D: an effect of 1, E: second drug's doses.
    CRawSheet sheet;
    for (int row = 2; row <= 9; ++row) {
        sheet.SetText(row, 1, std::to_string(0.1 * (row - 1)));
        sheet.SetText(row, 2, std::to_string(row));
        sheet.SetText(row, 3, "dose");
        sheet.SetText(row, 5, std::to_string(2 * row));
    }
    sheet.SetText(2, 4, "0.5");
    sheet.SetText(3, 4, "1");

    CAddDrugWizard wizard(drugs, sheet);
    wizard.NameField()->setText(QStringLiteral("New"));
    wizard.UnitsField()->setText(QStringLiteral("uM"));
    if (combination) {
        wizard.CombinationYes()->setChecked(true);
        wizard.Next();
        SelectRows(wizard.DrugsList(), {0, 1});
        (constant ? wizard.ConstantYes() : wizard.ConstantNo())->setChecked(true);
        if (constant) {
            wizard.RatioField()->setText(QStringLiteral("1:3"));
        }
    }
    wizard.Next();
    QCOMPARE(wizard.CurrentPage(), 2);
    wizard.EffectRangeField()->setText(effects);
    for (int row = 0; row < doses.size(); ++row) {
        wizard.DoseRangeField(row + 1)->setText(doses[row]);
    }
    wizard.Finish();
    QCOMPARE(prompter.m_messages, message.isEmpty() ? QStringList() : QStringList{message});
    QCOMPARE(wizard.result(), message.isEmpty() ? int(QDialog::Accepted) : int(QDialog::Rejected));
    std::unique_ptr<CDrugInfo> record = wizard.TakeRecord();
    if (!message.isEmpty()) {
        QVERIFY(!record);
        QCOMPARE(wizard.CurrentPage(), 2);
        return;
    }
    QVERIFY(record);
    QCOMPARE(record->PointCount(), points);
    QCOMPARE(record->m_strUnits, std::string("uM"));
    QCOMPARE(record->PointDose(0), 2.0);
    QCOMPARE(record->PointEffect(0), 0.1);
    if (combination) {
        QCOMPARE(record->m_nComponents, std::uint16_t(2));
        QCOMPARE(record->m_bConstantRatio, constant ? 1 : 0);
        const double* ratio = record->GetRatio(2, 1);
        QVERIFY(ratio);
        // Constant: 1 : 3 as typed; varying: the row's doses 2 and 4 as 1 : 2.
        QCOMPARE(ratio[1] / ratio[0], constant ? 3.0 : 2.0);
    }
}

void TestDrugs::wizardSelectButtonsFollowTheHook() {
    CScriptedPrompter prompter;
    const DrugList drugs = Drugs(1);
    CRawSheet sheet;
    {
        CAddDrugWizard wizard(drugs, sheet);
        QVERIFY(!wizard.SelectButton(0)->isEnabled());
        QVERIFY(!wizard.SelectButton(1)->isEnabled());
    }
    QStringList asked;
    SetRangeSelectHook([&asked](QWidget*, QString& range) {
        asked.append(range);
        range = QStringLiteral("C1..C4");
        return true;
    });
    {
        CAddDrugWizard wizard(drugs, sheet);
        wizard.NameField()->setText(QStringLiteral("X"));
        wizard.Next();
        wizard.EffectRangeField()->setText(QStringLiteral("A1..A2"));
        QVERIFY(wizard.SelectButton(0)->isEnabled());
        wizard.SelectButton(0)->click();
        wizard.SelectButton(1)->click();
        QCOMPARE(asked, (QStringList{QStringLiteral("A1..A2"), QString()}));
        QCOMPARE(wizard.EffectRangeField()->text(), QStringLiteral("C1..C4"));
        QCOMPARE(wizard.DoseRangeField(1)->text(), QStringLiteral("C1..C4"));
    }
    SetRangeSelectHook(nullptr);
}

// --- Dose / Effect -------------------------------------------------------------------

void TestDrugs::doseEffectChecks_data() {
    QTest::addColumn<bool>("combination");
    QTest::addColumn<QStringList>("doses");
    QTest::addColumn<QString>("effect");
    QTest::addColumn<QString>("message");
    QTest::addColumn<double>("secondRatio"); // ratio entry 2 over entry 1
    const QString ok;
    QTest::newRow("effect 1") << false << QStringList{"2"} << "1" << Q(entry::kEffectRangeMessage)
                              << 0.0;
    QTest::newRow("effect 0") << false << QStringList{"2"} << "0" << Q(entry::kEffectRangeMessage)
                              << 0.0;
    QTest::newRow("effect 0.9999") << false << QStringList{"2"} << "0.9999" << ok << 0.0;
    QTest::newRow("dose 0") << false << QStringList{"0"} << "0.5" << Q(entry::kDoseInvalidMessage)
                            << 0.0;
    QTest::newRow("dose text") << false << QStringList{"two"} << "0.5"
                               << Q(entry::kDoseInvalidMessage) << 0.0;
    QTest::newRow("doses 2 and 1") << true << QStringList{"2", "1"} << "0.5" << ok << 0.5;
    QTest::newRow("doses 1 and 4") << true << QStringList{"1", "4"} << "0.5" << ok << 4.0;
    QTest::newRow("second dose empty")
        << true << QStringList{"1", ""} << "0.5" << Q(entry::kDoseInvalidMessage) << 0.0;
}

void TestDrugs::doseEffectChecks() {
    QFETCH(bool, combination);
    QFETCH(QStringList, doses);
    QFETCH(QString, effect);
    QFETCH(QString, message);
    QFETCH(double, secondRatio);
    CScriptedPrompter prompter;
    const DrugList drugs = Drugs(2);
    CDrugInfo record;
    record.m_strName = "R";
    if (combination) {
        const std::uint16_t ids[] = {0, 1};
        record.SetComponents(2, ids);
        record.SetConstantRatio(0);
    }
    CDoseEffectDialog dialog(record, drugs, nullptr);
    QCOMPARE(dialog.Table()->rowCount(), int(doses.size()));
    for (int row = 0; row < doses.size(); ++row) {
        dialog.DoseCell(row)->setText(doses[row]);
    }
    dialog.EffectField()->setText(effect);
    dialog.accept();
    QCOMPARE(prompter.m_messages, message.isEmpty() ? QStringList() : QStringList{message});
    QCOMPARE(dialog.result(), message.isEmpty() ? int(QDialog::Accepted) : int(QDialog::Rejected));
    std::unique_ptr<CDoseData> point = dialog.TakePoint();
    QCOMPARE(point != nullptr, message.isEmpty());
    if (point && combination) {
        // Normalised so that the smallest entry is 1: 2 : 1 and 1 : 4.
        QCOMPARE(point->RatioAt(1) / point->RatioAt(0), secondRatio);
        QCOMPARE(std::min(point->RatioAt(0), point->RatioAt(1)), 1.0);
    }
}

void TestDrugs::doseEffectTableLayout() {
    const DrugList drugs = Drugs(2);
    CDrugInfo record;
    record.m_strName = "Mix";
    const std::uint16_t ids[] = {0, 1};
    record.SetComponents(2, ids);
    record.SetConstantRatio(0);
    const double ratio[] = {1.0, 2.5};
    std::unique_ptr<CDoseData> point = record.CreatePoint(0.1, 0.25, 2, ratio);
    CDoseEffectDialog dialog(record, drugs, point.get());
    QTableWidget* table = dialog.Table();
    QCOMPARE(table->horizontalHeaderItem(0)->text(), QStringLiteral("Dose"));
    QCOMPARE(dialog.CornerText(), QStringLiteral("Drug Name"));
    QCOMPARE(table->verticalHeaderItem(0)->text(), QStringLiteral("D1"));
    QCOMPARE(table->verticalHeaderItem(1)->text(), QStringLiteral("D2"));
    // "%.13g": the second drug's dose from the point's own ratio.
    QCOMPARE(dialog.DoseCell(0)->text(), QStringLiteral("0.1"));
    QCOMPARE(dialog.DoseCell(1)->accessibleName(), QStringLiteral("D2"));
    QCOMPARE(dialog.DoseCell(1)->text(), QStringLiteral("0.25"));
    QCOMPARE(dialog.EffectField()->text(), QStringLiteral("0.25"));
}

// --- Drug Properties -------------------------------------------------------------

void TestDrugs::drugDialogListAndPreview() {
    CScriptedPrompter prompter;
    const DrugList drugs = Drugs(2);
    auto record = MakeDrug("One", {{2.5, 0.5}, {2.5, 0.6}});
    CDrugDialog dialog(record, drugs);
    QCOMPARE(dialog.DoseLines(),
             (QStringList{QStringLiteral("2.5\t0.5000"), QStringLiteral("2.5\t0.6000")}));
    QCOMPARE(dialog.Field("Drugs:")->text(), QStringLiteral("Not a combination"));
    QCOMPARE(dialog.Field("Ratio:")->text(), QStringLiteral("Not a combination"));
    // One dose only: the median-effect plot has nothing to show; the
    // dose-effect curve has.
    QVERIFY(dialog.MedianEffectButton()->isChecked());
    QVERIFY(!dialog.Preview()->HasSeries());
    dialog.DoseEffectButton()->setChecked(true);
    QVERIFY(dialog.Preview()->HasSeries());
    QCOMPARE(dialog.Preview()->Graph().m_strTitle, std::string("Dose-effect curve"));
    dialog.MedianEffectButton()->setChecked(true);
    QVERIFY(!dialog.Preview()->HasSeries());

    // A second dose makes the median-effect plot and the fit.
    WhenShown<CDoseEffectDialog>([](CDoseEffectDialog& entry) {
        entry.DoseCell(0)->setText(QStringLiteral("5"));
        entry.EffectField()->setText(QStringLiteral("0.8"));
        entry.accept();
    });
    dialog.NewPoint();
    QCOMPARE(dialog.DoseLines().size(), 3);
    QCOMPARE(dialog.DoseLines().constLast(), QStringLiteral("5\t0.8000"));
    QVERIFY(dialog.Preview()->HasSeries());
    QCOMPARE(dialog.Preview()->Graph().m_strTitle, std::string("Median-effect plot"));
    QVERIFY(!dialog.Field("m:")->text().isEmpty());
    QVERIFY(!dialog.Field("Dm:")->text().isEmpty());
    // Drawn through the engine without a fault at a small and odd size.
    dialog.Preview()->resize(241, 181);
    QVERIFY(!dialog.Preview()->grab().isNull());
    dialog.DoseList()->setCurrentRow(2);
    QCOMPARE(dialog.Field("Dose:")->text(), QStringLiteral("5"));
}

void TestDrugs::drugDialogPointCommands() {
    CScriptedPrompter prompter;
    const DrugList drugs = Drugs(1);
    auto record = MakeDrug("One", {{1, 0.2}, {2, 0.4}});
    CDrugDialog dialog(record, drugs);

    // Edit then Cancel leaves the point as it was.
    dialog.DoseList()->setCurrentRow(1);
    WhenShown<CDoseEffectDialog>([](CDoseEffectDialog& entry) {
        entry.DoseCell(0)->setText(QStringLiteral("9"));
        entry.reject();
    });
    dialog.EditPoint();
    QCOMPARE(record->PointDose(1), 2.0);
    QCOMPARE(dialog.PointUndo()->count(), 0);

    // Edit with OK changes it; Undo and Redo move between both.
    dialog.DoseList()->setCurrentRow(1);
    WhenShown<CDoseEffectDialog>([](CDoseEffectDialog& entry) {
        QCOMPARE(entry.DoseCell(0)->text(), QStringLiteral("2"));
        entry.DoseCell(0)->setText(QStringLiteral("3"));
        entry.accept();
    });
    dialog.EditPoint();
    QCOMPARE(record->PointDose(1), 3.0);
    dialog.PointUndo()->undo();
    QCOMPARE(record->PointDose(1), 2.0);
    QCOMPARE(dialog.DoseLines().constLast(), QStringLiteral("2\t0.4000"));
    dialog.PointUndo()->redo();
    QCOMPARE(record->PointDose(1), 3.0);

    // Delete asks first; No keeps the point.
    dialog.DoseList()->setCurrentRow(0);
    prompter.m_answers = {QMessageBox::No, QMessageBox::Yes};
    dialog.DeletePoint();
    QCOMPARE(record->PointCount(), 2);
    dialog.DeletePoint();
    QCOMPARE(prompter.m_questions,
             QStringList(2, QStringLiteral("Are you sure you want to delete this dose?")));
    QCOMPARE(record->PointCount(), 1);
    dialog.PointUndo()->undo();
    QCOMPARE(record->PointCount(), 2);
    QCOMPARE(record->PointDose(0), 1.0);
    QVERIFY(prompter.m_messages.isEmpty());
}

void TestDrugs::drugDialogSelect() {
    CScriptedPrompter prompter;
    const DrugList drugs = Drugs(3);
    // With points: the message, and the components stay.
    auto withPoints = MakeDrug("One", {{1, 0.2}});
    {
        CDrugDialog dialog(withPoints, drugs);
        dialog.SelectDrugs();
        QCOMPARE(prompter.m_messages,
                 QStringList{QStringLiteral("This value must be set BEFORE you enter any doses.")});
        QCOMPARE(withPoints->m_nComponents, std::uint16_t(1));
    }
    // Without points: Drug Selection sets components and ratio.
    auto empty = std::make_shared<CDrugInfo>();
    CDrugDialog dialog(empty, drugs);
    WhenShown<CDrugSelectionDialog>([](CDrugSelectionDialog& selection) {
        SelectRows(selection.List(), {0, 2});
        selection.RatioField()->setText(QStringLiteral("1:4"));
        emit selection.RatioField()->textEdited(selection.RatioField()->text());
        selection.accept();
    });
    dialog.SelectDrugs();
    QCOMPARE(empty->m_nComponents, std::uint16_t(2));
    QCOMPARE(empty->m_pComponents, (std::vector<std::uint16_t>{0, 2}));
    QCOMPARE(empty->m_pRatio, (std::vector<double>{1.0, 4.0}));
    QCOMPARE(dialog.Field("Drugs:")->text(),
             QString::fromStdString(empty->ComponentListText(drugs)));
    QCOMPARE(dialog.Field("Ratio:")->text(), QString::fromStdString(empty->RatioText(-1)));
}

void TestDrugs::drugSelectionRatio() {
    CScriptedPrompter prompter;
    const DrugList drugs = Drugs(3);
    CDrugInfo record;
    CDrugSelectionDialog dialog(record, drugs);
    SelectRows(dialog.List(), {0, 1});
    QCOMPARE(dialog.CountField()->text(), QStringLiteral("2"));
    QCOMPARE(dialog.DrugsField()->text(), QStringLiteral("D1, D2"));
    QCOMPARE(dialog.RatioField()->text(), QStringLiteral("1: 1"));
    // Drug 2's own field becomes entry 2.
    dialog.Drug2RatioField()->setText(QStringLiteral("2.5"));
    emit dialog.Drug2RatioField()->textEdited(QStringLiteral("2.5"));
    emit dialog.Drug2RatioField()->editingFinished();
    QCOMPARE(dialog.RatioField()->text(), QStringLiteral("1: 2.5"));
    // A ratio with a 0 is refused and keeps the dialog open.
    dialog.RatioField()->setText(QStringLiteral("1:0"));
    emit dialog.RatioField()->textEdited(QStringLiteral("1:0"));
    dialog.accept();
    QCOMPARE(prompter.m_messages, QStringList{Q(entry::kRatioFormatMessage)});
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    dialog.RatioField()->setText(QStringLiteral("2 : 3"));
    emit dialog.RatioField()->textEdited(QStringLiteral("2 : 3"));
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.Ratio(), (std::vector<double>{2.0, 3.0}));
    QCOMPARE(dialog.Positions(), (std::vector<std::uint16_t>{0, 1}));
}

// --- The commands in the main window ------------------------------------------------

void TestDrugs::addAndUndoThroughTheWindow() {
    CAppFixture app;
    QVERIFY(app.m_window->NewExperiment());
    CDoseplexDoc* doc = app.m_window->Document();
    QUndoStack* undo = app.m_window->UndoStack();
    QVERIFY(!app.m_window->Action("Undo")->isEnabled());

    // Add Drug Manually: a record without points is not added.
    WhenShown<CDrugDialog>([](CDrugDialog& dialog) {
        dialog.NameField()->setText(QStringLiteral("Empty"));
        dialog.accept();
    });
    QVERIFY(!app.m_window->AddDrugManually());
    QCOMPARE(doc->DrugCount(), 0);
    QVERIFY(!doc->IsModified());

    WhenShown<CDrugDialog>([](CDrugDialog& dialog) {
        dialog.NameField()->setText(QStringLiteral("Typed"));
        for (const char* dose : {"1", "2", "4", "8"}) {
            WhenShown<CDoseEffectDialog>([dose](CDoseEffectDialog& entry) {
                entry.DoseCell(0)->setText(QString::fromLatin1(dose));
                entry.EffectField()->setText(QString::number(std::atof(dose) / 10.0));
                entry.accept();
            });
            dialog.NewPoint();
        }
        dialog.accept();
    });
    QVERIFY(app.m_window->AddDrugManually());
    QCOMPARE(doc->DrugCount(), 1);
    QCOMPARE(doc->GetDrug(0)->PointCount(), 4);
    QVERIFY(doc->IsModified());
    QVERIFY(app.m_window->Action("Undo")->isEnabled());
    QVERIFY(
        !app.m_window->Tree()->findItems(QStringLiteral("Typed"), Qt::MatchRecursive).isEmpty());

    // The wizard on typed ranges of the (new) raw-data sheet.
    QVERIFY(!doc->m_pRawData);
    WhenShown<CAddDrugWizard>([doc](CAddDrugWizard& wizard) {
        QVERIFY(doc->m_pRawData);
        doc->m_pRawData->SetText(1, 1, "0.3");
        doc->m_pRawData->SetText(2, 1, "0.6");
        doc->m_pRawData->SetText(1, 2, "1");
        doc->m_pRawData->SetText(2, 2, "3");
        wizard.NameField()->setText(QStringLiteral("Sheet"));
        wizard.Next();
        wizard.EffectRangeField()->setText(QStringLiteral("A1..A2"));
        wizard.DoseRangeField(1)->setText(QStringLiteral("B1..B2"));
        wizard.Finish();
    });
    QVERIFY(app.m_window->AddDrugWithWizard());
    QCOMPARE(doc->DrugCount(), 2);
    QCOMPARE(doc->GetDrug(1)->m_strName, std::string("Sheet"));

    undo->undo();
    QCOMPARE(doc->DrugCount(), 1);
    QVERIFY(app.m_window->Tree()->findItems(QStringLiteral("Sheet"), Qt::MatchRecursive).isEmpty());
    undo->undo();
    QCOMPARE(doc->DrugCount(), 0);
    QVERIFY(!app.m_window->Action("Undo")->isEnabled());
    QVERIFY(app.m_window->Action("Redo")->isEnabled());
    undo->redo();
    undo->redo();
    QCOMPARE(doc->DrugCount(), 2);
    QCOMPARE(doc->GetDrug(1)->m_strName, std::string("Sheet"));

    // A new experiment starts with nothing to undo.
    doc->SetModifiedFlag(false);
    QVERIFY(app.m_window->NewExperiment());
    QCOMPARE(undo->count(), 0);
}

void TestDrugs::propertiesReplaceOrCancel() {
    CAppFixture app;
    QVERIFY(app.m_window->NewExperiment());
    CDoseplexDoc* doc = app.m_window->Document();
    QVERIFY(app.m_window->AddDrug(MakeDrug("A", {{1, 0.2}, {2, 0.4}, {4, 0.7}})));
    doc->SetModifiedFlag(false);
    CReportView* report = app.m_window->OpenDrugReport(0);
    QVERIFY(report);
    const std::string before = report->ReportText();
    CDrugInfo* original = doc->GetDrug(0);

    // Cancel drops the copy: the same record, unchanged and not modified.
    WhenShown<CDrugDialog>([](CDrugDialog& dialog) {
        dialog.NameField()->setText(QStringLiteral("Renamed"));
        dialog.reject();
    });
    QVERIFY(!app.m_window->DrugProperties(0));
    QCOMPARE(doc->GetDrug(0), original);
    QCOMPARE(original->m_strName, std::string("A"));
    QVERIFY(!doc->IsModified());

    // OK replaces the record; the report follows, the tree shows the name.
    WhenShown<CDrugDialog>([](CDrugDialog& dialog) {
        dialog.NameField()->setText(QStringLiteral("Renamed"));
        WhenShown<CDoseEffectDialog>([](CDoseEffectDialog& entry) {
            entry.DoseCell(0)->setText(QStringLiteral("8"));
            entry.EffectField()->setText(QStringLiteral("0.9"));
            entry.accept();
        });
        dialog.NewPoint();
        dialog.accept();
    });
    QVERIFY(app.m_window->DrugProperties(0));
    QVERIFY(doc->GetDrug(0) != original);
    QCOMPARE(doc->GetDrug(0)->m_strName, std::string("Renamed"));
    QCOMPARE(doc->GetDrug(0)->PointCount(), 4);
    QCOMPARE(original->PointCount(), 3);
    QVERIFY(doc->IsModified());
    QVERIFY(report->ReportText() != before);
    QVERIFY(report->ReportText().find("Renamed") != std::string::npos);
    QVERIFY(
        !app.m_window->Tree()->findItems(QStringLiteral("Renamed"), Qt::MatchRecursive).isEmpty());

    // Undo brings the old record back, and the report with it.
    app.m_window->UndoStack()->undo();
    QCOMPARE(doc->GetDrug(0), original);
    QCOMPARE(report->ReportText(), before);
}

void TestDrugs::deleteDrugRenumbersAndUndoes() {
    CAppFixture app;
    QVERIFY(app.m_window->NewExperiment());
    CDoseplexDoc* doc = app.m_window->Document();
    for (const char* name : {"A", "B", "C"}) {
        QVERIFY(app.m_window->AddDrug(MakeDrug(name, {{1, 0.2}, {2, 0.4}, {4, 0.7}})));
    }
    QVERIFY(app.m_window->AddDrug(MakeCombination("A+C", {0, 2})));
    QVERIFY(app.m_window->ApplySummaryGraphs({0, 1, 3}, 5, 3));
    CReportView* combinationReport = app.m_window->OpenDrugReport(3);
    QVERIFY(combinationReport);

    // Refused while the combination uses it.
    app.m_prompter.m_answers = {QMessageBox::Yes, QMessageBox::Yes};
    QVERIFY(!app.m_window->DeleteDrug(0));
    QCOMPARE(app.m_prompter.m_messages,
             QStringList{QStringLiteral("This drug is referred to by other entries.  You must "
                                        "delete all references first.")});
    QCOMPARE(doc->DrugCount(), 4);
    QCOMPARE(doc->m_summaryDrugs.size(), std::size_t(3));

    // B goes; the combination now names ids 0 and 1, and its window moves.
    CDrugInfo* b = doc->GetDrug(1);
    QVERIFY(app.m_window->DeleteDrug(1));
    QCOMPARE(doc->DrugCount(), 3);
    QCOMPARE(doc->GetDrug(2)->m_pComponents, (std::vector<std::uint16_t>{0, 1}));
    QCOMPARE(combinationReport->m_nDrug, 2);
    QCOMPARE(doc->m_summaryDrugs.size(), std::size_t(2));

    app.m_window->UndoStack()->undo();
    QCOMPARE(doc->DrugCount(), 4);
    QCOMPARE(doc->GetDrug(1), b);
    QCOMPARE(doc->GetDrug(3)->m_pComponents, (std::vector<std::uint16_t>{0, 2}));
    QCOMPARE(combinationReport->m_nDrug, 3);
    QCOMPARE(doc->m_summaryDrugs,
             (std::vector<CDrugInfo*>{doc->GetDrug(0), doc->GetDrug(1), doc->GetDrug(3)}));
    app.m_window->UndoStack()->redo();
    QCOMPARE(doc->DrugCount(), 3);
    QCOMPARE(doc->GetDrug(2)->m_pComponents, (std::vector<std::uint16_t>{0, 1}));
}

QTEST_MAIN(TestDrugs)
#include "test_drugs.moc"
