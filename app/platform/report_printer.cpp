#include "app/platform/report_printer.h"

#include "app/platform/app_settings.h"

#include <QAbstractTextDocumentLayout>
#include <QFontMetrics>
#include <QPainter>
#include <QPrinter>
#include <QTextDocument>
#include <QTextOption>

#include <algorithm>

namespace doseplex::app {

int PrintReport(QPrinter& printer, const QString& text, const QFont& font, int tabStopUnits,
                const CMargins& margins, const CReportPageTexts& texts,
                std::vector<int>* pageStarts) {
    QPainter painter;
    if (!painter.begin(&printer)) {
        return -1;
    }
    const QFont printFont(font, &printer);
    painter.setFont(printFont);
    const QFontMetrics metrics(printFont, &printer);
    const int h = metrics.height();
    const int g = h / 4;

    const CDeviceRect page{0, 0, printer.width(), printer.height()};
    const CDeviceRect area =
        ApplyPrintMargins(page, margins, printer.logicalDpiX(), printer.logicalDpiY());
    const int left = static_cast<int>(area.m_nLeft);
    const int top = static_cast<int>(area.m_nTop);
    const int width = std::max(1, static_cast<int>(area.m_nRight - area.m_nLeft));
    const int bottom = static_cast<int>(area.m_nBottom);
    const int textTop = top + h + 2 * g;
    const int textHeight = std::max(h, bottom - h - 2 * g - textTop);

    QTextDocument document;
    document.documentLayout()->setPaintDevice(&printer);
    document.setDefaultFont(printFont);
    document.setDocumentMargin(0);
    QTextOption option;
    // The layout scales tab positions from screen to printer units itself,
    // so the distance is given as on the screen.
    option.setTabStopDistance(TabStopPixels(tabStopUnits, font));
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    document.setDefaultTextOption(option);
    document.setPlainText(text);
    // A page size makes the layout move a line that would cross a page's end
    // onto the next page.
    document.setPageSize(QSizeF(width, textHeight));
    const int pageCount = std::max(1, document.pageCount());
    if (pageStarts) {
        pageStarts->clear();
        for (int sheet = 0; sheet < pageCount; ++sheet) {
            const QPointF topLeft(0, static_cast<double>(sheet) * textHeight + 1);
            pageStarts->push_back(
                sheet == 0 ? 0 : document.documentLayout()->hitTest(topLeft, Qt::FuzzyHit));
        }
    }

    int first = 1;
    int last = pageCount;
    if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
        first = printer.fromPage();
        last = std::min(pageCount, printer.toPage() > 0 ? printer.toPage() : pageCount);
    }
    for (int number = first; number <= last; ++number) {
        if (number > first) {
            printer.newPage();
        }
        const QRect headerBox(left, top, width, h);
        painter.drawText(headerBox, Qt::AlignLeft | Qt::AlignTop,
                         "Experiment:" + texts.m_experiment);
        painter.drawText(headerBox, Qt::AlignRight | Qt::AlignTop, "Date:" + texts.m_date);
        painter.drawLine(left, top + h + g, left + width, top + h + g);

        painter.save();
        const double offset = static_cast<double>(number - 1) * textHeight;
        painter.translate(left, textTop - offset);
        document.drawContents(&painter, QRectF(0, offset, width, textHeight));
        painter.restore();

        const QRect footerBox(left, bottom - h, width, h);
        painter.drawText(footerBox, Qt::AlignLeft | Qt::AlignTop, "Filename:" + texts.m_fileName);
        painter.drawText(footerBox, Qt::AlignRight | Qt::AlignTop,
                         "Page:" + QString::number(number));
        painter.drawLine(left, bottom - h - g, left + width, bottom - h - g);
    }
    painter.end();
    return pageCount;
}

int PageOfPosition(const std::vector<int>& pageStarts, int position) {
    int page = 1;
    for (size_t i = 1; i < pageStarts.size(); ++i) {
        if (pageStarts[i] <= position) {
            page = static_cast<int>(i) + 1;
        }
    }
    return page;
}

} // namespace doseplex::app
