// doseplex-cli against hostile inputs and unusual places to write: devices,
// pipes, endless and huge inputs, crafted experiment files, full disks,
// kills in mid-write and very long names.
#include "core/document.h"
#include "core/document_file.h"
#include "core/text_import.h"
#include "tests/test_support.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace doseplex {
namespace {

namespace fs = std::filesystem;
using testing_support::CCliOptions;
using testing_support::CCliRun;
using testing_support::CTempDir;
using testing_support::ReadFile;
using Bytes = std::vector<std::uint8_t>;

const std::string kTwoDrug = std::string(DOSEPLEX_SOURCE_DIR) + "/examples/two-drug.txt";

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::vector<std::string> Names(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// An import of `sets` sets of `drugs` drugs with `doses` doses each; names
// are `nameLength` characters long (at least a few).
std::string MakeImport(int sets, int drugs, int doses, size_t nameLength = 8) {
    const auto name = [nameLength](char lead, int number) {
        std::string text = lead + std::to_string(number);
        text.resize(std::max(nameLength, text.size()), 'x');
        return text;
    };
    std::string text = "[start]\t" + std::to_string(sets) + "\n";
    for (int s = 0; s < sets; ++s) {
        text += name('S', s) + "\t" + std::to_string(drugs) + "\t" + std::to_string(doses) + "\tuM";
        for (int d = 0; drugs > 1 && d < drugs; ++d) {
            text += "\t" + std::to_string(d + 1);
        }
        text += "\n";
        const auto block = [&](const std::string& label, double scale) {
            text += label;
            for (int k = 0; k < doses; ++k) {
                text += "\t" + std::to_string(scale * (k + 1));
            }
            text += "\n";
            for (int k = 0; k < doses; ++k) {
                text += (k ? "\t" : "") + std::to_string(0.05 + 0.9 * (k + 0.5) / doses);
            }
            text += "\n";
        };
        for (int d = 0; d < drugs; ++d) {
            block(name('D', d), 1.0 + 0.25 * d);
        }
        if (drugs > 1) {
            block(name('M', s), 0.8);
        }
    }
    return text;
}

class CliIo : public testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(m_temp.Path().empty()); }

    fs::path Put(const std::string& name, const std::string& content) const {
        std::ofstream(m_temp / name, std::ios::binary) << content;
        return m_temp / name;
    }
    fs::path Put(const std::string& name, const Bytes& content) const {
        std::ofstream(m_temp / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(content.data()),
                   static_cast<std::streamsize>(content.size()));
        return m_temp / name;
    }

    CCliRun Run(const std::vector<std::string>& args, CCliOptions options) const {
        return testing_support::RunCli(args, options);
    }
    CCliRun Run(const std::vector<std::string>& args) const { return Run(args, Options()); }
    CCliOptions Options() const { return CCliOptions(m_temp.Path()); }

    // The two-drug example as an experiment file, after `change`.
    template <class Change> Bytes Experiment(Change&& change) const {
        CDoseplexDoc doc;
        CImportError error;
        EXPECT_TRUE(ImportTextFile(kTwoDrug, doc, error));
        change(doc);
        Bytes bytes;
        EXPECT_TRUE(WriteDocument(doc, bytes));
        return bytes;
    }

    CTempDir m_temp{"doseplex-cli-io"};
};

