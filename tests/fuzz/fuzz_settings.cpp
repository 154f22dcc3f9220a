// Fuzz target: a settings file read into a new experiment's options, both as
// the command line reads it (the engine's INI reader) and as the application
// reads it (the QSettings store). Any input must give options inside their
// reading ranges and an experiment that saves and reads back.
#include "tests/fuzz/fuzz_support.h"

#include "app/qsettings_store.h"
#include "core/document.h"
#include "core/document_file.h"
#include "core/ini_file.h"
#include "core/options.h"
#include "core/settings.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

void CheckOptions(const doseplex::CDoseplexDoc& doc) {
    using namespace doseplex;
    // Decimal options read from settings lie inside the range kept on
    // reading (anything else was replaced), and the experiment saves.
    for (const COptionInfo& info : OptionTable()) {
        const double value = GetOptionValue(info, doc.m_analysis, doc.m_graph);
        if (info.rangeChecked && ApplyReadRange(info, value) != value) {
            std::fprintf(stderr, "fuzz_settings: %.*s read outside its range\n",
                         static_cast<int>(info.key.size()), info.key.data());
            std::abort();
        }
    }
    std::vector<std::uint8_t> bytes;
    CDoseplexDoc back;
    if (!WriteDocument(doc, bytes) || !ReadDocument(bytes, back)) {
        std::fprintf(stderr, "fuzz_settings: options read from settings do not save\n");
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace doseplex;
    static fuzz::CSilentSink sink;
    SetMessageSink(&sink);
    if (size > kMaxSettingsFileBytes) {
        return 0; // the command line refuses such files before reading them
    }
    // A new name each time: the store caches what it read under the name.
    static unsigned counter = 0;
    const std::string path = "/tmp/doseplex-fuzz-settings-" + std::to_string(::getpid()) + "-" +
                             std::to_string(++counter) + ".ini";
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (!CheckSettingsFile(path, false).empty()) {
        std::remove(path.c_str());
        std::fprintf(stderr, "fuzz_settings: a small settings file is refused\n");
        std::abort();
    }
    std::unique_ptr<CDoseplexDoc> fromQt;
    {
        const CQSettingsStore store(path);
        fromQt = NewDocumentFromStore(store);
    }
    std::remove(path.c_str());
    CMemoryStore memory;
    ReadIniText(std::string_view(reinterpret_cast<const char*>(data), size), memory);
    CheckOptions(*fromQt);
    CheckOptions(*NewDocumentFromStore(memory));
    return 0;
}
