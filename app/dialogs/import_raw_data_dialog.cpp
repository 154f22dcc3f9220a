#include "app/dialogs/import_raw_data_dialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace doseplex::app {

CImportRawDataDialog::CImportRawDataDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Import Raw Data"));
    auto* text = new QLabel(
        QStringLiteral("Import origin is the currently selected cell. Select the data source "
                       "below."));
    text->setWordWrap(true);
    const auto button = [this](const QString& label, QStyle::StandardPixmap icon, ESource source) {
        auto* tool = new QToolButton;
        tool->setText(label);
        tool->setAccessibleName(label);
        tool->setIcon(style()->standardIcon(icon));
        tool->setIconSize(QSize(32, 32));
        tool->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        tool->setMinimumWidth(140);
        tool->setFocusPolicy(Qt::StrongFocus);
        connect(tool, &QToolButton::clicked, this, [this, source] {
            m_source = source;
            accept();
        });
        return tool;
    };
    auto* row = new QHBoxLayout;
    QToolButton* file =
        button(QStringLiteral("Import from File"), QStyle::SP_DialogOpenButton, ESource::File);
    row->addWidget(file);
    row->addWidget(
        button(QStringLiteral("Import from ODBC Source"), QStyle::SP_DriveNetIcon, ESource::Odbc));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addLayout(row);
    layout->addWidget(buttons);
    file->setFocus();
}

} // namespace doseplex::app
