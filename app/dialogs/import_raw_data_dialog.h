#pragma once

#include <QDialog>

namespace doseplex::app {

// "Import Raw Data": where the import comes from, a file or an ODBC data
// source. Each of the two buttons records its choice and closes the dialog.
class CImportRawDataDialog final : public QDialog {
    Q_OBJECT
public:
    enum class ESource { None, File, Odbc };
    explicit CImportRawDataDialog(QWidget* parent = nullptr);
    ESource Source() const { return m_source; }

private:
    ESource m_source = ESource::None;
};

} // namespace doseplex::app
