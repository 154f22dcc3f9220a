// Tests of the doseplex-cli program as a user runs it: exit codes, the JSON it
// prints, option overrides and import errors.
#include "tests/test_support.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;

const std::string kExample = std::string(DOSEPLEX_SOURCE_DIR) + "/examples/two-drug.txt";

// The median-effect fits of the example, worked out independently:
// DrugA 1,2,4 / 0.2,0.35,0.6; DrugB 2,4,8 / 0.15,0.3,0.55; Mix 3,6,12 /
// 0.3,0.5,0.75 with ratio 1:2.
constexpr double kDmA = 3.0215086236074615, kMA = 1.2924812503605778;
constexpr double kDmB = 7.063047170336619;
constexpr double kDmMix = 5.652395657733023;
// CI at fa 0.5: each component's share of the mixture's Dm over its own Dm.
constexpr double kCiAt50 = kDmMix / kDmA + 2.0 * kDmMix / kDmB;

using doseplex::testing_support::CCliOptions;
using doseplex::testing_support::CCliRun;
using doseplex::testing_support::CTempDir;
using doseplex::testing_support::RunCli;

std::vector<std::string> Keys(const Json& object) {
    std::vector<std::string> keys;
    for (const auto& item : object.items()) {
        keys.push_back(item.key());
    }
    return keys;
}

class CliTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(m_temp.Path().empty());
        m_dir = m_temp.Path();
    }

    std::string WriteInput(const std::string& name, const std::string& content) const {
        const fs::path path = m_dir / name;
        std::ofstream(path, std::ios::binary) << content;
        return path.string();
    }

    // Runs the program with the outputs kept in the test's directory and a
    // home of its own there, so that no per-user settings change the option
    // defaults.
    CCliRun Run(const std::vector<std::string>& args) const {
        return RunCli(args, CCliOptions(m_dir));
    }

    // Runs `analyse` expecting success and returns the parsed output.
    Json Analyse(const std::vector<std::string>& extra, const std::string& input = kExample) const {
        std::vector<std::string> args{"analyse", input};
        args.insert(args.end(), extra.begin(), extra.end());
        const CCliRun run = Run(args);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.err, "");
        Json json = Json::parse(run.out, nullptr, false);
        EXPECT_FALSE(json.is_discarded()) << run.out;
        return json.is_discarded() ? Json::object() : json;
    }

    CTempDir m_temp{"doseplex-cli"};
    fs::path m_dir;
};

TEST_F(CliTest, ExitCodes) {
    const std::string missing = (m_dir / "missing.txt").string();
    struct CCase {
        std::vector<std::string> args;
        int code;
    };
    const std::vector<CCase> cases = {
        {{"analyse", kExample}, 0},
        {{"analyse", kExample, "--set", "EffectStep=0", "--set", "sdMultiple=10"}, 0},
        {{"analyse", kExample, "--set", "ReportRepeats=32767", "--set", "GraphsPerRow=4"}, 0},
        {{"analyse", missing}, 1},
        {{"analyse", m_dir.string()}, 1},
        {{}, 2},
        {{"analyse"}, 2},
        {{"analyse", "--set", "EffectStep=0.1"}, 2},
        {{"frobnicate", kExample}, 2},
        {{"analyse", kExample, "--set", "NoSuchKey=1"}, 2},
        {{"analyse", kExample, "--set", "EffectStep"}, 2},
        {{"analyse", kExample, "--set"}, 2},
        {{"analyse", kExample, "--set", "EffectStep=abc"}, 2},
        {{"analyse", kExample, "--set", "EffectStep=0.1x"}, 2},
        {{"analyse", kExample, "--set", "EffectStep="}, 2},
        {{"analyse", kExample, "--set", "EffectStep=nan"}, 2},
        {{"analyse", kExample, "--set", "EffectStep=1.5"}, 2},
        {{"analyse", kExample, "--set", "Effect1=-0.1"}, 2},
        {{"analyse", kExample, "--set", "sdMultiple=10.5"}, 2},
        {{"analyse", kExample, "--set", "ReportRepeats=32768"}, 2},
        {{"analyse", kExample, "--set", "ReportRepeats=2.5"}, 2},
        {{"analyse", kExample, "--set", "MonteCarlo=2"}, 2},
        {{"analyse", kExample, "--set", "GraphsPerRow=0"}, 2},
        {{"analyse", kExample, "--set", "GraphsPerPage=7"}, 2},
        // A usage error is found before the input is read.
        {{"analyse", missing, "--set", "NoSuchKey=1"}, 2},
    };
    for (const CCase& c : cases) {
        std::string label;
        for (const std::string& arg : c.args) {
            label += arg + " ";
        }
        SCOPED_TRACE(label);
        const CCliRun run = Run(c.args);
        EXPECT_EQ(run.exitCode, c.code);
        if (c.code == 0) {
            EXPECT_EQ(run.err, "");
            EXPECT_FALSE(Json::parse(run.out, nullptr, false).is_discarded());
        } else {
            EXPECT_EQ(run.out, "");
        }
        if (c.code == 1) {
            EXPECT_EQ(run.err.rfind("Import Error! ", 0), 0u) << run.err;
        }
        if (c.code == 2) {
            EXPECT_NE(run.err.find("usage: doseplex-cli"), std::string::npos) << run.err;
        }
    }
}

