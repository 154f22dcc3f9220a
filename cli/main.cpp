// doseplex-cli: the analysis without a display.
#include "cli/analysis_json.h"

#include "core/document.h"
#include "core/message_sink.h"
#include "core/options.h"
#include "core/text_import.h"

#include <cmath>
#include <cstdio>
#include <iostream>
#include <locale.h>
#include <optional>
#include <stdlib.h>
#include <string>
#include <vector>

namespace {

using namespace doseplex;

constexpr int kExitOk = 0;
constexpr int kExitInput = 1;
constexpr int kExitUsage = 2;

const char* const kUsage =
    "usage: doseplex-cli analyse INPUT [--set KEY=VALUE]...\n"
    "\n"
    "  analyse   import INPUT (a tab-separated \"[start]\" file) and print the\n"
    "            analysis of every drug and combination as JSON\n"
    "  --set     override one analysis or graph option for this run, e.g.\n"
    "            --set MonteCarlo=1 --set ReportRepeats=500\n";

int Usage(const std::string& problem) {
    if (!problem.empty()) {
        std::cerr << "doseplex-cli: " << problem << "\n";
    }
    std::cerr << kUsage;
    return kExitUsage;
}

struct COverride {
    const COptionInfo* info;
    double value;
};

// A whole-text decimal number in the C locale, or nothing.
std::optional<double> ParseNumber(const std::string& text) {
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", nullptr);
    if (text.empty() || text.find_first_of(" \t\n") != std::string::npos) {
        return std::nullopt;
    }
    char* end = nullptr;
    const double value = strtod_l(text.c_str(), &end, cLocale);
    if (end != text.c_str() + text.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

// Parses "KEY=VALUE"; empty string on success, else the problem.
std::string ParseOverride(const std::string& text, COverride& out) {
    const size_t equals = text.find('=');
    if (equals == std::string::npos) {
        return "--set expects KEY=VALUE, got \"" + text + "\"";
    }
    const std::string key = text.substr(0, equals);
    const COptionInfo* info = FindOption(key);
    if (!info) {
        return "unknown option key \"" + key + "\"";
    }
    const auto value = ParseNumber(text.substr(equals + 1));
    if (!value) {
        return "the value of " + key + " is not a number: \"" + text.substr(equals + 1) + "\"";
    }
    const std::string problem = ValidateOptionValue(*info, *value);
    if (!problem.empty()) {
        return key + ": " + problem;
    }
    out = {info, *value};
    return {};
}

int Analyse(const std::vector<std::string>& args) {
    std::string input;
    std::vector<COverride> overrides;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--set") {
            if (i + 1 >= args.size()) {
                return Usage("--set needs KEY=VALUE");
            }
            COverride item{};
            if (const std::string problem = ParseOverride(args[++i], item); !problem.empty()) {
                return Usage(problem);
            }
            overrides.push_back(item);
        } else if (arg.rfind("--set=", 0) == 0) {
            COverride item{};
            if (const std::string problem = ParseOverride(arg.substr(6), item); !problem.empty()) {
                return Usage(problem);
            }
            overrides.push_back(item);
        } else if (arg.size() > 1 && arg[0] == '-') {
            return Usage("unknown option \"" + arg + "\"");
        } else if (input.empty()) {
            input = arg;
        } else {
            return Usage("more than one INPUT given");
        }
    }
    if (input.empty()) {
        return Usage("analyse needs an INPUT file");
    }

    CDoseplexDoc doc;
    CImportError error;
    if (!ImportTextFile(input, doc, error)) {
        return kExitInput; // the message went to stderr through the sink
    }
    for (const COverride& item : overrides) {
        SetOptionValue(*item.info, item.value, doc.m_analysis, doc.m_graph);
    }
    std::cout << AnalysisJson(doc).dump(2, ' ', false, nlohmann::json::error_handler_t::replace)
              << "\n";
    std::cout.flush();
    return std::cout ? kExitOk : kExitInput;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        return Usage("");
    }
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        std::cout << kUsage;
        return kExitOk;
    }
    const std::string command = args[0];
    args.erase(args.begin());
    if (command == "analyse" || command == "analyze") {
        return Analyse(args);
    }
    return Usage("unknown command \"" + command + "\"");
}
