#include "app/dialogs/format_cells_dialog.h"

#include "app/dialogs/dialog_helpers.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace doseplex::app {

namespace {

QColor ToQColor(std::uint32_t colour) {
    return QColor(static_cast<int>((colour >> 16) & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                  static_cast<int>(colour & 0xFF));
}

std::uint32_t FromQColor(const QColor& colour) {
    return CCellStyle::Colour(static_cast<std::uint8_t>(colour.red()),
                              static_cast<std::uint8_t>(colour.green()),
                              static_cast<std::uint8_t>(colour.blue()));
}

} // namespace

CFormatCellsDialog::CFormatCellsDialog(const CCellStyle& style, QWidget* parent)
    : QDialog(parent), m_style(style) {
    setWindowTitle(QStringLiteral("Format Cells"));
    auto* form = new QFormLayout;

    m_defaultFont = new QCheckBox(QStringLiteral("Default font"));
    m_defaultFont->setChecked(style.m_strFontName.empty());
    m_font = new QFontComboBox;
    if (!style.m_strFontName.empty()) {
        m_font->setCurrentFont(QFont(QString::fromStdString(style.m_strFontName)));
    }
    m_font->setEnabled(!m_defaultFont->isChecked());
    connect(m_defaultFont, &QCheckBox::toggled, m_font,
            [this](bool on) { m_font->setEnabled(!on); });
    form->addRow(m_defaultFont);
    AddLabelledRow(form, QStringLiteral("&Font:"), m_font);

    m_size = new QSpinBox;
    m_size->setRange(0, 72);
    m_size->setSpecialValueText(QStringLiteral("Default"));
    m_size->setValue(style.m_nFontSize / 10);
    AddLabelledRow(form, QStringLiteral("&Size:"), m_size);

    auto* flags = new QHBoxLayout;
    m_bold = new QCheckBox(QStringLiteral("&Bold"));
    m_italic = new QCheckBox(QStringLiteral("&Italic"));
    m_underline = new QCheckBox(QStringLiteral("&Underline"));
    m_strike = new QCheckBox(QStringLiteral("S&trikeout"));
    m_wrap = new QCheckBox(QStringLiteral("&Wrap text"));
    const std::pair<QCheckBox*, std::uint16_t> boxes[] = {{m_bold, CCellStyle::kBold},
                                                          {m_italic, CCellStyle::kItalic},
                                                          {m_underline, CCellStyle::kUnderline},
                                                          {m_strike, CCellStyle::kStrikeOut},
                                                          {m_wrap, CCellStyle::kWrapText}};
    for (const auto& [box, flag] : boxes) {
        box->setChecked((style.m_nFlags & flag) != 0);
        flags->addWidget(box);
    }
    form->addRow(flags);

    m_align = new QComboBox;
    m_align->addItems({QStringLiteral("General"), QStringLiteral("Left"), QStringLiteral("Centre"),
                       QStringLiteral("Right")});
    m_align->setCurrentIndex(style.m_nAlign <= 3 ? style.m_nAlign : 0);
    AddLabelledRow(form, QStringLiteral("&Horizontal alignment:"), m_align);
    m_vertical = new QComboBox;
    m_vertical->addItems(
        {QStringLiteral("Bottom"), QStringLiteral("Top"), QStringLiteral("Middle")});
    m_vertical->setCurrentIndex(style.m_nVerticalAlign <= 2 ? style.m_nVerticalAlign : 0);
    AddLabelledRow(form, QStringLiteral("&Vertical alignment:"), m_vertical);

    auto* colours = new QHBoxLayout;
    m_textColour = new QPushButton(QStringLiteral("Text &Colour..."));
    m_backColour = new QPushButton(QStringLiteral("Bac&kground..."));
    connect(m_textColour, &QPushButton::clicked, this, [this] {
        const QColor chosen = QColorDialog::getColor(
            m_style.m_nTextColour ? ToQColor(m_style.m_nTextColour) : QColor(Qt::black), this);
        if (chosen.isValid()) {
            SetTextColour(FromQColor(chosen));
        }
    });
    connect(m_backColour, &QPushButton::clicked, this, [this] {
        const QColor chosen = QColorDialog::getColor(
            m_style.m_nBackColour ? ToQColor(m_style.m_nBackColour) : QColor(Qt::white), this);
        if (chosen.isValid()) {
            SetBackColour(FromQColor(chosen));
        }
    });
    auto* resetColours = new QPushButton(QStringLiteral("&Automatic Colours"));
    connect(resetColours, &QPushButton::clicked, this, [this] {
        SetTextColour(0);
        SetBackColour(0);
    });
    colours->addWidget(m_textColour);
    colours->addWidget(m_backColour);
    colours->addWidget(resetColours);
    form->addRow(colours);

    // The frame: the same line on all four sides, or none.
    m_border = new QComboBox;
    m_border->addItems({QStringLiteral("None"), QStringLiteral("Thin"), QStringLiteral("Medium"),
                        QStringLiteral("Thick"), QStringLiteral("Dashed"), QStringLiteral("Dotted"),
                        QStringLiteral("Double")});
    m_border->setCurrentIndex(style.m_borders[0].m_nLine <= 6 ? style.m_borders[0].m_nLine : 0);
    AddLabelledRow(form, QStringLiteral("&Border:"), m_border);

    m_format = new QComboBox;
    m_format->setEditable(true);
    m_format->addItems({QString(), QStringLiteral("0"), QStringLiteral("0.00"),
                        QStringLiteral("0.000"), QStringLiteral("0%"), QStringLiteral("0.00%"),
                        QStringLiteral("0.00E+00")});
    m_format->setCurrentText(QString::fromStdString(style.m_strNumberFormat));
    AddLabelledRow(form, QStringLiteral("&Number format:"), m_format);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    ShowColours();
}

void CFormatCellsDialog::SetTextColour(std::uint32_t colour) {
    m_style.m_nTextColour = colour;
    ShowColours();
}

void CFormatCellsDialog::SetBackColour(std::uint32_t colour) {
    m_style.m_nBackColour = colour;
    ShowColours();
}

void CFormatCellsDialog::ShowColours() {
    const auto swatch = [](QPushButton* button, std::uint32_t colour) {
        button->setStyleSheet(
            colour ? QStringLiteral("border-left: 12px solid %1;").arg(ToQColor(colour).name())
                   : QString());
    };
    swatch(m_textColour, m_style.m_nTextColour);
    swatch(m_backColour, m_style.m_nBackColour);
}

CCellStyle CFormatCellsDialog::Style() const {
    CCellStyle style = m_style;
    style.m_strFontName =
        m_defaultFont->isChecked() ? std::string() : m_font->currentFont().family().toStdString();
    style.m_nFontSize = static_cast<std::uint16_t>(m_size->value() * 10);
    std::uint16_t flags = 0;
    const std::pair<QCheckBox*, std::uint16_t> boxes[] = {{m_bold, CCellStyle::kBold},
                                                          {m_italic, CCellStyle::kItalic},
                                                          {m_underline, CCellStyle::kUnderline},
                                                          {m_strike, CCellStyle::kStrikeOut},
                                                          {m_wrap, CCellStyle::kWrapText}};
    for (const auto& [box, flag] : boxes) {
        if (box->isChecked()) {
            flags = static_cast<std::uint16_t>(flags | flag);
        }
    }
    style.m_nFlags = flags;
    style.m_nAlign = static_cast<std::uint16_t>(m_align->currentIndex());
    style.m_nVerticalAlign = static_cast<std::uint16_t>(m_vertical->currentIndex());
    const auto line = static_cast<std::uint16_t>(m_border->currentIndex());
    for (CCellBorder& side : style.m_borders) {
        side.m_nLine = line;
        if (line == CCellBorder::kNone) {
            side.m_nColour = 0;
        }
    }
    style.m_strNumberFormat = m_format->currentText().trimmed().toStdString();
    return style;
}

} // namespace doseplex::app
