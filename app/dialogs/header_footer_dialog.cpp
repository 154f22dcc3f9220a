#include "app/dialogs/header_footer_dialog.h"

#include "app/dialogs/dialog_helpers.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace doseplex::app {

CHeaderFooterDialog::CHeaderFooterDialog(const QString& header, const QString& footer,
                                         QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("Edit Header & Footer"));
    auto* form = new QFormLayout;
    m_header = new QLineEdit(header);
    m_footer = new QLineEdit(footer);
    m_header->setMinimumWidth(320);
    AddLabelledRow(form, QStringLiteral("&Header:"), m_header);
    AddLabelledRow(form, QStringLiteral("&Footer:"), m_footer);
    // A label shows "&" as typed: only buddies and buttons take mnemonics.
    auto* hint = new QLabel(QStringLiteral("&P prints the page number, &N the number of pages."));
    hint->setTextFormat(Qt::PlainText);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(hint);
    layout->addWidget(buttons);
}

} // namespace doseplex::app
