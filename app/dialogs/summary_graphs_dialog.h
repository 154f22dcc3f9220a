#pragma once

#include <QDialog>
#include <QStringList>

#include <vector>

class QLineEdit;
class QListWidget;

namespace doseplex::app {

// "Summary Graphs": picks the drugs of the summary graphs (a working copy of
// the selection, as drug ids in the order the user built it) and the number
// of drugs per median-effect graph (1..6) and per CI graph (1..4).
class CSummaryGraphsDialog final : public QDialog {
    Q_OBJECT
public:
    CSummaryGraphsDialog(const QStringList& drugNames, std::vector<int> selection,
                         int drugsPerMedianGraph, int drugsPerCIGraph, QWidget* parent = nullptr);

    const std::vector<int>& Selection() const { return m_selection; }
    int DrugsPerMedianGraph() const { return m_nPerMedian; }
    int DrugsPerCIGraph() const { return m_nPerCI; }

    QListWidget* DrugList() const { return m_drugList; }
    QListWidget* DisplayList() const { return m_displayList; }
    QLineEdit* PerMedianField() const { return m_perMedian; }
    QLineEdit* PerCIField() const { return m_perCI; }

    void Add();
    void AddAll();
    void Remove();
    void RemoveAll();
    bool TryAccept();

private:
    void ShowSelection();

    QStringList m_names;
    std::vector<int> m_selection;
    int m_nPerMedian;
    int m_nPerCI;
    QListWidget* m_drugList;
    QListWidget* m_displayList;
    QLineEdit* m_perMedian;
    QLineEdit* m_perCI;
};

} // namespace doseplex::app