TEST_F(CliTest, ImportErrorMessageGoesToStderr) {
    const std::string input = WriteInput("bad.txt", "[start]\t1\nExp1\t2\t1\tuM\t1\t2\n");
    CCliRun run = Run({"analyse", input});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "Import Error! \n\nCannot Import File.\n\nError 1005. \nInvalid number of "
                       "doses entered. \nThere must be between 2 and 40 doses for each drug in a "
                       "Set. \nProblem occurred in: Exp1\n");

    run = Run({"analyse", m_dir.string()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err,
              "Import Error! \n\nCannot Import File.\n\nError 1001. \nCould not open file: " +
                  m_dir.string() + "\nit is a folder\n");
}

TEST_F(CliTest, TwoDrugExampleJson) {
    const Json json = Analyse({});
    EXPECT_EQ(Keys(json), (std::vector<std::string>{"title", "options", "drugs"}));
    EXPECT_EQ(json["title"], "");

    const std::vector<std::string> optionKeys = {
        "MonteCarlo",   "ErrorBand",      "NonExCI",       "DRI",         "EffectTable",
        "GraphRepeats", "ReportRepeats",  "EffectEnd",     "EffectFirst", "EffectLast",
        "EffectStart",  "EffectStep",     "Effect1",       "Effect2",     "Effect3",
        "sdMultiple",   "GraphsPerRow",   "GraphsPerPage", "LogPlots",    "ConservativeIso",
        "ColourPrint",  "NonExclusiveCI", "CILine",        "CIPoints"};
    const Json& options = json["options"];
    EXPECT_EQ(Keys(options), optionKeys);
    EXPECT_EQ(options["MonteCarlo"], 0);
    EXPECT_TRUE(options["ReportRepeats"].is_number_integer());
    EXPECT_EQ(options["ReportRepeats"], 200);
    EXPECT_EQ(options["EffectStep"], 0.05);
    EXPECT_EQ(options["sdMultiple"], 1.96);
    EXPECT_EQ(options["GraphsPerPage"], 6);

    const Json& drugs = json["drugs"];
    ASSERT_EQ(drugs.size(), 3u);
    const std::vector<std::string> recordKeys = {"id",         "name",           "units", "comment",
                                                 "components", "constant_ratio", "ratio", "points",
                                                 "fit",        "dose_effect"};
    std::vector<std::string> combinationKeys = recordKeys;
    for (const char* key : {"point_ci", "point_dx", "point_dri", "levels", "summary_ci"}) {
        combinationKeys.push_back(key);
    }
    const char* names[] = {"Exp1_DrugA", "Exp1_DrugB", "Exp1_Mix"};
    for (int id = 0; id < 3; ++id) {
        SCOPED_TRACE(id);
        const Json& drug = drugs[static_cast<size_t>(id)];
        EXPECT_EQ(Keys(drug), id == 2 ? combinationKeys : recordKeys);
        EXPECT_EQ(drug["id"], id);
        EXPECT_EQ(drug["name"], names[id]);
        EXPECT_EQ(drug["units"], "uM");
        EXPECT_EQ(drug["comment"], "");
        EXPECT_EQ(drug["constant_ratio"], true);
        EXPECT_EQ(Keys(drug["fit"]),
                  (std::vector<std::string>{"m", "se_m", "y_int", "se_y_int", "ccsi", "r2", "r",
                                            "dm", "dm_lower", "dm_upper"}));
        ASSERT_EQ(drug["dose_effect"].size(), 21u); // 0.02, 0.05..0.95, 0.99
        EXPECT_EQ(Keys(drug["dose_effect"][0]),
                  (std::vector<std::string>{"fa", "dose", "lower", "upper"}));
        ASSERT_EQ(drug["points"].size(), 3u);
        EXPECT_EQ(Keys(drug["points"][0]), (std::vector<std::string>{"dose", "fa", "ratio"}));
    }

    const Json& drugA = drugs[0];
    EXPECT_EQ(drugA["components"], Json::array());
    EXPECT_TRUE(drugA["ratio"].is_null());
    EXPECT_EQ(drugA["points"][1], (Json{{"dose", 2.0}, {"fa", 0.35}, {"ratio", nullptr}}));
    EXPECT_NEAR(drugA["fit"]["m"].get<double>(), kMA, 1e-9);
    EXPECT_NEAR(drugA["fit"]["dm"].get<double>(), kDmA, 1e-9);
    EXPECT_LT(drugA["fit"]["dm_lower"].get<double>(), kDmA);
    EXPECT_GT(drugA["fit"]["dm_upper"].get<double>(), kDmA);
    // Row 10 is fa 0.5, where the dose is Dm.
    const Json& row = drugA["dose_effect"][10];
    EXPECT_NEAR(row["fa"].get<double>(), 0.5, 1e-12);
    EXPECT_NEAR(row["dose"].get<double>(), kDmA, 1e-9);
    EXPECT_LT(row["lower"].get<double>(), kDmA);
    EXPECT_GT(row["upper"].get<double>(), kDmA);

    const Json& mix = drugs[2];
    EXPECT_EQ(mix["components"], (Json{0, 1}));
    EXPECT_EQ(mix["ratio"], (Json{1.0, 2.0}));
    EXPECT_EQ(mix["points"][2], (Json{{"dose", 12.0}, {"fa", 0.75}, {"ratio", {1.0, 2.0}}}));
    EXPECT_NEAR(mix["fit"]["dm"].get<double>(), kDmMix, 1e-9);
    ASSERT_EQ(mix["point_ci"].size(), 3u);
    ASSERT_EQ(mix["point_dx"].size(), 3u);
    ASSERT_EQ(mix["point_dri"].size(), 3u);
    // The second point has fa 0.5: the drugs alone need their Dm, and the
    // mixture gives 6 of A and 12 of B.
    EXPECT_NEAR(mix["point_dx"][1][0].get<double>(), kDmA, 1e-9);
    EXPECT_NEAR(mix["point_dx"][1][1].get<double>(), kDmB, 1e-9);
    EXPECT_NEAR(mix["point_ci"][1].get<double>(), 6.0 / kDmA + 12.0 / kDmB, 1e-9);
    EXPECT_NEAR(mix["point_dri"][1][0].get<double>(), kDmA / 6.0, 1e-9);
    EXPECT_NEAR(mix["point_dri"][1][1].get<double>(), kDmB / 12.0, 1e-9);

    const Json& levels = mix["levels"];
    ASSERT_EQ(levels.size(), 21u);
    const Json& level = levels[10];
    EXPECT_EQ(Keys(level), (std::vector<std::string>{"fa", "ci", "ci_sd", "doses", "dx", "dri",
                                                     "mc_mean", "mc_sd"}));
    EXPECT_NEAR(level["fa"].get<double>(), 0.5, 1e-12);
    EXPECT_NEAR(level["ci"].get<double>(), kCiAt50, 1e-9);
    EXPECT_GT(level["ci_sd"].get<double>(), 0.0);
    EXPECT_NEAR(level["doses"][0].get<double>(), kDmMix, 1e-9);
    EXPECT_NEAR(level["doses"][1].get<double>(), 2.0 * kDmMix, 1e-9);
    EXPECT_NEAR(level["dx"][0].get<double>(), kDmA, 1e-9);
    EXPECT_NEAR(level["dx"][1].get<double>(), kDmB, 1e-9);
    EXPECT_NEAR(level["dri"][0].get<double>(), kDmA / kDmMix, 1e-9);
    EXPECT_NEAR(level["dri"][1].get<double>(), kDmB / (2.0 * kDmMix), 1e-9);
    for (const Json& each : levels) {
        EXPECT_TRUE(each["ci"].is_number());
        EXPECT_TRUE(each["mc_mean"].is_null());
        EXPECT_TRUE(each["mc_sd"].is_null());
    }
    // Effect1..3 are 0.5, 0.75 and 0.9: levels 10, 15 and 18.
    ASSERT_EQ(mix["summary_ci"].size(), 3u);
    EXPECT_NEAR(mix["summary_ci"][0].get<double>(), kCiAt50, 1e-9);
    EXPECT_NEAR(mix["summary_ci"][1].get<double>(), levels[15]["ci"].get<double>(), 1e-9);
    EXPECT_NEAR(mix["summary_ci"][2].get<double>(), levels[18]["ci"].get<double>(), 1e-9);
}

