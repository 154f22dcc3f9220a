#include "app/dialogs/dialog_helpers.h"

#include <QFormLayout>
#include <QLabel>

namespace doseplex::app {

QString VisibleText(const QString& label) {
    QString text;
    for (qsizetype i = 0; i < label.size(); ++i) {
        if (label[i] == QLatin1Char('&') && i + 1 < label.size()) {
            ++i;
        }
        text += label[i];
    }
    return text;
}

QLabel* AddLabelledRow(QFormLayout* form, const QString& text, QWidget* field) {
    auto* label = new QLabel(text);
    label->setBuddy(field);
    field->setAccessibleName(VisibleText(text));
    form->addRow(label, field);
    return label;
}

} // namespace doseplex::app
