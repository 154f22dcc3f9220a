#include "cli/commands.h"
#include "cli/common.h"
#include "cli/generator.h"
#include "cli/pictures.h"

#include "core/document.h"
#include "core/encoding.h"
#include "core/file_io.h"
#include "core/graph_override.h"
#include "core/message_sink.h"
#include "graph/build_graphs.h"
#include "graph/emf/metafile_writer.h"
#include "graph/graph_export.h"

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <optional>
#include <system_error>
#include <vector>

namespace doseplex::cli {

namespace {

enum class EGraphOutput { Picture, Metafile, Data, Curves };

struct CGraphsArgs {
    CCommonArgs common;
    std::string dir;
    bool summary = false;
    std::optional<int> drug;
    std::string format = "png";
    CGraphPictureSettings picture;
    bool monochrome = false;
    bool data = false;
    bool curves = false;
};

// A whole number of at most nine digits.
std::optional<int> ParseCount(const std::string& text) {
    return ParseDrugId(text);
}

// Takes "--NAME VALUE" or "--NAME=VALUE" for a whole number within
// [min, max]. Returns false when args[i] is not that option.
bool TakeNumberArg(const std::vector<std::string>& args, size_t& i, const std::string& name,
                   int min, int max, int& value, std::string& problem) {
    std::string text;
    if (args[i] == name) {
        if (i + 1 >= args.size()) {
            problem = name + " needs a number";
            return true;
        }
        text = args[++i];
    } else if (args[i].rfind(name + "=", 0) == 0) {
        text = args[i].substr(name.size() + 1);
    } else {
        return false;
    }
    const std::optional<int> number = ParseCount(text);
    if (!number || *number < min || *number > max) {
        problem = name + " must be a whole number from " + std::to_string(min) + " to " +
                  std::to_string(max) + ", got \"" + text + "\"";
        return true;
    }
    value = *number;
    return true;
}

// Parses the command's arguments; an empty result means success.
std::string ParseArgs(const std::vector<std::string>& args, CGraphsArgs& out) {
    using Settings = CGraphPictureSettings;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string problem;
        const std::string& arg = args[i];
        if (arg == "--summary") {
            out.summary = true;
        } else if (arg == "--mono") {
            out.monochrome = true;
        } else if (arg == "--no-title") {
            out.picture.m_bIncludeTitle = false;
        } else if (arg == "--data") {
            out.data = true;
        } else if (arg == "--curves") {
            out.curves = true;
        } else if (arg == "--format" || arg.rfind("--format=", 0) == 0) {
            if (arg == "--format" && i + 1 >= args.size()) {
                return "--format needs bmp, jpg, tif, png, svg, pdf or emf";
            }
            out.format = arg == "--format" ? args[++i] : arg.substr(9);
        } else if (!TakeNumberArg(args, i, "--width", Settings::kMinSize, Settings::kMaxSize,
                                  out.picture.m_nWidth, problem) &&
                   !TakeNumberArg(args, i, "--height", Settings::kMinSize, Settings::kMaxSize,
                                  out.picture.m_nHeight, problem) &&
                   !TakeNumberArg(args, i, "--points", Settings::kMinPoints, Settings::kMaxPoints,
                                  out.picture.m_nPoints, problem) &&
                   !TakeDrugArg(args, i, out.drug, problem) &&
                   !TakeOutputArg(args, i, out.dir, problem, "DIR") &&
                   !TakeCommonArg(args, i, out.common, problem)) {
            return "unknown option \"" + arg + "\"";
        }
        if (!problem.empty()) {
            return problem;
        }
    }
    if (out.common.input.empty()) {
        return "graphs needs an INPUT file";
    }
    if (out.summary == out.drug.has_value()) {
        return "graphs needs exactly one of --summary and --drug N";
    }
    if (out.dir.empty()) {
        return "graphs needs -o DIR";
    }
    if (out.dir == "-") {
        return "graphs writes one file per graph into a folder: -o - (standard output) cannot "
               "hold them";
    }
    if (out.data && out.curves) {
        return "--data and --curves cannot be combined";
    }
    if (out.format != "emf" && !IsPictureExtension(out.format)) {
        return "--format must be bmp, jpg, tif, png, svg, pdf or emf, got \"" + out.format + "\"";
    }
    return {};
}

// Writes one graph to `path` in the chosen form; false with the reason.
bool WriteGraph(CGraph& graph, const CGraphsArgs& args, const std::string& path,
                std::string& error) {
    if (args.data || args.curves) {
        graph.m_nCurvePoints = args.picture.m_nPoints;
        const std::string text = args.data ? GraphDataText(graph) : GraphCurveText(graph);
        return WriteFileSafely(path, Utf8ToEightBit(text), error);
    }
    const int width = args.picture.m_nWidth;
    const int height = args.picture.m_nHeight;
    const DrawFunction draw = [&](IDrawSurface& surface) {
        return DrawGraphPicture(graph, surface, width, height, args.monochrome,
                                args.picture.m_bIncludeTitle);
    };
    if (args.format == "emf") {
        return WriteEnhancedMetafile(path, width, height, "DosePlex Graph", draw, error);
    }
    return WritePictureFile(path, args.format, width, height, draw, error);
}

// "NN-title.EXT" for the graph at `index`. The logarithmic Fa-CI plot shares
// its title with the linear one, so its name says "log" as well.
std::string GraphFileName(const CGraph& graph, const CDrugInfo* record, size_t index,
                          const std::string& extension) {
    char number[32];
    std::snprintf(number, sizeof number, "%02zu", index + 1);
    const bool logFaCI =
        record != nullptr && graph.m_pOverride.get() == &record->m_graphOverride[kGraphLogFaCI];
    return std::string(number) + "-" + GraphFileSlug(graph.GetTitle()) + (logFaCI ? "-log" : "") +
           "." + extension;
}

// After a failure part-way: which of the files were written before it.
void ReportWritten(const std::vector<std::string>& written, size_t total) {
    if (written.empty()) {
        std::cerr << "doseplex-cli: no graph file was written\n";
        return;
    }
    std::cerr << "doseplex-cli: " << written.size() << " of " << total
              << " graph files were written before the failure:\n";
    for (const std::string& path : written) {
        std::cerr << "  " << path << "\n";
    }
}

} // namespace

