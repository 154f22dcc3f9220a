#include "app/platform/prompter.h"

#include <QFileDialog>
#include <QRegularExpression>

namespace doseplex::app {

namespace {

const QString kTitle = QStringLiteral("DosePlex");

IPrompter*& Installed() {
    static IPrompter* prompter = nullptr;
    return prompter;
}

} // namespace

void CDialogPrompter::Message(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, kTitle, text, QMessageBox::Ok, parent);
    box.exec();
}

QMessageBox::StandardButton CDialogPrompter::Ask(QWidget* parent, const QString& text,
                                                 QMessageBox::StandardButtons buttons,
                                                 QMessageBox::StandardButton defaultButton) {
    QMessageBox box(QMessageBox::Question, kTitle, text, buttons, parent);
    box.setDefaultButton(defaultButton);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

QString CDialogPrompter::OpenFileName(QWidget* parent, const QString& title,
                                      const QString& startPath, const QString& filter) {
    return QFileDialog::getOpenFileName(parent, title, startPath, filter, nullptr,
                                        QFileDialog::DontUseNativeDialog);
}

QString CDialogPrompter::SaveFileName(QWidget* parent, const QString& title,
                                      const QString& startPath, const QString& filter,
                                      const QString& defaultSuffix) {
    QFileDialog dialog(parent, title, startPath, filter);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    if (!defaultSuffix.isEmpty()) {
        dialog.setDefaultSuffix(defaultSuffix);
        // A name typed without an extension takes that of the chosen file
        // type ("PNG (*.png)"), or the default one for a type such as "*".
        QObject::connect(
            &dialog, &QFileDialog::filterSelected, &dialog,
            [&dialog, defaultSuffix](const QString& chosen) {
                static const QRegularExpression single(QStringLiteral("\\(\\*\\.(\\w+)\\)$"));
                const QRegularExpressionMatch match = single.match(chosen);
                dialog.setDefaultSuffix(match.hasMatch() ? match.captured(1) : defaultSuffix);
            });
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return dialog.selectedFiles().constFirst();
}

IPrompter& Prompter() {
    static CDialogPrompter dialogs;
    IPrompter* installed = Installed();
    return installed ? *installed : dialogs;
}

IPrompter* SetPrompter(IPrompter* prompter) {
    IPrompter* previous = Installed();
    Installed() = prompter;
    return previous;
}

} // namespace doseplex::app
