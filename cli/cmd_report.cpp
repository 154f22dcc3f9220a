#include "cli/commands.h"
#include "cli/common.h"
#include "cli/generator.h"

#include "core/document.h"
#include "core/encoding.h"
#include "report/summary_report.h"
#include "report/summary_table.h"

#include <iostream>

namespace doseplex::cli {

int RunReport(const std::vector<std::string>& args) {
    CCommonArgs common;
    std::string output;
    bool summary = false;
    std::optional<int> drug;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string problem;
        if (args[i] == "--summary") {
            summary = true;
        } else if (!TakeDrugArg(args, i, drug, problem) &&
                   !TakeOutputArg(args, i, output, problem) &&
                   !TakeCommonArg(args, i, common, problem)) {
            return Usage("unknown option \"" + args[i] + "\"");
        }
        if (!problem.empty()) {
            return Usage(problem);
        }
    }
    if (common.input.empty()) {
        return Usage("report needs an INPUT file");
    }
    if (summary == drug.has_value()) {
        return Usage("report needs exactly one of --summary and --drug N");
    }
    auto doc = NewDocument(common);
    if (const int status = LoadInput(common, *doc); status != kExitOk) {
        return status;
    }
    if (drug && !CheckDrugId(*doc, *drug)) {
        return kExitUsage;
    }
    std::string text;
    BuildReport(*doc, summary ? CBuildTarget::Summary() : CBuildTarget::Drug(*drug),
                CommandLineRandom(), text);
    return WriteOutput(output, Utf8ToEightBit(text));
}

int RunSummaryTable(const std::vector<std::string>& args) {
    CCommonArgs common;
    std::string output;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string problem;
        if (!TakeOutputArg(args, i, output, problem) && !TakeCommonArg(args, i, common, problem)) {
            return Usage("unknown option \"" + args[i] + "\"");
        }
        if (!problem.empty()) {
            return Usage(problem);
        }
    }
    if (common.input.empty()) {
        return Usage("summary-table needs an INPUT file");
    }
    if (output.empty()) {
        return Usage("summary-table needs -o OUT (a .txt, .xls or .xlsx file)");
    }
    const bool toStdout = output == "-";
    if (!toStdout && TableFormatForPath(output) == ETableFormat::None) {
        return Usage("summary-table writes .txt, .xls or .xlsx files, not \"" + output + "\"");
    }
    auto doc = NewDocument(common);
    // The summary table holds no Monte Carlo values: repeat counts play no part.
    if (const int status = LoadInput(common, *doc, false); status != kExitOk) {
        return status;
    }
    if (toStdout) {
        return WriteOutput(output, Utf8ToEightBit(TabDelimitedText(BuildSummaryTable(*doc))));
    }
    std::string error;
    if (!ExportTable(BuildSummaryTable(*doc), output, error)) {
        std::cerr << "doseplex-cli: " << error << "\n";
        return kExitInput;
    }
    return kExitOk;
}

} // namespace doseplex::cli
