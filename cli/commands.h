#pragma once

#include <string>
#include <vector>

namespace doseplex::cli {

// Each command takes the arguments after its name and returns the exit code.
int RunAnalyse(const std::vector<std::string>& args);
int RunConvert(const std::vector<std::string>& args);
int RunGraphs(const std::vector<std::string>& args);
int RunReport(const std::vector<std::string>& args);
int RunSummaryTable(const std::vector<std::string>& args);

} // namespace doseplex::cli
