#pragma once

#include "app/models/drug_commands.h"
#include "app/models/engine_calls.h"
#include "app/views/child_view.h"
#include "core/options.h"

#include <QMainWindow>
#include <QPrinter>
#include <QStyle>

#include <map>
#include <memory>
#include <optional>
#include <vector>

class QAction;
class QDockWidget;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QUndoStack;

namespace doseplex {
class CDoseplexDoc;
}

namespace doseplex::app {

class CAppSettings;
class CContentsTree;
class CGraphView;
class CRawDataView;
class CRawSheetModel;
class CReportView;
class CSummaryTableView;

// What the application's command line asks for.
struct CCommandLine {
    enum class EAction { NewExperiment, Nothing, StoreImportPath, OpenFile };
    EAction m_action = EAction::NewExperiment;
    QString m_path;
};
// Empty: a new experiment. A first argument "/i": nothing is opened. "/r":
// the rest is kept as the path of the next import. Anything else is the path
// of an experiment file (its arguments joined by blanks).
CCommandLine ParseCommandLine(const QStringList& arguments);

// The main window: menus, toolbar, status bar, the "Contents Bar" with the
// contents tree, and the child windows of the one open experiment. Every
// change to the experiment goes through this class, which marks the
// experiment changed and refreshes the windows that show it.
class CMainWindow final : public QMainWindow {
    Q_OBJECT
public:
    explicit CMainWindow(CAppSettings& settings, QWidget* parent = nullptr);
    ~CMainWindow() override;

    // Carries out the command line; true when the splash should show.
    bool StartWith(const CCommandLine& commandLine);

    CDoseplexDoc* Document() const { return m_doc.get(); }
    CContentsTree* Tree() const { return m_tree; }
    QMdiArea* MdiArea() const { return m_mdi; }
    QAction* Action(const QString& name) const;
    const QString& ImportPath() const { return m_importPath; }
    QPrinter& Printer() { return m_printer; }

    // --- The experiment ------------------------------------------------------
    // Each first offers to save a modified experiment ("Save changes?");
    // Cancel (or a failed save) stops the command and changes nothing.
    bool NewExperiment();
    // The file replaces the experiment only when it was read completely.
    bool OpenExperiment(const QString& path);
    bool ImportExperiment(const QString& path);
    bool CloseExperiment();
    bool SaveExperiment();
    // With an empty path the save dialog asks for one.
    bool SaveExperimentAs(QString path = {});
    // True when the experiment may be closed: it is not modified, or the user
    // saved it or chose Discard.
    bool MaybeSave();

    // --- Windows -----------------------------------------------------------------
    // Open (or replace) a window; null when there is no experiment or the
    // build was cancelled.
    CReportView* OpenSummaryReport();
    CReportView* OpenDrugReport(int drug);
    CSummaryTableView* OpenSummaryTable();
    // Graph windows; the summary graphs ask for a selection first when the
    // experiment has none.
    CGraphView* OpenSummaryGraphs();
    CGraphView* OpenDrugGraphs(int drug);
    std::vector<CChildView*> Views() const;
    // The raw-data grid window, and the model of the experiment's sheet that
    // it and the Select Data dialog share (the sheet is made on first use).
    CRawDataView* OpenRawData();
    CRawSheetModel* RawSheetModel();
    // The Select Data dialog for the Add Drug Wizard's "Select" buttons: the
    // chosen range reference on OK (empty when nothing was selected).
    std::optional<QString> SelectDataRange(const QString& range);
    CChildView* ActiveView() const;

    // --- Changes -----------------------------------------------------------------
    void ApplyOptions(const CAnalysisOptions& options, bool setDefaults);
    void ApplyGraphSetup(const CGraphOptions& options, bool setDefaults);
    // The summary-graph selection as drug ids, and the drugs per graph.
    bool ApplySummaryGraphs(const std::vector<int>& selection, int drugsPerMedianGraph,
                            int drugsPerCIGraph);
    void ApplyDetails(const QString& title, const QString& investigator, const QString& date,
                      const QString& notes);
    // Asks for confirmation, then deletes the drug; the refusal message when
    // a combination uses it. True when the drug was deleted.
    bool DeleteDrug(int drug);
    // The drug list's changes, each undoable through Edit > Undo. True when
    // the document took the change.
    bool AddDrug(std::shared_ptr<CDrugInfo> record);
    bool ReplaceDrug(int drug, std::shared_ptr<CDrugInfo> record);
    // Drug Properties on a copy of the drug; OK replaces the drug with it.
    bool DrugProperties(int drug);
    // Drug Properties, respectively the Add Drug Wizard, on a new record,
    // which joins the experiment on OK when it holds at least one point.
    bool AddDrugManually();
    bool AddDrugWithWizard();
    QUndoStack* UndoStack() const { return m_undo; }
    // Rebuilds the graph windows whose experiment changed (only the summary
    // graphs when `summaryOnly`); for every command that changes the data.
    void RefreshGraphs(bool summaryOnly);

public slots:
    void OpenTreeItem();
    void UpdateActions();

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void CreateActions();
    void CreateMenus();
    void CreateToolBar();
    void CreateStatusBar();
    QAction* MakeAction(const QString& name, const QString& text, const QKeySequence& key = {},
                        QStyle::StandardPixmap icon = QStyle::SP_CustomBase);
    void UpdateRecentFiles();

    void InstallDocument(std::unique_ptr<CDoseplexDoc> doc);
    void DropDocument();
    void RebuildTree();
    QString DocumentTitle() const;
    void CloseViews(const QString& viewClass, int kind, int drug);
    QMdiSubWindow* AddChild(QWidget* view, const QString& caption);
    void RefreshReports();
    void RebuildSummaryTables();
    CReportView* OpenReport(bool summary, int drug);
    CReportView* ActiveReport() const;
    CGraphView* OpenGraphs(bool summary, int drug);
    CGraphView* ActiveGraphs() const;

    // Menu commands.
    void OpenCommand();
    void ImportCommand();
    void ExportCommand();
    void PrintCommand();
    void PrintPreviewCommand();
    void PrintSetupCommand();
    void PageSetupCommand();
    void OptionsCommand();
    void GraphSetupCommand();
    void SummaryGraphsCommand();
    void DetailsCommand();
    void DeleteDrugCommand();
    // Windows, tree and stamps follow a change of the drug list.
    void DrugListChanged(EDrugChange change, int drug, bool renamed);
    bool PushDrugCommand(CDrugCommand* command);
    DrugChangeHandler DrugHandler();
    void HelpCommand();
    void ConnectGridActions();
    void UpdateGridActions();
    CRawDataView* ActiveGrid() const;
    void TileHorizontally();
    void TileVertically();

    CAppSettings& m_settings;
    std::unique_ptr<CDoseplexDoc> m_doc;
    // Changes of the drug list; emptied whenever the experiment goes.
    QUndoStack* m_undo = nullptr;
    CEngineMessages m_messages;
    QMdiArea* m_mdi = nullptr;
    QDockWidget* m_dock = nullptr;
    CContentsTree* m_tree = nullptr;
    QMenu* m_fileMenu = nullptr;
    QAction* m_recentSeparator = nullptr;
    std::vector<QAction*> m_recentActions;
    std::map<QString, QAction*> m_actions;
    QPrinter m_printer;
    QString m_importPath;
    int m_nImportMode = 0;
    std::unique_ptr<CRawSheetModel> m_rawModel;
};

} // namespace doseplex::app
