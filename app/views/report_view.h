#pragma once

#include "app/views/child_view.h"

#include <QFont>
#include <QPlainTextEdit>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class QPrinter;

namespace doseplex {
class CDoseplexDoc;
}

namespace doseplex::app {

class CAppSettings;

// A report window: the read-only text of the summary report or of one
// drug's report, with its tab stops and fonts, printing and export.
class CReportView final : public QPlainTextEdit, public CChildView {
    Q_OBJECT
public:
    CReportView(CDoseplexDoc& doc, CAppSettings& settings, QWidget* parent = nullptr);

    QString ViewClass() const override { return QStringLiteral("Report"); }

    // Shows `text` (UTF-8, CR LF line ends) as built at change stamp `builtAt`.
    void SetReport(const std::string& text, std::uint32_t builtAt);
    // The text as built, unchanged.
    const std::string& ReportText() const { return m_text; }
    std::uint32_t BuiltAt() const { return m_builtAt; }

    // Rebuilds the text for this window's own kind and drug when the
    // experiment changed since it was built. A cancelled build keeps the text.
    void Refresh();

    // Tab stops in dialog units (four to a character).
    int TabStopUnits() const { return m_tabStops; }
    void ApplyTabStops(int dialogUnits);

    bool HasPrinterFont() const { return m_printerFont.has_value(); }
    // The font printing uses: the printer font, or else the display font.
    QFont PrintingFont() const;
    void ApplyDisplayFont(const QFont& font);
    void ApplyPrinterFont(const QFont& font);

    // Writes the text to `path` (".txt" appended when the name has no
    // extension); shows the failure message and returns false on failure.
    bool ExportTo(QString path);
    // Prints on `printer`; the number of pages or -1. Remembers where each
    // page starts in the text.
    int PrintTo(QPrinter& printer);
    // The printed page holding the caret, and moving the caret to the start
    // of a page (scrolled into view), by the pages of the last printing.
    int CaretPage() const;
    void MoveCaretToPage(int page);

public slots:
    void ExportReport();
    void SetTabStops();
    void ChooseFont();
    void ChoosePrinterFont(QPrinter& printer);
    void MirrorDisplayFont();

signals:
    void optionsRequested();
    void printerFontRequested();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    CDoseplexDoc& m_doc;
    CAppSettings& m_settings;
    std::string m_text;
    std::uint32_t m_builtAt = 0;
    int m_tabStops = 48;
    std::optional<QFont> m_printerFont;
    std::vector<int> m_pageStarts;
};

} // namespace doseplex::app
