#include "cli/analysis_json.h"
#include "cli/commands.h"
#include "cli/common.h"

#include "core/document.h"

namespace doseplex::cli {

int RunAnalyse(const std::vector<std::string>& args) {
    CCommonArgs common;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string problem;
        if (!TakeCommonArg(args, i, common, problem)) {
            return Usage("unknown option \"" + args[i] + "\"");
        }
        if (!problem.empty()) {
            return Usage(problem);
        }
    }
    if (common.input.empty()) {
        return Usage("analyse needs an INPUT file");
    }
    auto doc = NewDocument(common);
    if (const int status = LoadInput(common, *doc); status != kExitOk) {
        return status;
    }
    const std::string text =
        AnalysisJson(*doc).dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
    return WriteOutput("", text);
}

} // namespace doseplex::cli
