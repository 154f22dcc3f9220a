#include "app/dialogs/tab_stops_dialog.h"

#include "app/dialogs/dialog_helpers.h"
#include "app/dialogs/option_form_dialog.h"
#include "app/platform/prompter.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace doseplex::app {

CTabStopsDialog::CTabStopsDialog(int characters, QWidget* parent)
    : QDialog(parent), m_field(new QLineEdit(QString::number(characters))),
      m_nCharacters(characters) {
    setWindowTitle(QStringLiteral("Set Tab Stops"));
    auto* form = new QFormLayout;
    AddLabelledRow(form, QStringLiteral("&Tab Stops:"), m_field);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons->button(QDialogButtonBox::Ok), &QPushButton::clicked, this,
            &CTabStopsDialog::TryAccept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

bool CTabStopsDialog::TryAccept() {
    QString message;
    const std::optional<double> value = ParseField(m_field->text(), true, message);
    if (value && (*value < 1 || *value > 16)) {
        message = QStringLiteral("Please enter an integer between 1 and 16.");
    }
    if (!message.isEmpty()) {
        Prompter().Message(this, message);
        m_field->setFocus();
        m_field->selectAll();
        return false;
    }
    m_nCharacters = static_cast<int>(*value);
    accept();
    return true;
}

} // namespace doseplex::app
