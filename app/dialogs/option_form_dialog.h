#pragma once

#include "core/options.h"

#include <QDialog>

#include <map>
#include <optional>
#include <string_view>
#include <vector>

class QCheckBox;
class QLineEdit;

namespace doseplex::app {

// One control of an options dialog: the option's settings key, its label
// and whether it is a check box; `note` is shown beside a number field.
struct COptionControl {
    std::string_view m_key;
    const char* m_label;
    bool m_bCheckBox;
    const char* m_note = nullptr;
};

// The Options and Graph View Setup dialogs: number fields and check boxes
// over the analysis and graph options, checked when the dialog closes with
// OK or its Set Defaults button. A failed check shows the range message,
// puts the focus on the field and keeps the dialog open.
class COptionFormDialog : public QDialog {
    Q_OBJECT
public:
    // Options dialog ("Options") over the analysis options.
    static COptionFormDialog* ForAnalysis(const CAnalysisOptions& options, QWidget* parent);
    // Graph View Setup dialog over the graph options.
    static COptionFormDialog* ForGraphs(const CGraphOptions& options, QWidget* parent);

    const CAnalysisOptions& Analysis() const { return m_analysis; }
    const CGraphOptions& Graphs() const { return m_graph; }
    // True when the dialog was closed with Set Defaults.
    bool DefaultsChosen() const { return m_bSetDefaults; }

    QLineEdit* Field(std::string_view key) const;
    QCheckBox* CheckBox(std::string_view key) const;

    // Reads and checks every control; on success copies the values and
    // closes the dialog (as OK, or as Set Defaults).
    bool TryAccept(bool setDefaults);

private:
    COptionFormDialog(const QString& title, const std::vector<COptionControl>& controls,
                      const CAnalysisOptions& analysis, const CGraphOptions& graph,
                      const QString& defaultsLabel, bool graphs, QWidget* parent);

    CAnalysisOptions m_analysis;
    CGraphOptions m_graph;
    bool m_bGraphs;
    bool m_bSetDefaults = false;
    std::vector<COptionControl> m_controls;
    std::map<std::string_view, QLineEdit*> m_fields;
    std::map<std::string_view, QCheckBox*> m_checkBoxes;
};

// Reads a dialog's number field as the framework does: "Please enter an
// integer." / "Please enter a number." when the text is not one.
std::optional<double> ParseField(const QString& text, bool integer, QString& message);

} // namespace doseplex::app
