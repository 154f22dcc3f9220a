#pragma once

#include <QDialog>

class QLineEdit;
class QPlainTextEdit;

namespace doseplex::app {

// "Experiment details": title, investigator, date and notes.
class CDetailsDialog final : public QDialog {
    Q_OBJECT
public:
    CDetailsDialog(const QString& title, const QString& investigator, const QString& date,
                   const QString& notes, QWidget* parent = nullptr);

    QLineEdit* TitleField() const { return m_title; }
    QLineEdit* InvestigatorField() const { return m_investigator; }
    QLineEdit* DateField() const { return m_date; }
    QPlainTextEdit* NotesField() const { return m_notes; }

private:
    QLineEdit* m_title;
    QLineEdit* m_investigator;
    QLineEdit* m_date;
    QPlainTextEdit* m_notes;
};

} // namespace doseplex::app
