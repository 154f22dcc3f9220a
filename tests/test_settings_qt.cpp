// The settings store over QSettings (INI files) and the command line's use of
// it: --settings FILE, DOSEPLEX_SETTINGS and the per-user file.
#include "app/qsettings_store.h"
#include "core/document.h"
#include "core/settings.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <utility>
#include <vector>

extern char** environ;

namespace {

using namespace doseplex;
namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class TempDirTest : public testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "doseplex-settings-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_dir = pattern;
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(m_dir, ec);
    }

    std::string WriteFile(const fs::path& relative, const std::string& content) const {
        const fs::path path = m_dir / relative;
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << content;
        return path.string();
    }

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

    const std::string ini = ReadAll(path);
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
    const std::string before = ReadAll(path);
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
    EXPECT_EQ(ReadAll(path), before); // reading leaves the file alone
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
        m_config = m_dir / "config";
        fs::create_directories(m_config);
        m_file = WriteFile("a.ini", "[ReportDefaults]\nEffectStep=0.1\n[GraphOptions]\n"
                                    "GraphsPerRow=3\n");
    }

    // Runs `analyse` on the two-drug example with the per-user configuration
    // folder in the test's directory, DOSEPLEX_SETTINGS unset unless `env`
    // sets it, and the working directory in the test's directory.
    CCliRun Analyse(const std::vector<std::string>& extra,
                    const std::vector<std::string>& env = {}) const {
        std::vector<std::string> envStorage;
        for (char** entry = environ; *entry != nullptr; ++entry) {
            const std::string item = *entry;
            if (item.rfind("DOSEPLEX_SETTINGS=", 0) != 0 &&
                item.rfind("XDG_CONFIG_HOME=", 0) != 0) {
                envStorage.push_back(item);
            }
        }
        envStorage.push_back("XDG_CONFIG_HOME=" + m_config.string());
        envStorage.insert(envStorage.end(), env.begin(), env.end());

        std::vector<std::string> argStorage{
            DOSEPLEX_CLI, "analyse", std::string(DOSEPLEX_SOURCE_DIR) + "/examples/two-drug.txt"};
        argStorage.insert(argStorage.end(), extra.begin(), extra.end());

        const fs::path output = fs::temp_directory_path() / (m_dir.filename().string() + ".out");
        const fs::path errors = fs::temp_directory_path() / (m_dir.filename().string() + ".err");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        const auto pointers = [](std::vector<std::string>& storage) {
            std::vector<char*> list;
            for (std::string& item : storage) {
                list.push_back(item.data());
            }
            list.push_back(nullptr);
            return list;
        };
        std::vector<char*> argv = pointers(argStorage);
        std::vector<char*> envp = pointers(envStorage);

        CCliRun run;
        pid_t pid = 0;
        const int spawned =
            posix_spawn(&pid, DOSEPLEX_CLI, &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0) {
            ADD_FAILURE() << "cannot start " << DOSEPLEX_CLI << ": error " << spawned;
            return run;
        }
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        run.err = ReadAll(errors);
        run.json = Json::parse(ReadAll(output), nullptr, false);
        std::error_code ec;
        fs::remove(output, ec);
        fs::remove(errors, ec);
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

    fs::path m_config;
    std::string m_file;
};

TEST_F(CliSettingsTest, SettingsFileOptionAndVariable) {
    const std::string other = WriteFile("b.ini", "[ReportDefaults]\nEffectStep=0.2\n");
    const std::string before = ReadAll(m_file);

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
    EXPECT_EQ(ReadAll(m_file), before);
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
