#pragma once

#include "core/drug_info.h"

#include <QDialog>

#include <cstdint>
#include <vector>

class QCheckBox;
class QLineEdit;
class QListWidget;

namespace doseplex::app {

// "Drug Selection": the component drugs of a combination and their ratio.
// The list shows every drug of the experiment; the ratio can be typed as one
// text ("1:2") or through the first two drugs' own fields.
class CDrugSelectionDialog final : public QDialog {
    Q_OBJECT
public:
    CDrugSelectionDialog(const CDrugInfo& record, const DrugList& drugs, QWidget* parent = nullptr);

    // After OK: the number of drugs, their positions in the drug list (list
    // order), the constant-ratio flag and one ratio entry per drug.
    int Count() const { return static_cast<int>(m_positions.size()); }
    const std::vector<std::uint16_t>& Positions() const { return m_positions; }
    bool ConstantRatio() const;
    std::vector<double> Ratio() const;

    QListWidget* List() const { return m_list; }
    QCheckBox* ConstantRatioBox() const { return m_constant; }
    QLineEdit* CountField() const { return m_count; }
    QLineEdit* DrugsField() const { return m_drugsText; }
    QLineEdit* RatioField() const { return m_ratioText; }
    QLineEdit* Drug1RatioField() const { return m_ratio1; }
    QLineEdit* Drug2RatioField() const { return m_ratio2; }

public slots:
    void accept() override;

private:
    // Which of the ratio fields was typed in last.
    enum class EField { None, Ratio, Drug1, Drug2 };

    void SelectionChanged();
    void Redisplay();
    // Takes the last typed ratio field into the entries; false (after the
    // message) when it is refused.
    bool TakeRatioField();

    const DrugList& m_drugs;
    std::vector<std::uint16_t> m_positions;
    // One entry per selected drug, in selection order, up to the largest
    // combination a record can hold.
    std::vector<double> m_ratio;
    EField m_lastField = EField::None;
    QListWidget* m_list;
    QLineEdit* m_count;
    QCheckBox* m_constant;
    QLineEdit* m_drugsText;
    QLineEdit* m_ratioText;
    QLineEdit* m_ratio1;
    QLineEdit* m_ratio2;
};

} // namespace doseplex::app
