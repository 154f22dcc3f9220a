#include "core/message_sink.h"

#include <cstdio>

namespace doseplex {
namespace {

class CStderrSink : public IMessageSink {
public:
    void ShowMessage(const std::string& text) override {
        std::fputs(text.c_str(), stderr);
        std::fputc('\n', stderr);
    }
};

CStderrSink g_stderrSink;
// Each thread has its own receiver, so an analysis on a worker thread never
// sends its messages to a sink that the window thread installed, or back.
thread_local IMessageSink* g_sink = &g_stderrSink;

} // namespace

IMessageSink* SetMessageSink(IMessageSink* sink) {
    IMessageSink* previous = g_sink;
    g_sink = sink ? sink : &g_stderrSink;
    return previous == &g_stderrSink ? nullptr : previous;
}

IMessageSink* CurrentMessageSink() {
    return g_sink == &g_stderrSink ? nullptr : g_sink;
}

void ShowMessage(const std::string& text) {
    g_sink->ShowMessage(text);
}

} // namespace doseplex
