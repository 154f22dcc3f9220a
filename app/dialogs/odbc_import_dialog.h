#pragma once

#include "entry/odbc/odbc_source.h"

#include <QDialog>

#include <memory>
#include <string>
#include <vector>

class QCheckBox;
class QDialogButtonBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;

namespace doseplex::app {

// "Import ODBC Data": connects to a data source, lists its tables and the
// fields of the chosen table, builds the query from the selected fields (or
// takes one typed by hand) and on OK runs it, keeping the rows as text.
class COdbcImportDialog final : public QDialog {
    Q_OBJECT
public:
    // `maxRows`: the most rows worth reading (those that can land in the
    // sheet); negative reads all.
    explicit COdbcImportDialog(long long maxRows = -1, QWidget* parent = nullptr);
    ~COdbcImportDialog() override;

    // Closes any open source and connects to `connection` (a data-source name
    // or a connection string). On failure the lists are emptied, the
    // controls disabled and the driver's message shown.
    bool ConnectTo(const QString& connection);

    // The result of OK: the number of fields and one text per row, each
    // value followed by a TAB and a blank.
    int FieldCount() const { return m_nFieldCount; }
    const std::vector<std::string>& RowTexts() const { return m_rowTexts; }

    QLineEdit* SourceField() const { return m_source; }
    QTreeWidget* TableList() const { return m_tables; }
    QTreeWidget* FieldList() const { return m_fields; }
    QCheckBox* UseQueryBox() const { return m_useQuery; }
    QPlainTextEdit* QueryField() const { return m_query; }
    QPushButton* SelectAllButton() const { return m_selectAll; }
    QPushButton* SelectNoneButton() const { return m_selectNone; }
    QPushButton* OkButton() const;

    // Chooses the table at `position` as a click in the tables list does.
    void ChooseTable(int position);

    void accept() override;

private:
    void ChooseSource();
    void EnableControls(bool open);
    void FillFields(int position);
    void RebuildQuery();
    void UseQueryToggled(bool on);

    std::unique_ptr<entry::COdbcConnection> m_connection;
    std::vector<entry::COdbcTable> m_tableRows;
    QString m_currentTable;
    long long m_nMaxRows;
    int m_nFieldCount = 0;
    std::vector<std::string> m_rowTexts;

    QPushButton* m_chooseSource = nullptr;
    QLineEdit* m_source = nullptr;
    QTreeWidget* m_tables = nullptr;
    QTreeWidget* m_fields = nullptr;
    QCheckBox* m_useQuery = nullptr;
    QPlainTextEdit* m_query = nullptr;
    QPushButton* m_selectAll = nullptr;
    QPushButton* m_selectNone = nullptr;
    QDialogButtonBox* m_buttons = nullptr;
};

} // namespace doseplex::app
