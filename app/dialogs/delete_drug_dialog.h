#pragma once

#include <QDialog>
#include <QStringList>

class QListWidget;

namespace doseplex::app {

// "Delete Drug": every drug name in list order; the chosen position.
class CDeleteDrugDialog final : public QDialog {
    Q_OBJECT
public:
    CDeleteDrugDialog(const QStringList& names, QWidget* parent = nullptr);
    // The selected drug id, or -1 when nothing is selected.
    int SelectedDrug() const;
    QListWidget* List() const { return m_list; }

private:
    QListWidget* m_list;
};

} // namespace doseplex::app
