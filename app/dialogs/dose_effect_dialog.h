#pragma once

#include "core/drug_info.h"

#include <QDialog>

#include <memory>

class QLabel;
class QLineEdit;
class QTableWidget;

namespace doseplex::app {

// "Dose / Effect": one point of a record. A table with one "Dose" column and
// a row per dose to enter (the record's name, the first component's name, or
// every component's name), and the effect. OK checks the values and builds
// the point; Point() then holds it.
class CDoseEffectDialog final : public QDialog {
    Q_OBJECT
public:
    // `edited` is the point to edit, or null for a new point.
    CDoseEffectDialog(const CDrugInfo& record, const DrugList& drugs, const CDoseData* edited,
                      QWidget* parent = nullptr);

    // After OK: the new or changed point (null for a new point of a
    // constant-ratio combination whose record has no ratio).
    std::unique_ptr<CDoseData> TakePoint() { return std::move(m_point); }

    QTableWidget* Table() const { return m_table; }
    // The dose cell of row `row` (from 0).
    QLineEdit* DoseCell(int row) const;
    QLineEdit* EffectField() const { return m_effect; }
    QString CornerText() const;

public slots:
    void accept() override;

private:
    void PlaceCorner();

    const CDrugInfo& m_record;
    const CDoseData* m_edited;
    QTableWidget* m_table;
    QLineEdit* m_effect;
    QLabel* m_corner = nullptr;
    std::unique_ptr<CDoseData> m_point;
};

} // namespace doseplex::app
