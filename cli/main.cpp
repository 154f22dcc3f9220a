// doseplex-cli: the analysis without a display.
#include "cli/commands.h"
#include "cli/common.h"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    using namespace doseplex::cli;
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        return Usage("");
    }
    const std::string command = args[0];
    args.erase(args.begin());
    if (command == "--help" || command == "-h" || command == "help") {
        Usage("");
        return kExitOk;
    }
    struct Command {
        const char* name;
        int (*run)(const std::vector<std::string>&);
    };
    static const Command commands[] = {
        {"analyse", RunAnalyse}, {"analyze", RunAnalyse}, {"convert", RunConvert},
        {"graphs", RunGraphs},   {"report", RunReport},   {"summary-table", RunSummaryTable},
    };
    for (const Command& entry : commands) {
        if (command == entry.name) {
            return entry.run(args);
        }
    }
    return Usage("unknown command \"" + command + "\"");
}
