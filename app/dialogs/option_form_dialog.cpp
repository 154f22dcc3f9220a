#include "app/dialogs/option_form_dialog.h"

#include "app/dialogs/dialog_helpers.h"
#include "app/platform/prompter.h"
#include "core/settings.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

namespace doseplex::app {

namespace {

const std::vector<COptionControl>& AnalysisControls() {
    static const std::vector<COptionControl> controls = {
        {"GraphRepeats", "Repeats for &Graph:", false},
        {"MonteCarlo", "&Use Monte Carlo Estimation", true},
        {"ReportRepeats", "Repeats for &Report:", false},
        {"sdMultiple", "&Multiplier for s.d. :", false},
        {"EffectEnd", "Range &End:", false},
        {"EffectFirst", "&First Value:", false},
        {"EffectLast", "&Last Value:", false},
        {"EffectStart", "Range &Start:", false},
        {"EffectStep", "Range Ste&p:", false},
        {"Effect1", "Value &1:", false},
        {"Effect2", "Value &2:", false},
        {"Effect3", "Value &3:", false},
        {"ErrorBand", "&Display Error Band", true},
        {"DRI", "Display DRI &Values", true},
        {"EffectTable", "Al&ways Display Dose-Effect", true},
    };
    return controls;
}

const std::vector<COptionControl>& GraphControls() {
    static const std::vector<COptionControl> controls = {
        {"GraphsPerRow", "Graphs per Row on &Screen", false, "(1-4)"},
        {"GraphsPerPage", "Graphs per &Printed Page", false, "(1-6)"},
        {"NonExclusiveCI", "Display Non-E&xclusive CI Plot", true},
        {"LogPlots", "Display &Logarithmic CI Plots", true},
        {"ConservativeIso", "Display &Conservative Isobologram", true},
        {"ColourPrint", "Print in &Color", true},
        {"CILine", "Display Li&nes on CI Plots", true},
        {"CIPoints", "Display &Points on CI Plots", true},
    };
    return controls;
}

QString ShowValue(const COptionInfo& info, double value) {
    if (info.integer) {
        return QString::number(static_cast<long long>(value));
    }
    return QString::asprintf("%g", value);
}

} // namespace

std::optional<double> ParseField(const QString& text, bool integer, QString& message) {
    const QString trimmed = text.trimmed();
    bool ok = false;
    const QLocale c = QLocale::c();
    if (integer) {
        const int value = c.toInt(trimmed, &ok);
        if (ok) {
            return value;
        }
        message = QStringLiteral("Please enter an integer.");
        return std::nullopt;
    }
    const double value = c.toDouble(trimmed, &ok);
    if (ok) {
        return value;
    }
    message = QStringLiteral("Please enter a number.");
    return std::nullopt;
}

COptionFormDialog* COptionFormDialog::ForAnalysis(const CAnalysisOptions& options,
                                                  QWidget* parent) {
    return new COptionFormDialog(QStringLiteral("Options"), AnalysisControls(), options, {},
                                 QStringLiteral("Set Defaults"), false, parent);
}

COptionFormDialog* COptionFormDialog::ForGraphs(const CGraphOptions& options, QWidget* parent) {
    return new COptionFormDialog(QStringLiteral("Graph View Setup"), GraphControls(), {}, options,
                                 QStringLiteral("Set defaults"), true, parent);
}

COptionFormDialog::COptionFormDialog(const QString& title,
                                     const std::vector<COptionControl>& controls,
                                     const CAnalysisOptions& analysis, const CGraphOptions& graph,
                                     const QString& defaultsLabel, bool graphs, QWidget* parent)
    : QDialog(parent), m_analysis(analysis), m_graph(graph), m_bGraphs(graphs),
      m_controls(controls) {
    setWindowTitle(title);
    auto* form = new QFormLayout;
    for (const COptionControl& control : m_controls) {
        const COptionInfo* info = FindOption(control.m_key);
        const double value = GetOptionValue(*info, m_analysis, m_graph);
        if (control.m_bCheckBox) {
            auto* box = new QCheckBox(QString::fromUtf8(control.m_label));
            box->setAccessibleName(VisibleText(QString::fromUtf8(control.m_label)));
            box->setChecked(value != 0);
            form->addRow(box);
            m_checkBoxes[control.m_key] = box;
            continue;
        }
        auto* field = new QLineEdit(ShowValue(*info, value));
        if (control.m_note) {
            auto* row = new QWidget;
            auto* rowLayout = new QHBoxLayout(row);
            rowLayout->setContentsMargins(0, 0, 0, 0);
            rowLayout->addWidget(field);
            rowLayout->addWidget(new QLabel(QString::fromUtf8(control.m_note)));
            AddLabelledRow(form, QString::fromUtf8(control.m_label), row)->setBuddy(field);
            field->setAccessibleName(VisibleText(QString::fromUtf8(control.m_label)));
        } else {
            AddLabelledRow(form, QString::fromUtf8(control.m_label), field);
        }
        m_fields[control.m_key] = field;
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QPushButton* defaults = buttons->addButton(defaultsLabel, QDialogButtonBox::ActionRole);
    connect(buttons->button(QDialogButtonBox::Ok), &QPushButton::clicked, this,
            [this] { TryAccept(false); });
    connect(defaults, &QPushButton::clicked, this, [this] { TryAccept(true); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

QLineEdit* COptionFormDialog::Field(std::string_view key) const {
    const auto it = m_fields.find(key);
    return it == m_fields.end() ? nullptr : it->second;
}

QCheckBox* COptionFormDialog::CheckBox(std::string_view key) const {
    const auto it = m_checkBoxes.find(key);
    return it == m_checkBoxes.end() ? nullptr : it->second;
}

bool COptionFormDialog::TryAccept(bool setDefaults) {
    CAnalysisOptions analysis = m_analysis;
    CGraphOptions graph = m_graph;
    for (const COptionControl& control : m_controls) {
        const COptionInfo* info = FindOption(control.m_key);
        if (control.m_bCheckBox) {
            SetOptionValue(*info, CheckBox(control.m_key)->isChecked() ? 1 : 0, analysis, graph);
            continue;
        }
        QLineEdit* field = Field(control.m_key);
        QString message;
        const std::optional<double> value = ParseField(field->text(), info->integer, message);
        if (!value) {
            Prompter().Message(this, message);
            field->setFocus();
            field->selectAll();
            return false;
        }
        SetOptionValue(*info, *value, analysis, graph);
    }
    const std::optional<CFieldProblem> problem =
        m_bGraphs ? ValidateGraphSetupDialog(graph) : ValidateOptionsDialog(analysis);
    if (problem) {
        Prompter().Message(this, QString::fromStdString(problem->m_message));
        if (QLineEdit* field = Field(problem->m_key)) {
            field->setFocus();
            field->selectAll();
        }
        return false;
    }
    m_analysis = analysis;
    m_graph = graph;
    m_bSetDefaults = setDefaults;
    accept();
    return true;
}

} // namespace doseplex::app
