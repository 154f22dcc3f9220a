#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace doseplex {

// The per-user settings store as the engine sees it: named sections holding
// keyed integers and texts. Reads fall back to the caller's default when the
// value is missing (or, for ReadInt, when it is not an integer). Writes that
// fail are not reported.
class IKeyValueStore {
public:
    virtual ~IKeyValueStore() = default;

    virtual int ReadInt(std::string_view section, std::string_view key, int defaultValue) const = 0;
    virtual std::string ReadString(std::string_view section, std::string_view key,
                                   std::string_view defaultValue) const = 0;
    virtual void WriteInt(std::string_view section, std::string_view key, int value) = 0;
    virtual void WriteString(std::string_view section, std::string_view key,
                             std::string_view value) = 0;
};

// A store held in memory, for tests and for running without a per-user store.
// Values are kept as text, the way an INI file holds them; every write is
// also logged so that callers can check what was written back.
class CMemoryStore final : public IKeyValueStore {
public:
    int ReadInt(std::string_view section, std::string_view key, int defaultValue) const override;
    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view defaultValue) const override;
    void WriteInt(std::string_view section, std::string_view key, int value) override;
    void WriteString(std::string_view section, std::string_view key,
                     std::string_view value) override;

    // Puts a value without logging a write (set-up of a test's store).
    void Set(std::string_view section, std::string_view key, std::string_view value);
    // Forgets a value without logging a write.
    void Remove(std::string_view section, std::string_view key);
    // The stored text, or nothing when the key is missing.
    std::optional<std::string> Get(std::string_view section, std::string_view key) const;

    // "Section/Key" of every write since construction or the last
    // ClearWriteLog, in order (a key written twice appears twice).
    const std::vector<std::string>& WriteLog() const { return m_writeLog; }
    void ClearWriteLog() { m_writeLog.clear(); }

private:
    std::map<std::pair<std::string, std::string>, std::string> m_values;
    std::vector<std::string> m_writeLog;
};

} // namespace doseplex