// "-" is standard output for every command that writes one file; pipes and
// devices are written in place and stay what they are.
TEST_F(CliIo, OutputGoesToPipesDevicesAndStandardOutput) {
    const struct {
        std::vector<std::string> args;
        int exitCode;
        std::string out; // part of stdout
    } cases[] = {
        {{"report", kTwoDrug, "--summary", "-o", "-"}, 0, "Title:"},
        {{"report", kTwoDrug, "--summary", "-o", "/dev/stdout"}, 0, "Title:"},
        {{"convert", kTwoDrug, "-o", "-"}, 0, "\x0bqqcwl_xx2.0"},
        {{"summary-table", kTwoDrug, "-o", "-"}, 0, "Exp1_DrugA\t"},
        {{"graphs", kTwoDrug, "--drug", "0", "-o", "-"}, 2, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args.back());
        const CCliRun run = Run(c.args);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        EXPECT_TRUE(Contains(run.out, c.out)) << run.out;
        EXPECT_FALSE(fs::exists(m_temp / "-"));
    }

    const fs::path fifo = m_temp / "report.fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string received;
    std::thread reader([&] { received = ReadFile(fifo); });
    const CCliRun run = Run({"report", kTwoDrug, "--summary", "-o", fifo.string()});
    reader.join();
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(received.substr(0, 6), "Title:");
    EXPECT_TRUE(fs::is_fifo(fifo));

    const fs::path null = m_temp / "null";
    if (::mknod(null.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0) {
        GTEST_SKIP() << "the kernel refuses device nodes here";
    }
    EXPECT_EQ(Run({"summary-table", kTwoDrug, "-o", null.string() + ".xlsx"}).exitCode, 0);
    EXPECT_EQ(Run({"convert", kTwoDrug, "-o", null.string()}).exitCode, 0);
    EXPECT_TRUE(fs::is_character_file(null));
}

// Inputs are read once and only up to a limit far above any real file.
TEST_F(CliIo, EndlessHugeAndPipedInputs) {
    const fs::path sparse = Put("huge.txt", std::string());
    fs::resize_file(sparse, std::uintmax_t{1200} << 20);
    for (const std::string& input : {std::string("/dev/zero"), sparse.string()}) {
        SCOPED_TRACE(input);
        const CCliRun run = Run({"analyse", input});
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_TRUE(Contains(run.err, "\nit is larger than 64 MiB")) << run.err;
    }

    // A settings file beyond its limit is left unread, with a word.
    const fs::path settings = Put("huge.ini", std::string("[ReportDefaults]\nEffectStep=0.1\n"));
    fs::resize_file(settings, std::uintmax_t{2} << 20);
    CCliRun run = Run({"report", kTwoDrug, "--drug", "0", "--settings", settings.string()});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(Contains(run.err, "larger than 1 MiB; using the built-in option defaults"))
        << run.err;

    // A pipe delivers its data once: opening it twice would lose it.
    const fs::path fifo = m_temp / "input.fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::thread writer([&] { std::ofstream(fifo, std::ios::binary) << ReadFile(kTwoDrug); });
    run = Run({"analyse", fifo.string()});
    writer.join();
    EXPECT_EQ(run.exitCode, 0) << run.err;
    CCliOptions fromStdin = Options();
    fromStdin.stdinPath = kTwoDrug;
    const CCliRun piped = Run({"analyse", "-"}, fromStdin);
    EXPECT_EQ(piped.exitCode, 0) << piped.err;
    EXPECT_EQ(piped.out, run.out);

    // An experiment of the previous generation (no marker) whose notes hold
    // "[start]" is still an experiment, whatever its name.
    Bytes old = Experiment([](CDoseplexDoc& doc) { doc.m_strNotes = "see [start]\t1"; });
    size_t at = 1 + old[0];
    for (int i = 0; i < 4; ++i) {
        at += 1 + old[at];
    }
    ASSERT_EQ(old[at], 0); // no raw-data sheet: the previous generation has none
    old.erase(old.begin() + static_cast<long>(at), old.begin() + static_cast<long>(at) + 2);
    old.erase(old.begin(), old.begin() + 1 + old[0]);
    run = Run({"analyse", Put("old-experiment.txt", old).string()});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Contains(run.err, "DosePlex v1.x file"));
}

