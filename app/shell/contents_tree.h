#pragma once

#include <QTreeWidget>

namespace doseplex {
class CDoseplexDoc;
}

namespace doseplex::app {

// What an activated contents-tree item stands for.
enum ETreeItemKind : int {
    kTreeExperimentDetails = 0,
    kTreeRawData = 1,
    kTreeSummaryReport = 2,
    kTreeSummaryGraphs = 3,
    kTreeDrugItem = 4,
    kTreeOther = 5,
    kTreeSummaryTable = 6,
};
enum ETreeSubKind : int { kTreeProperties = 0, kTreeReport = 1, kTreeGraphs = 2 };

// The navigator in the "Contents Bar": the experiment, its details, raw
// data, drugs and summaries. It holds no data of its own and is rebuilt from
// the experiment whenever the set of drugs changes. Activating a leaf (double
// click or Enter) records what it stands for and emits openItem().
class CContentsTree final : public QTreeWidget {
    Q_OBJECT
public:
    explicit CContentsTree(QWidget* parent = nullptr);

    // Rebuilds every item; null: no experiment, the tree stays empty.
    void Rebuild(const CDoseplexDoc* doc, const QString& title);
    // Identifies `item` by its text and position and emits openItem(); an
    // item with children opens nothing.
    void Activate(QTreeWidgetItem* item);

    int ItemKind() const { return m_nKind; }
    int DrugId() const { return m_nDrug; }
    int SubKind() const { return m_nSubKind; }

    // The context menu's commands (the drug commands of the main window).
    void SetContextActions(const QList<QAction*>& actions) { m_contextActions = actions; }
    // The "Drugs" folder (for tests and the e2e driver), or null.
    QTreeWidgetItem* DrugsFolder() const;

signals:
    void openItem();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    int m_nKind = kTreeOther;
    int m_nDrug = -1;
    int m_nSubKind = -1;
    QList<QAction*> m_contextActions;
};

} // namespace doseplex::app
