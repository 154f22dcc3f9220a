#pragma once

#include "core/drug_info.h"
#include "graph/build_graphs.h"

#include <QDialog>
#include <QWidget>

#include <memory>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QCheckBox;
class QUndoStack;

namespace doseplex::app {

// The small graph of Drug Properties, drawn by the graph engine. It shows
// nothing while its graph has no series.
class CPreviewGraph final : public QWidget {
    Q_OBJECT
public:
    explicit CPreviewGraph(QWidget* parent = nullptr);
    CGraph& Graph() { return m_graph; }
    bool HasSeries() const { return !m_graph.m_datasets.empty(); }
    QSize sizeHint() const override { return {320, 240}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    CGraph m_graph;
};

// "Drug Properties": a record's name, units and comment, its components and
// ratio (set through Drug Selection while it has no points), its dose-effect
// points (New, Edit, Delete through Dose / Effect), its fitted m, Dm and r,
// and a live preview graph. Every change is made on the record handed in at
// once, so callers hand it a new record or a copy and keep it only on OK.
// Changes of the points can be undone until the dialog closes.
class CDrugDialog final : public QDialog {
    Q_OBJECT
public:
    CDrugDialog(std::shared_ptr<CDrugInfo> record, const DrugList& drugs,
                QWidget* parent = nullptr);
    ~CDrugDialog() override;

    // The point commands; the selected line of the dose list is the point.
    void NewPoint();
    void EditPoint();
    void DeletePoint();
    void SelectDrugs();

    QLineEdit* NameField() const { return m_name; }
    QLineEdit* UnitsField() const { return m_units; }
    QLineEdit* CommentField() const { return m_comment; }
    QListWidget* DoseList() const { return m_doses; }
    QLabel* Field(const char* name) const;
    QRadioButton* DoseEffectButton() const { return m_doseEffect; }
    QRadioButton* MedianEffectButton() const { return m_medianEffect; }
    CPreviewGraph* Preview() const { return m_preview; }
    QUndoStack* PointUndo() const { return m_undo; }
    // The dose list as lines of text, for tests and the accessibility tree.
    QStringList DoseLines() const;

public slots:
    void accept() override;

private:
    void StoreTexts();
    void FillDoseList();
    void RefreshFields();
    void ShowSelectedPoint();
    void RebuildPreview();
    // Everything that follows a change of the points.
    void PointsChanged();
    // Records the points before a change so that Undo can bring them back;
    // call after the change with the points from before.
    void PushPointsChange(const QString& text, std::vector<std::unique_ptr<CDoseData>> before);
    std::vector<std::unique_ptr<CDoseData>> ClonePoints() const;
    void RestorePoints(const std::vector<std::unique_ptr<CDoseData>>& points);

    friend class CPointsCommand;

    std::shared_ptr<CDrugInfo> m_record;
    const DrugList& m_drugs;
    QLineEdit* m_name;
    QLineEdit* m_units;
    QLineEdit* m_comment;
    QLineEdit* m_componentCount;
    QCheckBox* m_constantRatio;
    QListWidget* m_doses;
    QLabel* m_dose;
    QLabel* m_effect;
    QLabel* m_drugsText;
    QLabel* m_ratioText;
    QLabel* m_m;
    QLabel* m_dm;
    QLabel* m_r;
    QRadioButton* m_doseEffect;
    QRadioButton* m_medianEffect;
    CPreviewGraph* m_preview;
    QUndoStack* m_undo;
};

} // namespace doseplex::app
