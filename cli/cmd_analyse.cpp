#include "cli/analysis_json.h"
#include "cli/commands.h"
#include "cli/common.h"
#include "cli/generator.h"

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
    return WriteOutput("", AnalysisJson(*doc, CommandLineRandom()));
}

} // namespace doseplex::cli
