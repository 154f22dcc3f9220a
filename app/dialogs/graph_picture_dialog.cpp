#include "app/dialogs/graph_picture_dialog.h"

#include "app/dialogs/dialog_helpers.h"
#include "app/dialogs/option_form_dialog.h"
#include "app/platform/prompter.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace doseplex::app {

CGraphPictureSettings& CGraphPictureDialog::CopySettings() {
    static CGraphPictureSettings settings;
    return settings;
}

CGraphPictureSettings& CGraphPictureDialog::ExportSettings() {
    static CGraphPictureSettings settings;
    return settings;
}

CGraphPictureDialog::CGraphPictureDialog(const QString& title, const QStringList& graphs,
                                         const CGraphPictureSettings& start, bool copy,
                                         QWidget* parent)
    : QDialog(parent), m_values(start) {
    setWindowTitle(title);
    auto* layout = new QVBoxLayout(this);
    auto* listLabel = new QLabel(QStringLiteral("Graphs"));
    m_list = new QListWidget;
    m_list->addItems(graphs);
    m_list->setAccessibleName(QStringLiteral("Graphs"));
    listLabel->setBuddy(m_list);
    // No entry is selected until the user picks one.
    m_list->setCurrentRow(-1);
    m_list->clearSelection();
    layout->addWidget(listLabel);
    layout->addWidget(m_list);

    auto* form = new QFormLayout;
    m_title = new QCheckBox(QStringLiteral("Include &Title"));
    m_title->setAccessibleName(QStringLiteral("Include Title"));
    m_title->setChecked(start.m_bIncludeTitle);
    form->addRow(m_title);
    m_width = new QLineEdit(QString::number(start.m_nWidth));
    m_height = new QLineEdit(QString::number(start.m_nHeight));
    m_points = new QLineEdit(QString::number(start.m_nPoints));
    AddLabelledRow(form, QStringLiteral("Width (pixels):"), m_width);
    AddLabelledRow(form, QStringLiteral("Height (pixels):"), m_height);
    AddLabelledRow(form, QStringLiteral("Points:"), m_points);
    if (copy) {
        // Not remembered: every copy starts as a metafile.
        m_bitmap = new QCheckBox(QStringLiteral("Copy as Bitmap"));
        m_bitmap->setAccessibleName(QStringLiteral("Copy as Bitmap"));
        form->addRow(m_bitmap);
    }
    layout->addLayout(form);

    auto* row = new QHBoxLayout;
    const std::vector<std::pair<EAction, QString>> buttons =
        copy ? std::vector<std::pair<EAction, QString>>{{EAction::CopyColour, "Copy Colour"},
                                                        {EAction::CopyBlackWhite, "Copy B&&W"},
                                                        {EAction::CopyData, "Copy Data"},
                                                        {EAction::CopyCurves, "Copy Curves"}}
             : std::vector<std::pair<EAction, QString>>{{EAction::Export, "Export"},
                                                        {EAction::ExportData, "Export Data"},
                                                        {EAction::ExportCurves, "Export Curves"}};
    for (const auto& [action, text] : buttons) {
        auto* button = new QPushButton(text);
        button->setAccessibleName(VisibleText(text));
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, [this, action] { TryAccept(action); });
        m_buttons.emplace_back(action, button);
        row->addWidget(button);
    }
    auto* cancel = new QPushButton(QStringLiteral("&Cancel"));
    cancel->setAccessibleName(QStringLiteral("Cancel"));
    cancel->setAutoDefault(false);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    row->addWidget(cancel);
    layout->addLayout(row);
}

int CGraphPictureDialog::SelectedGraph() const {
    const QList<QListWidgetItem*> selected = m_list->selectedItems();
    return selected.isEmpty() ? -1 : m_list->row(selected.constFirst());
}

bool CGraphPictureDialog::AsBitmap() const {
    return m_bitmap && m_bitmap->isChecked();
}

QPushButton* CGraphPictureDialog::Button(EAction action) const {
    for (const auto& [which, button] : m_buttons) {
        if (which == action) {
            return button;
        }
    }
    return nullptr;
}

bool CGraphPictureDialog::TryAccept(EAction action) {
    struct CCheck {
        QLineEdit* field;
        int min;
        int max;
        int* target;
    };
    CGraphPictureSettings entered = m_values;
    const CCheck checks[] = {
        {m_width, CGraphPictureSettings::kMinSize, CGraphPictureSettings::kMaxSize,
         &entered.m_nWidth},
        {m_height, CGraphPictureSettings::kMinSize, CGraphPictureSettings::kMaxSize,
         &entered.m_nHeight},
        {m_points, CGraphPictureSettings::kMinPoints, CGraphPictureSettings::kMaxPoints,
         &entered.m_nPoints},
    };
    for (const CCheck& check : checks) {
        QString message;
        const std::optional<double> value = ParseField(check.field->text(), true, message);
        if (!value || *value < check.min || *value > check.max) {
            Prompter().Message(this, QStringLiteral("Please enter an integer between %1 and %2.")
                                         .arg(check.min)
                                         .arg(check.max));
            check.field->setFocus();
            check.field->selectAll();
            return false;
        }
        *check.target = static_cast<int>(*value);
    }
    entered.m_bIncludeTitle = m_title->isChecked();
    m_values = entered;
    m_action = action;
    accept();
    return true;
}

CCopyGraphDialog::CCopyGraphDialog(const QStringList& graphs, QWidget* parent)
    : CGraphPictureDialog(QStringLiteral("Copy Graph"), graphs, CopySettings(), true, parent) {}

CExportGraphDialog::CExportGraphDialog(const QStringList& graphs, QWidget* parent)
    : CGraphPictureDialog(QStringLiteral("Export Graph"), graphs, ExportSettings(), false, parent) {
}

} // namespace doseplex::app
