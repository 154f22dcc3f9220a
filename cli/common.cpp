#include "cli/common.h"

#include "core/document.h"
#include "core/text_import.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iostream>
#include <locale.h>
#include <optional>
#include <stdlib.h>

namespace doseplex::cli {

namespace {

const char* const kUsage =
    "usage: doseplex-cli analyse INPUT [--set KEY=VALUE]...\n"
    "\n"
    "  analyse     import INPUT (a tab-separated \"[start]\" file) and print the\n"
    "              analysis of every drug and combination as JSON\n"
    "\n"
    "  --set KEY=VALUE   override one analysis or graph option for this run,\n"
    "                    e.g. --set MonteCarlo=1 --set ReportRepeats=500\n";

// A whole-text decimal number in the C locale, or nothing.
std::optional<double> ParseNumber(const std::string& text) {
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", nullptr);
    if (text.empty() || text.find_first_of(" \t\n\r\f\v") != std::string::npos) {
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
    const std::string valueText = text.substr(equals + 1);
    const auto value = ParseNumber(valueText);
    if (!value) {
        return "the value of " + key + " is not a number: \"" + valueText + "\"";
    }
    const std::string problem = ValidateOptionValue(*info, *value);
    if (!problem.empty()) {
        return key + "=" + valueText + ": " + problem;
    }
    out = {info, *value};
    return {};
}

} // namespace

int Usage(const std::string& problem) {
    if (!problem.empty()) {
        std::cerr << "doseplex-cli: " << problem << "\n";
    }
    std::cerr << kUsage;
    return kExitUsage;
}

bool TakeCommonArg(const std::vector<std::string>& args, size_t& i, CCommonArgs& common,
                   std::string& problem) {
    const std::string& arg = args[i];
    COverride item;
    if (arg == "--set") {
        if (i + 1 >= args.size()) {
            problem = "--set needs KEY=VALUE";
            return true;
        }
        problem = ParseOverride(args[++i], item);
    } else if (arg.rfind("--set=", 0) == 0) {
        problem = ParseOverride(arg.substr(6), item);
    } else if (arg == "--settings") {
        if (i + 1 >= args.size()) {
            problem = "--settings needs a FILE";
            return true;
        }
        common.settingsFile = args[++i];
        return true;
    } else if (arg.size() > 1 && arg[0] == '-') {
        return false;
    } else {
        if (!common.input.empty()) {
            problem = "more than one INPUT given";
        }
        common.input = arg;
        return true;
    }
    if (problem.empty()) {
        common.overrides.push_back(item);
    }
    return true;
}

std::unique_ptr<CDoseplexDoc> NewDocument(const CCommonArgs& /*common*/) {
    return std::make_unique<CDoseplexDoc>();
}

int LoadInput(const CCommonArgs& common, CDoseplexDoc& doc) {
    CImportError error;
    if (!ImportTextFile(common.input, doc, error)) {
        return kExitInput; // the message went to stderr through the sink
    }
    for (const COverride& item : common.overrides) {
        SetOptionValue(*item.info, item.value, doc.m_analysis, doc.m_graph);
    }
    return kExitOk;
}

int WriteOutput(const std::string& path, const std::string& text) {
    if (path.empty() || path == "-") {
        std::cout << text;
        std::cout.flush();
        return std::cout ? kExitOk : kExitInput;
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) {
        std::cerr << "doseplex-cli: cannot write " << path << ": " << std::strerror(errno) << "\n";
        return kExitInput;
    }
    return kExitOk;
}

} // namespace doseplex::cli
