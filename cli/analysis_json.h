#pragma once

#include <string>

namespace doseplex {

class CDoseplexDoc;
class CRandom;

// The whole analysis of an experiment as one JSON object, indented by two
// spaces: options, every record with its points, fit, dose-effect table and,
// for combinations, the indices at each point and at each tabulated effect
// level. Monte Carlo runs draw from `random` in record order, then level
// order. The text is written as it is computed, with no document tree.
std::string AnalysisJson(const CDoseplexDoc& doc, CRandom& random);

} // namespace doseplex
