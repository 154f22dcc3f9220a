#include "app/views/report_view.h"

#include "app/dialogs/tab_stops_dialog.h"
#include "app/models/engine_calls.h"
#include "app/platform/app_settings.h"
#include "app/platform/prompter.h"
#include "app/platform/report_printer.h"
#include "core/document.h"

#include <QContextMenuEvent>
#include <QFileInfo>
#include <QFontDialog>
#include <QGuiApplication>
#include <QMenu>
#include <QPrinter>
#include <QScreen>

namespace doseplex::app {

namespace {

double ScreenDpi() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->logicalDotsPerInchY() : 96.0;
}

} // namespace

CReportView::CReportView(CDoseplexDoc& doc, CAppSettings& settings, QWidget* parent)
    : QPlainTextEdit(parent), m_doc(doc), m_settings(settings) {
    setReadOnly(true);
    setUndoRedoEnabled(false);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    QPalette colours = palette();
    colours.setColor(QPalette::Base, Qt::white);
    colours.setColor(QPalette::Text, Qt::black);
    setPalette(colours);
    setAccessibleName(QStringLiteral("Report"));

    const CViewSettings& stored = m_settings.m_view.m_settings;
    if (stored.m_font.m_nHeight != 0) {
        setFont(FontFromDescription(stored.m_font, ScreenDpi()));
    }
    if (stored.m_printFont.m_nHeight != 0) {
        // The printer font is stored in printer pixels; a high-resolution
        // printer has 1200 of them to the inch.
        m_printerFont = FontFromDescription(stored.m_printFont, 1200.0);
    }
    ApplyTabStops(stored.m_nTabStops);
}

void CReportView::SetReport(const std::string& text, std::uint32_t builtAt) {
    m_text = text;
    m_builtAt = builtAt;
    QString shown = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    setPlainText(shown);
}

void CReportView::Refresh() {
    if (m_doc.m_lastChange == m_builtAt) {
        return;
    }
    CReportRequest request;
    request.m_bSummary = m_nKind == kSummaryReportWindow;
    request.m_nDrug = m_nDrug;
    const std::uint32_t stamp = m_doc.m_lastChange;
    if (auto text = BuildReportInBackground(this, m_doc, request)) {
        SetReport(*text, stamp);
    }
}

void CReportView::ApplyTabStops(int dialogUnits) {
    m_tabStops = dialogUnits;
    setTabStopDistance(TabStopPixels(dialogUnits, font()));
}

QFont CReportView::PrintingFont() const {
    return m_printerFont ? *m_printerFont : font();
}

void CReportView::ApplyDisplayFont(const QFont& chosen) {
    setFont(chosen);
    ApplyTabStops(m_tabStops);
    m_settings.m_view.m_settings.m_font = DescriptionFromFont(chosen, ScreenDpi());
}

void CReportView::ApplyPrinterFont(const QFont& chosen) {
    m_printerFont = chosen;
    m_settings.m_view.m_settings.m_printFont = DescriptionFromFont(chosen, 1200.0);
}

void CReportView::MirrorDisplayFont() {
    if (!m_printerFont) {
        return;
    }
    m_printerFont.reset();
    m_settings.m_view.m_settings.m_printFont = CFontDescription{};
}

bool CReportView::ExportTo(QString path) {
    if (QFileInfo(path).suffix().isEmpty()) {
        path += QStringLiteral(".txt");
    }
    std::string error;
    if (!WriteReportFile(m_text, path.toStdString(), error)) {
        Prompter().Message(
            this, QStringLiteral("There was a problem opening the file to write the report to."));
        return false;
    }
    return true;
}

void CReportView::ExportReport() {
    const QString path =
        Prompter().SaveFileName(this, QStringLiteral("Export Report"), QString(),
                                QStringLiteral("Text Files (*.txt);;All Files (*)"), QString());
    if (!path.isEmpty()) {
        ExportTo(path);
    }
}

void CReportView::SetTabStops() {
    CTabStopsDialog dialog(m_tabStops / 4, this);
    if (dialog.exec() == QDialog::Accepted) {
        ApplyTabStops(dialog.Characters() * 4);
        m_settings.m_view.m_settings.m_nTabStops = m_tabStops;
    }
}

void CReportView::ChooseFont() {
    bool ok = false;
    const QFont chosen = QFontDialog::getFont(&ok, font(), this, QStringLiteral("Font"));
    if (ok) {
        ApplyDisplayFont(chosen);
    }
}

void CReportView::ChoosePrinterFont(QPrinter& printer) {
    if (!printer.isValid()) {
        Prompter().Message(this, QStringLiteral("Cannot get printer device defaults."));
        return;
    }
    bool ok = false;
    const QFont chosen =
        QFontDialog::getFont(&ok, PrintingFont(), this, QStringLiteral("Printer Font"));
    if (ok) {
        ApplyPrinterFont(chosen);
    }
}

int CReportView::PrintTo(QPrinter& printer) {
    CReportPageTexts texts;
    texts.m_experiment = QString::fromStdString(m_doc.m_strTitle);
    texts.m_date = QString::fromStdString(m_doc.m_strDate);
    texts.m_fileName = QString::fromStdString(m_doc.m_strDocumentTitle);
    return PrintReport(printer, toPlainText(), PrintingFont(), m_tabStops,
                       m_settings.m_page.m_margins, texts, &m_pageStarts);
}

int CReportView::CaretPage() const {
    return PageOfPosition(m_pageStarts, textCursor().position());
}

void CReportView::MoveCaretToPage(int page) {
    if (page < 1 || page > static_cast<int>(m_pageStarts.size())) {
        return;
    }
    QTextCursor cursor = textCursor();
    cursor.setPosition(m_pageStarts[static_cast<size_t>(page - 1)]);
    setTextCursor(cursor);
    ensureCursorVisible();
}

void CReportView::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    QAction* copy = menu.addAction(QStringLiteral("&Copy"), this, &QPlainTextEdit::copy);
    copy->setEnabled(textCursor().hasSelection());
    menu.addAction(QStringLiteral("Select &All"), this, &QPlainTextEdit::selectAll);
    menu.addAction(QStringLiteral("Export Report..."), this, &CReportView::ExportReport);
    menu.addAction(QStringLiteral("&Options..."), this, &CReportView::optionsRequested);
    menu.addAction(QStringLiteral("Set Ta&b Stops..."), this, &CReportView::SetTabStops);
    menu.addAction(QStringLiteral("Set &Font..."), this, &CReportView::ChooseFont);
    QAction* printerFont = menu.addAction(QStringLiteral("Set &Printer Font..."), this,
                                          &CReportView::printerFontRequested);
    printerFont->setCheckable(true);
    printerFont->setChecked(HasPrinterFont());
    QAction* mirror = menu.addAction(QStringLiteral("&Mirror Display Font"), this,
                                     &CReportView::MirrorDisplayFont);
    mirror->setCheckable(true);
    mirror->setChecked(!HasPrinterFont());
    menu.exec(event->globalPos());
}

} // namespace doseplex::app
