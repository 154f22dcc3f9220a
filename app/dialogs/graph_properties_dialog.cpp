#include "app/dialogs/graph_properties_dialog.h"

#include "app/dialogs/dialog_helpers.h"
#include "app/dialogs/option_form_dialog.h"
#include "app/platform/prompter.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <cmath>
#include <optional>

namespace doseplex::app {

namespace {

QGroupBox* AxisBox(const QString& title, QCheckBox*& autoBox, QLineEdit*& minField,
                   QLineEdit*& maxField, bool automatic, double min, double max) {
    auto* box = new QGroupBox(title);
    auto* form = new QFormLayout(box);
    autoBox = new QCheckBox(QStringLiteral("Auto"));
    autoBox->setAccessibleName(title + QStringLiteral(" Auto"));
    autoBox->setChecked(automatic);
    form->addRow(autoBox);
    minField = new QLineEdit(QString::asprintf("%g", min));
    maxField = new QLineEdit(QString::asprintf("%g", max));
    AddLabelledRow(form, QStringLiteral("Minimum"), minField);
    AddLabelledRow(form, QStringLiteral("Maximum"), maxField);
    minField->setAccessibleName(title + QStringLiteral(" Minimum"));
    maxField->setAccessibleName(title + QStringLiteral(" Maximum"));
    // Any change of a limit means the user wants that axis fixed.
    for (QLineEdit* field : {minField, maxField}) {
        QObject::connect(field, &QLineEdit::textChanged, autoBox,
                         [autoBox] { autoBox->setChecked(false); });
    }
    return box;
}

} // namespace

CGraphPropertiesDialog::CGraphPropertiesDialog(CGraphOverride& override, QWidget* parent)
    : QDialog(parent), m_override(override) {
    setWindowTitle(QStringLiteral("Graph Properties"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(AxisBox(QStringLiteral("X Axis"), m_autoX, m_xMin, m_xMax,
                              override.m_bAutoX != 0, override.m_xMin, override.m_xMax));
    layout->addWidget(AxisBox(QStringLiteral("Y Axis"), m_autoY, m_yMin, m_yMax,
                              override.m_bAutoY != 0, override.m_yMin, override.m_yMax));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons->button(QDialogButtonBox::Ok), &QPushButton::clicked, this,
            &CGraphPropertiesDialog::TryAccept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

bool CGraphPropertiesDialog::TryAccept() {
    QLineEdit* fields[4] = {m_xMin, m_xMax, m_yMin, m_yMax};
    double values[4] = {};
    for (int i = 0; i < 4; ++i) {
        QString message;
        std::optional<double> value = ParseField(fields[i]->text(), false, message);
        // "inf" and "nan" read as numbers but give no axis.
        if (value && !std::isfinite(*value)) {
            value.reset();
            message = QStringLiteral("Please enter a number.");
        }
        if (!value) {
            Prompter().Message(this, message);
            fields[i]->setFocus();
            fields[i]->selectAll();
            return false;
        }
        values[i] = *value;
    }
    const bool autoX = m_autoX->isChecked();
    const bool autoY = m_autoY->isChecked();
    if (!autoX && !(values[1] > values[0])) {
        Prompter().Message(
            this,
            QStringLiteral("Please ensure the Maximum X axis value is greater than the minimum"));
        m_xMax->setFocus();
        return false;
    }
    if (!autoY && !(values[3] > values[2])) {
        Prompter().Message(
            this,
            QStringLiteral("Please ensure the Maximum Y axis value is greater than the minimum"));
        m_yMax->setFocus();
        return false;
    }
    m_override.m_bAutoX = autoX ? 1 : 0;
    m_override.m_xMin = values[0];
    m_override.m_xMax = values[1];
    m_override.m_bAutoY = autoY ? 1 : 0;
    m_override.m_yMin = values[2];
    m_override.m_yMax = values[3];
    m_override.m_bActive = 1;
    accept();
    return true;
}

} // namespace doseplex::app
