#include "app/dialogs/select_data_dialog.h"

#include "app/models/raw_sheet_model.h"
#include "app/platform/prompter.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QTableView>
#include <QVBoxLayout>

namespace doseplex::app {

CSelectDataDialog::CSelectDataDialog(CRawSheetModel& model, const QString& range, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("Select Data"));
    m_grid = new QTableView;
    m_grid->setAccessibleName(QStringLiteral("Raw Data"));
    m_grid->setModel(&model);
    m_grid->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_grid->verticalHeader()->setDefaultSectionSize(m_grid->fontMetrics().height() + 6);
    if (const auto parsed = entry::ParseRangeReference(range.trimmed().toStdString())) {
        const entry::CCellRange r = *parsed;
        // Rows and columns beyond the sheet are left out of the marking.
        const int top = std::max(r.m_nTop, 1) - 1, left = r.m_nLeft - 1;
        const int bottom = std::min(r.m_nBottom, CRawSheet::kRows) - 1;
        const int right = std::min(r.m_nRight, CRawSheet::kColumns) - 1;
        if (top <= bottom && left <= right) {
            m_grid->selectionModel()->select(
                QItemSelection(model.index(top, left), model.index(bottom, right)),
                QItemSelectionModel::ClearAndSelect);
            m_grid->scrollTo(model.index(top, left));
        }
    } else {
        m_grid->clearSelection();
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &CSelectDataDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_grid);
    layout->addWidget(buttons);
    resize(640, 480);
}

void CSelectDataDialog::accept() {
    const std::vector<entry::CCellRange> ranges =
        SelectionRanges(m_grid->selectionModel()->selection());
    m_range =
        ranges.empty() ? QString() : QString::fromStdString(entry::RangeReference(ranges.front()));
    m_grid->clearSelection();
    QDialog::accept();
}

std::optional<QString> SelectDataRange(CRawSheetModel& model, const QString& range,
                                       QWidget* parent) {
    CSelectDataDialog dialog(model, range, parent);
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return dialog.Range();
}

std::optional<entry::CCellRange> CheckDataRangeOrTell(const QString& range, const QString& label,
                                                      QWidget* parent) {
    const auto checked = entry::CheckDataRange(range.toStdString(), label.toStdString());
    if (!checked) {
        Prompter().Message(parent, QString::fromStdString(checked.Message()));
        return std::nullopt;
    }
    return checked.Value();
}

} // namespace doseplex::app
