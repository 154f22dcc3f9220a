#pragma once

#include "core/raw_sheet.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QFontComboBox;
class QPushButton;
class QSpinBox;

namespace doseplex::app {

// "Format Cells": font, text and background colour, alignment, frame and
// number format of the selected cells, starting from one cell's look.
class CFormatCellsDialog final : public QDialog {
    Q_OBJECT
public:
    explicit CFormatCellsDialog(const CCellStyle& style, QWidget* parent = nullptr);

    // The look as the dialog's fields now give it.
    CCellStyle Style() const;

    QFontComboBox* FontField() const { return m_font; }
    QSpinBox* SizeField() const { return m_size; }
    QCheckBox* BoldBox() const { return m_bold; }
    QCheckBox* ItalicBox() const { return m_italic; }
    QComboBox* AlignField() const { return m_align; }
    QComboBox* BorderField() const { return m_border; }
    QComboBox* NumberFormatField() const { return m_format; }
    void SetTextColour(std::uint32_t colour);
    void SetBackColour(std::uint32_t colour);

private:
    void ShowColours();

    CCellStyle m_style;
    QFontComboBox* m_font = nullptr;
    QCheckBox* m_defaultFont = nullptr;
    QSpinBox* m_size = nullptr;
    QCheckBox* m_bold = nullptr;
    QCheckBox* m_italic = nullptr;
    QCheckBox* m_underline = nullptr;
    QCheckBox* m_strike = nullptr;
    QCheckBox* m_wrap = nullptr;
    QComboBox* m_align = nullptr;
    QComboBox* m_vertical = nullptr;
    QComboBox* m_border = nullptr;
    QComboBox* m_format = nullptr;
    QPushButton* m_textColour = nullptr;
    QPushButton* m_backColour = nullptr;
};

} // namespace doseplex::app