// Repeat counts the Options dialog would refuse stop the commands that use
// them, naming the option and its range; the file itself stays as it was.
TEST_F(CliIo, RepeatCountsOutsideTheirRangeStopTheRun) {
    const struct {
        const char* key;
        int value;
        int CAnalysisOptions::*field;
    } counts[] = {
        {"ReportRepeats", 2147483647, &CAnalysisOptions::m_nReportRepeats},
        {"ReportRepeats", -1, &CAnalysisOptions::m_nReportRepeats},
        {"GraphRepeats", 2147483647, &CAnalysisOptions::m_nGraphRepeats},
    };
    for (const auto& c : counts) {
        const Bytes bytes = Experiment([&](CDoseplexDoc& doc) {
            doc.m_analysis.m_nMonteCarlo = 1;
            doc.m_analysis.*c.field = c.value;
        });
        const std::string path = Put("repeats.dpx", bytes).string();
        const std::string message = std::string("the experiment's ") + c.key + " is " +
                                    std::to_string(c.value) + ", outside its range 0 to 32767";
        for (const std::vector<std::string>& args :
             {std::vector<std::string>{"analyse", path},
              std::vector<std::string>{"report", path, "--drug", "2"},
              std::vector<std::string>{"graphs", path, "--drug", "2", "--data", "-o",
                                       (m_temp / "g").string()}}) {
            SCOPED_TRACE(args[0] + " " + message);
            CCliRun run = Run(args);
            EXPECT_EQ(run.exitCode, 1);
            EXPECT_TRUE(Contains(run.err, message)) << run.err;
            std::vector<std::string> fixed = args;
            fixed.insert(fixed.end(), {"--set", std::string(c.key) + "=20"});
            run = Run(fixed);
            EXPECT_EQ(run.exitCode, 0) << run.err;
        }
        const fs::path copy = m_temp / "copy.dpx";
        ASSERT_EQ(Run({"convert", path, "-o", copy.string()}).exitCode, 0);
        EXPECT_EQ(ReadFile(copy), ReadFile(path));
    }

    // The same from the settings that a new experiment starts with.
    const fs::path settings = Put("s.ini", std::string("[ReportDefaults]\nReportRepeats=-7\n"));
    const CCliRun run = Run({"analyse", kTwoDrug, "--settings", settings.string()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(Contains(run.err, "ReportRepeats is -7, outside its range 0 to 32767"));
}

// A summary selection that names drugs again selects each drug once.
TEST_F(CliIo, RepeatedSummarySelectionCountsEachDrugOnce) {
    const Bytes plain = Experiment([](CDoseplexDoc& doc) {
        doc.m_summaryDrugs = {doc.GetDrug(0), doc.GetDrug(1)};
    });
    Bytes repeated = plain;
    repeated.resize(repeated.size() - 6); // 0, 1, end
    for (int i = 0; i < 20000; ++i) {
        repeated.insert(repeated.end(), {static_cast<std::uint8_t>(i % 2), 0});
    }
    repeated.insert(repeated.end(), {0xFF, 0xFF});
    std::vector<std::vector<std::string>> written;
    for (const Bytes* bytes : {&plain, static_cast<const Bytes*>(&repeated)}) {
        const fs::path out = m_temp / ("g" + std::to_string(written.size()));
        const std::string input = Put("selection.dpx", *bytes).string();
        const CCliRun run = Run({"graphs", input, "--summary", "--data", "-o", out.string()});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        written.push_back(Names(out));
    }
    EXPECT_EQ(written[1], written[0]);
    EXPECT_LE(written[0].size(), 4u);
}

// A write that fails (here: beyond the largest file the process may write,
// as on a full disk) ends in exit code 1 and the reason, for every output
// format, and leaves the old file and nothing else.
TEST_F(CliIo, FailedWritesOfEveryFormat) {
    CCliOptions limited = Options();
    limited.fileSizeLimit = 200;
    const fs::path out = m_temp / "out";
    fs::create_directory(out);
    const auto file = [&](const std::string& name) { return (out / name).string(); };
    std::vector<std::vector<std::string>> cases = {
        {"report", kTwoDrug, "--drug", "2", "-o", file("report.txt")},
        {"summary-table", kTwoDrug, "-o", file("table.txt")},
        {"summary-table", kTwoDrug, "-o", file("table.xls")},
        {"summary-table", kTwoDrug, "-o", file("table.xlsx")},
        {"convert", kTwoDrug, "-o", file("experiment.dpx")},
        {"graphs", kTwoDrug, "--drug", "0", "--curves", "-o", file("graphs")},
    };
    for (const char* format : {"png", "bmp", "jpg", "tif", "svg", "pdf", "emf"}) {
        cases.push_back(
            {"graphs", kTwoDrug, "--drug", "0", "--format", format, "-o", file("graphs")});
    }
    for (const auto& args : cases) {
        SCOPED_TRACE(args.back() + " " + args[args.size() - 3]);
        const bool folder = args[0] == "graphs";
        if (!folder) {
            std::ofstream(args.back()) << "old";
        }
        const CCliRun run = Run(args, limited);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_TRUE(Contains(run.err, "File too large")) << run.err;
        // In our words, once: no library's own lines, no abort.
        EXPECT_FALSE(Contains(run.err, "ERROR") || Contains(run.err, "terminate")) << run.err;
        if (folder) {
            EXPECT_TRUE(Names(args.back()).empty());
        } else {
            EXPECT_EQ(ReadFile(args.back()), "old");
        }
        for (const std::string& name : Names(out)) {
            EXPECT_NE(name[0], '.') << name;
        }
    }

    // Standard output that cannot be written says so.
    CCliOptions full = Options();
    full.stdoutPath = "/dev/full";
    const CCliRun run = Run({"analyse", kTwoDrug}, full);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "doseplex-cli: cannot write standard output: No space left on device\n");
}

// A set of up to 20 drugs, as the import allows, saves and reads back.
TEST_F(CliIo, LargeCombinationsConvertAndReadBack) {
    for (const int drugs : {7, 20}) {
        SCOPED_TRACE(drugs);
        const std::string input = Put("many.txt", MakeImport(1, drugs, 4)).string();
        const std::string saved = (m_temp / "many.dpx").string();
        CCliRun run = Run({"convert", input, "-o", saved});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        run = Run({"analyse", input});
        const CCliRun back = Run({"analyse", saved});
        ASSERT_EQ(back.exitCode, 0) << back.err;
        const auto imported = nlohmann::json::parse(run.out);
        const auto reread = nlohmann::json::parse(back.out);
        EXPECT_EQ(reread["drugs"].back()["components"].size(), static_cast<size_t>(drugs));
        EXPECT_EQ(reread["drugs"], imported["drugs"]);
    }
}

// Killed at any moment of a large write, the command leaves the old file or
// the new one, and no temporary file outlives the next write.
TEST_F(CliIo, KillsDuringAWriteLeaveNoDebris) {
    const std::string input = Put("largest.txt", MakeImport(20, 20, 40)).string();
    const fs::path out = m_temp / "out";
    fs::create_directory(out);
    const std::string target = (out / "largest.dpx").string();
    std::vector<std::string> args{DOSEPLEX_CLI, "convert", input, "-o", target};
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);

    const auto started = std::chrono::steady_clock::now();
    ASSERT_EQ(Run({"convert", input, "-o", target}).exitCode, 0);
    const auto took = std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::steady_clock::now() - started);
    const std::string complete = ReadFile(target);

    std::mt19937 rng(7);
    const int signals[] = {SIGKILL, SIGTERM, SIGINT};
    // Most of a run is reading and fitting; the kills fall in its last part,
    // where the file is written.
    for (int i = 0; i < 12; ++i) {
        const pid_t pid = fork();
        if (pid == 0) {
            const int null = open("/dev/null", O_RDWR);
            dup2(null, 1);
            dup2(null, 2);
            execve(DOSEPLEX_CLI, argv.data(), environ);
            _exit(127);
        }
        ASSERT_GT(pid, 0);
        std::this_thread::sleep_for(std::chrono::microseconds(
            std::uniform_int_distribution<long>(took.count() / 2, took.count() * 11 / 10)(rng)));
        kill(pid, signals[i % 3]);
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_EQ(ReadFile(target), complete);
    }
    ASSERT_EQ(Run({"convert", input, "-o", target}).exitCode, 0);
    EXPECT_EQ(Names(out), std::vector<std::string>{"largest.dpx"});
}

