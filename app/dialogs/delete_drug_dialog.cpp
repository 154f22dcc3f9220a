#include "app/dialogs/delete_drug_dialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

namespace doseplex::app {

CDeleteDrugDialog::CDeleteDrugDialog(const QStringList& names, QWidget* parent)
    : QDialog(parent), m_list(new QListWidget) {
    setWindowTitle(QStringLiteral("Delete Drug"));
    auto* label = new QLabel(QStringLiteral("Select Drug to Delete"));
    label->setBuddy(m_list);
    m_list->setAccessibleName(QStringLiteral("Select Drug to Delete"));
    m_list->addItems(names);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_list, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(m_list);
    layout->addWidget(buttons);
}

int CDeleteDrugDialog::SelectedDrug() const {
    const QList<QListWidgetItem*> selected = m_list->selectedItems();
    return selected.isEmpty() ? -1 : m_list->row(selected.constFirst());
}

} // namespace doseplex::app
