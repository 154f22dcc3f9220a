#pragma once

#include <QDialog>

class QLineEdit;
class QTreeWidget;

namespace doseplex::app {

// "Select Data Source": the user's and the system's ODBC data sources, and a
// field that takes a data-source name or a whole connection string.
class CDataSourceDialog final : public QDialog {
    Q_OBJECT
public:
    explicit CDataSourceDialog(QWidget* parent = nullptr);

    QTreeWidget* SourceList() const { return m_list; }
    QLineEdit* ConnectionField() const { return m_connection; }
    // What to connect to: the field's text.
    QString Connection() const;

private:
    QTreeWidget* m_list = nullptr;
    QLineEdit* m_connection = nullptr;
};

} // namespace doseplex::app
