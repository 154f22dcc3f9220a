// The settings store over QSettings (INI files) and the command line's use of
// it: --settings FILE, DOSEPLEX_SETTINGS and the per-user file.
#include "app/qsettings_store.h"
#include "core/document.h"
#include "core/settings.h"
#include "tests/test_support.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace doseplex;
namespace fs = std::filesystem;

using testing_support::CTempDir;
using testing_support::ReadFile;

class TempDirTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(m_temp.Path().empty());
        m_dir = m_temp.Path();
    }

    std::string WriteFile(const fs::path& relative, const std::string& content) const {
        const fs::path path = m_dir / relative;
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << content;
        return path.string();
    }

    CTempDir m_temp{"doseplex-settings"};
    fs::path m_dir;
};

using QSettingsStoreTest = TempDirTest;

TEST_F(QSettingsStoreTest, RoundTripThroughAnIniFile) {
    const std::string path = (m_dir / "settings.ini").string();
    const std::vector<std::string> texts = {"Arial, Bold",
                                            "  lead",
                                            "",
                                            "Gr\xC3\xBC\xC3\x9F"
                                            "e",
                                            "a=b;c #d",
                                            "\"quoted\""};
    {
        CQSettingsStore store(path);
        EXPECT_EQ(store.FileName(), path);
        CDoseplexDoc doc;
        doc.m_analysis.m_dEffectStep = 0.1;
        doc.m_analysis.m_nReportRepeats = 500;
        doc.m_graph.m_nGraphsPerRow = 3;
        SaveReportDefaults(doc, store);
        SaveGraphOptions(doc, store);
        store.WriteInt("PageSetup", "TopMargin", -75);
        for (size_t i = 0; i < texts.size(); ++i) {
            store.WriteString("Texts", "T" + std::to_string(i), texts[i]);
        }
    } // written on destruction

    const std::string ini = ReadFile(path);
    EXPECT_NE(ini.find("[ReportDefaults]"), std::string::npos) << ini;
    EXPECT_NE(ini.find("EffectStep=0.100000"), std::string::npos) << ini;
    EXPECT_NE(ini.find("[PageSetup]"), std::string::npos) << ini;

    const CQSettingsStore store(path);
    const auto doc = NewDocumentFromStore(store);
    EXPECT_DOUBLE_EQ(doc->m_analysis.m_dEffectStep, 0.1);
    EXPECT_EQ(doc->m_analysis.m_nReportRepeats, 500);
    EXPECT_EQ(doc->m_graph.m_nGraphsPerRow, 3);
    EXPECT_EQ(store.ReadInt("PageSetup", "TopMargin", 50), -75);
    EXPECT_EQ(store.ReadString("PageSetup", "TopMargin", ""), "-75");
    for (size_t i = 0; i < texts.size(); ++i) {
        EXPECT_EQ(store.ReadString("Texts", "T" + std::to_string(i), "?"), texts[i]);
    }
    // Missing keys and text that is no integer give the caller's default.
    EXPECT_EQ(store.ReadInt("PageSetup", "LeftMargin", 50), 50);
    EXPECT_EQ(store.ReadString("Font", "FaceName", "System"), "System");
    EXPECT_EQ(store.ReadInt("ReportDefaults", "EffectStep", 7), 7);
}

TEST_F(QSettingsStoreTest, ReadsAHandWrittenIniFile) {
    const std::string path = WriteFile("hand.ini", "; written by hand, Windows line ends\r\n"
                                                   "[ReportDefaults]\r\n"
                                                   "EffectStep=0.1\r\n"
                                                   "sdMultiple = 6\r\n"
                                                   "Effect2=1.5\r\n"
                                                   "GraphRepeats=7\r\n"
                                                   "\r\n"
                                                   "[GraphOptions]\r\n"
                                                   "GraphsPerRow=3\r\n"
                                                   "[Font]\r\n"
                                                   "Height=-12\r\n"
                                                   "FaceName=Arial, Bold\r\n");
    const std::string before = ReadFile(path);
    {
        const CQSettingsStore store(path);
        const auto doc = NewDocumentFromStore(store);
        EXPECT_DOUBLE_EQ(doc->m_analysis.m_dEffectStep, 0.1);
        EXPECT_DOUBLE_EQ(doc->m_analysis.m_dSdMultiple, 1.0); // above 5: replaced
        EXPECT_DOUBLE_EQ(doc->m_analysis.m_dEffect2, 1.5);
        EXPECT_EQ(doc->m_analysis.m_nGraphRepeats, 7);
        EXPECT_EQ(doc->m_graph.m_nGraphsPerRow, 3);
        EXPECT_EQ(doc->m_graph.m_nGraphsPerPage, 6);
        const CViewSettingsRecord view = LoadViewSettings(store);
        EXPECT_EQ(view.m_settings.m_font.m_nHeight, -12);
        EXPECT_EQ(view.m_settings.m_font.m_strFaceName, "Arial, Bold");
    }
    EXPECT_EQ(ReadFile(path), before); // reading leaves the file alone
}