TEST_F(CliTest, OverridesShowInOptionsAndChangeTheLevels) {
    Json json = Analyse({"--set", "EffectStep=0"});
    EXPECT_EQ(json["options"]["EffectStep"], 0.0);
    EXPECT_EQ(json["options"]["EffectStart"], 0.05);
    for (const Json& drug : json["drugs"]) {
        EXPECT_EQ(drug["dose_effect"].size(), 2u);
    }
    const Json& levels = json["drugs"][2]["levels"];
    ASSERT_EQ(levels.size(), 2u);
    EXPECT_EQ(levels[0]["fa"], 0.02);
    EXPECT_EQ(levels[1]["fa"], 0.99);

    json = Analyse({"--set", "EffectStart=0.1", "--set", "EffectEnd=0.9", "--set", "EffectStep=0.2",
                    "--set", "Effect1=0.3", "--set", "GraphsPerRow=4"});
    const Json& options = json["options"];
    EXPECT_EQ(options["EffectStart"], 0.1);
    EXPECT_EQ(options["EffectEnd"], 0.9);
    EXPECT_EQ(options["Effect1"], 0.3);
    EXPECT_EQ(options["GraphsPerRow"], 4);
    EXPECT_TRUE(options["GraphsPerRow"].is_number_integer());
    const Json& mix = json["drugs"][2];
    const std::vector<double> expected = {0.02, 0.1, 0.3, 0.5, 0.7, 0.9, 0.99};
    ASSERT_EQ(mix["levels"].size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_NEAR(mix["levels"][i]["fa"].get<double>(), expected[i], 1e-12) << i;
    }
    EXPECT_NEAR(mix["levels"][3]["ci"].get<double>(), kCiAt50, 1e-9);
    EXPECT_NEAR(mix["summary_ci"][0].get<double>(), mix["levels"][2]["ci"].get<double>(), 1e-9);
}

