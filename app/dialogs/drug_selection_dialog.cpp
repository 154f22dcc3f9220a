#include "app/dialogs/drug_selection_dialog.h"

#include "app/dialogs/dialog_helpers.h"
#include "app/platform/prompter.h"
#include "entry/number_text.h"
#include "entry/ratio_text.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QVBoxLayout>

#include <cstdio>

namespace doseplex::app {

namespace {

constexpr int kMaxComponents = 20;
constexpr double kMaxRatioEntry = 1e10;

QString EntryText(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%g", value);
    return QString::fromLatin1(text);
}

} // namespace

CDrugSelectionDialog::CDrugSelectionDialog(const CDrugInfo& record, const DrugList& drugs,
                                           QWidget* parent)
    : QDialog(parent), m_drugs(drugs), m_ratio(kMaxComponents, 1.0), m_list(new QListWidget),
      m_count(new QLineEdit), m_constant(new QCheckBox(QStringLiteral("Constant &ratio"))),
      m_drugsText(new QLineEdit), m_ratioText(new QLineEdit), m_ratio1(new QLineEdit),
      m_ratio2(new QLineEdit) {
    setWindowTitle(QStringLiteral("Drug Selection"));
    m_list->setSelectionMode(QAbstractItemView::MultiSelection);
    m_list->setAccessibleName(QStringLiteral("Drug List"));
    for (const auto& drug : drugs) {
        m_list->addItem(QString::fromStdString(drug ? drug->m_strName : std::string()));
    }
    m_count->setReadOnly(true);
    m_drugsText->setReadOnly(true);
    m_constant->setAccessibleName(QStringLiteral("Constant ratio"));
    m_constant->setChecked(record.m_bConstantRatio != 0);

    // The record's components and ratio, when it has them.
    if (record.IsCombination() && !record.m_pComponents.empty()) {
        const QSignalBlocker block(m_list);
        for (std::size_t k = 0; k < record.m_pComponents.size(); ++k) {
            const int id = record.m_pComponents[k];
            if (id < m_list->count()) {
                m_list->item(id)->setSelected(true);
            }
        }
        for (std::size_t k = 0; k < record.m_pRatio.size() && k < m_ratio.size(); ++k) {
            m_ratio[k] = record.m_pRatio[k];
        }
    }

    auto* form = new QFormLayout;
    AddLabelledRow(form, QStringLiteral("&Number of Drugs:"), m_count);
    form->addRow(m_constant);
    AddLabelledRow(form, QStringLiteral("&Drugs:"), m_drugsText);
    AddLabelledRow(form, QStringLiteral("&Ratio:"), m_ratioText);
    AddLabelledRow(form, QStringLiteral("Drug &1 Ratio:"), m_ratio1);
    AddLabelledRow(form, QStringLiteral("Drug &2 Ratio:"), m_ratio2);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &CDrugSelectionDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* listLabel = new QLabel(QStringLiteral("Drug List"));
    listLabel->setBuddy(m_list);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(listLabel);
    layout->addWidget(m_list);
    layout->addLayout(form);
    layout->addWidget(buttons);

    connect(m_list, &QListWidget::itemSelectionChanged, this,
            &CDrugSelectionDialog::SelectionChanged);
    connect(m_constant, &QCheckBox::clicked, this, &CDrugSelectionDialog::SelectionChanged);
    // Typing marks the field; leaving it takes its value into the ratio.
    connect(m_ratioText, &QLineEdit::textEdited, this, [this] { m_lastField = EField::Ratio; });
    connect(m_ratio1, &QLineEdit::textEdited, this, [this] { m_lastField = EField::Drug1; });
    connect(m_ratio2, &QLineEdit::textEdited, this, [this] { m_lastField = EField::Drug2; });
    for (QLineEdit* field : {m_ratioText, m_ratio1, m_ratio2}) {
        connect(field, &QLineEdit::editingFinished, this, [this] {
            if (TakeRatioField()) {
                Redisplay();
            }
        });
    }
    SelectionChanged();
}

bool CDrugSelectionDialog::ConstantRatio() const {
    return m_constant->isChecked();
}

std::vector<double> CDrugSelectionDialog::Ratio() const {
    return {m_ratio.begin(), m_ratio.begin() + Count()};
}

void CDrugSelectionDialog::SelectionChanged() {
    m_positions.clear();
    for (int row = 0; row < m_list->count(); ++row) {
        if (m_list->item(row)->isSelected()) {
            m_positions.push_back(static_cast<std::uint16_t>(row));
        }
    }
    Redisplay();
}

void CDrugSelectionDialog::Redisplay() {
    m_count->setText(QString::number(Count()));
    QStringList names;
    for (std::uint16_t id : m_positions) {
        names.append(m_list->item(id)->text());
    }
    m_drugsText->setText(names.join(QStringLiteral(", ")));
    const bool constant = ConstantRatio();
    if (constant) {
        m_ratioText->setText(QString::fromStdString(entry::RatioEntriesText(std::vector<double>(
            m_ratio.begin(), m_ratio.begin() + std::min<int>(Count(), kMaxComponents)))));
    }
    m_ratioText->setEnabled(constant);
    m_ratio1->setText(EntryText(m_ratio[0]));
    m_ratio2->setText(EntryText(m_ratio[1]));
    m_ratio1->setEnabled(constant);
    m_ratio2->setEnabled(constant);
}

bool CDrugSelectionDialog::TakeRatioField() {
    const EField field = m_lastField;
    m_lastField = EField::None;
    if (!ConstantRatio() || field == EField::None) {
        return true;
    }
    const QString message =
        QString::fromUtf8(entry::kRatioFormatMessage.data(),
                          static_cast<qsizetype>(entry::kRatioFormatMessage.size()));
    if (field == EField::Ratio) {
        const auto parsed = entry::ParseRatioText(m_ratioText->text().toStdString(),
                                                  std::min<int>(Count(), kMaxComponents));
        if (!parsed) {
            Prompter().Message(this, message);
            return false;
        }
        std::copy(parsed.Value().begin(), parsed.Value().end(), m_ratio.begin());
        return true;
    }
    QLineEdit* edit = field == EField::Drug1 ? m_ratio1 : m_ratio2;
    const std::optional<double> value = entry::ParseNumberText(edit->text().toStdString());
    if (!value || *value <= 0.0 || *value > kMaxRatioEntry) {
        Prompter().Message(this, message);
        return false;
    }
    m_ratio[field == EField::Drug1 ? 0 : 1] = *value;
    return true;
}

void CDrugSelectionDialog::accept() {
    if (!TakeRatioField()) {
        return;
    }
    Redisplay();
    if (Count() < 1 || Count() > kMaxComponents) {
        Prompter().Message(this, QStringLiteral("Please enter an integer between 1 and 20."));
        return;
    }
    if (ConstantRatio()) {
        const entry::CStatus status = entry::CheckRatioEntries(Ratio());
        if (!status) {
            Prompter().Message(this, QString::fromStdString(status.Message()));
            return;
        }
    }
    QDialog::accept();
}

} // namespace doseplex::app
