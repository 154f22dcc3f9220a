#include "app/dialogs/odbc_import_dialog.h"

#include "app/dialogs/data_source_dialog.h"
#include "app/dialogs/dialog_helpers.h"
#include "app/platform/prompter.h"
#include "entry/odbc_query.h"
#include "entry/sheet_import.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace doseplex::app {

COdbcImportDialog::COdbcImportDialog(long long maxRows, QWidget* parent)
    : QDialog(parent), m_connection(std::make_unique<entry::COdbcConnection>()),
      m_nMaxRows(maxRows) {
    setWindowTitle(QStringLiteral("Import ODBC Data"));

    m_chooseSource = new QPushButton(style()->standardIcon(QStyle::SP_DriveNetIcon),
                                     QStringLiteral("Select Data Source"));
    connect(m_chooseSource, &QPushButton::clicked, this, &COdbcImportDialog::ChooseSource);
    m_source = new QLineEdit;
    m_source->setReadOnly(true);
    auto* sourceForm = new QFormLayout;
    AddLabelledRow(sourceForm, QStringLiteral("Source"), m_source);

    m_tables = new QTreeWidget;
    m_tables->setAccessibleName(QStringLiteral("Tables"));
    m_tables->setHeaderLabels({QStringLiteral("Tables")});
    m_tables->setColumnWidth(0, 140);
    m_tables->setRootIsDecorated(false);
    m_tables->setSelectionMode(QAbstractItemView::SingleSelection);
    m_tables->setSelectionBehavior(QAbstractItemView::SelectRows);
    connect(m_tables, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) {
        ChooseTable(item ? m_tables->indexOfTopLevelItem(item) : -1);
    });
    // The arrow keys choose a table too.
    connect(m_tables, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        if (item) {
            ChooseTable(m_tables->indexOfTopLevelItem(item));
        }
    });

    m_fields = new QTreeWidget;
    m_fields->setAccessibleName(QStringLiteral("Fields"));
    m_fields->setHeaderLabels({QStringLiteral("Fields"), QStringLiteral("Type")});
    m_fields->setColumnWidth(0, 140);
    m_fields->setColumnWidth(1, 87);
    m_fields->setRootIsDecorated(false);
    m_fields->setSelectionMode(QAbstractItemView::MultiSelection);
    m_fields->setSelectionBehavior(QAbstractItemView::SelectRows);
    connect(m_fields, &QTreeWidget::itemSelectionChanged, this, &COdbcImportDialog::RebuildQuery);

    m_selectAll = new QPushButton(QStringLiteral("Select &All"));
    m_selectNone = new QPushButton(QStringLiteral("Select &None"));
    connect(m_selectAll, &QPushButton::clicked, m_fields, &QTreeWidget::selectAll);
    connect(m_selectNone, &QPushButton::clicked, m_fields, &QTreeWidget::clearSelection);

    m_useQuery = new QCheckBox(QStringLiteral("Use SQL query:"));
    connect(m_useQuery, &QCheckBox::toggled, this, &COdbcImportDialog::UseQueryToggled);
    m_query = new QPlainTextEdit;
    m_query->setAccessibleName(QStringLiteral("SQL query"));
    m_query->setTabChangesFocus(true);

    m_buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &COdbcImportDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* lists = new QGridLayout;
    lists->addWidget(m_tables, 0, 0);
    lists->addWidget(m_fields, 0, 1);
    auto* selectButtons = new QHBoxLayout;
    selectButtons->addStretch();
    selectButtons->addWidget(m_selectAll);
    selectButtons->addWidget(m_selectNone);
    lists->addLayout(selectButtons, 1, 1);

    auto* top = new QHBoxLayout;
    top->addWidget(m_chooseSource);
    top->addLayout(sourceForm, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(lists);
    layout->addWidget(m_useQuery);
    layout->addWidget(m_query);
    layout->addWidget(m_buttons);
    resize(520, 460);
    EnableControls(false);
}

COdbcImportDialog::~COdbcImportDialog() = default;

QPushButton* COdbcImportDialog::OkButton() const {
    return m_buttons->button(QDialogButtonBox::Ok);
}

void COdbcImportDialog::EnableControls(bool open) {
    for (QWidget* control : std::initializer_list<QWidget*>{m_selectAll, m_selectNone, m_useQuery,
                                                            m_tables, m_fields, OkButton()}) {
        control->setEnabled(open);
    }
    m_query->setEnabled(false);
}

