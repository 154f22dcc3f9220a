#pragma once

#include <string>
#include <vector>

namespace doseplex {

// Where the engine sends the few messages a user must see ("Negative dose",
// import errors, ...). The engine never shows UI itself: the command line
// prints to stderr, the application shows message boxes, tests collect them.
class IMessageSink {
public:
    virtual ~IMessageSink() = default;
    virtual void ShowMessage(const std::string& text) = 0;
};

// Installs `sink` as the calling thread's receiver and returns the previous
// one. Null restores the default, which writes each message to stderr. Every
// thread starts with the default.
IMessageSink* SetMessageSink(IMessageSink* sink);

// The calling thread's receiver; null for the default. A thread that works
// for another (a worker of the window thread) installs the other's receiver.
IMessageSink* CurrentMessageSink();

// Sends one message to the calling thread's sink.
void ShowMessage(const std::string& text);

// Keeps every message; handy for tests and for callers that batch messages.
class CCollectingMessageSink : public IMessageSink {
public:
    void ShowMessage(const std::string& text) override { m_messages.push_back(text); }
    std::vector<std::string> m_messages;
};

// Installs a sink for the lifetime of the object.
class CScopedMessageSink {
public:
    explicit CScopedMessageSink(IMessageSink& sink) : m_previous(SetMessageSink(&sink)) {}
    ~CScopedMessageSink() { SetMessageSink(m_previous); }
    CScopedMessageSink(const CScopedMessageSink&) = delete;
    CScopedMessageSink& operator=(const CScopedMessageSink&) = delete;

private:
    IMessageSink* m_previous;
};

} // namespace doseplex
