#include "app/dialogs/add_drug_wizard.h"

#include "app/dialogs/dialog_helpers.h"
#include "app/platform/pictures.h"
#include "app/platform/prompter.h"
#include "entry/add_drug.h"
#include "entry/ratio_text.h"

#include <QButtonGroup>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace doseplex::app {

namespace {

RangeSelectHook& Hook() {
    static RangeSelectHook hook;
    return hook;
}

// A question with its two answers; both answers carry the question in their
// description so that a screen reader can tell the pairs apart.
QWidget* YesNo(const QString& question, QRadioButton* yes, QRadioButton* no) {
    auto* box = new QWidget;
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new QLabel(question));
    auto* answers = new QHBoxLayout;
    answers->addWidget(yes);
    answers->addWidget(no);
    answers->addStretch();
    layout->addLayout(answers);
    auto* group = new QButtonGroup(box);
    group->addButton(yes);
    group->addButton(no);
    yes->setAccessibleDescription(question);
    no->setAccessibleDescription(question);
    return box;
}

} // namespace

void SetRangeSelectHook(RangeSelectHook hook) {
    Hook() = std::move(hook);
}

const RangeSelectHook& CurrentRangeSelectHook() {
    return Hook();
}

CAddDrugWizard::CAddDrugWizard(const DrugList& drugs, const CRawSheet& sheet, QWidget* parent)
    : QDialog(parent), m_drugs(drugs), m_sheet(sheet), m_pages(new QStackedWidget),
      m_name(new QLineEdit), m_comment(new QLineEdit), m_units(new QLineEdit),
      m_combinationYes(new QRadioButton(QStringLiteral("Yes"))),
      m_combinationNo(new QRadioButton(QStringLiteral("No"))), m_list(new QListWidget),
      m_selected(new QLineEdit), m_constantYes(new QRadioButton(QStringLiteral("Yes"))),
      m_constantNo(new QRadioButton(QStringLiteral("No"))),
      m_ratioLabel(new QLabel(QStringLiteral("Enter the ratio"))), m_ratio(new QLineEdit),
      m_effectRange(new QLineEdit), m_back(new QPushButton(QStringLiteral("< &Back"))),
      m_next(new QPushButton(QStringLiteral("&Next >"))),
      m_finish(new QPushButton(QStringLiteral("&Finish"))) {
    setWindowTitle(QStringLiteral("Add Drug Wizard"));

    // The name page.
    auto* namePage = new QWidget;
    auto* nameLayout = new QVBoxLayout(namePage);
    auto* nameForm = new QFormLayout;
    nameForm->setRowWrapPolicy(QFormLayout::WrapAllRows);
    AddLabelledRow(nameForm, QStringLiteral("Enter the name of the Drug"), m_name);
    AddLabelledRow(nameForm, QStringLiteral("Enter any comments"), m_comment);
    AddLabelledRow(nameForm, QStringLiteral("Enter the Drug units"), m_units);
    nameLayout->addLayout(nameForm);
    nameLayout->addWidget(
        YesNo(QStringLiteral("Is this Drug a combination?"), m_combinationYes, m_combinationNo));
    nameLayout->addStretch();
    m_combinationNo->setChecked(true);

    // The drugs page.
    auto* drugsPage = new QWidget;
    auto* drugsLayout = new QVBoxLayout(drugsPage);
    auto* listLabel = new QLabel(QStringLiteral("Select the drugs in the combination"));
    listLabel->setBuddy(m_list);
    m_list->setAccessibleName(listLabel->text());
    m_list->setSelectionMode(QAbstractItemView::MultiSelection);
    for (const auto& drug : drugs) {
        m_list->addItem(QString::fromStdString(drug ? drug->m_strName : std::string()));
    }
    drugsLayout->addWidget(listLabel);
    drugsLayout->addWidget(m_list);
    auto* drugsForm = new QFormLayout;
    m_selected->setReadOnly(true);
    AddLabelledRow(drugsForm, QStringLiteral("Drugs selected"), m_selected);
    drugsLayout->addLayout(drugsForm);
    drugsLayout->addWidget(
        YesNo(QStringLiteral("Are these drugs in a constant ratio to each other?"), m_constantYes,
              m_constantNo));
    m_constantYes->setChecked(true);
    auto* ratioForm = new QFormLayout;
    m_ratioLabel->setBuddy(m_ratio);
    m_ratio->setAccessibleName(m_ratioLabel->text());
    ratioForm->addRow(m_ratioLabel, m_ratio);
    drugsLayout->addLayout(ratioForm);

    // The data page.
    auto* dataPage = new QWidget;
    auto* dataLayout = new QVBoxLayout(dataPage);
    dataLayout->addWidget(new QLabel(QStringLiteral("Specify the raw data ranges to be used")));
    auto* doseGroup = new QGroupBox(QStringLiteral("Dose "));
    auto* doseGrid = new QGridLayout(doseGroup);
    for (int row = 0; row < entry::kMaxWizardDrugs; ++row) {
        const auto k = static_cast<std::size_t>(row);
        m_doseLabels[k] = new QLabel(QStringLiteral("Drug %1").arg(row + 1));
        m_doseRanges[k] = new QLineEdit;
        m_doseLabels[k]->setBuddy(m_doseRanges[k]);
        m_doseRanges[k]->setAccessibleName(m_doseLabels[k]->text());
        m_selectButtons[k + 1] = new QPushButton(QStringLiteral("Select"));
        doseGrid->addWidget(m_doseLabels[k], row, 0);
        doseGrid->addWidget(m_doseRanges[k], row, 1);
        doseGrid->addWidget(m_selectButtons[k + 1], row, 2);
        QLineEdit* field = m_doseRanges[k];
        connect(m_selectButtons[k + 1], &QPushButton::clicked, this,
                [this, field] { SelectRange(field); });
    }
    auto* effectGroup = new QGroupBox(QStringLiteral("Effect "));
    auto* effectRow = new QHBoxLayout(effectGroup);
    m_effectRange->setAccessibleName(QStringLiteral("Effect"));
    m_selectButtons[0] = new QPushButton(QStringLiteral("Select"));
    effectRow->addWidget(m_effectRange);
    effectRow->addWidget(m_selectButtons[0]);
    connect(m_selectButtons[0], &QPushButton::clicked, this,
            [this] { SelectRange(m_effectRange); });
    dataLayout->addWidget(doseGroup);
    dataLayout->addWidget(effectGroup);
    dataLayout->addStretch();
    for (QPushButton* select : m_selectButtons) {
        select->setEnabled(static_cast<bool>(Hook()));
    }

    m_pages->addWidget(namePage);
    m_pages->addWidget(drugsPage);
    m_pages->addWidget(dataPage);

    auto* picture = new QLabel;
    picture->setPixmap(SplashPicture().scaledToWidth(160, Qt::SmoothTransformation));
    picture->setAlignment(Qt::AlignTop);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    for (QPushButton* button : {m_back, m_next, m_finish, cancel}) {
        button->setAutoDefault(false);
        buttons->addWidget(button);
    }
    auto* body = new QHBoxLayout;
    body->addWidget(picture);
    body->addWidget(m_pages, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(body);
    layout->addLayout(buttons);

    connect(m_back, &QPushButton::clicked, this, &CAddDrugWizard::Back);
    connect(m_next, &QPushButton::clicked, this, &CAddDrugWizard::Next);
    connect(m_finish, &QPushButton::clicked, this, &CAddDrugWizard::Finish);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_list, &QListWidget::itemSelectionChanged, this,
            &CAddDrugWizard::DrugSelectionChanged);
    connect(m_constantYes, &QRadioButton::toggled, this, &CAddDrugWizard::ConstantRatioChanged);
    ShowPage(kNamePage);
}

