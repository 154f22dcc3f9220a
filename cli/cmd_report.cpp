#include "cli/commands.h"
#include "cli/common.h"

#include "core/document.h"
#include "core/encoding.h"
#include "report/summary_report.h"
#include "report/summary_table.h"

#include <iostream>
#include <optional>

namespace doseplex::cli {

namespace {

// A drug id: decimal digits only.
std::optional<int> ParseDrugId(const std::string& text) {
    if (text.empty() || text.size() > 9 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    return std::stoi(text);
}

// Takes "-o FILE", "--output FILE" or "--output=FILE". Returns false when
// args[i] is none of them; sets `problem` when the file is missing.
bool TakeOutputArg(const std::vector<std::string>& args, size_t& i, std::string& output,
                   std::string& problem) {
    const std::string& arg = args[i];
    if (arg == "-o" || arg == "--output") {
        if (i + 1 >= args.size()) {
            problem = arg + " needs a FILE";
            return true;
        }
        output = args[++i];
        return true;
    }
    if (arg.rfind("--output=", 0) == 0) {
        output = arg.substr(9);
        return true;
    }
    return false;
}

} // namespace

int RunReport(const std::vector<std::string>& args) {
    CCommonArgs common;
    std::string output;
    bool summary = false;
    std::optional<int> drug;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string problem;
        if (args[i] == "--summary") {
            summary = true;
        } else if (args[i] == "--drug" || args[i].rfind("--drug=", 0) == 0) {
            std::string value;
            if (args[i] == "--drug") {
                if (i + 1 >= args.size()) {
                    return Usage("--drug needs a drug id");
                }
                value = args[++i];
            } else {
                value = args[i].substr(7);
            }
            drug = ParseDrugId(value);
            if (!drug) {
                return Usage("--drug expects a drug id (0, 1, 2, ...), got \"" + value + "\"");
            }
        } else if (!TakeOutputArg(args, i, output, problem) &&
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
    if (drug && *drug >= doc->DrugCount()) {
        std::cerr << "doseplex-cli: there is no drug " << *drug << ": ";
        if (doc->DrugCount() == 0) {
            std::cerr << "the experiment has no drugs\n";
        } else {
            std::cerr << "valid drug ids are 0 to " << doc->DrugCount() - 1 << "\n";
        }
        return kExitUsage;
    }
    doc->m_bOpenSummaryReport = summary ? 1 : 0;
    doc->m_nCurrentDrug = drug.value_or(-1);
    std::string text;
    BuildReport(*doc, text);
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
    if (TableFormatForPath(output) == ETableFormat::None) {
        return Usage("summary-table writes .txt, .xls or .xlsx files, not \"" + output + "\"");
    }
    auto doc = NewDocument(common);
    if (const int status = LoadInput(common, *doc); status != kExitOk) {
        return status;
    }
    std::string error;
    if (!ExportTable(BuildSummaryTable(*doc), output, error)) {
        std::cerr << "doseplex-cli: " << error << "\n";
        return kExitInput;
    }
    return kExitOk;
}

} // namespace doseplex::cli
