#pragma once

#include "core/graph_override.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;

namespace doseplex::app {

// "Graph Properties": a graph's axis ranges, automatic or fixed. Typing a
// limit clears that axis's "Auto" box. OK writes the override (and makes it
// active) only when every field reads and each fixed axis has its maximum
// above its minimum; Cancel leaves it untouched.
class CGraphPropertiesDialog final : public QDialog {
    Q_OBJECT
public:
    CGraphPropertiesDialog(CGraphOverride& override, QWidget* parent = nullptr);

    QCheckBox* AutoX() const { return m_autoX; }
    QCheckBox* AutoY() const { return m_autoY; }
    QLineEdit* XMin() const { return m_xMin; }
    QLineEdit* XMax() const { return m_xMax; }
    QLineEdit* YMin() const { return m_yMin; }
    QLineEdit* YMax() const { return m_yMax; }

    // The OK button's checks; on success writes the override and accepts.
    bool TryAccept();

private:
    CGraphOverride& m_override;
    QCheckBox* m_autoX;
    QCheckBox* m_autoY;
    QLineEdit* m_xMin;
    QLineEdit* m_xMax;
    QLineEdit* m_yMin;
    QLineEdit* m_yMax;
};

} // namespace doseplex::app
