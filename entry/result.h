#pragma once

// The one way entry operations report how they went: success, or the message
// the user is shown. Dialogs put the message in a message box and keep their
// state; nothing here shows anything itself.

#include <optional>
#include <string>
#include <utility>

namespace doseplex::entry {

class CStatus {
public:
    static CStatus Ok() { return CStatus(); }
    static CStatus Fail(std::string message) { return CStatus(std::move(message)); }

    bool IsOk() const { return m_bOk; }
    explicit operator bool() const { return m_bOk; }
    // Empty on success.
    const std::string& Message() const { return m_strMessage; }

private:
    CStatus() = default;
    explicit CStatus(std::string message) : m_bOk(false), m_strMessage(std::move(message)) {}

    bool m_bOk = true;
    std::string m_strMessage;
};

// A value, or the message that says why there is none.
template <class T> class CResult {
public:
    CResult(T value) : m_value(std::move(value)) {}
    CResult(CStatus failure) : m_strMessage(failure.Message()) {}

    bool IsOk() const { return m_value.has_value(); }
    explicit operator bool() const { return IsOk(); }
    const std::string& Message() const { return m_strMessage; }
    const T& Value() const& { return *m_value; }
    T& Value() & { return *m_value; }
    T&& Value() && { return std::move(*m_value); }

private:
    std::optional<T> m_value;
    std::string m_strMessage;
};

} // namespace doseplex::entry