// --- The command line ------------------------------------------------------------

using Json = nlohmann::json;

struct CCliRun {
    int exitCode = -1;
    std::string err;
    Json json;
};

class CliSettingsTest : public TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        ASSERT_FALSE(m_outputs.Path().empty());
        m_config = m_dir / "config";
        fs::create_directories(m_config);
        m_file = WriteFile("a.ini", "[ReportDefaults]\nEffectStep=0.1\n[GraphOptions]\n"
                                    "GraphsPerRow=3\n");
    }

    // Runs `analyse` on the two-drug example with the per-user configuration
    // folder in the test's directory and DOSEPLEX_SETTINGS unset unless `env`
    // sets it. The outputs are kept in a directory of their own, so that the
    // test's directory holds only what the test put there.
    CCliRun Analyse(const std::vector<std::string>& extra,
                    const std::vector<std::string>& env = {}) const {
        std::vector<std::string> args{"analyse",
                                      std::string(DOSEPLEX_SOURCE_DIR) + "/examples/two-drug.txt"};
        args.insert(args.end(), extra.begin(), extra.end());
        testing_support::CCliOptions options(m_outputs.Path());
        options.set.push_back("XDG_CONFIG_HOME=" + m_config.string());
        options.set.insert(options.set.end(), env.begin(), env.end());
        const testing_support::CCliRun result = testing_support::RunCli(args, options);

        CCliRun run;
        run.exitCode = result.exitCode;
        run.err = result.err;
        run.json = Json::parse(result.out, nullptr, false);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_FALSE(run.json.is_discarded());
        return run;
    }

    // The EffectStep the run used, and how many effect levels the first
    // drug's dose-effect table got from it.
    static std::pair<double, size_t> StepAndLevels(const CCliRun& run) {
        if (run.json.is_discarded()) {
            return {-1.0, 0};
        }
        return {run.json["options"]["EffectStep"].get<double>(),
                run.json["drugs"][0]["dose_effect"].size()};
    }

    CTempDir m_outputs{"doseplex-settings-run"};
    fs::path m_config;
    std::string m_file;
};

TEST_F(CliSettingsTest, SettingsFileOptionAndVariable) {
    const std::string other = WriteFile("b.ini", "[ReportDefaults]\nEffectStep=0.2\n");
    const std::string before = ReadFile(m_file);

    const CCliRun named = Analyse({"--settings", m_file});
    EXPECT_EQ(StepAndLevels(named), std::make_pair(0.1, size_t{12}));
    EXPECT_EQ(named.json["options"]["GraphsPerRow"], 3);
    EXPECT_EQ(named.err, "");

    EXPECT_EQ(StepAndLevels(Analyse({}, {"DOSEPLEX_SETTINGS=" + other})),
              std::make_pair(0.2, size_t{7}));
    // --settings wins over the variable, and --set over both.
    EXPECT_EQ(StepAndLevels(Analyse({"--settings", m_file}, {"DOSEPLEX_SETTINGS=" + other})).first,
              0.1);
    EXPECT_EQ(StepAndLevels(Analyse({"--settings", m_file, "--set", "EffectStep=0.25"})).first,
              0.25);

    // Reading never writes: the files are as they were, and nothing new
    // appeared beside them or in the configuration folder.
    EXPECT_EQ(ReadFile(m_file), before);
    std::vector<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(m_dir)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"a.ini", "b.ini", "config"}));
}

TEST_F(CliSettingsTest, PerUserStoreAndUnreadableFile) {
    // Nothing stored: the table defaults, and the per-user folder stays empty.
    const CCliRun plain = Analyse({});
    EXPECT_EQ(StepAndLevels(plain), std::make_pair(0.05, size_t{21}));
    EXPECT_TRUE(fs::is_empty(m_config));

    WriteFile("config/Labwerk/DosePlex.ini", "[ReportDefaults]\nEffectStep=0.3\n");
    EXPECT_EQ(StepAndLevels(Analyse({})).first, 0.3);
    EXPECT_EQ(StepAndLevels(Analyse({}, {"DOSEPLEX_SETTINGS="})).first, 0.3);

    // A named file that cannot be read: a warning, then the table defaults
    // (not the per-user values).
    const CCliRun missing = Analyse({"--settings", (m_dir / "missing.ini").string()});
    EXPECT_EQ(StepAndLevels(missing).first, 0.05);
    EXPECT_NE(missing.err.find("cannot read settings file"), std::string::npos) << missing.err;
    EXPECT_FALSE(fs::exists(m_dir / "missing.ini"));
    const CCliRun directory = Analyse({"--settings", m_dir.string()});
    EXPECT_EQ(StepAndLevels(directory).first, 0.05);
    EXPECT_NE(directory.err.find("cannot read settings file"), std::string::npos);
}

} // namespace
