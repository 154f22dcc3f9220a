#include "app/dialogs/dose_effect_dialog.h"

#include "app/dialogs/dialog_helpers.h"
#include "app/platform/prompter.h"
#include "entry/dose_entry.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>
#include <QVBoxLayout>

#include <cstdio>

namespace doseplex::app {

CDoseEffectDialog::CDoseEffectDialog(const CDrugInfo& record, const DrugList& drugs,
                                     const CDoseData* edited, QWidget* parent)
    : QDialog(parent), m_record(record), m_edited(edited), m_table(new QTableWidget),
      m_effect(new QLineEdit) {
    setWindowTitle(QStringLiteral("Dose / Effect"));
    const std::vector<std::string> labels = entry::DoseEntryRowLabels(record, drugs);
    const std::vector<std::string> cells = entry::DoseEntryCells(record, edited);
    const int rows = entry::DoseEntryRowCount(record);
    m_table->setColumnCount(1);
    m_table->setRowCount(rows);
    m_table->setHorizontalHeaderLabels({QStringLiteral("Dose")});
    m_table->setCornerButtonEnabled(false);
    m_table->setAccessibleName(QStringLiteral("Dose"));
    QStringList rowLabels;
    for (int row = 0; row < rows; ++row) {
        const auto index = static_cast<std::size_t>(row);
        const QString label =
            index < labels.size() ? QString::fromStdString(labels[index]) : QString();
        rowLabels.append(label);
        // Each cell is a line edit of its own, so that a screen reader can
        // name it by its drug and type into it.
        auto* cell =
            new QLineEdit(index < cells.size() ? QString::fromStdString(cells[index]) : QString());
        cell->setFrame(false);
        cell->setAccessibleName(label);
        m_table->setCellWidget(row, 0, cell);
    }
    m_table->setVerticalHeaderLabels(rowLabels);
    m_table->horizontalHeader()->setStretchLastSection(true);
    // The corner above the row headings names what they hold.
    m_corner = new QLabel(QStringLiteral("Drug Name"), m_table);
    m_corner->setAlignment(Qt::AlignCenter);
    m_corner->setAttribute(Qt::WA_TransparentForMouseEvents);
    connect(m_table->verticalHeader(), &QHeaderView::geometriesChanged, this,
            &CDoseEffectDialog::PlaceCorner);
    connect(m_table->horizontalHeader(), &QHeaderView::geometriesChanged, this,
            &CDoseEffectDialog::PlaceCorner);
    if (edited) {
        char effect[64];
        std::snprintf(effect, sizeof effect, "%.13g", edited->m_fa);
        m_effect->setText(QString::fromLatin1(effect));
    }

    auto* form = new QFormLayout;
    AddLabelledRow(form, QStringLiteral("Effect"), m_effect);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &CDoseEffectDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_table);
    layout->addLayout(form);
    layout->addWidget(buttons);
    if (rows > 0) {
        DoseCell(0)->setFocus();
    }
}

QLineEdit* CDoseEffectDialog::DoseCell(int row) const {
    return qobject_cast<QLineEdit*>(m_table->cellWidget(row, 0));
}

QString CDoseEffectDialog::CornerText() const {
    return m_corner->text();
}

void CDoseEffectDialog::PlaceCorner() {
    const int frame = m_table->frameWidth();
    m_corner->setGeometry(frame, frame, m_table->verticalHeader()->width(),
                          m_table->horizontalHeader()->height());
    m_corner->raise();
}

void CDoseEffectDialog::accept() {
    std::vector<std::string> cells;
    for (int row = 0; row < m_table->rowCount(); ++row) {
        cells.push_back(DoseCell(row)->text().toStdString());
    }
    auto built =
        entry::BuildDoseEntryPoint(m_record, m_edited, cells, m_effect->text().toStdString());
    if (!built) {
        Prompter().Message(this, QString::fromStdString(built.Message()));
        return;
    }
    m_point = std::move(built.Value());
    QDialog::accept();
}

} // namespace doseplex::app
