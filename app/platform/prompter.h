#pragma once

#include <QMessageBox>
#include <QString>

class QWidget;

namespace doseplex::app {

// Every message box and file dialog of the application goes through the
// current prompter, so that tests can answer them without a user.
class IPrompter {
public:
    virtual ~IPrompter() = default;
    // A message with an OK button.
    virtual void Message(QWidget* parent, const QString& text) = 0;
    // A question; returns the button chosen among `buttons`.
    virtual QMessageBox::StandardButton Ask(QWidget* parent, const QString& text,
                                            QMessageBox::StandardButtons buttons,
                                            QMessageBox::StandardButton defaultButton) = 0;
    // File dialogs; an empty result means the user cancelled.
    virtual QString OpenFileName(QWidget* parent, const QString& title, const QString& startPath,
                                 const QString& filter) = 0;
    virtual QString SaveFileName(QWidget* parent, const QString& title, const QString& startPath,
                                 const QString& filter, const QString& defaultSuffix) = 0;
};

// The real dialogs.
class CDialogPrompter final : public IPrompter {
public:
    void Message(QWidget* parent, const QString& text) override;
    QMessageBox::StandardButton Ask(QWidget* parent, const QString& text,
                                    QMessageBox::StandardButtons buttons,
                                    QMessageBox::StandardButton defaultButton) override;
    QString OpenFileName(QWidget* parent, const QString& title, const QString& startPath,
                         const QString& filter) override;
    QString SaveFileName(QWidget* parent, const QString& title, const QString& startPath,
                         const QString& filter, const QString& defaultSuffix) override;
};

// The prompter in use (the real dialogs unless one was installed).
IPrompter& Prompter();
// Installs `prompter` (null: back to the real dialogs); returns the previous one.
IPrompter* SetPrompter(IPrompter* prompter);

} // namespace doseplex::app
