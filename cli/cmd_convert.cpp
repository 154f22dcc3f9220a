#include "cli/commands.h"
#include "cli/common.h"

#include "core/document.h"

namespace doseplex::cli {

// convert INPUT -o OUT: reads a "[start]" text file or an experiment file of
// either generation and saves it as an experiment file of the current layout.
int RunConvert(const std::vector<std::string>& args) {
    CCommonArgs common;
    std::string output;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "-o" || arg == "--output") {
            if (i + 1 >= args.size()) {
                return Usage(arg + " needs a file name");
            }
            output = args[++i];
            continue;
        }
        if (arg.rfind("--output=", 0) == 0) {
            output = arg.substr(9);
            continue;
        }
        std::string problem;
        if (!TakeCommonArg(args, i, common, problem)) {
            return Usage("unknown option \"" + arg + "\"");
        }
        if (!problem.empty()) {
            return Usage(problem);
        }
    }
    if (common.input.empty()) {
        return Usage("convert needs an INPUT file");
    }
    if (output.empty()) {
        return Usage("convert needs -o OUT.dpx");
    }
    auto doc = NewDocument(common);
    // Converting runs no analysis, so the stored repeat counts pass unchecked
    // and are written back as they were.
    if (const int status = LoadInput(common, *doc, false); status != kExitOk) {
        return status;
    }
    // A failed save names the reason through the message sink (stderr) and
    // leaves any existing OUT as it was.
    return doc->OnSaveDocument(OutputPath(output)) ? kExitOk : kExitInput;
}

} // namespace doseplex::cli