int RunGraphs(const std::vector<std::string>& argv) {
    CGraphsArgs args;
    if (const std::string problem = ParseArgs(argv, args); !problem.empty()) {
        return Usage(problem);
    }
    auto doc = NewDocument(args.common);
    if (const int status = LoadInput(args.common, *doc); status != kExitOk) {
        return status;
    }
    if (args.drug && !CheckDrugId(*doc, *args.drug)) {
        return kExitUsage;
    }
    if (doc->DrugCount() == 0) {
        std::cerr << "doseplex-cli: the experiment has no drugs to draw\n";
        return kExitInput;
    }
    if (args.summary && doc->m_summaryDrugs.empty()) {
        for (const auto& record : doc->m_drugs) {
            doc->m_summaryDrugs.push_back(record.get());
        }
    }

    GraphList graphs;
    CCollectingMessageSink messages;
    bool built = false;
    {
        CScopedMessageSink scope(messages);
        built = BuildGraphs(*doc,
                            args.summary ? CBuildTarget::Summary() : CBuildTarget::Drug(*args.drug),
                            CommandLineRandom(), graphs) == EBuildStatus::Built;
    }
    for (const std::string& message : messages.m_messages) {
        std::cerr << "doseplex-cli: " << message << "\n";
    }
    if (!built || graphs.empty()) {
        if (messages.m_messages.empty()) {
            std::cerr << "doseplex-cli: there are no graphs to draw\n";
        }
        return kExitInput;
    }

    const bool text = args.data || args.curves;
    if (std::string problem; !text && args.format != "emf" && !StartPictureWriter(problem)) {
        std::cerr << "doseplex-cli: pictures cannot be drawn here: " << problem << "\n";
        return kExitInput;
    }
    std::error_code ec;
    std::filesystem::create_directories(args.dir, ec);
    if (!std::filesystem::is_directory(args.dir)) {
        std::cerr << "doseplex-cli: cannot use \"" << args.dir << "\" as the output folder"
                  << (ec ? ": " + ec.message() : std::string()) << "\n";
        return kExitInput;
    }
    const std::string extension = text ? "txt" : args.format;
    const CDrugInfo* record = args.drug ? doc->GetDrug(*args.drug) : nullptr;
    std::vector<std::string> written;
    for (size_t i = 0; i < graphs.size(); ++i) {
        const std::string path =
            (std::filesystem::path(args.dir) / GraphFileName(*graphs[i], record, i, extension))
                .string();
        std::string error;
        if (!WriteGraph(*graphs[i], args, path, error)) {
            // The writers' file errors name the file; drawing errors do not.
            std::cerr << "doseplex-cli: "
                      << (error.find(path) == std::string::npos ? "cannot write " + path + ": "
                                                                : std::string())
                      << error << "\n";
            ReportWritten(written, graphs.size());
            return kExitInput;
        }
        written.push_back(path);
    }
    return kExitOk;
}

} // namespace doseplex::cli