void COdbcImportDialog::ChooseSource() {
    CDataSourceDialog dialog(this);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    ConnectTo(dialog.Connection());
}

bool COdbcImportDialog::ConnectTo(const QString& connection) {
    m_connection->Close();
    m_tables->clear();
    m_fields->clear();
    m_tableRows.clear();
    m_currentTable.clear();
    m_source->clear();
    const entry::CStatus status = m_connection->Connect(connection.toStdString());
    std::string failure = status.Message();
    if (status) {
        auto tables = m_connection->Tables();
        if (tables) {
            m_tableRows = std::move(tables).Value();
        } else {
            failure = tables.Message();
            m_connection->Close();
        }
    }
    if (!m_connection->IsOpen()) {
        EnableControls(false);
        Prompter().Message(this, QString::fromStdString(failure));
        return false;
    }
    m_source->setText(QString::fromStdString(m_connection->ConnectionText()));
    m_useQuery->setChecked(false);
    EnableControls(true);
    for (const entry::COdbcTable& table : m_tableRows) {
        new QTreeWidgetItem(m_tables, {QString::fromStdString(table.m_strName)});
    }
    if (!m_tableRows.empty()) {
        ChooseTable(0);
    }
    return true;
}

void COdbcImportDialog::ChooseTable(int position) {
    FillFields(position);
    if (position >= 0 && position < m_tables->topLevelItemCount()) {
        const QSignalBlocker blocker(m_tables);
        m_tables->setCurrentItem(m_tables->topLevelItem(position));
        m_tables->topLevelItem(position)->setSelected(true);
        m_currentTable = m_tables->topLevelItem(position)->text(0);
    }
    m_query->clear();
}

void COdbcImportDialog::FillFields(int position) {
    const QSignalBlocker blocker(m_fields);
    m_fields->clear();
    if (position < 0 || position >= static_cast<int>(m_tableRows.size())) {
        return;
    }
    const auto columns = m_connection->Columns(m_tableRows[static_cast<size_t>(position)]);
    if (!columns) {
        Prompter().Message(this, QString::fromStdString(columns.Message()));
        return;
    }
    for (const entry::COdbcColumn& column : columns.Value()) {
        new QTreeWidgetItem(m_fields, {QString::fromStdString(column.m_strName),
                                       QString::fromStdString(column.m_strTypeName)});
    }
}

void COdbcImportDialog::RebuildQuery() {
    std::vector<std::string> names;
    std::vector<bool> selected;
    for (int i = 0; i < m_fields->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = m_fields->topLevelItem(i);
        names.push_back(item->text(0).toStdString());
        selected.push_back(item->isSelected());
    }
    const auto [open, close] = m_connection->IsOpen()
                                   ? m_connection->IdentifierQuotes()
                                   : std::pair<std::string, std::string>("[", "]");
    m_query->setPlainText(QString::fromStdString(
        entry::BuildFieldQuery(m_currentTable.toStdString(), names, selected, open, close)));
}

void COdbcImportDialog::UseQueryToggled(bool on) {
    m_fields->setEnabled(!on);
    m_selectAll->setEnabled(!on);
    m_selectNone->setEnabled(!on);
    m_query->setEnabled(on);
    if (on) {
        m_query->setFocus();
    } else {
        m_fields->setFocus();
    }
}

void COdbcImportDialog::accept() {
    const QString sql = m_query->toPlainText();
    if (sql.trimmed().isEmpty()) {
        Prompter().Message(
            this, QString::fromUtf8(entry::kNoQueryMessage.data(),
                                    static_cast<qsizetype>(entry::kNoQueryMessage.size())));
        return;
    }
    const auto result = m_connection->RunQuery(sql.toStdString(), m_nMaxRows);
    if (!result) {
        // The source's own words; the user can mend the query and try again.
        Prompter().Message(this, QString::fromStdString(result.Message()));
        return;
    }
    m_nFieldCount = result.Value().m_nFieldCount;
    m_rowTexts.clear();
    for (const std::vector<std::string>& row : result.Value().m_rows) {
        m_rowTexts.push_back(entry::OdbcRowText(row));
    }
    m_connection->Close();
    QDialog::accept();
}

} // namespace doseplex::app
