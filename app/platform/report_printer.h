#pragma once

#include "core/settings.h"

#include <QFont>
#include <QString>

#include <vector>

class QPrinter;

namespace doseplex::app {

// What a printed report page shows beside the text.
struct CReportPageTexts {
    QString m_experiment; // after "Experiment:"
    QString m_date;       // after "Date:"
    QString m_fileName;   // after "Filename:"
};

// Prints `text` on `printer`: each page inside the margins, with the header
// "Experiment:..." left and "Date:..." right over a rule, the text, and the
// footer "Filename:..." left and "Page:N" right under a rule. The text keeps
// its tab stops (`tabStopUnits` dialog units) and wraps long lines. Honours
// the printer's page range. Returns the number of pages the whole text takes,
// or -1 when the printer cannot be painted on. `pageStarts`, when given,
// receives the position in `text` of the first character of every page.
int PrintReport(QPrinter& printer, const QString& text, const QFont& font, int tabStopUnits,
                const CMargins& margins, const CReportPageTexts& texts,
                std::vector<int>* pageStarts = nullptr);

// The page (1-based) holding the text position `position`.
int PageOfPosition(const std::vector<int>& pageStarts, int position);

} // namespace doseplex::app
