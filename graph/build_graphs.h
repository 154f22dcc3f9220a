#pragma once

// The analysis graphs of a drug, of a combination and of the summary
// selection, and the preview graph of the drug properties dialog.

#include "core/document.h"
#include "core/run_control.h"
#include "graph/graph.h"

namespace doseplex {

class CRandom;

// Fills `graphs` anew for `target`: one record's graphs, or the summary
// selection's. Returns Built; Missing when there is nothing to build (the
// list is left as it was when the record does not exist, emptied for an
// empty summary selection); Refused when a constant-ratio record's
// median-effect line falls or is flat (a message says so and the list is
// emptied); Cancelled through the run control (the list is left as it was).
// The Monte Carlo error band draws from `random`; the graphs share ownership
// of the records they show and change nothing in the document but the
// displayed ranges in the records' axis overrides.
EBuildStatus BuildGraphs(const CDoseplexDoc& doc, const CBuildTarget& target, CRandom& random,
                         GraphList& graphs, const CRunControl* control = nullptr);

// The target the document's hand-over fields name (m_bOpenSummaryGraphs,
// else m_nCurrentDrug), for windows opened through them.
CBuildTarget GraphTarget(const CDoseplexDoc& doc);

enum class EPreviewMode { MedianEffect, DoseEffect };

// Replaces the series of the preview graph of the drug dialog with the
// record's median-effect or dose-effect series. The preview carries no axis
// override and skips the slope check.
void BuildPreviewGraph(CGraph& graph, std::shared_ptr<const CDrugInfo> record, EPreviewMode mode);

} // namespace doseplex
