#pragma once

// The application's only door to the analysis engine: building report texts
// and the summary table, exporting them, importing text files, and routing
// the engine's messages to message boxes. Builds that may take long run off
// the window thread behind a progress dialog with a Cancel button.

#include "report/table.h"

#include <QString>

#include <atomic>
#include <functional>
#include <optional>
#include <string>

class QWidget;

namespace doseplex {
class CDoseplexDoc;
}

namespace doseplex::app {

// What a report window shows: the summary report or one record's report.
struct CReportRequest {
    bool m_bSummary = true;
    int m_nDrug = -1;
};

// Controls a build in progress: a flag the caller sets to ask the build to
// stop, and a callback told of progress (steps done, steps in all; all 0
// while the amount of work is unknown).
struct CBuildControl {
    const std::atomic<bool>* m_cancel = nullptr;
    std::function<void(int done, int total)> m_progress;
};

// The report text (UTF-8, CR LF line ends). Empty when the requested record
// does not exist. Returns nothing when the build was cancelled. Must not run
// while anything else reads or changes `doc`.
std::optional<std::string> BuildReportText(CDoseplexDoc& doc, const CReportRequest& request,
                                           const CBuildControl& control);
// The summary table of the whole experiment; nothing when cancelled.
std::optional<CTable> BuildSummaryTableOf(CDoseplexDoc& doc, const CBuildControl& control);

// The same on a worker thread while the window thread keeps painting. When
// the work takes longer than about half a second a modal progress dialog
// with Cancel appears over `parent`. Returns nothing when the user cancelled;
// the document is never touched by the window thread meanwhile.
std::optional<std::string> BuildReportInBackground(QWidget* parent, CDoseplexDoc& doc,
                                                   const CReportRequest& request);
std::optional<CTable> BuildSummaryTableInBackground(QWidget* parent, CDoseplexDoc& doc);

// Asks before a simulation whose repeat count (`key`: "ReportRepeats" or
// "GraphRepeats") lies outside the Options dialog's range, as a file can
// store it: such a count can mean hours of work. True when the count is in
// range, the simulation is off, or the user chose to go on.
bool ConfirmRepeatCount(QWidget* parent, const CDoseplexDoc& doc, const char* key);

// The machinery of the two above for any work: runs `work` on a worker
// thread behind the delayed progress dialog. False when the user cancelled
// or the work itself failed.
bool RunCancellable(QWidget* parent, const QString& label,
                    const std::function<bool(const CBuildControl&)>& work);

// The summary table's grid as tab-separated text (for the clipboard).
std::string TableText(const CTable& table);

// Writes a report text exactly as the report window holds it: 8-bit text
// (Windows-1252 where every character has a byte there). The file is
// replaced only once complete. On failure `error` says why.
bool WriteReportFile(const std::string& utf8Text, const std::string& path, std::string& error);

// Which format a summary table export takes by the file's extension.
enum class ETableExport { Unknown, Text, Xls, Xlsx };
ETableExport TableExportFormat(const std::string& path);
bool WriteSummaryTableFile(const CTable& table, const std::string& path, std::string& error);

// Reads a "[start]" import file into `doc`; the engine shows any error
// through the message sink.
bool ImportTextFileInto(CDoseplexDoc& doc, const std::string& path);

// Sends the engine's messages to `show` for the lifetime of the object (from
// any thread: messages of a worker are shown on the window thread, which
// the worker waits for).
class CEngineMessages {
public:
    explicit CEngineMessages(std::function<void(const QString&)> show);
    ~CEngineMessages();
    CEngineMessages(const CEngineMessages&) = delete;
    CEngineMessages& operator=(const CEngineMessages&) = delete;

private:
    struct Sink;
    Sink* m_sink;
    void* m_previous;
};

} // namespace doseplex::app
