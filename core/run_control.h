#pragma once

#include <atomic>
#include <functional>

namespace doseplex {

// How a build of reports, tables or graphs ended.
enum class EBuildStatus {
    Built,     // complete
    Missing,   // nothing to build: the record does not exist, the selection is empty
    Refused,   // the data cannot be shown (a message said why)
    Cancelled, // stopped through the run control; nothing was handed out
};

// Lets the caller of long work follow it and stop it. The worker reads the
// cancel flag (from any thread) between units of work and reports how many of
// the build's units are done; the callback runs on the worker's thread.
class CRunControl {
public:
    CRunControl() = default;
    // `progress` is told of the work done; `cancelFlag`, when given, is a
    // flag of the caller's that cancels the work as Cancel does.
    explicit CRunControl(std::function<void(long long done, long long total)> progress,
                         const std::atomic<bool>* cancelFlag = nullptr)
        : m_progress(std::move(progress)), m_external(cancelFlag) {}
    CRunControl(const CRunControl&) = delete;
    CRunControl& operator=(const CRunControl&) = delete;

    void Cancel() { m_cancel.store(true, std::memory_order_relaxed); }
    bool Cancelled() const {
        return m_cancel.load(std::memory_order_relaxed) ||
               (m_external != nullptr && m_external->load(std::memory_order_relaxed));
    }
    void Progress(long long done, long long total) const {
        if (m_progress) {
            m_progress(done, total);
        }
    }

private:
    std::function<void(long long, long long)> m_progress;
    std::atomic<bool> m_cancel{false};
    const std::atomic<bool>* m_external = nullptr;
};

// A cancel check for code that may run without a run control.
inline bool IsCancelled(const CRunControl* control) {
    return control && control->Cancelled();
}

} // namespace doseplex

namespace doseplex {

// What a report, a table or a set of graphs is built for: the experiment's
// summary, or the record with drug id `drug`.
struct CBuildTarget {
    bool summary = false;
    long long drug = -1;

    static CBuildTarget Summary() { return {true, -1}; }
    static CBuildTarget Drug(long long id) { return {false, id}; }
};

} // namespace doseplex
