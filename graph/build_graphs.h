#pragma once

// The analysis graphs of a drug, of a combination and of the summary
// selection, and the preview graph of the drug properties dialog.

#include "core/document.h"
#include "graph/graph.h"

namespace doseplex {

// Fills `graphs` anew for doc.m_nCurrentDrug, or for the summary selection
// when doc.m_bOpenSummaryGraphs is set. False when there is nothing to build
// (the list is left as it was when the current drug does not exist, emptied
// for an empty summary selection) or when a constant-ratio record's
// median-effect line has a negative slope; that case shows a message and
// leaves the list empty.
bool BuildGraphs(CDoseplexDoc& doc, GraphList& graphs);

enum class EPreviewMode { MedianEffect, DoseEffect };

// Replaces the series of the preview graph of the drug dialog with the
// record's median-effect or dose-effect series. The preview carries no axis
// override and skips the slope check.
void BuildPreviewGraph(CGraph& graph, CDrugInfo& record, EPreviewMode mode);

} // namespace doseplex
