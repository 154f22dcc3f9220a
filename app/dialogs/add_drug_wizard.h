#pragma once

#include "core/drug_info.h"
#include "core/raw_sheet.h"

#include <QDialog>

#include <array>
#include <functional>
#include <memory>

class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QStackedWidget;

namespace doseplex::app {

// Picks a range of the raw-data sheet for a range field of the wizard: given
// the field's text, returns true with the chosen range's text ("A2..A9") in
// it, or false when the user cancelled. The raw-data grid's Select Data
// dialog provides it; while none is set the "Select" buttons are disabled.
using RangeSelectHook = std::function<bool(QWidget* parent, QString& range)>;
void SetRangeSelectHook(RangeSelectHook hook);
const RangeSelectHook& CurrentRangeSelectHook();

// "Add Drug Wizard": a drug or combination built from columns of the
// raw-data sheet, in three pages shown one at a time: the name and kind, the
// drugs of a combination and their ratio, and the ranges of the effects and
// doses. OK only after Finish built the record; Record() then holds it.
class CAddDrugWizard final : public QDialog {
    Q_OBJECT
public:
    enum EPage { kNamePage = 0, kDrugsPage = 1, kDataPage = 2 };

    CAddDrugWizard(const DrugList& drugs, const CRawSheet& sheet, QWidget* parent = nullptr);

    std::unique_ptr<CDrugInfo> TakeRecord() { return std::move(m_record); }
    int CurrentPage() const;

    void Next();
    void Back();
    void Finish();

    QLineEdit* NameField() const { return m_name; }
    QLineEdit* CommentField() const { return m_comment; }
    QLineEdit* UnitsField() const { return m_units; }
    QRadioButton* CombinationYes() const { return m_combinationYes; }
    QRadioButton* CombinationNo() const { return m_combinationNo; }
    QListWidget* DrugsList() const { return m_list; }
    QLineEdit* SelectedField() const { return m_selected; }
    QRadioButton* ConstantYes() const { return m_constantYes; }
    QRadioButton* ConstantNo() const { return m_constantNo; }
    QLineEdit* RatioField() const { return m_ratio; }
    QLineEdit* EffectRangeField() const { return m_effectRange; }
    // Dose rows are numbered 1 to 6; Select button 0 is the effect's.
    QLineEdit* DoseRangeField(int row) const {
        return m_doseRanges[static_cast<std::size_t>(row - 1)];
    }
    QLabel* DoseRowLabel(int row) const { return m_doseLabels[static_cast<std::size_t>(row - 1)]; }
    QPushButton* SelectButton(int row) const {
        return m_selectButtons[static_cast<std::size_t>(row)];
    }
    QPushButton* BackButton() const { return m_back; }
    QPushButton* NextButton() const { return m_next; }
    QPushButton* FinishButton() const { return m_finish; }

private:
    void ShowPage(int page);
    void DrugSelectionChanged();
    void ConstantRatioChanged();
    bool IsSingle() const;
    std::vector<std::uint16_t> SelectedPositions() const;
    // Asks the range hook for field `field`'s range.
    void SelectRange(QLineEdit* field);

    const DrugList& m_drugs;
    const CRawSheet& m_sheet;
    std::unique_ptr<CDrugInfo> m_record;
    std::vector<double> m_ratioValues;
    QStackedWidget* m_pages;
    QLineEdit* m_name;
    QLineEdit* m_comment;
    QLineEdit* m_units;
    QRadioButton* m_combinationYes;
    QRadioButton* m_combinationNo;
    QListWidget* m_list;
    QLineEdit* m_selected;
    QRadioButton* m_constantYes;
    QRadioButton* m_constantNo;
    QLabel* m_ratioLabel;
    QLineEdit* m_ratio;
    QLineEdit* m_effectRange;
    std::array<QLabel*, 6> m_doseLabels{};
    std::array<QLineEdit*, 6> m_doseRanges{};
    // Slot 0 is the effect's, 1 to 6 the dose rows'.
    std::array<QPushButton*, 7> m_selectButtons{};
    QPushButton* m_back;
    QPushButton* m_next;
    QPushButton* m_finish;
};

} // namespace doseplex::app
