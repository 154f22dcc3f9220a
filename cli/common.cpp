#include "cli/common.h"

#include "core/document.h"
#include "core/document_file.h"
#include "core/file_io.h"
#include "core/format.h"
#include "core/ini_file.h"
#include "core/message_sink.h"
#include "core/number_text.h"
#include "core/settings.h"
#include "core/text_import.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <optional>
#include <stdlib.h>

namespace doseplex::cli {

namespace {

const char* const kUsage =
    "usage: doseplex-cli analyse INPUT [--set KEY=VALUE]... [--settings FILE]\n"
    "       doseplex-cli report INPUT (--summary | --drug N) [-o FILE] [--set KEY=VALUE]...\n"
    "       doseplex-cli summary-table INPUT -o OUT [--set KEY=VALUE]...\n"
    "       doseplex-cli convert INPUT -o OUT.dpx [--set KEY=VALUE]...\n"
    "       doseplex-cli graphs INPUT (--summary | --drug N) -o DIR [--format FORMAT]\n"
    "                    [--width W] [--height H] [--mono] [--no-title]\n"
    "                    [--data | --curves [--points N]] [--set KEY=VALUE]...\n"
    "\n"
    "  analyse     read INPUT (a tab-separated \"[start]\" file or a .dpx\n"
    "              experiment with its own options) and print the analysis of\n"
    "              every drug and combination as JSON\n"
    "  report      write the text report of the experiment (--summary) or of the\n"
    "              drug or combination with the zero-based drug id N (--drug N)\n"
    "              to FILE or stdout: 8-bit text, TAB columns, CR LF line ends\n"
    "  summary-table\n"
    "              write the summary table to OUT as tab-delimited text (.txt),\n"
    "              an Excel 97 workbook (.xls) or an Excel workbook (.xlsx), or as\n"
    "              text to stdout for an OUT of -\n"
    "  convert     write INPUT (a \"[start]\" file or a .dpx experiment of either\n"
    "              generation) to OUT.dpx as an experiment file of the current\n"
    "              layout; OUT is replaced only once it is completely written\n"
    "  graphs      draw the graphs of the experiment's summary selection (all\n"
    "              drugs when it is empty) or of drug N into DIR, one file per\n"
    "              graph named NN-title.FORMAT: png (default), bmp, jpg, tif, svg,\n"
    "              pdf or emf, W x H pixels (256..4096, default 1024 x 768), in\n"
    "              black and white with --mono, without titles with --no-title;\n"
    "              --data writes each graph's points and --curves its curves\n"
    "              sampled at N + 1 points (64..2048, default 100) as .txt\n"
    "\n"
    "  INPUT - reads standard input; FILE, OUT - write to standard output. Pipes\n"
    "  and devices are written directly; files are replaced only once complete.\n"
    "\n"
    "  --set KEY=VALUE   override one analysis or graph option for this run,\n"
    "                    e.g. --set MonteCarlo=1 --set ReportRepeats=500\n"
    "  --settings FILE   take the option defaults of the new experiment from the\n"
    "                    INI file FILE instead of the per-user settings\n"
    "                    (~/.config/Labwerk/DosePlex.ini); without --settings the\n"
    "                    environment variable DOSEPLEX_SETTINGS may name that file.\n"
    "                    Settings files are only read, never written.\n";

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
    const auto value = ParseDecimal(valueText);
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

bool EndsWithDpx(const std::string& path) {
    constexpr std::string_view kExtension = ".dpx";
    if (path.size() < kExtension.size()) {
        return false;
    }
    const std::string tail = path.substr(path.size() - kExtension.size());
    return std::equal(tail.begin(), tail.end(), kExtension.begin(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == b;
    });
}

// The part of `path` after its last '/'.
std::string FileTitle(const std::string& path) {
    const size_t separator = path.find_last_of('/');
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

// True when `bytes` read as an experiment of the previous generation, which
// has no marker: only a complete read tells.
bool ReadsAsOldExperiment(const std::vector<std::uint8_t>& bytes, const CDoseplexDoc& like) {
    CDoseplexDoc probe;
    probe.m_analysis = like.m_analysis;
    probe.m_graph = like.m_graph;
    CCollectingMessageSink quiet;
    const CScopedMessageSink scope(quiet);
    return ReadDocument(bytes, probe);
}

// Reads the experiment in `bytes` into `doc` (a new document), which then
// takes the file's path and title as opening the file would give it.
bool OpenExperiment(const std::vector<std::uint8_t>& bytes, const std::string& path,
                    CDoseplexDoc& doc) {
    std::string reason;
    if (!ReadDocument(bytes, doc, &reason)) {
        ShowMessage("Unable to open \"" + path +
                    "\".\nThe file is damaged or is not a DosePlex experiment (" + reason + ").");
        return false;
    }
    if (path != "-") {
        std::error_code ec;
        const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
        doc.m_strPathName = ec ? path : absolute.lexically_normal().string();
        doc.m_strDocumentTitle = FileTitle(path);
    }
    doc.Touch();
    doc.SetModifiedFlag(false);
    return true;
}

// Reads an experiment file or a "[start]" text file: the input is opened and
// read once (a pipe gives its data only once), and what it is follows from
// its bytes. A name ending in ".dpx", the marker of a current experiment file,
// or bytes that read completely as an experiment of the previous generation
// (which has no marker) mean an experiment; anything else is imported as
// text, whose errors then explain the problem.
bool ReadInputFile(const std::string& path, CDoseplexDoc& doc) {
    std::vector<std::uint8_t> bytes;
    std::string reason;
    const bool namedExperiment = EndsWithDpx(path);
    if (!ReadInputBytes(path, bytes, reason)) {
        if (reason == InputTooLargeText(kMaxInputBytes)) {
            reason += ", far more than any experiment or import file";
        }
        if (namedExperiment) {
            ShowMessage("Unable to open \"" + path + "\".\n" + reason + ".");
        } else {
            CImportError error;
            error.m_nCode = 1001;
            error.m_strContext = path;
            error.m_strReason = reason;
            ShowMessage(ImportErrorMessage(error));
        }
        return false;
    }
    if (namedExperiment || HasDocumentMarker(bytes) || ReadsAsOldExperiment(bytes, doc)) {
        return OpenExperiment(bytes, path, doc);
    }
    CImportError error;
    return ImportTextBytes(bytes, doc, error);
}

// The per-user settings file the store reads: $XDG_CONFIG_HOME (or
// ~/.config) /Labwerk/DosePlex.ini; empty when neither is known.
std::string UserSettingsPath() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::string folder;
    if (config != nullptr && config[0] == '/') {
        folder = config;
    } else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') {
        folder = std::string(home) + "/.config";
    }
    return folder.empty() ? std::string() : folder + "/Labwerk/DosePlex.ini";
}

// The work a repeat count asks for grows with it, so a count the Options
// dialog would never accept (one read from a file or a settings store) stops
// the run before the work starts. The stored value itself is left alone.
bool CheckRepeatCounts(const CDoseplexDoc& doc) {
    for (const std::string_view key : {"ReportRepeats", "GraphRepeats"}) {
        if (const std::string problem = RepeatCountProblem(key, doc.m_analysis); !problem.empty()) {
            std::cerr << "doseplex-cli: the experiment's " << problem << "; run with --set " << key
                      << "=N to use another count\n";
            return false;
        }
    }
    return true;
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

std::unique_ptr<CDoseplexDoc> NewDocument(const CCommonArgs& common) {
    std::string path = common.settingsFile;
    if (path.empty()) {
        if (const char* named = std::getenv("DOSEPLEX_SETTINGS"); named != nullptr) {
            path = named;
        }
    }
    // The per-user file may be missing (first run); a file that was asked
    // for must be there.
    const bool userFile = path.empty();
    if (userFile) {
        path = UserSettingsPath();
        if (path.empty()) {
            return std::make_unique<CDoseplexDoc>();
        }
    }
    // Read-only: the command line never writes settings. A file that cannot
    // be read is worth a word, as the run would otherwise go on silently with
    // other options.
    CMemoryStore store;
    std::string problem;
    if (!ReadIniFile(path, userFile, store, problem)) {
        std::cerr << "doseplex-cli: warning: cannot read settings file " << path << ": " << problem
                  << "; using the built-in option defaults\n";
        return std::make_unique<CDoseplexDoc>();
    }
    return NewDocumentFromStore(store);
}

int LoadInput(const CCommonArgs& common, CDoseplexDoc& doc, bool checkRepeats) {
    // Any failure message went to stderr through the message sink.
    if (!ReadInputFile(common.input, doc)) {
        return kExitInput;
    }
    for (const COverride& item : common.overrides) {
        SetOptionValue(*item.info, item.value, doc.m_analysis, doc.m_graph);
    }
    if (checkRepeats && !CheckRepeatCounts(doc)) {
        return kExitInput;
    }
    return kExitOk;
}

std::string OutputPath(const std::string& path) {
    return path.empty() || path == "-" ? std::string(kStdoutPath) : path;
}

int WriteOutput(const std::string& path, const std::string& text) {
    std::string reason;
    if (!WriteFileSafely(OutputPath(path), text, reason)) {
        const std::string file = OutputPath(path);
        // The writer's reason names the file again; once is enough.
        const std::string lead = "cannot write '" + file + "': ";
        if (reason.starts_with(lead)) {
            reason.erase(0, lead.size());
        }
        std::cerr << "doseplex-cli: cannot write "
                  << (file == kStdoutPath ? std::string("standard output") : path) << ": " << reason
                  << "\n";
        return kExitInput;
    }
    return kExitOk;
}

} // namespace doseplex::cli

namespace doseplex::cli {

std::optional<int> ParseDrugId(const std::string& text) {
    if (text.empty() || text.size() > 9 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    return static_cast<int>(*ParseInteger(text));
}

bool TakeOutputArg(const std::vector<std::string>& args, size_t& i, std::string& output,
                   std::string& problem, const char* what) {
    const std::string& arg = args[i];
    if (arg == "-o" || arg == "--output") {
        if (i + 1 >= args.size()) {
            problem = arg + " needs a " + what;
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

bool TakeDrugArg(const std::vector<std::string>& args, size_t& i, std::optional<int>& drug,
                 std::string& problem) {
    std::string value;
    if (args[i] == "--drug") {
        if (i + 1 >= args.size()) {
            problem = "--drug needs a drug id";
            return true;
        }
        value = args[++i];
    } else if (args[i].rfind("--drug=", 0) == 0) {
        value = args[i].substr(7);
    } else {
        return false;
    }
    drug = ParseDrugId(value);
    if (!drug) {
        problem = "--drug expects a drug id (0, 1, 2, ...), got \"" + value + "\"";
    }
    return true;
}

bool CheckDrugId(const CDoseplexDoc& doc, int drug) {
    if (drug < doc.DrugCount()) {
        return true;
    }
    std::cerr << "doseplex-cli: there is no drug " << drug << ": ";
    if (doc.DrugCount() == 0) {
        std::cerr << "the experiment has no drugs\n";
    } else {
        std::cerr << "valid drug ids are 0 to " << doc.DrugCount() - 1 << "\n";
    }
    return false;
}

} // namespace doseplex::cli
