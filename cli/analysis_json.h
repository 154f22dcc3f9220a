#pragma once

#include <nlohmann/json.hpp>

namespace doseplex {

class CDoseplexDoc;

// The whole analysis of an experiment as one JSON object: options, every
// record with its points, fit, dose-effect table and, for combinations, the
// indices at each point and at each tabulated effect level. Monte Carlo runs
// consume the program-wide generator in record order, then level order.
nlohmann::ordered_json AnalysisJson(CDoseplexDoc& doc);

} // namespace doseplex
