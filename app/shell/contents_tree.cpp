#include "app/shell/contents_tree.h"

#include "core/document.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>
#include <QStyle>

namespace doseplex::app {

namespace {

const QString kDrugs = QStringLiteral("Drugs");
const QString kSummaries = QStringLiteral("Summaries");

QTreeWidgetItem* AddItem(QTreeWidgetItem* parent, const QString& text, const QIcon& icon,
                         bool bold = false) {
    auto* item = new QTreeWidgetItem(parent, QStringList{text});
    item->setIcon(0, icon);
    if (bold) {
        QFont font = item->font(0);
        font.setBold(true);
        item->setFont(0, font);
    }
    return item;
}

} // namespace

CContentsTree::CContentsTree(QWidget* parent) : QTreeWidget(parent) {
    setHeaderHidden(true);
    setColumnCount(1);
    setRootIsDecorated(true);
    setDragDropMode(QAbstractItemView::NoDragDrop);
    setFrameShadow(QFrame::Sunken);
    setAccessibleName(QStringLiteral("Contents"));
    connect(this, &QTreeWidget::itemActivated, this,
            [this](QTreeWidgetItem* item, int) { Activate(item); });
}

void CContentsTree::Rebuild(const CDoseplexDoc* doc, const QString& title) {
    clear();
    if (!doc) {
        return;
    }
    QStyle* look = style();
    const QIcon folder = look->standardIcon(QStyle::SP_DirIcon);
    const QIcon file = look->standardIcon(QStyle::SP_FileIcon);
    auto* root = new QTreeWidgetItem(this, QStringList{title});
    root->setIcon(0, look->standardIcon(QStyle::SP_DriveHDIcon));
    QFont bold = root->font(0);
    bold.setBold(true);
    root->setFont(0, bold);
    AddItem(root, QStringLiteral("Experiment Details"),
            look->standardIcon(QStyle::SP_FileDialogDetailedView));
    AddItem(root, QStringLiteral("Raw Data"), look->standardIcon(QStyle::SP_FileDialogListView));
    QTreeWidgetItem* drugs = AddItem(root, kDrugs, folder, true);
    QTreeWidgetItem* summaries = AddItem(root, kSummaries, folder, true);
    AddItem(summaries, QStringLiteral("Summary Report"), file);
    AddItem(summaries, QStringLiteral("Summary Graphs"),
            look->standardIcon(QStyle::SP_DesktopIcon));
    AddItem(summaries, QStringLiteral("Summary Table"),
            look->standardIcon(QStyle::SP_FileDialogContentsView));
    for (const auto& record : doc->m_drugs) {
        QTreeWidgetItem* drug = AddItem(drugs, QString::fromStdString(record->m_strName),
                                        look->standardIcon(QStyle::SP_ComputerIcon), true);
        AddItem(drug, QStringLiteral("Properties"),
                look->standardIcon(QStyle::SP_FileDialogInfoView));
        AddItem(drug, QStringLiteral("Report"), file);
        AddItem(drug, QStringLiteral("Graphs"), look->standardIcon(QStyle::SP_DesktopIcon));
    }
    expandAll();
    // A current item lets the keyboard move through the tree at once.
    setCurrentItem(root);
}

QTreeWidgetItem* CContentsTree::DrugsFolder() const {
    if (topLevelItemCount() == 0) {
        return nullptr;
    }
    QTreeWidgetItem* root = topLevelItem(0);
    for (int i = 0; i < root->childCount(); ++i) {
        if (root->child(i)->text(0) == kDrugs) {
            return root->child(i);
        }
    }
    return nullptr;
}

void CContentsTree::Activate(QTreeWidgetItem* item) {
    if (!item || item->childCount() > 0) {
        return;
    }
    static const struct {
        const char* text;
        int kind;
        int subKind;
    } kLabels[] = {
        {"Experiment Details", kTreeExperimentDetails, -1},
        {"Raw Data", kTreeRawData, -1},
        {"Summary Report", kTreeSummaryReport, -1},
        {"Summary Graphs", kTreeSummaryGraphs, -1},
        {"Summary Table", kTreeSummaryTable, -1},
        {"Properties", kTreeDrugItem, kTreeProperties},
        {"Report", kTreeDrugItem, kTreeReport},
        {"Graphs", kTreeDrugItem, kTreeGraphs},
    };
    m_nKind = kTreeOther;
    m_nSubKind = -1;
    m_nDrug = -1;
    for (const auto& label : kLabels) {
        if (item->text(0) == QLatin1String(label.text)) {
            m_nKind = label.kind;
            m_nSubKind = label.subKind;
            break;
        }
    }
    if (m_nKind == kTreeDrugItem) {
        // The drug id is the drug item's position under "Drugs", so two drugs
        // of the same name stay apart.
        QTreeWidgetItem* drug = item->parent();
        QTreeWidgetItem* folder = drug ? drug->parent() : nullptr;
        if (!folder || folder->text(0) != kDrugs) {
            m_nKind = kTreeOther;
        } else {
            m_nDrug = folder->indexOfChild(drug);
        }
    }
    emit openItem();
}

void CContentsTree::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    menu.addActions(m_contextActions);
    menu.exec(event->globalPos());
}

} // namespace doseplex::app
