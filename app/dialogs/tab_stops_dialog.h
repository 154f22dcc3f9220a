#pragma once

#include <QDialog>

class QLineEdit;

namespace doseplex::app {

// "Set Tab Stops": the report windows' tab stop interval in characters,
// 1..16.
class CTabStopsDialog final : public QDialog {
    Q_OBJECT
public:
    CTabStopsDialog(int characters, QWidget* parent = nullptr);
    int Characters() const { return m_nCharacters; }
    QLineEdit* Field() const { return m_field; }
    // Checks the field; closes the dialog when it holds 1..16.
    bool TryAccept();

private:
    QLineEdit* m_field;
    int m_nCharacters;
};

} // namespace doseplex::app
