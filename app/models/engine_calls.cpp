#include "app/models/engine_calls.h"

#include "app/platform/prompter.h"
#include "core/document.h"
#include "core/encoding.h"
#include "core/file_io.h"
#include "core/message_sink.h"
#include "core/options.h"
#include "core/random.h"
#include "core/run_control.h"
#include "core/text_import.h"
#include "report/summary_report.h"
#include "report/summary_table.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFutureWatcher>
#include <QProgressDialog>
#include <QScopeGuard>
#include <QThread>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

#include <exception>
#include <mutex>
#include <new>

namespace doseplex::app {

namespace {

constexpr int kProgressDelayMs = 500;
const char* const kOutOfMemory =
    "There is insufficient memory to continue.  Please exit the program.";

bool Cancelled(const CBuildControl& control) {
    return control.m_cancel && control.m_cancel->load();
}

// Runs `work` on a worker thread. The window thread keeps handling paint and
// timer events but holds user input back, so that no command can change the
// document while the worker reads it; after half a second a modal progress
// dialog takes the input instead and offers Cancel.
template <typename T>
std::optional<T>
RunInBackground(QWidget* parent, const QString& label,
                const std::function<std::optional<T>(const CBuildControl&)>& work) {
    std::atomic<bool> cancel{false};
    std::atomic<int> done{0};
    std::atomic<int> total{0};
    CBuildControl control;
    control.m_cancel = &cancel;
    control.m_progress = [&done, &total](int d, int t) {
        done = d;
        total = t;
    };
    std::atomic<bool> outOfMemory{false};
    // The engine's messages of the worker go where the window thread's go.
    IMessageSink* const sink = CurrentMessageSink();
    QFuture<std::optional<T>> future = QtConcurrent::run([&]() -> std::optional<T> {
        IMessageSink* const previous = SetMessageSink(sink);
        const auto restore = qScopeGuard([previous] { SetMessageSink(previous); });
        try {
            return work(control);
        } catch (const std::bad_alloc&) {
            outOfMemory = true;
            return std::nullopt;
        }
    });
    QFutureWatcher<std::optional<T>> watcher;
    QEventLoop loop;
    QObject::connect(&watcher, &QFutureWatcherBase::finished, &loop, &QEventLoop::quit);
    watcher.setFuture(future);

    if (!future.isFinished()) {
        QTimer delay;
        delay.setSingleShot(true);
        delay.setTimerType(Qt::PreciseTimer);
        QObject::connect(&delay, &QTimer::timeout, &loop, &QEventLoop::quit);
        delay.start(kProgressDelayMs);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    if (!future.isFinished()) {
        QProgressDialog dialog(label, QStringLiteral("Cancel"), 0, 0, parent);
        dialog.setWindowTitle(QStringLiteral("DosePlex"));
        dialog.setWindowModality(Qt::ApplicationModal);
        dialog.setAutoClose(false);
        dialog.setAutoReset(false);
        dialog.setMinimumDuration(0);
        QObject::connect(&dialog, &QProgressDialog::canceled, &loop, [&] {
            cancel = true;
            loop.quit();
        });
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &dialog, [&] {
            if (total > 0) {
                dialog.setMaximum(total);
                dialog.setValue(done);
            }
        });
        poll.start(100);
        dialog.show();
        if (!future.isFinished()) {
            loop.exec();
        }
        poll.stop();
        dialog.hide();
        // After Cancel the worker is told to stop; wait for it without
        // letting commands in, since it may still be reading the document.
        while (!future.isFinished()) {
            loop.exec(QEventLoop::ExcludeUserInputEvents);
        }
    }
    future.waitForFinished();
    if (outOfMemory) {
        ShowMessage(kOutOfMemory);
        return std::nullopt;
    }
    if (cancel) {
        return std::nullopt;
    }
    return future.result();
}

} // namespace

std::optional<std::string> BuildReportText(CDoseplexDoc& doc, const CReportRequest& request,
                                           const CBuildControl& control) {
    const CRunControl run(
        [&control](long long done, long long total) {
            if (control.m_progress) {
                control.m_progress(static_cast<int>(done), static_cast<int>(total));
            }
        },
        control.m_cancel);
    // The program's one generator: reports draw from it in the order they
    // are built, as long as the program runs. One build runs at a time.
    static CRandom random;
    static std::mutex mutex;
    const std::lock_guard lock(mutex);
    std::string text;
    const CBuildTarget target =
        request.m_bSummary ? CBuildTarget::Summary() : CBuildTarget::Drug(request.m_nDrug);
    if (BuildReport(doc, target, random, text, &run) == EBuildStatus::Cancelled ||
        Cancelled(control)) {
        return std::nullopt;
    }
    return text;
}

std::optional<CTable> BuildSummaryTableOf(CDoseplexDoc& doc, const CBuildControl& control) {
    CTable table = BuildSummaryTable(doc);
    if (Cancelled(control)) {
        return std::nullopt;
    }
    return table;
}

bool ConfirmRepeatCount(QWidget* parent, const CDoseplexDoc& doc, const char* key) {
    if (doc.m_analysis.m_nMonteCarlo == 0) {
        return true;
    }
    const std::string problem = RepeatCountProblem(key, doc.m_analysis);
    if (problem.empty()) {
        return true;
    }
    const QString text = QString::fromStdString(
        "The experiment's " + problem +
        ". A simulation of that size may take a very long time.\n\nSimulate anyway?");
    return Prompter().Ask(parent, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::No) ==
           QMessageBox::Yes;
}

std::optional<std::string> BuildReportInBackground(QWidget* parent, CDoseplexDoc& doc,
                                                   const CReportRequest& request) {
    if (!request.m_bSummary && !ConfirmRepeatCount(parent, doc, "ReportRepeats")) {
        return std::nullopt;
    }
    return RunInBackground<std::string>(parent, QStringLiteral("Building the report..."),
                                        [&doc, request](const CBuildControl& control) {
                                            return BuildReportText(doc, request, control);
                                        });
}

std::optional<CTable> BuildSummaryTableInBackground(QWidget* parent, CDoseplexDoc& doc) {
    return RunInBackground<CTable>(
        parent, QStringLiteral("Building the summary table..."),
        [&doc](const CBuildControl& control) { return BuildSummaryTableOf(doc, control); });
}

bool RunCancellable(QWidget* parent, const QString& label,
                    const std::function<bool(const CBuildControl&)>& work) {
    const std::optional<bool> done = RunInBackground<bool>(
        parent, label, [&work](const CBuildControl& control) -> std::optional<bool> {
            if (!work(control)) {
                return std::nullopt;
            }
            return true;
        });
    return done.value_or(false);
}

std::string TableText(const CTable& table) {
    return TabDelimitedText(table);
}

bool WriteReportFile(const std::string& utf8Text, const std::string& path, std::string& error) {
    return WriteFileSafely(path, Utf8ToEightBit(utf8Text), error);
}

ETableExport TableExportFormat(const std::string& path) {
    switch (TableFormatForPath(path)) {
    case ETableFormat::Text:
        return ETableExport::Text;
    case ETableFormat::Xls:
        return ETableExport::Xls;
    case ETableFormat::Xlsx:
        return ETableExport::Xlsx;
    case ETableFormat::None:
        break;
    }
    return ETableExport::Unknown;
}

bool WriteSummaryTableFile(const CTable& table, const std::string& path, std::string& error) {
    return ExportTable(table, path, error);
}

bool ImportTextFileInto(CDoseplexDoc& doc, const std::string& path) {
    CImportError error;
    return ImportTextFile(path, doc, error);
}

struct CEngineMessages::Sink final : IMessageSink {
    explicit Sink(std::function<void(const QString&)> show) : m_show(std::move(show)) {}
    std::function<void(const QString&)> m_show;

    void ShowMessage(const std::string& text) override {
        const QString message = QString::fromStdString(text);
        QCoreApplication* app = QCoreApplication::instance();
        if (!app || QThread::currentThread() == app->thread()) {
            m_show(message);
        } else {
            QMetaObject::invokeMethod(
                app, [this, message] { m_show(message); }, Qt::BlockingQueuedConnection);
        }
    }
};

CEngineMessages::CEngineMessages(std::function<void(const QString&)> show)
    : m_sink(new Sink(std::move(show))), m_previous(SetMessageSink(m_sink)) {}

CEngineMessages::~CEngineMessages() {
    SetMessageSink(static_cast<IMessageSink*>(m_previous));
    delete m_sink;
}

} // namespace doseplex::app
