#pragma once

// What the application's tests share: a prompter that answers message boxes
// and file dialogs from a script, a main window over a private settings file
// in a temporary folder, and reading files and printed PDFs back.

#include "app/platform/app_settings.h"
#include "app/platform/prompter.h"
#include "app/qsettings_store.h"
#include "app/shell/main_window.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <deque>
#include <memory>

namespace doseplex::app::testing {

// Records every message and question; answers questions and file dialogs in
// the order queued (Cancel, or an empty path, when nothing is queued).
class CScriptedPrompter final : public IPrompter {
public:
    CScriptedPrompter() : m_previous(SetPrompter(this)) {}
    ~CScriptedPrompter() override { SetPrompter(m_previous); }

    void Message(QWidget*, const QString& text) override { m_messages.append(text); }
    QMessageBox::StandardButton Ask(QWidget*, const QString& text, QMessageBox::StandardButtons,
                                    QMessageBox::StandardButton) override {
        m_questions.append(text);
        if (m_answers.empty()) {
            return QMessageBox::Cancel;
        }
        const QMessageBox::StandardButton answer = m_answers.front();
        m_answers.pop_front();
        return answer;
    }
    QString OpenFileName(QWidget*, const QString& title, const QString&, const QString&) override {
        return NextFile(title);
    }
    QString SaveFileName(QWidget*, const QString& title, const QString&, const QString&,
                         const QString&) override {
        return NextFile(title);
    }

    QStringList m_messages;
    QStringList m_questions;
    QStringList m_fileDialogTitles;
    std::deque<QMessageBox::StandardButton> m_answers;
    std::deque<QString> m_fileNames;

private:
    QString NextFile(const QString& title) {
        m_fileDialogTitles.append(title);
        if (m_fileNames.empty()) {
            return {};
        }
        QString name = m_fileNames.front();
        m_fileNames.pop_front();
        return name;
    }

    IPrompter* m_previous;
};

// The whole of a file; empty when it cannot be read.
inline QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Runs a poppler tool (pdfinfo, pdftotext) and gives its standard output;
// empty when the tool is not installed.
inline QString RunTool(const QString& tool, const QStringList& arguments) {
    const QString program = QStandardPaths::findExecutable(tool);
    if (program.isEmpty()) {
        return {};
    }
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(60000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

// The page count of a PDF, or -1.
inline int PdfPages(const QString& pdf) {
    const QRegularExpressionMatch match =
        QRegularExpression("Pages:\\s+(\\d+)").match(RunTool("pdfinfo", {pdf}));
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

// The path of a file of the repository's examples folder.
inline QString Example(const char* name) {
    return QStringLiteral(DOSEPLEX_SOURCE_DIR "/examples/") + QString::fromUtf8(name);
}

// A main window as the program has one, over a settings file of its own.
struct CAppFixture {
    QTemporaryDir m_dir;
    CQSettingsStore m_store{m_dir.filePath(QStringLiteral("DosePlex.ini")).toStdString()};
    CAppSettings m_settings{m_store};
    CScriptedPrompter m_prompter;
    std::unique_ptr<CMainWindow> m_window = std::make_unique<CMainWindow>(m_settings);

    CAppFixture() {
        // DOSEPLEX_KEEP_TEST_FILES=1 keeps the folder for a look afterwards.
        if (qEnvironmentVariableIsSet("DOSEPLEX_KEEP_TEST_FILES")) {
            m_dir.setAutoRemove(false);
            qInfo("test files in %s", qPrintable(m_dir.path()));
        }
    }
    QString Path(const QString& name) const { return m_dir.filePath(name); }
};

} // namespace doseplex::app::testing
