#pragma once

#include <QString>

namespace doseplex::app {

// The kinds of child window. A kind and, for per-drug windows, a drug id let
// the main window find a window again, so each exists at most once.
enum EWindowKind : int {
    kRawDataGridWindow = 1,
    kSummaryReportWindow = 2,
    kSummaryGraphsWindow = 3,
    kDrugWindow = 4,
    kUnsetWindow = 5,
    kSummaryTableWindow = 6,
};

// What every child window view carries besides its widget.
class CChildView {
public:
    virtual ~CChildView() = default;
    // "Report", "Graph", "Raw Data Grid" or "Summary Data Table": a report
    // and the graphs of the same drug both have kind 4 and differ here.
    virtual QString ViewClass() const = 0;

    int m_nKind = kUnsetWindow;
    int m_nDrug = -1;
};

} // namespace doseplex::app