int CAddDrugWizard::CurrentPage() const {
    return m_pages->currentIndex();
}

bool CAddDrugWizard::IsSingle() const {
    return !m_combinationYes->isChecked();
}

std::vector<std::uint16_t> CAddDrugWizard::SelectedPositions() const {
    std::vector<std::uint16_t> positions;
    for (int row = 0; row < m_list->count(); ++row) {
        if (m_list->item(row)->isSelected()) {
            positions.push_back(static_cast<std::uint16_t>(row));
        }
    }
    return positions;
}

void CAddDrugWizard::ShowPage(int page) {
    m_pages->setCurrentIndex(page);
    m_back->setEnabled(page != kNamePage);
    m_next->setEnabled(page != kDataPage);
    m_finish->setEnabled(page == kDataPage);
    if (page == kDataPage) {
        entry::CAddDrugRequest request;
        request.m_strName = m_name->text().toStdString();
        request.m_bSingle = IsSingle();
        request.m_positions = SelectedPositions();
        request.m_bConstantRatio = m_constantYes->isChecked();
        const int rows = entry::DoseRowCount(request);
        for (int row = 1; row <= entry::kMaxWizardDrugs; ++row) {
            const bool shown = row <= rows;
            const QString label =
                QString::fromStdString(entry::DoseRowLabel(request, m_drugs, row));
            DoseRowLabel(row)->setText(label);
            DoseRangeField(row)->setAccessibleName(label);
            DoseRowLabel(row)->setVisible(shown);
            DoseRangeField(row)->setVisible(shown);
            SelectButton(row)->setVisible(shown);
        }
        m_finish->setDefault(true);
    } else {
        m_next->setDefault(true);
    }
}

