#include "core/settings_store.h"

#include <charconv>

namespace doseplex {

namespace {

std::pair<std::string, std::string> MakeKey(std::string_view section, std::string_view key) {
    return {std::string(section), std::string(key)};
}

// A whole-text decimal integer, surrounding blanks allowed.
std::optional<int> ParseInt(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return std::nullopt;
    }
    text = text.substr(first, text.find_last_not_of(" \t") - first + 1);
    if (text.front() == '+') {
        text.remove_prefix(1);
    }
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

} // namespace

int CMemoryStore::ReadInt(std::string_view section, std::string_view key, int defaultValue) const {
    const auto text = Get(section, key);
    if (!text) {
        return defaultValue;
    }
    return ParseInt(*text).value_or(defaultValue);
}

std::string CMemoryStore::ReadString(std::string_view section, std::string_view key,
                                     std::string_view defaultValue) const {
    return Get(section, key).value_or(std::string(defaultValue));
}

void CMemoryStore::WriteInt(std::string_view section, std::string_view key, int value) {
    WriteString(section, key, std::to_string(value));
}

void CMemoryStore::WriteString(std::string_view section, std::string_view key,
                               std::string_view value) {
    Set(section, key, value);
    m_writeLog.push_back(std::string(section) + "/" + std::string(key));
}

void CMemoryStore::Remove(std::string_view section, std::string_view key) {
    m_values.erase({std::string(section), std::string(key)});
}

void CMemoryStore::Set(std::string_view section, std::string_view key, std::string_view value) {
    m_values[MakeKey(section, key)] = std::string(value);
}

std::optional<std::string> CMemoryStore::Get(std::string_view section, std::string_view key) const {
    const auto found = m_values.find(MakeKey(section, key));
    if (found == m_values.end()) {
        return std::nullopt;
    }
    return found->second;
}

} // namespace doseplex
