#include "app/dialogs/summary_graphs_dialog.h"

#include "app/dialogs/dialog_helpers.h"
#include "app/dialogs/option_form_dialog.h"
#include "app/platform/prompter.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace doseplex::app {

namespace {

QListWidget* LabelledList(QGridLayout* grid, int column, const QString& text) {
    auto* list = new QListWidget;
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setAccessibleName(VisibleText(text));
    auto* label = new QLabel(text);
    label->setBuddy(list);
    grid->addWidget(label, 0, column);
    grid->addWidget(list, 1, column);
    return list;
}

} // namespace

CSummaryGraphsDialog::CSummaryGraphsDialog(const QStringList& drugNames, std::vector<int> selection,
                                           int drugsPerMedianGraph, int drugsPerCIGraph,
                                           QWidget* parent)
    : QDialog(parent), m_names(drugNames), m_selection(std::move(selection)),
      m_nPerMedian(drugsPerMedianGraph), m_nPerCI(drugsPerCIGraph) {
    setWindowTitle(QStringLiteral("Summary Graphs"));
    auto* grid = new QGridLayout;
    m_drugList = LabelledList(grid, 0, QStringLiteral("Drug List"));
    m_displayList = LabelledList(grid, 2, QStringLiteral("Display List"));
    m_drugList->addItems(m_names);
    auto* buttonColumn = new QVBoxLayout;
    const std::pair<const char*, void (CSummaryGraphsDialog::*)()> actions[] = {
        {"&Add", &CSummaryGraphsDialog::Add},
        {"Add a&ll", &CSummaryGraphsDialog::AddAll},
        {"&Remove", &CSummaryGraphsDialog::Remove},
        {"Remo&ve all", &CSummaryGraphsDialog::RemoveAll},
    };
    for (const auto& [label, slot] : actions) {
        auto* button = new QPushButton(QString::fromUtf8(label));
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, slot);
        buttonColumn->addWidget(button);
    }
    buttonColumn->addStretch();
    grid->addLayout(buttonColumn, 1, 1);

    m_perMedian = new QLineEdit(QString::number(m_nPerMedian));
    m_perCI = new QLineEdit(QString::number(m_nPerCI));
    auto* form = new QFormLayout;
    AddLabelledRow(form, QStringLiteral("Number of Drugs per &Median-Effect Graph:"), m_perMedian);
    AddLabelledRow(form, QStringLiteral("Number of Drugs per &CI Graph:"), m_perCI);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons->button(QDialogButtonBox::Ok), &QPushButton::clicked, this,
            &CSummaryGraphsDialog::TryAccept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(form);
    layout->addWidget(buttons);
    ShowSelection();
}

void CSummaryGraphsDialog::ShowSelection() {
    m_displayList->clear();
    for (int id : m_selection) {
        m_displayList->addItem(m_names.value(id));
    }
}

void CSummaryGraphsDialog::Add() {
    for (int row = 0; row < m_drugList->count(); ++row) {
        if (m_drugList->item(row)->isSelected() &&
            std::find(m_selection.begin(), m_selection.end(), row) == m_selection.end()) {
            m_selection.push_back(row);
        }
    }
    ShowSelection();
}

void CSummaryGraphsDialog::AddAll() {
    m_selection.clear();
    for (int row = 0; row < m_names.size(); ++row) {
        m_selection.push_back(row);
    }
    ShowSelection();
}

void CSummaryGraphsDialog::Remove() {
    std::vector<int> kept;
    for (int row = 0; row < m_displayList->count(); ++row) {
        if (!m_displayList->item(row)->isSelected()) {
            kept.push_back(m_selection[static_cast<size_t>(row)]);
        }
    }
    m_selection = std::move(kept);
    ShowSelection();
}

void CSummaryGraphsDialog::RemoveAll() {
    m_selection.clear();
    ShowSelection();
}

bool CSummaryGraphsDialog::TryAccept() {
    const struct {
        QLineEdit* field;
        int low;
        int high;
        int* target;
    } checks[] = {{m_perMedian, 1, 6, &m_nPerMedian}, {m_perCI, 1, 4, &m_nPerCI}};
    int values[2] = {};
    for (int i = 0; i < 2; ++i) {
        QString message;
        const std::optional<double> value = ParseField(checks[i].field->text(), true, message);
        if (value && (*value < checks[i].low || *value > checks[i].high)) {
            message = QStringLiteral("Please enter an integer between %1 and %2.")
                          .arg(checks[i].low)
                          .arg(checks[i].high);
        }
        if (!message.isEmpty()) {
            Prompter().Message(this, message);
            checks[i].field->setFocus();
            checks[i].field->selectAll();
            return false;
        }
        values[i] = static_cast<int>(*value);
    }
    m_nPerMedian = values[0];
    m_nPerCI = values[1];
    accept();
    return true;
}

} // namespace doseplex::app
