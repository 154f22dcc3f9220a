#include "app/dialogs/data_source_dialog.h"

#include "app/dialogs/dialog_helpers.h"
#include "entry/odbc/odbc_source.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace doseplex::app {

CDataSourceDialog::CDataSourceDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Select Data Source"));
    auto* listLabel = new QLabel(QStringLiteral("&Data sources:"));
    m_list = new QTreeWidget;
    m_list->setAccessibleName(QStringLiteral("Data sources"));
    listLabel->setBuddy(m_list);
    m_list->setRootIsDecorated(false);
    m_list->setHeaderLabels(
        {QStringLiteral("Name"), QStringLiteral("Type"), QStringLiteral("Driver")});
    const auto sources = entry::ListOdbcDataSources();
    if (sources) {
        for (const entry::COdbcDataSource& source : sources.Value()) {
            auto* item = new QTreeWidgetItem(
                m_list, {QString::fromStdString(source.m_strName),
                         source.m_bSystem ? QStringLiteral("System") : QStringLiteral("User"),
                         QString::fromStdString(source.m_strDescription)});
            item->setData(0, Qt::UserRole, QString::fromStdString(source.m_strName));
        }
    }
    m_list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);

    m_connection = new QLineEdit;
    m_connection->setPlaceholderText(QStringLiteral("DSN=plates or Driver=...;Database=..."));
    auto* form = new QFormLayout;
    AddLabelledRow(form, QStringLiteral("&Connection string:"), m_connection);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
    ok->setEnabled(false);
    connect(m_connection, &QLineEdit::textChanged, ok,
            [ok](const QString& text) { ok->setEnabled(!text.trimmed().isEmpty()); });
    connect(m_list, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        if (item) {
            m_connection->setText(item->data(0, Qt::UserRole).toString());
        }
    });
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
        m_connection->setText(item->data(0, Qt::UserRole).toString());
        accept();
    });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(listLabel);
    layout->addWidget(m_list);
    layout->addLayout(form);
    if (!sources || sources.Value().empty()) {
        layout->addWidget(
            new QLabel(QStringLiteral("No data sources are defined; enter a connection string.")));
    }
    layout->addWidget(buttons);
    resize(460, 320);
}

QString CDataSourceDialog::Connection() const {
    return m_connection->text().trimmed();
}

} // namespace doseplex::app
