// The graphs command: pictures in every format, the data and curve texts,
// and its errors.

#include "tests/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using doseplex::testing_support::CCliOptions;
using doseplex::testing_support::CCliRun;
using doseplex::testing_support::CTempDir;
using doseplex::testing_support::ExpectGolden;
using doseplex::testing_support::Lines;
using doseplex::testing_support::ReadFile;

const fs::path kSource = DOSEPLEX_SOURCE_DIR;
const std::string kTwoDrug = (kSource / "examples" / "two-drug.txt").string();
const std::string kThreeDrug = (kSource / "examples" / "three-drug.txt").string();
const std::string kDefaultOptions = (kSource / "tests" / "data" / "default-options.ini").string();

class GraphsCli : public ::testing::Test {
protected:
    CCliRun Run(std::vector<std::string> args) const {
        args.insert(args.begin(), {"graphs", "--settings", kDefaultOptions});
        return doseplex::testing_support::RunCli(args, CCliOptions(m_dir.Path()));
    }

    std::string Path(const std::string& name) const { return m_dir / name; }

    // The names of the files in `dir`, sorted.
    static std::vector<std::string> Files(const std::string& dir) {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    // The files of `dir` one after the other, each under a line with its name.
    static std::string Concatenated(const std::string& dir) {
        std::string all;
        for (const std::string& name : Files(dir)) {
            all += "== " + name + "\r\n" + ReadFile(fs::path(dir) / name);
        }
        return all;
    }

    CTempDir m_dir{"doseplex-graphs"};
};

TEST_F(GraphsCli, EveryPictureFormat) {
    struct Case {
        const char* format;
        std::string magic;
    };
    const Case cases[] = {
        {"png", "\x89PNG"},
        {"bmp", "BM"},
        {"jpg", "\xFF\xD8"},
        {"tif", "II*"},
        {"svg", "<?xml"},
        {"pdf", "%PDF-"},
        {"emf", std::string("\x01\0\0\0", 4)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.format);
        const std::string dir = Path(c.format);
        const CCliRun run = Run({kTwoDrug, "--drug", "2", "-o", dir, "--format", c.format,
                                 "--width", "256", "--height", "256"});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const std::string ext = std::string(".") + c.format;
        EXPECT_EQ(Files(dir), (std::vector<std::string>{
                                  "01-median-effect-plot" + ext, "02-dose-effect-curve" + ext,
                                  "03-exp1-mix-algebraic-estimate" + ext,
                                  "04-exp1-mix-algebraic-estimate-log" + ext,
                                  "05-isobologram" + ext, "06-conservative-isobologram" + ext}));
        const std::string bytes = ReadFile(fs::path(dir) / ("05-isobologram" + ext));
        EXPECT_EQ(bytes.substr(0, c.magic.size()), c.magic);
    }
}

TEST_F(GraphsCli, DataAndCurveTexts) {
    // Every graph of the two-drug combination as points.
    const CCliRun data = Run({kTwoDrug, "--drug", "2", "-o", Path("data"), "--data"});
    ASSERT_EQ(data.exitCode, 0) << data.err;
    ExpectGolden("graphs-two-drug-data.txt", Concatenated(Path("data")));

    // The summary (all drugs, as the experiment selects none) as curves.
    const CCliRun curves =
        Run({kTwoDrug, "--summary", "-o", Path("curves"), "--curves", "--points", "64"});
    ASSERT_EQ(curves.exitCode, 0) << curves.err;
    ExpectGolden("graphs-two-drug-summary-curves.txt", Concatenated(Path("curves")));

    // The summary Fa-CI plot: the CI curve only between 0.05 and 0.99, the
    // reference line at all 65 samples.
    const auto lines = Lines(ReadFile(Path("curves") + "/03-fa-ci-plot.txt"));
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(lines[4], "Effect\tExp1_Mix(CI)");
    EXPECT_EQ(lines[5].substr(0, 9), "0.062500\t");
    const auto constLine = std::find(lines.begin(), lines.end(), "Effect\tCI = 1.0(CI)");
    ASSERT_NE(constLine, lines.end());
    EXPECT_EQ(constLine - lines.begin() - 4, 1 + 60 + 1) << "60 CI samples and an empty line";
    EXPECT_EQ(lines.end() - constLine, 1 + 65 + 1);
    EXPECT_EQ(*(constLine + 1), "0.000000\t1.000000");
}

TEST_F(GraphsCli, NonConstantRatioCombination) {
    const std::string checkerboard = (kSource / "examples" / "checkerboard.dpx").string();
    const CCliRun run = Run({checkerboard, "--drug", "2", "-o", Path("cb"), "--data"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const auto files = Files(Path("cb"));
    ASSERT_EQ(files.size(), 5u);
    EXPECT_EQ(files[4], "05-normalised-isobologram.txt");
    // Nine wells, one normalised point each, then the line of additivity.
    const auto lines = Lines(ReadFile(fs::path(Path("cb")) / files[4]));
    ASSERT_EQ(lines.size(), 4u + 1 + 9 + 1);
    EXPECT_EQ(lines[4], "Gemcitabine\t(Cisplatin)");
}

TEST_F(GraphsCli, ErrorBandCurvesHaveFourColumns) {
    const CCliRun run = Run({kThreeDrug, "--drug", "12", "-o", Path("c"), "--curves"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(Files(Path("c")).size(), 4u) << "three drugs: no isobologram";
    const auto lines = Lines(ReadFile(fs::path(Path("c")) / Files(Path("c"))[2]));
    ASSERT_GT(lines.size(), 6u);
    EXPECT_EQ(lines[4].substr(lines[4].size() - 17), "\tErr_Low\tErr_High");
    EXPECT_EQ(std::count(lines[5].begin(), lines[5].end(), '\t'), 3);
}

TEST_F(GraphsCli, NegativeSlopeWritesNothing) {
    const std::string input = Path("falling.txt");
    std::ofstream(input, std::ios::binary) << "[start]\t1\n"
                                              "Falling\t1\t3\tuM\n"
                                              "Drug\t1\t2\t4\n"
                                              "0.6\t0.4\t0.2\n";
    const CCliRun run = Run({input, "--drug", "0", "-o", Path("out")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("The computed median-effect curve has a negative slope."),
              std::string::npos)
        << run.err;
    EXPECT_FALSE(fs::exists(Path("out")));
}

TEST_F(GraphsCli, UsageErrors) {
    struct Case {
        std::vector<std::string> args;
        const char* message;
    };
    const std::string out = Path("o");
    const Case cases[] = {
        {{kTwoDrug, "-o", out}, "exactly one of --summary and --drug N"},
        {{kTwoDrug, "--summary"}, "needs -o DIR"},
        {{kTwoDrug, "--summary", "-o"}, "-o needs a DIR"},
        {{kTwoDrug, "--summary", "-o", out, "--width", "255"}, "--width must be a whole number"},
        {{kTwoDrug, "--summary", "-o", out, "--height", "4097"}, "from 256 to 4096"},
        {{kTwoDrug, "--summary", "-o", out, "--curves", "--points", "63"}, "from 64 to 2048"},
        {{kTwoDrug, "--summary", "-o", out, "--data", "--curves"}, "cannot be combined"},
        {{kTwoDrug, "--summary", "-o", out, "--format", "gif"}, "--format must be"},
        {{kTwoDrug, "--drug", "3", "-o", out}, "there is no drug 3"},
    };
    for (const Case& c : cases) {
        const CCliRun run = Run(c.args);
        EXPECT_EQ(run.exitCode, 2) << c.message;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    }
    EXPECT_FALSE(fs::exists(out));
}

} // namespace
