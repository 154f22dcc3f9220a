#include "app/dialogs/margins_dialog.h"

#include "app/dialogs/dialog_helpers.h"
#include "app/dialogs/option_form_dialog.h"
#include "app/platform/prompter.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace doseplex::app {

CMarginsDialog::CMarginsDialog(CMargins& margins, QWidget* parent)
    : QDialog(parent), m_margins(margins) {
    setWindowTitle(QStringLiteral("Select Margins"));
    auto* form = new QFormLayout;
    const char* labels[4] = {"&Left:", "&Right:", "&Top:", "&Bottom:"};
    for (int i = 0; i < 4; ++i) {
        m_fields[i] = new QLineEdit;
        AddLabelledRow(form, QString::fromUtf8(labels[i]), m_fields[i]);
    }
    m_inches = new QRadioButton(QStringLiteral("&Inches"));
    m_inches->setAccessibleName(QStringLiteral("Inches"));
    m_centimetres = new QRadioButton(QStringLiteral("Ce&ntimetres"));
    m_centimetres->setAccessibleName(QStringLiteral("Centimetres"));
    (m_margins.m_bMetric ? m_centimetres : m_inches)->setChecked(true);
    form->addRow(m_inches);
    form->addRow(m_centimetres);
    connect(m_inches, &QRadioButton::clicked, this, [this] { SwitchUnit(false); });
    connect(m_centimetres, &QRadioButton::clicked, this, [this] { SwitchUnit(true); });
    ShowMargins();

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons->button(QDialogButtonBox::Ok), &QPushButton::clicked, this,
            &CMarginsDialog::TryAccept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

void CMarginsDialog::ShowMargins() {
    const double values[4] = {m_margins.m_dLeft, m_margins.m_dRight, m_margins.m_dTop,
                              m_margins.m_dBottom};
    for (int i = 0; i < 4; ++i) {
        m_fields[i]->setText(QString::asprintf("%g", values[i]));
    }
}

bool CMarginsDialog::ReadFields(CMargins& into) {
    double* targets[4] = {&into.m_dLeft, &into.m_dRight, &into.m_dTop, &into.m_dBottom};
    for (int i = 0; i < 4; ++i) {
        QString message;
        const std::optional<double> value = ParseField(m_fields[i]->text(), false, message);
        if (!value) {
            Prompter().Message(this, message);
            m_fields[i]->setFocus();
            m_fields[i]->selectAll();
            return false;
        }
        *targets[i] = *value;
    }
    return true;
}

void CMarginsDialog::SwitchUnit(bool metric) {
    if (metric == m_margins.m_bMetric) {
        return;
    }
    CMargins shown = m_margins;
    if (!ReadFields(shown)) {
        (m_margins.m_bMetric ? m_centimetres : m_inches)->setChecked(true);
        return;
    }
    SetMarginUnit(shown, metric);
    m_margins = shown;
    ShowMargins();
}

bool CMarginsDialog::TryAccept() {
    CMargins entered = m_margins;
    if (!ReadFields(entered)) {
        return false;
    }
    if (const auto problem = ValidateMarginsDialog(entered)) {
        Prompter().Message(this, QString::fromStdString(problem->m_message));
        m_fields[3]->setFocus();
        m_fields[3]->selectAll();
        return false;
    }
    m_margins = entered;
    accept();
    return true;
}

} // namespace doseplex::app
