#include "app/dialogs/excel_import_dialog.h"

#include "app/models/raw_sheet_model.h"
#include "app/platform/prompter.h"
#include "entry/sheet_import.h"

#include <QAbstractTableModel>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace doseplex::app {

namespace {

// A workbook sheet's cells, read only, with the sheet's own headers.
class CSheetDataModel final : public QAbstractTableModel {
public:
    CSheetDataModel(const entry::CSheetData& sheet, QObject* parent)
        : QAbstractTableModel(parent), m_sheet(sheet) {}

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : std::max(m_sheet.m_nRows, 1);
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : std::max(m_sheet.m_nColumns, 1);
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || role != Qt::DisplayRole) {
            return {};
        }
        return QString::fromStdString(m_sheet.Text(index.row() + 1, index.column() + 1));
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (role != Qt::DisplayRole) {
            return QAbstractTableModel::headerData(section, orientation, role);
        }
        return orientation == Qt::Horizontal
                   ? QString::fromStdString(entry::ColumnName(section + 1))
                   : QString::number(section + 1);
    }

private:
    const entry::CSheetData& m_sheet;
};

} // namespace

CExcelImportDialog::CExcelImportDialog(entry::CSheetData sheet, QWidget* parent)
    : QDialog(parent), m_sheet(std::move(sheet)) {
    setWindowTitle(QStringLiteral("Select Data to Import"));
    m_grid = new QTableView;
    m_grid->setAccessibleName(QStringLiteral("Workbook"));
    m_grid->setModel(new CSheetDataModel(m_sheet, this));
    m_grid->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->verticalHeader()->setDefaultSectionSize(m_grid->fontMetrics().height() + 6);
    m_grid->clearSelection();
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &CExcelImportDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_grid);
    layout->addWidget(buttons);
    resize(640, 480);
}

void CExcelImportDialog::accept() {
    const std::vector<entry::CCellRange> ranges =
        SelectionRanges(m_grid->selectionModel()->selection());
    if (ranges.empty()) {
        Prompter().Message(
            this, QString::fromUtf8(entry::kNoImportAreaMessage.data(),
                                    static_cast<qsizetype>(entry::kNoImportAreaMessage.size())));
        return;
    }
    m_range = ranges.front();
    QDialog::accept();
}

} // namespace doseplex::app
