#include "app/dialogs/drug_dialog.h"

#include "app/dialogs/dialog_helpers.h"
#include "app/dialogs/dose_effect_dialog.h"
#include "app/dialogs/drug_selection_dialog.h"
#include "app/platform/prompter.h"
#include "core/format.h"
#include "entry/dose_entry.h"
#include "graph/qt/qpainter_surface.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QUndoCommand>
#include <QUndoStack>
#include <QVBoxLayout>

namespace doseplex::app {

namespace {

const QString kNotCombination = QStringLiteral("Not a combination");

QString FromView(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

// A change of the record's points: Undo puts the points from before it back,
// Redo those from after it.
class CPointsCommand final : public QUndoCommand {
public:
    CPointsCommand(CDrugDialog& dialog, const QString& text,
                   std::vector<std::unique_ptr<CDoseData>> before)
        : QUndoCommand(text), m_dialog(dialog), m_before(std::move(before)),
          m_after(dialog.ClonePoints()) {}

    void undo() override { m_dialog.RestorePoints(m_before); }
    void redo() override {
        // The first Redo comes when the command is pushed, after the change.
        if (m_bDone) {
            m_dialog.RestorePoints(m_after);
        }
        m_bDone = true;
    }

private:
    CDrugDialog& m_dialog;
    std::vector<std::unique_ptr<CDoseData>> m_before;
    std::vector<std::unique_ptr<CDoseData>> m_after;
    bool m_bDone = false;
};

CPreviewGraph::CPreviewGraph(QWidget* parent) : QWidget(parent) {
    setMinimumSize(240, 180);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CPreviewGraph::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    if (!HasSeries()) {
        return;
    }
    painter.setRenderHint(QPainter::Antialiasing);
    CQPainterSurface surface(painter);
    m_graph.Layout(0, 0, width(), height(), 0, 0);
    m_graph.Draw(surface, CRect{0, 0, width(), height()});
}

CDrugDialog::CDrugDialog(std::shared_ptr<CDrugInfo> record, const DrugList& drugs, QWidget* parent)
    : QDialog(parent), m_record(std::move(record)), m_drugs(drugs), m_name(new QLineEdit),
      m_units(new QLineEdit), m_comment(new QLineEdit), m_componentCount(new QLineEdit),
      m_constantRatio(new QCheckBox(QStringLiteral("Constant &ratio"))), m_doses(new QListWidget),
      m_dose(new QLabel), m_effect(new QLabel), m_drugsText(new QLabel), m_ratioText(new QLabel),
      m_m(new QLabel), m_dm(new QLabel), m_r(new QLabel),
      m_doseEffect(new QRadioButton(QStringLiteral("Dose-e&ffect"))),
      m_medianEffect(new QRadioButton(QStringLiteral("Median-effect &plot"))),
      m_preview(new CPreviewGraph), m_undo(new QUndoStack(this)) {
    setWindowTitle(QStringLiteral("Drug Properties"));
    m_name->setText(QString::fromStdString(m_record->m_strName));
    m_units->setMaxLength(10);
    m_units->setText(QString::fromStdString(m_record->m_strUnits));
    m_comment->setText(QString::fromStdString(m_record->m_strComment));
    m_componentCount->setReadOnly(true);
    // The flag changes only through Select.
    m_constantRatio->setEnabled(false);
    m_constantRatio->setAccessibleName(QStringLiteral("Constant ratio"));
    m_doses->setAccessibleName(QStringLiteral("Doses"));
    m_preview->setAccessibleName(QStringLiteral("Preview"));

    auto* texts = new QFormLayout;
    AddLabelledRow(texts, QStringLiteral("Na&me:"), m_name);
    AddLabelledRow(texts, QStringLiteral("&Units:"), m_units);
    AddLabelledRow(texts, QStringLiteral("&Comments:"), m_comment);
    AddLabelledRow(texts, QStringLiteral("Number of D&rugs:"), m_componentCount);
    auto* select = new QPushButton(QStringLiteral("&Select"));
    auto* structure = new QHBoxLayout;
    structure->addWidget(m_constantRatio);
    structure->addWidget(select);
    texts->addRow(structure);

    auto* newButton = new QPushButton(QStringLiteral("&New"));
    auto* editButton = new QPushButton(QStringLiteral("&Edit"));
    auto* deleteButton = new QPushButton(QStringLiteral("&Delete"));
    auto* undoButton = new QPushButton(QStringLiteral("Undo"));
    auto* redoButton = new QPushButton(QStringLiteral("Redo"));
    undoButton->setEnabled(false);
    redoButton->setEnabled(false);
    auto* pointButtons = new QVBoxLayout;
    for (QPushButton* button : {newButton, editButton, deleteButton, undoButton, redoButton}) {
        pointButtons->addWidget(button);
    }
    pointButtons->addStretch();
    auto* points = new QHBoxLayout;
    points->addWidget(m_doses);
    points->addLayout(pointButtons);

    auto* values = new QFormLayout;
    AddLabelledRow(values, QStringLiteral("Dose:"), m_dose);
    AddLabelledRow(values, QStringLiteral("Effect:"), m_effect);
    AddLabelledRow(values, QStringLiteral("Drugs:"), m_drugsText);
    AddLabelledRow(values, QStringLiteral("Ratio:"), m_ratioText);
    AddLabelledRow(values, QStringLiteral("m:"), m_m);
    AddLabelledRow(values, QStringLiteral("Dm:"), m_dm);
    AddLabelledRow(values, QStringLiteral("r:"), m_r);
    for (QLabel* label : {m_dose, m_effect, m_drugsText, m_ratioText, m_m, m_dm, m_r}) {
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    }

    auto* choice = new QButtonGroup(this);
    choice->addButton(m_doseEffect);
    choice->addButton(m_medianEffect);
    m_medianEffect->setChecked(true);
    auto* radios = new QHBoxLayout;
    radios->addWidget(m_doseEffect);
    radios->addWidget(m_medianEffect);
    auto* previewColumn = new QVBoxLayout;
    previewColumn->addWidget(m_preview, 1);
    previewColumn->addLayout(radios);

    auto* left = new QVBoxLayout;
    left->addLayout(texts);
    left->addLayout(points);
    left->addLayout(values);
    auto* columns = new QHBoxLayout;
    columns->addLayout(left);
    columns->addLayout(previewColumn, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &CDrugDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(select, &QPushButton::clicked, this, &CDrugDialog::SelectDrugs);
    connect(newButton, &QPushButton::clicked, this, &CDrugDialog::NewPoint);
    connect(editButton, &QPushButton::clicked, this, &CDrugDialog::EditPoint);
    connect(deleteButton, &QPushButton::clicked, this, &CDrugDialog::DeletePoint);
    connect(undoButton, &QPushButton::clicked, m_undo, &QUndoStack::undo);
    connect(redoButton, &QPushButton::clicked, m_undo, &QUndoStack::redo);
    connect(m_undo, &QUndoStack::canUndoChanged, undoButton, &QPushButton::setEnabled);
    connect(m_undo, &QUndoStack::canRedoChanged, redoButton, &QPushButton::setEnabled);
    auto* undoKey = new QShortcut(QKeySequence::Undo, this);
    connect(undoKey, &QShortcut::activated, m_undo, &QUndoStack::undo);
    auto* redoKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Y), this);
    connect(redoKey, &QShortcut::activated, m_undo, &QUndoStack::redo);
    connect(m_doses, &QListWidget::currentRowChanged, this, &CDrugDialog::ShowSelectedPoint);
    connect(m_doses, &QListWidget::itemDoubleClicked, this, &CDrugDialog::EditPoint);
    connect(m_doseEffect, &QRadioButton::toggled, this, &CDrugDialog::RebuildPreview);
    for (QLineEdit* field : {m_name, m_units, m_comment}) {
        connect(field, &QLineEdit::editingFinished, this, &CDrugDialog::StoreTexts);
    }

    FillDoseList();
    RefreshFields();
    RebuildPreview();
}

CDrugDialog::~CDrugDialog() {
    // The commands refer to the dialog: they go before its members.
    m_undo->clear();
}

QLabel* CDrugDialog::Field(const char* name) const {
    const QString wanted = QString::fromLatin1(name);
    for (QLabel* label : {m_dose, m_effect, m_drugsText, m_ratioText, m_m, m_dm, m_r}) {
        if (label->accessibleName() == wanted) {
            return label;
        }
    }
    return nullptr;
}

QStringList CDrugDialog::DoseLines() const {
    QStringList lines;
    for (int row = 0; row < m_doses->count(); ++row) {
        lines.append(m_doses->item(row)->text());
    }
    return lines;
}

void CDrugDialog::StoreTexts() {
    m_record->m_strName = m_name->text().toStdString();
    m_record->m_strUnits = m_units->text().toStdString();
    m_record->m_strComment = m_comment->text().toStdString();
}

void CDrugDialog::FillDoseList() {
    m_doses->clear();
    for (int i = 0; i < m_record->PointCount(); ++i) {
        m_doses->addItem(QString::fromStdString(entry::DoseListLine(*m_record->GetPoint(i))));
    }
    m_doses->setCurrentRow(-1);
    ShowSelectedPoint();
}

void CDrugDialog::ShowSelectedPoint() {
    const int row = m_doses->currentRow();
    const CDoseData* point = row >= 0 ? m_record->GetPoint(row) : nullptr;
    if (!point) {
        m_dose->clear();
        m_effect->clear();
        return;
    }
    m_dose->setText(QString::fromStdString(m_record->DoseText(row, false, &m_drugs, -1)));
    m_effect->setText(QString::fromStdString(FormatNumber(point->m_fa, 4, true)));
}

void CDrugDialog::RefreshFields() {
    m_componentCount->setText(QString::number(m_record->m_nComponents));
    m_constantRatio->setChecked(m_record->m_bConstantRatio != 0);
    if (m_record->IsCombination()) {
        m_drugsText->setText(QString::fromStdString(m_record->ComponentListText(m_drugs)));
        m_ratioText->setText(QString::fromStdString(m_record->RatioText(-1)));
    } else {
        m_drugsText->setText(kNotCombination);
        m_ratioText->setText(kNotCombination);
    }
    double m = 0.0;
    double seM = 0.0;
    double dm = 0.0;
    double dmLower = 0.0;
    double dmUpper = 0.0;
    double r = 0.0;
    if (m_record->GetParameters(m, seM, dm, dmLower, dmUpper, r)) {
        m_m->setText(QString::fromStdString(FormatNumber(m, 4, true)));
        m_dm->setText(QString::fromStdString(FormatNumber(dm, 4, true)));
        m_r->setText(QString::fromStdString(FormatNumber(r, 4, true)));
    } else {
        m_m->clear();
        m_dm->clear();
        m_r->clear();
    }
}

void CDrugDialog::RebuildPreview() {
    // A graph that cannot be built shows nothing rather than the points it
    // showed before.
    if (m_record->PointCount() > 0) {
        BuildPreviewGraph(m_preview->Graph(), m_record,
                          m_doseEffect->isChecked() ? EPreviewMode::DoseEffect
                                                    : EPreviewMode::MedianEffect);
    } else {
        m_preview->Graph().RemoveAllDatasets();
    }
    m_preview->update();
}

void CDrugDialog::PointsChanged() {
    FillDoseList();
    RefreshFields();
    RebuildPreview();
}

std::vector<std::unique_ptr<CDoseData>> CDrugDialog::ClonePoints() const {
    std::vector<std::unique_ptr<CDoseData>> points;
    for (int i = 0; i < m_record->PointCount(); ++i) {
        points.push_back(m_record->GetPoint(i)->Clone());
    }
    return points;
}

void CDrugDialog::RestorePoints(const std::vector<std::unique_ptr<CDoseData>>& points) {
    m_record->RemoveAllPoints();
    std::vector<std::unique_ptr<CDoseData>> copies;
    for (const auto& point : points) {
        copies.push_back(point->Clone());
    }
    m_record->AddPoints(copies);
    m_record->Fit();
    PointsChanged();
}

void CDrugDialog::PushPointsChange(const QString& text,
                                   std::vector<std::unique_ptr<CDoseData>> before) {
    m_undo->push(new CPointsCommand(*this, text, std::move(before)));
}

void CDrugDialog::NewPoint() {
    StoreTexts();
    CDoseEffectDialog entry(*m_record, m_drugs, nullptr, this);
    if (entry.exec() != QDialog::Accepted) {
        return;
    }
    auto before = ClonePoints();
    std::unique_ptr<CDoseData> point = entry.TakePoint();
    if (!point || !m_record->AddPoint(point)) {
        Prompter().Message(this, FromView(entry::kDoseInvalidMessage));
    } else {
        PushPointsChange(QStringLiteral("New Dose"), std::move(before));
    }
    PointsChanged();
}

void CDrugDialog::EditPoint() {
    const int row = m_doses->currentRow();
    const CDoseData* point = row >= 0 ? m_record->GetPoint(row) : nullptr;
    if (!point) {
        return;
    }
    StoreTexts();
    const std::unique_ptr<CDoseData> copy = point->Clone();
    CDoseEffectDialog entry(*m_record, m_drugs, copy.get(), this);
    if (entry.exec() != QDialog::Accepted) {
        return;
    }
    std::unique_ptr<CDoseData> changed = entry.TakePoint();
    if (!changed) {
        return;
    }
    auto before = ClonePoints();
    if (!m_record->ReplacePoint(row, changed)) {
        Prompter().Message(this, FromView(entry::kDoseInvalidMessage));
    } else {
        PushPointsChange(QStringLiteral("Edit Dose"), std::move(before));
    }
    PointsChanged();
}

void CDrugDialog::DeletePoint() {
    const int row = m_doses->currentRow();
    if (row < 0 || !m_record->GetPoint(row)) {
        return;
    }
    if (Prompter().Ask(this, QStringLiteral("Are you sure you want to delete this dose?"),
                       QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes) {
        return;
    }
    auto before = ClonePoints();
    if (m_record->RemovePoint(row)) {
        PushPointsChange(QStringLiteral("Delete Dose"), std::move(before));
    }
    PointsChanged();
}

void CDrugDialog::SelectDrugs() {
    if (m_record->PointCount() > 0) {
        Prompter().Message(this,
                           QStringLiteral("This value must be set BEFORE you enter any doses."));
        return;
    }
    StoreTexts();
    CDrugSelectionDialog selection(*m_record, m_drugs, this);
    if (selection.exec() != QDialog::Accepted) {
        return;
    }
    const auto count = static_cast<std::uint16_t>(selection.Count());
    m_record->SetComponents(count, selection.Positions().data());
    if (selection.ConstantRatio() && count > 1) {
        const std::vector<double> ratio = selection.Ratio();
        m_record->SetRatio(count, ratio.data());
    }
    m_record->SetConstantRatio(selection.ConstantRatio() ? 1 : 0);
    RefreshFields();
}

void CDrugDialog::accept() {
    StoreTexts();
    QDialog::accept();
}

} // namespace doseplex::app