TEST_F(CliTest, MonteCarloFillsEstimatesAndRepeatsExactly) {
    const std::vector<std::string> args = {"analyse",      kExample, "--set",
                                           "MonteCarlo=1", "--set",  "ReportRepeats=300"};
    const CCliRun first = Run(args);
    const CCliRun second = Run(args);
    ASSERT_EQ(first.exitCode, 0) << first.err;
    EXPECT_EQ(first.out, second.out);

    const Json json = Json::parse(first.out);
    EXPECT_EQ(json["options"]["MonteCarlo"], 1);
    const Json& levels = json["drugs"][2]["levels"];
    ASSERT_EQ(levels.size(), 21u);
    for (const Json& level : levels) {
        SCOPED_TRACE(level["fa"].dump());
        ASSERT_TRUE(level["mc_mean"].is_number());
        ASSERT_TRUE(level["mc_sd"].is_number());
        const double ci = level["ci"].get<double>();
        EXPECT_NEAR(level["mc_mean"].get<double>(), ci, 0.5 * ci);
        EXPECT_GT(level["mc_sd"].get<double>(), 0.0);
    }

    // A different number of repeats draws a different sample.
    const Json other = Analyse({"--set", "MonteCarlo=1", "--set", "ReportRepeats=301"});
    EXPECT_NE(other["drugs"][2]["levels"][10]["mc_mean"], levels[10]["mc_mean"]);
}

TEST_F(CliTest, UncomputableValuesPrintNullAndTextsAreUtf8) {
    // The mixture's doses are all equal, so it has no fit and nothing at the
    // levels can be computed; its measured points still have indices.
    const std::string input = WriteInput("flat.txt", "[start]\t1\n"
                                                     "S\t2\t2\t\xB5M\t1\t1\n"
                                                     "A\t1\t2\n0.3\t0.6\n"
                                                     "B\t1\t2\n0.3\t0.6\n"
                                                     "M\t1\t1\n0.3\t0.6\n");
    const Json json = Analyse({"--set", "MonteCarlo=1", "--set", "EffectStep=0"}, input);
    const Json& mix = json["drugs"][2];
    EXPECT_EQ(mix["units"], "\xC2\xB5M");
    EXPECT_TRUE(mix["fit"].is_null());
    for (const Json& row : mix["dose_effect"]) {
        EXPECT_TRUE(row["dose"].is_null());
        EXPECT_TRUE(row["lower"].is_null());
        EXPECT_TRUE(row["upper"].is_null());
    }
    for (const Json& level : mix["levels"]) {
        for (const char* key : {"ci", "ci_sd", "doses", "mc_mean", "mc_sd"}) {
            EXPECT_TRUE(level[key].is_null()) << key;
        }
        EXPECT_EQ(level["dri"], (Json{nullptr, nullptr}));
        EXPECT_TRUE(level["dx"][0].is_number());
    }
    EXPECT_EQ(mix["summary_ci"], (Json{nullptr, nullptr, nullptr}));
    EXPECT_TRUE(mix["point_ci"][0].is_number());
}

} // namespace