void CAddDrugWizard::DrugSelectionChanged() {
    const std::vector<std::uint16_t> positions = SelectedPositions();
    std::vector<std::string> names;
    for (std::uint16_t id : positions) {
        names.push_back(m_list->item(id)->text().toStdString());
    }
    m_selected->setText(QString::fromStdString(entry::SelectedDrugsText(names)));
    if (m_constantYes->isChecked()) {
        m_ratio->setText(
            QString::fromStdString(entry::DefaultRatioText(static_cast<int>(positions.size()))));
    } else {
        m_ratio->clear();
    }
}

void CAddDrugWizard::ConstantRatioChanged() {
    const bool constant = m_constantYes->isChecked();
    m_ratioLabel->setEnabled(constant);
    m_ratio->setEnabled(constant);
    DrugSelectionChanged();
}

void CAddDrugWizard::Next() {
    switch (CurrentPage()) {
    case kNamePage: {
        const entry::CStatus status = entry::CheckDrugNamePage(
            m_name->text().toStdString(), IsSingle(), static_cast<int>(m_drugs.size()));
        if (!status) {
            Prompter().Message(this, QString::fromStdString(status.Message()));
            return;
        }
        ShowPage(IsSingle() ? kDataPage : kDrugsPage);
        return;
    }
    case kDrugsPage: {
        const auto count = static_cast<int>(SelectedPositions().size());
        const entry::CStatus status = entry::CheckDrugSelection(count);
        if (!status) {
            Prompter().Message(this, QString::fromStdString(status.Message()));
            return;
        }
        m_ratioValues.clear();
        if (m_constantYes->isChecked()) {
            auto parsed = entry::ParseRatioText(m_ratio->text().toStdString(), count);
            if (!parsed) {
                Prompter().Message(this, QString::fromStdString(parsed.Message()));
                return;
            }
            m_ratioValues = std::move(parsed.Value());
        }
        ShowPage(kDataPage);
        return;
    }
    default:
        return;
    }
}

void CAddDrugWizard::Back() {
    if (CurrentPage() == kDataPage) {
        ShowPage(IsSingle() ? kNamePage : kDrugsPage);
    } else if (CurrentPage() == kDrugsPage) {
        ShowPage(kNamePage);
    }
}

void CAddDrugWizard::Finish() {
    if (CurrentPage() != kDataPage) {
        return;
    }
    entry::CAddDrugRequest request;
    request.m_strName = m_name->text().toStdString();
    request.m_strComment = m_comment->text().toStdString();
    request.m_strUnits = m_units->text().toStdString();
    request.m_bSingle = IsSingle();
    if (!request.m_bSingle) {
        request.m_positions = SelectedPositions();
        request.m_bConstantRatio = m_constantYes->isChecked();
        request.m_ratio = m_ratioValues;
    }
    request.m_strEffectRange = m_effectRange->text().toStdString();
    for (int row = 1; row <= entry::kMaxWizardDrugs; ++row) {
        request.m_doseRanges[static_cast<std::size_t>(row - 1)] =
            DoseRangeField(row)->text().toStdString();
    }
    auto built = entry::BuildDrugFromSheet(request, m_drugs, m_sheet);
    if (!built) {
        Prompter().Message(this, QString::fromStdString(built.Message()));
        return;
    }
    m_record = std::move(built.Value());
    accept();
}

void CAddDrugWizard::SelectRange(QLineEdit* field) {
    const RangeSelectHook& hook = Hook();
    if (!hook) {
        return;
    }
    QString range = field->text();
    if (hook(this, range)) {
        field->setText(range);
    }
}

} // namespace doseplex::app
