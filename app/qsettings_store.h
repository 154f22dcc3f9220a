#pragma once

#include "core/settings_store.h"

#include <memory>
#include <string>
#include <string_view>

class QSettings;

namespace doseplex {

// The per-user settings store over QSettings, organisation "Labwerk",
// application "DosePlex". On Windows it is the registry key of that name
// under the current user; elsewhere an INI file in the user's configuration
// folder ($XDG_CONFIG_HOME or ~/.config, "Labwerk/DosePlex.ini"). A section
// is an INI group ("[ReportDefaults]"), so a hand-written file such as
//     [ReportDefaults]
//     EffectStep=0.1
// is read as it stands. Changes reach the disk on Sync() or destruction.
class CQSettingsStore final : public IKeyValueStore {
public:
    CQSettingsStore();
    // The INI file at `iniPath` instead of the per-user store. A file that
    // does not exist reads as empty and is created by the first write.
    explicit CQSettingsStore(const std::string& iniPath);
    ~CQSettingsStore() override;
    CQSettingsStore(const CQSettingsStore&) = delete;
    CQSettingsStore& operator=(const CQSettingsStore&) = delete;

    int ReadInt(std::string_view section, std::string_view key, int defaultValue) const override;
    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view defaultValue) const override;
    void WriteInt(std::string_view section, std::string_view key, int value) override;
    void WriteString(std::string_view section, std::string_view key,
                     std::string_view value) override;

    // The file (or registry path) behind the store.
    std::string FileName() const;
    // Writes pending changes now; failures are not reported.
    void Sync();

private:
    std::unique_ptr<QSettings> m_settings;
};

} // namespace doseplex
