// The engine's INI reader against the application's settings store, which
// reads the same files through QSettings.
#include "app/qsettings_store.h"
#include "core/ini_file.h"
#include "core/settings_store.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

namespace {

using namespace doseplex;
using testing_support::CTempDir;

TEST(IniFile, ReadsWhatTheSettingsStoreReads) {
    const char* const kFile = "; hand-written\n"
                              "[ReportDefaults]\n"
                              "EffectStep=0.1\n"
                              "  EffectFirst =  0.03  \n"
                              "MonteCarlo=1\n"
                              "ReportRepeats=+500\n"
                              "Effect1=\"0.4\"\n"
                              "EffectEnd=1,5\n"
                              "# another comment\n"
                              "[Font]\n"
                              "FaceName=Arial, Bold\n"
                              "Quoted=\"  spaced \\\"out\\\"  \"\n"
                              "Escapes=a\\tb\\\\c\\x41\n"
                              "Bytes=@ByteArray(raw)\n"
                              "Typed=@Variant(\\0\\0\\0\\x7f)\n"
                              "Weird%20Key=1\n"
                              "Empty=\n"
                              "[GraphOptions]\n"
                              "GraphsPerRow=3\n"
                              "GraphsPerRow=4\n";
    const CTempDir dir;
    const std::string path = (dir / "settings.ini").string();
    std::ofstream(path, std::ios::binary) << kFile;

    const CQSettingsStore reference(path);
    CMemoryStore store;
    ReadIniText(kFile, store);
    const std::pair<const char*, const char*> keys[] = {
        {"ReportDefaults", "EffectStep"},
        {"ReportDefaults", "EffectFirst"},
        {"ReportDefaults", "MonteCarlo"},
        {"ReportDefaults", "ReportRepeats"},
        {"ReportDefaults", "Effect1"},
        {"ReportDefaults", "EffectEnd"},
        {"Font", "FaceName"},
        {"Font", "Quoted"},
        {"Font", "Escapes"},
        {"Font", "Bytes"},
        {"Font", "Typed"},
        {"Font", "Weird Key"},
        {"Font", "Empty"},
        {"GraphOptions", "GraphsPerRow"},
        {"GraphOptions", "Missing"},
    };
    for (const auto& [section, key] : keys) {
        SCOPED_TRACE(std::string(section) + "/" + key);
        EXPECT_EQ(store.ReadString(section, key, "<none>"),
                  reference.ReadString(section, key, "<none>"));
        EXPECT_EQ(store.ReadInt(section, key, -99), reference.ReadInt(section, key, -99));
    }
    EXPECT_EQ(store.ReadInt("GraphOptions", "GraphsPerRow", 0), 4);
}

} // namespace
