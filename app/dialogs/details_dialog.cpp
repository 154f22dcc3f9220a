#include "app/dialogs/details_dialog.h"

#include "app/dialogs/dialog_helpers.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace doseplex::app {

CDetailsDialog::CDetailsDialog(const QString& title, const QString& investigator,
                               const QString& date, const QString& notes, QWidget* parent)
    : QDialog(parent), m_title(new QLineEdit(title)), m_investigator(new QLineEdit(investigator)),
      m_date(new QLineEdit(date)), m_notes(new QPlainTextEdit(notes)) {
    setWindowTitle(QStringLiteral("Experiment details"));
    m_title->setMaxLength(40);
    m_investigator->setMaxLength(40);
    m_date->setMaxLength(20);
    m_notes->setTabChangesFocus(true);
    auto* form = new QFormLayout;
    AddLabelledRow(form, QStringLiteral("&Title"), m_title);
    AddLabelledRow(form, QStringLiteral("&Investigator"), m_investigator);
    AddLabelledRow(form, QStringLiteral("Experiment &Date"), m_date);
    AddLabelledRow(form, QStringLiteral("&Notes"), m_notes);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

} // namespace doseplex::app
