#pragma once

#include <QString>

class QFormLayout;
class QLabel;
class QWidget;

namespace doseplex::app {

// The visible text of a label: without its mnemonic marks ("&&" stays "&").
QString VisibleText(const QString& label);

// Adds `field` to `form` under a label of `text` that is its buddy (so the
// mnemonic moves the focus there) and gives the field the label's visible
// text as its accessible name.
QLabel* AddLabelledRow(QFormLayout* form, const QString& text, QWidget* field);

} // namespace doseplex::app
