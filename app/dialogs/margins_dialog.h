#pragma once

#include "core/settings.h"

#include <QDialog>

class QLineEdit;
class QRadioButton;

namespace doseplex::app {

// "Select Margins": the program-wide page margins and their unit. Switching
// the unit converts the shown values and the margins record at once; OK
// stores the four fields (the bottom margin must lie in 0..10).
class CMarginsDialog final : public QDialog {
    Q_OBJECT
public:
    CMarginsDialog(CMargins& margins, QWidget* parent = nullptr);

    QLineEdit* Field(int index) const { return m_fields[index]; } // left, right, top, bottom
    QRadioButton* Inches() const { return m_inches; }
    QRadioButton* Centimetres() const { return m_centimetres; }
    void SwitchUnit(bool metric);
    bool TryAccept();

private:
    void ShowMargins();
    bool ReadFields(CMargins& into);

    CMargins& m_margins;
    QLineEdit* m_fields[4];
    QRadioButton* m_inches;
    QRadioButton* m_centimetres;
};

} // namespace doseplex::app
