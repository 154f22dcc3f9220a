#pragma once

#include "core/options.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace doseplex {

class CDoseplexDoc;

namespace cli {

constexpr int kExitOk = 0;
constexpr int kExitInput = 1;
constexpr int kExitUsage = 2;

// Prints the problem (when given) and the usage text to stderr; returns 2.
int Usage(const std::string& problem);

// One --set KEY=VALUE.
struct COverride {
    const COptionInfo* info = nullptr;
    double value = 0.0;
};

// Arguments shared by every command that reads an experiment.
struct CCommonArgs {
    std::string input;
    std::vector<COverride> overrides;
    std::string settingsFile; // --settings FILE; empty: the per-user store
};

// Handles args[i] when it is one of the shared arguments (--set KEY=VALUE,
// --set=KEY=VALUE, --settings FILE, or the INPUT path), advancing i past any
// value it takes. Returns false when args[i] is not a shared argument; sets
// `problem` when it is one but malformed.
bool TakeCommonArg(const std::vector<std::string>& args, size_t& i, CCommonArgs& common,
                   std::string& problem);

// A drug id: decimal digits only; none for anything else.
std::optional<int> ParseDrugId(const std::string& text);

// Takes "-o PATH", "--output PATH" or "--output=PATH". Returns false when
// args[i] is none of them; sets `problem` when the path is missing, naming
// it `what` ("FILE", "DIR").
bool TakeOutputArg(const std::vector<std::string>& args, size_t& i, std::string& output,
                   std::string& problem, const char* what = "FILE");

// Takes "--drug N" or "--drug=N". Returns false when args[i] is neither; sets
// `problem` when the id is missing or malformed.
bool TakeDrugArg(const std::vector<std::string>& args, size_t& i, std::optional<int>& drug,
                 std::string& problem);

// Checks that `drug` names a record of `doc`; otherwise explains on stderr.
bool CheckDrugId(const CDoseplexDoc& doc, int drug);

// A new experiment with the option defaults of the settings store.
std::unique_ptr<CDoseplexDoc> NewDocument(const CCommonArgs& common);

// Reads INPUT ("-": standard input) into `doc` and applies the --set
// overrides. With `checkRepeats`, repeat counts outside the Options dialog's
// ranges stop the run. Returns kExitOk, or kExitInput after the reason went to
// stderr.
int LoadInput(const CCommonArgs& common, CDoseplexDoc& doc, bool checkRepeats = true);

// Standard output as a file name the writers understand.
inline constexpr const char* kStdoutPath = "/dev/stdout";

// The file to write for an output argument: "-" or empty mean standard
// output.
std::string OutputPath(const std::string& path);

// Writes `text` to `path` ("-" or empty: stdout); kExitOk or kExitInput.
int WriteOutput(const std::string& path, const std::string& text);

} // namespace cli
} // namespace doseplex
