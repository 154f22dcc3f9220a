#pragma once

#include "entry/cell_range.h"

#include <QDialog>

#include <optional>

class QTableView;

namespace doseplex::app {

class CRawSheetModel;

// "Select Data": the experiment's raw-data sheet (the same model as the grid
// window, so it can be edited here too), on which the user marks a range.
class CSelectDataDialog final : public QDialog {
    Q_OBJECT
public:
    // `range`: a range reference to select at the start; empty selects
    // nothing.
    CSelectDataDialog(CRawSheetModel& model, const QString& range, QWidget* parent = nullptr);

    QTableView* Grid() const { return m_grid; }
    // The reference of the first selected range ("A1..A12"); empty with
    // nothing selected. Set when the dialog is accepted.
    const QString& Range() const { return m_range; }

    void accept() override;

private:
    QTableView* m_grid = nullptr;
    QString m_range;
};

// What the Add Drug Wizard's "Select" buttons call: shows the Select Data
// dialog on `model` starting from `range`; the chosen reference on OK (empty
// when nothing was selected), nothing on Cancel.
std::optional<QString> SelectDataRange(CRawSheetModel& model, const QString& range,
                                       QWidget* parent);

// The wizard's check of a range text for `label` ("Effect" or the drug's
// name): the range, or nothing after the check's message was shown.
std::optional<entry::CCellRange> CheckDataRangeOrTell(const QString& range, const QString& label,
                                                      QWidget* parent);

} // namespace doseplex::app