// Names near the limit of a file name: the temporary file needs no room
// beside them, graph names from long record names are cut, and a command
// that fails part-way says which files it wrote.
TEST_F(CliIo, LongNamesAndPartialFailures) {
    const std::string longName((m_temp / std::string(250, 'r')).string());
    CCliRun run = Run({"report", kTwoDrug, "--summary", "-o", longName});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Contains(ReadFile(longName), "Title:"));

    const std::string input = Put("long.txt", MakeImport(1, 2, 3, 2047)).string();
    run = Run({"graphs", input, "--drug", "2", "--data", "-o", (m_temp / "long").string()});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const auto names = Names(m_temp / "long");
    EXPECT_EQ(names.size(), 6u);
    for (const std::string& name : names) {
        EXPECT_LE(name.size(), 100u) << name;
    }
    // The two Fa-CI plots share their title; the logarithmic one says so.
    EXPECT_EQ(names[3], "04" + names[2].substr(2, names[2].size() - 6) + "-log.txt");

    const fs::path out = m_temp / "partial";
    fs::create_directories(out / "03-exp1-mix-algebraic-estimate.txt");
    run = Run({"graphs", kTwoDrug, "--drug", "2", "--data", "-o", out.string()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(Contains(run.err, "2 of 6 graph files were written before the failure:\n  " +
                                      (out / "01-median-effect-plot.txt").string() + "\n  " +
                                      (out / "02-dose-effect-curve.txt").string() + "\n"))
        << run.err;
}

} // namespace
} // namespace doseplex
