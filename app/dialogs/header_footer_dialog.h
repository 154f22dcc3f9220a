#pragma once

#include <QDialog>

class QLineEdit;

namespace doseplex::app {

// "Edit Header & Footer": the texts printed at the top and the bottom of
// every page of the raw-data sheet. "&P" in either stands for the page
// number, "&N" for the number of pages.
class CHeaderFooterDialog final : public QDialog {
    Q_OBJECT
public:
    CHeaderFooterDialog(const QString& header, const QString& footer, QWidget* parent = nullptr);

    QLineEdit* HeaderField() const { return m_header; }
    QLineEdit* FooterField() const { return m_footer; }

private:
    QLineEdit* m_header = nullptr;
    QLineEdit* m_footer = nullptr;
};

} // namespace doseplex::app
