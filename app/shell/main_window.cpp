#include "app/shell/main_window.h"

#include "app/dialogs/about_dialog.h"
#include "app/dialogs/add_drug_wizard.h"
#include "app/dialogs/delete_drug_dialog.h"
#include "app/dialogs/details_dialog.h"
#include "app/dialogs/dialog_helpers.h"
#include "app/dialogs/drug_dialog.h"
#include "app/dialogs/margins_dialog.h"
#include "app/dialogs/option_form_dialog.h"
#include "app/dialogs/select_data_dialog.h"
#include "app/dialogs/summary_graphs_dialog.h"
#include "app/models/raw_sheet_model.h"
#include "app/platform/app_settings.h"
#include "app/platform/prompter.h"
#include "app/shell/contents_tree.h"
#include "app/views/graph_view.h"
#include "app/views/raw_data_view.h"
#include "app/views/report_view.h"
#include "app/views/summary_table_view.h"
#include "core/document.h"
#include "core/settings.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QDockWidget>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMimeData>
#include <QPageSetupDialog>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QScopeGuard>
#include <QStatusBar>
#include <QToolBar>
#include <QUndoStack>
#include <QUrl>
#include <QWhatsThis>

#include <algorithm>

namespace doseplex::app {

namespace {

const QString kExperimentFilter = QStringLiteral("DosePlex Files (*.dpx);;All Files (*)");
constexpr int kContentsBarWidth = 220;

QString HelpFile() {
    const QString name = QStringLiteral("index.html");
    const QStringList folders = {
        QCoreApplication::applicationDirPath() + QStringLiteral("/help"),
        QCoreApplication::applicationDirPath() + QStringLiteral("/../share/doseplex/help"),
#ifdef DOSEPLEX_HELP_DIR
        QStringLiteral(DOSEPLEX_HELP_DIR),
#endif
    };
    for (const QString& folder : folders) {
        const QString path = QDir(folder).filePath(name);
        if (QFileInfo::exists(path)) {
            return QFileInfo(path).absoluteFilePath();
        }
    }
    return {};
}

} // namespace

CCommandLine ParseCommandLine(const QStringList& arguments) {
    CCommandLine result;
    if (arguments.isEmpty() || arguments.join(QLatin1Char(' ')).trimmed().isEmpty()) {
        return result;
    }
    // A switch counts only as the first argument: on this platform a path
    // such as "/data/r results.dpx" holds "/r " itself.
    const QString first = arguments.constFirst();
    if (first.compare(QStringLiteral("/i"), Qt::CaseInsensitive) == 0) {
        result.m_action = CCommandLine::EAction::Nothing;
        return result;
    }
    if (first.compare(QStringLiteral("/r"), Qt::CaseInsensitive) == 0) {
        result.m_action = CCommandLine::EAction::StoreImportPath;
        result.m_path = arguments.mid(1).join(QLatin1Char(' ')).trimmed();
        return result;
    }
    result.m_action = CCommandLine::EAction::OpenFile;
    result.m_path = arguments.join(QLatin1Char(' '));
    return result;
}

CMainWindow::CMainWindow(CAppSettings& settings, QWidget* parent)
    : QMainWindow(parent), m_settings(settings),
      m_messages([this](const QString& text) { Prompter().Message(this, text); }),
      m_printer(QPrinter::HighResolution) {
    setWindowTitle(QStringLiteral("DosePlex"));
    setAcceptDrops(true);
    m_mdi = new QMdiArea;
    m_mdi->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdi->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdi->setTabsClosable(true);
    m_mdi->setDocumentMode(true);
    setCentralWidget(m_mdi);

    m_tree = new CContentsTree;
    m_dock = new QDockWidget(QStringLiteral("Contents Bar"), this);
    m_dock->setObjectName(QStringLiteral("ContentsBar"));
    m_dock->setWidget(m_tree);
    m_dock->setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);
    addDockWidget(Qt::LeftDockWidgetArea, m_dock);
    resizeDocks({m_dock}, {kContentsBarWidth}, Qt::Horizontal);
    connect(m_tree, &CContentsTree::openItem, this, &CMainWindow::OpenTreeItem);

    m_undo = new QUndoStack(this);
    CreateActions();
    ConnectGridActions();
    CreateMenus();
    CreateToolBar();
    CreateStatusBar();
    m_tree->SetContextActions({Action("AddDrugWizard"), Action("AddDrugManually"),
                               Action("DeleteDrug"), Action("Options"), Action("SummaryGraphs")});
    connect(m_mdi, &QMdiArea::subWindowActivated, this, &CMainWindow::UpdateActions);
    UpdateRecentFiles();
    UpdateActions();
}

CMainWindow::~CMainWindow() {
    // The commands refer to the experiment, and the stack's last signals
    // must not reach a window half taken down.
    disconnect(m_undo, nullptr, this, nullptr);
    m_undo->clear();
    // The views refer to the experiment: they go first.
    m_mdi->closeAllSubWindows();
    for (QMdiSubWindow* sub : m_mdi->subWindowList()) {
        delete sub;
    }
}

QAction* CMainWindow::MakeAction(const QString& name, const QString& text, const QKeySequence& key,
                                 QStyle::StandardPixmap icon) {
    auto* action = new QAction(text, this);
    action->setObjectName(name);
    // Toolbar buttons and the status bar show the text without its
    // mnemonic and shortcut.
    const QString plain = VisibleText(text.section(QLatin1Char('\t'), 0, 0)).trimmed();
    action->setIconText(plain);
    action->setToolTip(plain);
    action->setStatusTip(plain);
    if (!key.isEmpty()) {
        action->setShortcut(key);
    }
    if (icon != QStyle::SP_CustomBase) {
        action->setIcon(style()->standardIcon(icon));
    }
    m_actions[name] = action;
    return action;
}

QAction* CMainWindow::Action(const QString& name) const {
    const auto it = m_actions.find(name);
    return it == m_actions.end() ? nullptr : it->second;
}

void CMainWindow::CreateActions() {
    using SP = QStyle::StandardPixmap;
    connect(MakeAction("New", "&New\tCtrl+N", QKeySequence::New, SP::SP_FileIcon),
            &QAction::triggered, this, &CMainWindow::NewExperiment);
    connect(MakeAction("Open", "&Open...\tCtrl+O", QKeySequence::Open, SP::SP_DialogOpenButton),
            &QAction::triggered, this, &CMainWindow::OpenCommand);
    connect(MakeAction("Save", "&Save\tCtrl+S", QKeySequence::Save, SP::SP_DialogSaveButton),
            &QAction::triggered, this, &CMainWindow::SaveExperiment);
    connect(MakeAction("SaveAs", "Save &As..."), &QAction::triggered, this,
            [this] { SaveExperimentAs(); });
    connect(MakeAction("CloseDocument", "&Close Document"), &QAction::triggered, this,
            &CMainWindow::CloseExperiment);
    connect(MakeAction("Import", "&Import..."), &QAction::triggered, this,
            &CMainWindow::ImportCommand);
    MakeAction("ImportRawData", "Import Raw Data...");
    connect(MakeAction("Export", "Export...", {}, SP::SP_ArrowRight), &QAction::triggered, this,
            &CMainWindow::ExportCommand);
    connect(MakeAction("Print", "&Print...\tCtrl+P", QKeySequence::Print, SP::SP_ComputerIcon),
            &QAction::triggered, this, &CMainWindow::PrintCommand);
    connect(MakeAction("PrintPreview", "Print Pre&view", {}, SP::SP_FileDialogContentsView),
            &QAction::triggered, this, &CMainWindow::PrintPreviewCommand);
    connect(MakeAction("PrintSetup", "P&rint Setup..."), &QAction::triggered, this,
            &CMainWindow::PrintSetupCommand);
    connect(MakeAction("PageSetup", "Page Se&tup..."), &QAction::triggered, this,
            &CMainWindow::PageSetupCommand);
    connect(MakeAction("Exit", "E&xit"), &QAction::triggered, this, &QWidget::close);

    // Undo and Redo act on the drug list, or on the grid's own edits while
    // the grid is the active window (see ConnectGridActions).
    connect(MakeAction("Undo", "&Undo\tCtrl+Z", QKeySequence::Undo, SP::SP_ArrowBack),
            &QAction::triggered, this, [this] {
                if (!ActiveGrid()) {
                    m_undo->undo();
                }
            });
    connect(MakeAction("Redo", "&Redo\tCtrl+Y", QKeySequence(Qt::CTRL | Qt::Key_Y),
                       SP::SP_ArrowForward),
            &QAction::triggered, this, [this] {
                if (!ActiveGrid()) {
                    m_undo->redo();
                }
            });
    connect(m_undo, &QUndoStack::indexChanged, this, &CMainWindow::UpdateActions);
    MakeAction("Cut", "Cu&t\tCtrl+X", QKeySequence::Cut, SP::SP_DialogDiscardButton);
    connect(MakeAction("Copy", "&Copy  \tCtrl+C", QKeySequence::Copy, SP::SP_FileLinkIcon),
            &QAction::triggered, this, [this] {
                if (CReportView* report = ActiveReport()) {
                    report->copy();
                } else if (auto* table = dynamic_cast<CSummaryTableView*>(ActiveView())) {
                    table->CopySelection();
                } else if (CGraphView* graphs = ActiveGraphs()) {
                    graphs->CopyGraph();
                }
            });
    MakeAction("Paste", "&Paste\tCtrl+V", QKeySequence::Paste, SP::SP_DialogApplyButton);
    connect(MakeAction("SelectAll", "Select &All  \tCtrl+A", QKeySequence::SelectAll),
            &QAction::triggered, this, [this] {
                if (CReportView* report = ActiveReport()) {
                    report->selectAll();
                } else if (auto* table = dynamic_cast<CSummaryTableView*>(ActiveView())) {
                    table->selectAll();
                }
            });

    connect(MakeAction("AddDrugWizard", "Add Drug Wizard...", {}, SP::SP_FileDialogNewFolder),
            &QAction::triggered, this, &CMainWindow::AddDrugWithWizard);
    connect(
        MakeAction("AddDrugManually", "Add Drug Manually...", {}, SP::SP_FileDialogDetailedView),
        &QAction::triggered, this, &CMainWindow::AddDrugManually);
    connect(MakeAction("DeleteDrug", "Delete Drug...", {}, SP::SP_TrashIcon), &QAction::triggered,
            this, &CMainWindow::DeleteDrugCommand);

    connect(MakeAction("Options", "&Options...", {}, SP::SP_FileDialogInfoView),
            &QAction::triggered, this, &CMainWindow::OptionsCommand);
    connect(MakeAction("GraphSetup", "Graph &Setup..."), &QAction::triggered, this,
            &CMainWindow::GraphSetupCommand);
    connect(MakeAction("SummaryGraphs", "Select Summary &Graphs...", {}, SP::SP_DesktopIcon),
            &QAction::triggered, this, &CMainWindow::SummaryGraphsCommand);
    connect(MakeAction("SetTabStops", "Set Ta&b Stops..."), &QAction::triggered, this, [this] {
        if (CReportView* report = ActiveReport()) {
            report->SetTabStops();
        }
    });
    connect(MakeAction("SetFont", "Set &Font..."), &QAction::triggered, this, [this] {
        if (CReportView* report = ActiveReport()) {
            report->ChooseFont();
        }
    });
    QAction* printerFont = MakeAction("SetPrinterFont", "Set &Printer Font...");
    printerFont->setCheckable(true);
    connect(printerFont, &QAction::triggered, this, [this] {
        if (CReportView* report = ActiveReport()) {
            report->ChoosePrinterFont(m_printer);
        }
        UpdateActions();
    });
    QAction* mirror = MakeAction("MirrorDisplayFont", "&Mirror Display Font");
    mirror->setCheckable(true);
    connect(mirror, &QAction::triggered, this, [this] {
        if (CReportView* report = ActiveReport()) {
            report->MirrorDisplayFont();
        }
        UpdateActions();
    });
    MakeAction("FormatCells", "Format Cells...");
    MakeAction("EditHeaderFooter", "Edit Header && Footer...");

    QAction* workbook = MakeAction("WorkbookView", "&Workbook View   ");
    workbook->setCheckable(true);
    connect(workbook, &QAction::toggled, this, [this](bool on) {
        m_mdi->setViewMode(on ? QMdiArea::TabbedView : QMdiArea::SubWindowView);
    });
    connect(MakeAction("Cascade", "&Cascade"), &QAction::triggered, m_mdi,
            &QMdiArea::cascadeSubWindows);
    connect(MakeAction("TileHorizontally", "&Tile Horizontally"), &QAction::triggered, this,
            &CMainWindow::TileHorizontally);
    connect(MakeAction("TileVertically", "&Tile Vertically"), &QAction::triggered, this,
            &CMainWindow::TileVertically);
    connect(MakeAction("ArrangeIcons", "&Arrange Icons   "), &QAction::triggered, m_mdi,
            &QMdiArea::tileSubWindows);

    connect(MakeAction("HelpIndex", "&Index", QKeySequence::HelpContents), &QAction::triggered,
            this, &CMainWindow::HelpCommand);
    connect(MakeAction("WebSite", "DosePlex on the &Web"), &QAction::triggered, this,
            [] { QDesktopServices::openUrl(QUrl(QString::fromUtf8(kWebAddress))); });
    connect(MakeAction("Support", "Technical Support..."), &QAction::triggered, this,
            [] { QDesktopServices::openUrl(QUrl(QString::fromUtf8(kSupportAddress))); });
    connect(MakeAction("About", "&About DosePlex..."), &QAction::triggered, this, [this] {
        CAboutDialog about(this);
        about.exec();
    });
}

void CMainWindow::CreateMenus() {
    m_fileMenu = menuBar()->addMenu(QStringLiteral("&File"));
    for (const char* name : {"New", "Open", "Save", "SaveAs", "CloseDocument"}) {
        m_fileMenu->addAction(Action(name));
    }
    m_fileMenu->addSeparator();
    for (const char* name : {"Import", "ImportRawData", "Export"}) {
        m_fileMenu->addAction(Action(name));
    }
    m_fileMenu->addSeparator();
    for (const char* name : {"Print", "PrintPreview", "PrintSetup", "PageSetup"}) {
        m_fileMenu->addAction(Action(name));
    }
    m_recentSeparator = m_fileMenu->addSeparator();
    for (int i = 0; i < CAppSettings::kMaxRecentFiles; ++i) {
        auto* recent = new QAction(this);
        recent->setVisible(false);
        connect(recent, &QAction::triggered, this,
                [this, recent] { OpenExperiment(recent->data().toString()); });
        m_recentActions.push_back(recent);
        m_fileMenu->addAction(recent);
    }
    m_fileMenu->addSeparator();
    m_fileMenu->addAction(Action("Exit"));

    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    for (const char* name : {"Undo", "Redo"}) {
        edit->addAction(Action(name));
    }
    edit->addSeparator();
    for (const char* name : {"Cut", "Copy", "Paste", "SelectAll"}) {
        edit->addAction(Action(name));
    }

    QMenu* drugs = menuBar()->addMenu(QStringLiteral("Drugs"));
    for (const char* name : {"AddDrugWizard", "AddDrugManually", "DeleteDrug"}) {
        drugs->addAction(Action(name));
    }

    QMenu* setup = menuBar()->addMenu(QStringLiteral("&Setup"));
    for (const char* name : {"Options", "GraphSetup", "SummaryGraphs"}) {
        setup->addAction(Action(name));
    }
    setup->addSeparator();
    for (const char* name : {"SetTabStops", "SetFont", "SetPrinterFont", "MirrorDisplayFont"}) {
        setup->addAction(Action(name));
    }
    setup->addSeparator();
    setup->addAction(Action("FormatCells"));
    setup->addAction(Action("EditHeaderFooter"));

    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    m_actions["Toolbar"] = nullptr; // filled in by CreateToolBar
    m_actions["StatusBar"] = nullptr;
    QAction* contents = m_dock->toggleViewAction();
    contents->setText(QStringLiteral("&Contents Bar"));
    m_actions["ContentsBar"] = contents;
    view->setObjectName(QStringLiteral("ViewMenu"));

    QMenu* window = menuBar()->addMenu(QStringLiteral("&Window"));
    // The arrangement commands, then one item per open window.
    connect(window, &QMenu::aboutToShow, this, [this, window] {
        window->clear();
        for (const char* name : {"Cascade", "TileHorizontally", "TileVertically", "ArrangeIcons"}) {
            window->addAction(Action(name));
        }
        const auto subs = m_mdi->subWindowList();
        if (!subs.isEmpty()) {
            window->addSeparator();
        }
        for (int i = 0; i < subs.size(); ++i) {
            QMdiSubWindow* sub = subs[i];
            QAction* item =
                window->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(sub->windowTitle()));
            item->setCheckable(true);
            item->setChecked(sub == m_mdi->activeSubWindow());
            connect(item, &QAction::triggered, m_mdi,
                    [this, sub] { m_mdi->setActiveSubWindow(sub); });
        }
    });
    for (const char* name : {"Cascade", "TileHorizontally", "TileVertically", "ArrangeIcons"}) {
        window->addAction(Action(name));
    }

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    for (const char* name : {"HelpIndex", "WebSite", "Support"}) {
        help->addAction(Action(name));
    }
    help->addSeparator();
    help->addAction(Action("About"));
}

void CMainWindow::CreateToolBar() {
    QToolBar* bar = addToolBar(QStringLiteral("Toolbar"));
    bar->setObjectName(QStringLiteral("Toolbar"));
    const std::vector<std::vector<const char*>> groups = {
        {"New", "Open", "Save"},
        {"Print", "PrintPreview"},
        {"Cut", "Copy", "Paste"},
        {"Undo", "Redo"},
        {"Export"},
        {"AddDrugWizard", "AddDrugManually"},
        {"DeleteDrug"},
        {"Options", "SummaryGraphs"},
    };
    for (size_t g = 0; g < groups.size(); ++g) {
        if (g > 0) {
            bar->addSeparator();
        }
        for (const char* name : groups[g]) {
            bar->addAction(Action(name));
        }
    }
    bar->addSeparator();
    bar->addAction(QWhatsThis::createAction(this));

    QAction* toolbar = bar->toggleViewAction();
    toolbar->setText(QStringLiteral("&Toolbar"));
    m_actions["Toolbar"] = toolbar;
    auto* statusToggle = new QAction(QStringLiteral("&Status Bar"), this);
    statusToggle->setCheckable(true);
    statusToggle->setChecked(true);
    connect(statusToggle, &QAction::toggled, this,
            [this](bool on) { statusBar()->setVisible(on); });
    m_actions["StatusBar"] = statusToggle;
    QMenu* view = menuBar()->findChild<QMenu*>(QStringLiteral("ViewMenu"));
    view->addAction(toolbar);
    view->addAction(statusToggle);
    view->addAction(Action("ContentsBar"));
    view->addAction(Action("WorkbookView"));
}

void CMainWindow::CreateStatusBar() {
    statusBar()->showMessage(QStringLiteral("Ready"));
    // The lock states are not reported by every platform; the indicators are
    // shown unlit.
    for (const char* indicator : {"CAP", "NUM", "SCRL"}) {
        auto* label = new QLabel(QString::fromUtf8(indicator));
        label->setEnabled(false);
        label->setFrameShape(QFrame::Panel);
        label->setFrameShadow(QFrame::Sunken);
        statusBar()->addPermanentWidget(label);
    }
}

void CMainWindow::UpdateRecentFiles() {
    const QStringList& files = m_settings.RecentFiles();
    for (size_t i = 0; i < m_recentActions.size(); ++i) {
        QAction* action = m_recentActions[i];
        if (static_cast<qsizetype>(i) < files.size()) {
            action->setText(
                QStringLiteral("&%1 %2").arg(i + 1).arg(files[static_cast<qsizetype>(i)]));
            action->setData(files[static_cast<qsizetype>(i)]);
            action->setVisible(true);
        } else {
            action->setVisible(false);
        }
    }
    m_recentSeparator->setVisible(!files.isEmpty());
}

void CMainWindow::UpdateActions() {
    const bool open = m_doc != nullptr;
    CChildView* active = ActiveView();
    CReportView* report = ActiveReport();
    const bool table = dynamic_cast<CSummaryTableView*>(active) != nullptr;
    for (const char* name : {"Save", "SaveAs", "CloseDocument", "DeleteDrug", "Options",
                             "GraphSetup", "SummaryGraphs", "AddDrugWizard", "AddDrugManually"}) {
        Action(name)->setEnabled(open);
    }
    Action("Undo")->setEnabled(open && m_undo->canUndo());
    Action("Redo")->setEnabled(open && m_undo->canRedo());
    // Windows and dialogs that other parts of the program provide.
    for (const char* name : {"ImportRawData", "Cut", "Paste", "FormatCells", "EditHeaderFooter"}) {
        Action(name)->setEnabled(false);
    }
    const bool graphs = ActiveGraphs() != nullptr;
    Action("Export")->setEnabled(report || table || graphs);
    Action("Print")->setEnabled(report || graphs);
    Action("PrintPreview")->setEnabled(report || graphs);
    Action("Copy")->setEnabled(report || table || graphs);
    Action("SelectAll")->setEnabled(report || table);
    for (const char* name : {"SetTabStops", "SetFont", "SetPrinterFont", "MirrorDisplayFont"}) {
        Action(name)->setEnabled(report);
    }
    Action("SetPrinterFont")->setChecked(report && report->HasPrinterFont());
    Action("MirrorDisplayFont")->setChecked(report && !report->HasPrinterFont());
    UpdateGridActions();
    setWindowTitle(open ? QStringLiteral("DosePlex - %1[*]").arg(DocumentTitle())
                        : QStringLiteral("DosePlex"));
    setWindowModified(open && m_doc->IsModified());
}

// --- The experiment --------------------------------------------------------------

QString CMainWindow::DocumentTitle() const {
    if (!m_doc || m_doc->m_strDocumentTitle.empty()) {
        return QStringLiteral("Untitled");
    }
    return QString::fromStdString(m_doc->m_strDocumentTitle);
}

void CMainWindow::RebuildTree() {
    m_tree->Rebuild(m_doc.get(), DocumentTitle());
    UpdateActions();
}

void CMainWindow::InstallDocument(std::unique_ptr<CDoseplexDoc> doc) {
    DropDocument();
    m_doc = std::move(doc);
    m_doc->m_onContentsChanged = [this] { RebuildTree(); };
    RebuildTree();
}

void CMainWindow::DropDocument() {
    // The commands refer to the experiment that goes now.
    m_undo->clear();
    for (QMdiSubWindow* sub : m_mdi->subWindowList()) {
        sub->close();
        delete sub;
    }
    m_rawModel.reset();
    m_doc.reset();
    RebuildTree();
}

bool CMainWindow::MaybeSave() {
    if (!m_doc || !m_doc->IsModified()) {
        return true;
    }
    const QMessageBox::StandardButton answer = Prompter().Ask(
        this, QStringLiteral("Save changes?"),
        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
    if (answer == QMessageBox::Save) {
        return SaveExperiment();
    }
    return answer == QMessageBox::Discard;
}

bool CMainWindow::NewExperiment() {
    if (!MaybeSave()) {
        return false;
    }
    auto doc = NewDocumentFromStore(m_settings.Store());
    doc->OnNewDocument();
    doc->SetModifiedFlag(false);
    InstallDocument(std::move(doc));
    return true;
}

bool CMainWindow::OpenExperiment(const QString& path) {
    if (!MaybeSave()) {
        return false;
    }
    auto doc = NewDocumentFromStore(m_settings.Store());
    if (!doc->OnOpenDocument(path.toStdString())) {
        m_settings.RemoveRecentFile(QFileInfo(path).absoluteFilePath());
        UpdateRecentFiles();
        return false;
    }
    InstallDocument(std::move(doc));
    m_settings.AddRecentFile(QString::fromStdString(m_doc->m_strPathName));
    UpdateRecentFiles();
    return true;
}

bool CMainWindow::ImportExperiment(const QString& path) {
    m_importPath = path;
    m_nImportMode = 1;
    if (!MaybeSave()) {
        m_nImportMode = 0;
        return false;
    }
    auto doc = NewDocumentFromStore(m_settings.Store());
    doc->OnNewDocument();
    doc->SetModifiedFlag(false);
    if (!ImportTextFileInto(*doc, path.toStdString())) {
        // The message is shown; the open experiment stays as it was.
        m_nImportMode = 0;
        return false;
    }
    m_nImportMode = 0;
    InstallDocument(std::move(doc));
    return true;
}

bool CMainWindow::CloseExperiment() {
    if (!m_doc || !MaybeSave()) {
        return false;
    }
    m_doc->m_onContentsChanged = nullptr;
    m_doc->OnCloseDocument();
    DropDocument();
    return true;
}

bool CMainWindow::SaveExperiment() {
    if (!m_doc) {
        return false;
    }
    if (m_doc->m_strPathName.empty()) {
        return SaveExperimentAs();
    }
    const bool saved = m_doc->OnSaveDocument(m_doc->m_strPathName);
    UpdateActions();
    return saved;
}

bool CMainWindow::SaveExperimentAs(QString path) {
    if (!m_doc) {
        return false;
    }
    if (path.isEmpty()) {
        path = Prompter().SaveFileName(this, QStringLiteral("Save As"),
                                       QString::fromStdString(m_doc->m_strPathName),
                                       kExperimentFilter, QStringLiteral("dpx"));
        if (path.isEmpty()) {
            return false;
        }
    }
    if (!m_doc->OnSaveDocument(path.toStdString())) {
        return false;
    }
    m_settings.AddRecentFile(QString::fromStdString(m_doc->m_strPathName));
    UpdateRecentFiles();
    RebuildTree();
    return true;
}

bool CMainWindow::StartWith(const CCommandLine& commandLine) {
    switch (commandLine.m_action) {
    case CCommandLine::EAction::NewExperiment:
        NewExperiment();
        return true;
    case CCommandLine::EAction::Nothing:
        return false;
    case CCommandLine::EAction::StoreImportPath:
        m_importPath = commandLine.m_path;
        return false;
    case CCommandLine::EAction::OpenFile:
        OpenExperiment(commandLine.m_path);
        return false;
    }
    return false;
}

void CMainWindow::OpenCommand() {
    const QString path =
        Prompter().OpenFileName(this, QStringLiteral("Open"), QString(), kExperimentFilter);
    if (!path.isEmpty()) {
        OpenExperiment(path);
    }
}

void CMainWindow::ImportCommand() {
    m_nImportMode = 1;
    const QString path =
        Prompter().OpenFileName(this, QStringLiteral("Import File"), m_importPath,
                                QStringLiteral("Tab Separated Text Files (*.txt);;All Files (*)"));
    if (path.isEmpty()) {
        m_nImportMode = -99;
        return;
    }
    ImportExperiment(path);
}

// --- Windows -----------------------------------------------------------------------

std::vector<CChildView*> CMainWindow::Views() const {
    std::vector<CChildView*> views;
    for (QMdiSubWindow* sub : m_mdi->subWindowList()) {
        if (auto* view = dynamic_cast<CChildView*>(sub->widget())) {
            views.push_back(view);
        }
    }
    return views;
}

CChildView* CMainWindow::ActiveView() const {
    QMdiSubWindow* sub = m_mdi->activeSubWindow();
    if (!sub) {
        const auto subs = m_mdi->subWindowList(QMdiArea::ActivationHistoryOrder);
        sub = subs.isEmpty() ? nullptr : subs.constLast();
    }
    return sub ? dynamic_cast<CChildView*>(sub->widget()) : nullptr;
}

CReportView* CMainWindow::ActiveReport() const {
    return dynamic_cast<CReportView*>(ActiveView());
}

void CMainWindow::CloseViews(const QString& viewClass, int kind, int drug) {
    for (QMdiSubWindow* sub : m_mdi->subWindowList()) {
        auto* view = dynamic_cast<CChildView*>(sub->widget());
        if (view && view->ViewClass() == viewClass && view->m_nKind == kind &&
            (kind != kDrugWindow || view->m_nDrug == drug)) {
            sub->close();
            delete sub;
        }
    }
}

QMdiSubWindow* CMainWindow::AddChild(QWidget* view, const QString& caption) {
    QMdiSubWindow* sub = m_mdi->addSubWindow(view);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->setWindowTitle(caption);
    view->setWindowTitle(caption);
    sub->showMaximized();
    m_mdi->setActiveSubWindow(sub);
    UpdateActions();
    return sub;
}

CReportView* CMainWindow::OpenReport(bool summary, int drug) {
    if (!m_doc || (!summary && !m_doc->GetDrug(drug))) {
        return nullptr;
    }
    CReportRequest request;
    request.m_bSummary = summary;
    request.m_nDrug = drug;
    const std::uint32_t stamp = m_doc->m_lastChange;
    const std::optional<std::string> text = BuildReportInBackground(this, *m_doc, request);
    if (!text) {
        return nullptr;
    }
    const int kind = summary ? kSummaryReportWindow : kDrugWindow;
    CloseViews(QStringLiteral("Report"), kind, drug);
    auto* view = new CReportView(*m_doc, m_settings);
    view->m_nKind = kind;
    view->m_nDrug = summary ? -1 : drug;
    view->SetReport(*text, stamp);
    connect(view, &CReportView::optionsRequested, this, &CMainWindow::OptionsCommand);
    connect(view, &CReportView::printerFontRequested, this, [this, view] {
        view->ChoosePrinterFont(m_printer);
        UpdateActions();
    });
    const QString caption = summary ? QStringLiteral("Summary Report")
                                    : QString::fromStdString(m_doc->GetDrug(drug)->m_strName) +
                                          QStringLiteral(" Report");
    AddChild(view, caption);
    return view;
}

CReportView* CMainWindow::OpenSummaryReport() {
    return OpenReport(true, -1);
}

CReportView* CMainWindow::OpenDrugReport(int drug) {
    return OpenReport(false, drug);
}

CSummaryTableView* CMainWindow::OpenSummaryTable() {
    if (!m_doc) {
        return nullptr;
    }
    const std::optional<CTable> table = BuildSummaryTableInBackground(this, *m_doc);
    if (!table) {
        return nullptr;
    }
    CloseViews(QStringLiteral("Summary Data Table"), kSummaryTableWindow, -1);
    auto* view = new CSummaryTableView(*m_doc);
    view->m_nKind = kSummaryTableWindow;
    view->SetTable(*table);
    AddChild(view, QStringLiteral("Summary Table"));
    return view;
}

// --- Graph windows ---

CGraphView* CMainWindow::ActiveGraphs() const {
    return dynamic_cast<CGraphView*>(ActiveView());
}

CGraphView* CMainWindow::OpenGraphs(bool summary, int drug) {
    if (!m_doc || (!summary && !m_doc->GetDrug(drug))) {
        return nullptr;
    }
    if (summary && m_doc->m_summaryDrugs.empty()) {
        // The window opens whatever the dialog's outcome.
        SummaryGraphsCommand();
    }
    m_doc->m_bOpenSummaryGraphs = summary ? 1 : 0;
    if (!summary) {
        m_doc->m_nCurrentDrug = drug;
    }
    CGraphRequest request;
    request.m_bSummary = summary;
    request.m_nDrug = drug;
    const std::uint32_t stamp = m_doc->m_lastChange;
    std::optional<GraphList> graphs = BuildGraphsInBackground(this, *m_doc, request);
    if (!graphs) {
        return nullptr;
    }
    const int kind = summary ? kSummaryGraphsWindow : kDrugWindow;
    CloseViews(QStringLiteral("Graph"), kind, drug);
    auto* view = new CGraphView(*m_doc, m_settings);
    view->m_nKind = kind;
    view->m_nDrug = summary ? -1 : drug;
    view->SetDocumentActions({Action("Options"), Action("GraphSetup"), Action("SummaryGraphs")});
    connect(view, &CGraphView::overrideChanged, this, [this] {
        RefreshGraphs(false);
        UpdateActions();
    });
    const QString caption = summary ? QStringLiteral("Summary Graphs")
                                    : QString::fromStdString(m_doc->GetDrug(drug)->m_strName) +
                                          QStringLiteral(" Graphs");
    AddChild(view, caption);
    view->SetGraphs(std::move(*graphs), stamp);
    return view;
}

CGraphView* CMainWindow::OpenSummaryGraphs() {
    return OpenGraphs(true, -1);
}

CGraphView* CMainWindow::OpenDrugGraphs(int drug) {
    return OpenGraphs(false, drug);
}

void CMainWindow::RefreshGraphs(bool summaryOnly) {
    for (CChildView* view : Views()) {
        if (auto* graphs = dynamic_cast<CGraphView*>(view);
            graphs && (!summaryOnly || graphs->m_nKind == kSummaryGraphsWindow)) {
            graphs->RebuildGraphs();
        }
    }
}

void CMainWindow::OpenTreeItem() {
    if (!m_doc) {
        return;
    }
    switch (m_tree->ItemKind()) {
    case kTreeExperimentDetails:
        DetailsCommand();
        break;
    case kTreeSummaryReport:
        OpenSummaryReport();
        break;
    case kTreeSummaryTable:
        OpenSummaryTable();
        break;
    case kTreeSummaryGraphs:
        OpenSummaryGraphs();
        break;
    case kTreeRawData:
        OpenRawData();
        break;
    case kTreeDrugItem:
        if (m_tree->SubKind() == kTreeReport) {
            OpenDrugReport(m_tree->DrugId());
        } else if (m_tree->SubKind() == kTreeProperties) {
            DrugProperties(m_tree->DrugId());
        } else if (m_tree->SubKind() == kTreeGraphs) {
            OpenDrugGraphs(m_tree->DrugId());
        }
        break;
    default:
        // Every item opens a window of its own; anything else is not
        // there yet.
        statusBar()->showMessage(QStringLiteral("Not available yet"), 3000);
        break;
    }
}

// --- The raw-data grid ---------------------------------------------------------------

CRawSheetModel* CMainWindow::RawSheetModel() {
    if (!m_doc) {
        return nullptr;
    }
    if (!m_doc->m_pRawData) {
        m_doc->m_pRawData = std::make_unique<CRawSheet>();
    }
    if (!m_rawModel) {
        m_rawModel = std::make_unique<CRawSheetModel>(*m_doc->m_pRawData);
        m_rawModel->m_onChanged = [this] {
            if (m_doc) {
                m_doc->SetModifiedFlag(true);
            }
            UpdateActions();
        };
        connect(m_rawModel->UndoStack(), &QUndoStack::indexChanged, this,
                &CMainWindow::UpdateActions);
    }
    return m_rawModel.get();
}

CRawDataView* CMainWindow::OpenRawData() {
    CRawSheetModel* model = RawSheetModel();
    if (!model) {
        return nullptr;
    }
    CloseViews(QStringLiteral("Raw Data Grid"), kRawDataGridWindow, -1);
    auto* view = new CRawDataView(*model);
    connect(view, &CRawDataView::addDrugWizardRequested, Action("AddDrugWizard"),
            &QAction::trigger);
    connect(view->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &CMainWindow::UpdateActions);
    AddChild(view, QStringLiteral("Raw Data Grid"));
    return view;
}

std::optional<QString> CMainWindow::SelectDataRange(const QString& range) {
    CRawSheetModel* model = RawSheetModel();
    if (!model) {
        return std::nullopt;
    }
    std::optional<QString> chosen = app::SelectDataRange(*model, range, this);
    if (chosen) {
        m_doc->SetModifiedFlag(true);
        UpdateActions();
    }
    return chosen;
}

CRawDataView* CMainWindow::ActiveGrid() const {
    return dynamic_cast<CRawDataView*>(ActiveView());
}

void CMainWindow::ConnectGridActions() {
    // The grid's share of the shared commands; each acts only while the grid
    // window is the active one.
    const auto onGrid = [this](const char* name, void (CRawDataView::*command)()) {
        connect(Action(name), &QAction::triggered, this, [this, command] {
            if (CRawDataView* grid = ActiveGrid()) {
                (grid->*command)();
            }
        });
    };
    onGrid("Cut", &CRawDataView::CutSelection);
    onGrid("Copy", &CRawDataView::CopySelection);
    onGrid("Paste", &CRawDataView::Paste);
    onGrid("SelectAll", &CRawDataView::selectAll);
    onGrid("Export", &CRawDataView::ExportData);
    onGrid("FormatCells", &CRawDataView::FormatCells);
    onGrid("EditHeaderFooter", &CRawDataView::EditHeaderFooter);
    connect(Action("Undo"), &QAction::triggered, this, [this] {
        if (ActiveGrid()) {
            m_rawModel->UndoStack()->undo();
        }
    });
    connect(Action("Redo"), &QAction::triggered, this, [this] {
        if (ActiveGrid()) {
            m_rawModel->UndoStack()->redo();
        }
    });
    connect(Action("ImportRawData"), &QAction::triggered, this, [this] {
        CRawDataView* grid = ActiveGrid();
        if (!grid) {
            grid = OpenRawData();
        }
        if (grid) {
            grid->ImportRawData();
        }
    });
    connect(Action("Print"), &QAction::triggered, this, [this] {
        if (CRawDataView* grid = ActiveGrid()) {
            QPrintDialog dialog(&m_printer, this);
            if (dialog.exec() == QDialog::Accepted) {
                grid->PrintTo(m_printer);
            }
        }
    });
    connect(Action("PrintPreview"), &QAction::triggered, this, [this] {
        if (CRawDataView* grid = ActiveGrid()) {
            QPrintPreviewDialog preview(&m_printer, this);
            connect(&preview, &QPrintPreviewDialog::paintRequested, grid,
                    [grid](QPrinter* printer) { grid->PrintTo(*printer); });
            preview.exec();
        }
    });
}

void CMainWindow::UpdateGridActions() {
    Action("ImportRawData")->setEnabled(m_doc != nullptr);
    CRawDataView* grid = ActiveGrid();
    if (!grid) {
        return;
    }
    for (const char* name : {"Cut", "Copy", "Paste", "SelectAll", "Export", "Print", "PrintPreview",
                             "FormatCells", "EditHeaderFooter"}) {
        Action(name)->setEnabled(true);
    }
    Action("Undo")->setEnabled(m_rawModel && m_rawModel->UndoStack()->canUndo());
    Action("Redo")->setEnabled(m_rawModel && m_rawModel->UndoStack()->canRedo());
}

void CMainWindow::RefreshReports() {
    for (CChildView* view : Views()) {
        if (auto* report = dynamic_cast<CReportView*>(view)) {
            report->Refresh();
        }
    }
}

void CMainWindow::RebuildSummaryTables() {
    for (CChildView* view : Views()) {
        if (auto* table = dynamic_cast<CSummaryTableView*>(view)) {
            table->Rebuild();
        }
    }
}

void CMainWindow::TileHorizontally() {
    const auto subs = m_mdi->subWindowList();
    if (subs.isEmpty()) {
        return;
    }
    const QRect area = m_mdi->viewport()->rect();
    const int height = area.height() / static_cast<int>(subs.size());
    int y = 0;
    for (QMdiSubWindow* sub : subs) {
        sub->showNormal();
        sub->setGeometry(0, y, area.width(), height);
        y += height;
    }
}

void CMainWindow::TileVertically() {
    const auto subs = m_mdi->subWindowList();
    if (subs.isEmpty()) {
        return;
    }
    const QRect area = m_mdi->viewport()->rect();
    const int width = area.width() / static_cast<int>(subs.size());
    int x = 0;
    for (QMdiSubWindow* sub : subs) {
        sub->showNormal();
        sub->setGeometry(x, 0, width, area.height());
        x += width;
    }
}

// --- Changes ---------------------------------------------------------------------------

void CMainWindow::ApplyOptions(const CAnalysisOptions& options, bool setDefaults) {
    if (!m_doc) {
        return;
    }
    m_doc->EditOptions(options);
    if (setDefaults) {
        SaveReportDefaults(*m_doc, m_settings.Store());
    }
    RefreshReports();
    // The summary table shows the indices at the option's effect levels.
    RebuildSummaryTables();
    RefreshGraphs(false);
    UpdateActions();
}

void CMainWindow::ApplyGraphSetup(const CGraphOptions& options, bool setDefaults) {
    if (!m_doc) {
        return;
    }
    m_doc->EditGraphSetup(options);
    if (setDefaults) {
        SaveGraphOptions(*m_doc, m_settings.Store());
    }
    RefreshGraphs(false);
    UpdateActions();
}

void CMainWindow::ApplyDetails(const QString& title, const QString& investigator,
                               const QString& date, const QString& notes) {
    if (!m_doc) {
        return;
    }
    m_doc->EditDetails(title.toStdString(), investigator.toStdString(), date.toStdString(),
                       notes.toStdString());
    RefreshReports();
    UpdateActions();
}

bool CMainWindow::DeleteDrug(int drug) {
    if (!m_doc) {
        return false;
    }
    CDrugInfo* record = m_doc->GetDrug(drug);
    if (!record) {
        return false;
    }
    const QString question =
        QStringLiteral("Are you sure you want to delete ") +
        QString::fromStdString(record->m_strName) +
        QStringLiteral("? \nWarning - You will not be able to undo this action.");
    if (Prompter().Ask(this, question, QMessageBox::Yes | QMessageBox::No, QMessageBox::No) !=
        QMessageBox::Yes) {
        return false;
    }
    const DrugChangeHandler handler = DrugHandler();
    if (!PushDrugCommand(new CDeleteDrugCommand(*m_doc, drug, handler))) {
        Prompter().Message(this, QStringLiteral("This drug is referred to by other entries.  You "
                                                "must delete all references first."));
        return false;
    }
    return true;
}

bool CMainWindow::PushDrugCommand(CDrugCommand* command) {
    std::unique_ptr<CDrugCommand> owned(command);
    if (!m_doc || !owned->Apply()) {
        return false;
    }
    m_undo->push(owned.release());
    return true;
}

bool CMainWindow::AddDrug(std::shared_ptr<CDrugInfo> record) {
    if (!m_doc || !record) {
        return false;
    }
    return PushDrugCommand(new CAddDrugCommand(*m_doc, std::move(record), DrugHandler()));
}

bool CMainWindow::ReplaceDrug(int drug, std::shared_ptr<CDrugInfo> record) {
    if (!m_doc || !record) {
        return false;
    }
    return PushDrugCommand(new CReplaceDrugCommand(*m_doc, drug, std::move(record), DrugHandler()));
}

DrugChangeHandler CMainWindow::DrugHandler() {
    return [this](EDrugChange change, int drug, bool renamed) {
        DrugListChanged(change, drug, renamed);
    };
}

void CMainWindow::DrugListChanged(EDrugChange change, int drug, bool renamed) {
    m_doc->SetModifiedFlag(true);
    m_doc->Touch();
    if (change == EDrugChange::Removed) {
        for (QMdiSubWindow* sub : m_mdi->subWindowList()) {
            auto* view = dynamic_cast<CChildView*>(sub->widget());
            if (view && view->m_nKind == kDrugWindow && view->m_nDrug == drug) {
                sub->close();
                delete sub;
            }
        }
    }
    // Windows of the drugs after it now show their drug one place earlier,
    // or later when the drug came back.
    for (CChildView* view : Views()) {
        if (view->m_nKind != kDrugWindow) {
            continue;
        }
        if (change == EDrugChange::Removed && view->m_nDrug > drug) {
            --view->m_nDrug;
        } else if (change == EDrugChange::Inserted && view->m_nDrug >= drug) {
            ++view->m_nDrug;
        }
    }
    RefreshReports();
    RebuildSummaryTables();
    RefreshGraphs(false);
    if (change != EDrugChange::Replaced || renamed) {
        RebuildTree();
    }
    // A renamed drug's windows carry its new name.
    if (const CDrugInfo* record = m_doc->GetDrug(drug); record && renamed) {
        for (QMdiSubWindow* sub : m_mdi->subWindowList()) {
            auto* view = dynamic_cast<CChildView*>(sub->widget());
            if (view && view->m_nKind == kDrugWindow && view->m_nDrug == drug &&
                view->ViewClass() == QStringLiteral("Report")) {
                sub->setWindowTitle(QString::fromStdString(record->m_strName) +
                                    QStringLiteral(" Report"));
            }
        }
    }
    UpdateActions();
}

bool CMainWindow::DrugProperties(int drug) {
    if (!m_doc || !m_doc->GetDrug(drug)) {
        return false;
    }
    std::shared_ptr<CDrugInfo> copy = m_doc->GetDrug(drug)->Clone();
    CDrugDialog dialog(copy, m_doc->m_drugs, this);
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    return ReplaceDrug(drug, std::move(copy));
}

bool CMainWindow::AddDrugManually() {
    if (!m_doc) {
        return false;
    }
    auto record = std::make_shared<CDrugInfo>();
    CDrugDialog dialog(record, m_doc->m_drugs, this);
    if (dialog.exec() != QDialog::Accepted || record->PointCount() < 1) {
        return false;
    }
    return AddDrug(std::move(record));
}

bool CMainWindow::AddDrugWithWizard() {
    if (!m_doc) {
        return false;
    }
    // The wizard reads the raw-data sheet, which a new experiment has yet to
    // create.
    if (!m_doc->m_pRawData) {
        m_doc->m_pRawData = std::make_unique<CRawSheet>();
    }
    // The wizard's Select buttons pick their ranges in the grid's Select
    // Data dialog, over the same sheet the grid window shows.
    SetRangeSelectHook([this](QWidget*, QString& range) {
        const std::optional<QString> chosen = SelectDataRange(range);
        if (chosen) {
            range = *chosen;
        }
        return chosen.has_value();
    });
    const auto unhook = qScopeGuard([] { SetRangeSelectHook(nullptr); });
    CAddDrugWizard wizard(m_doc->m_drugs, *m_doc->m_pRawData, this);
    if (wizard.exec() != QDialog::Accepted) {
        return false;
    }
    std::shared_ptr<CDrugInfo> record = wizard.TakeRecord();
    if (!record || record->PointCount() < 1) {
        return false;
    }
    return AddDrug(std::move(record));
}

// --- Commands with dialogs -----------------------------------------------------------

void CMainWindow::ExportCommand() {
    if (CGraphView* graphs = ActiveGraphs()) {
        graphs->ExportGraph();
    } else if (CReportView* report = ActiveReport()) {
        report->ExportReport();
    } else if (auto* table = dynamic_cast<CSummaryTableView*>(ActiveView())) {
        table->ExportData();
    }
}

void CMainWindow::PrintCommand() {
    if (CGraphView* graphs = ActiveGraphs()) {
        QPrintDialog dialog(&m_printer, this);
        dialog.setMinMax(1, graphs->PageCount());
        if (dialog.exec() == QDialog::Accepted) {
            graphs->PrintTo(m_printer);
        }
        return;
    }
    CReportView* report = ActiveReport();
    if (!report) {
        return;
    }
    QPrintDialog dialog(&m_printer, this);
    if (dialog.exec() == QDialog::Accepted) {
        report->PrintTo(m_printer);
    }
}

void CMainWindow::PrintPreviewCommand() {
    if (CGraphView* graphs = ActiveGraphs()) {
        QPrintPreviewDialog preview(&m_printer, this);
        connect(&preview, &QPrintPreviewDialog::paintRequested, graphs,
                [graphs](QPrinter* printer) { graphs->PrintTo(*printer); });
        preview.exec();
        return;
    }
    CReportView* report = ActiveReport();
    if (!report) {
        return;
    }
    QPrintPreviewDialog preview(&m_printer, this);
    connect(&preview, &QPrintPreviewDialog::paintRequested, report,
            [report](QPrinter* printer) { report->PrintTo(*printer); });
    // The preview opens at the page holding the caret; closed on another
    // page, it leaves the caret at the start of that page.
    auto* pages = preview.findChild<QPrintPreviewWidget*>();
    bool placed = false;
    if (pages) {
        connect(pages, &QPrintPreviewWidget::previewChanged, &preview, [&] {
            if (!placed) {
                placed = true;
                pages->setCurrentPage(report->CaretPage());
            }
        });
    }
    const int startPage = report->CaretPage();
    preview.exec();
    if (pages && pages->currentPage() != startPage) {
        report->MoveCaretToPage(pages->currentPage());
    }
}

void CMainWindow::PrintSetupCommand() {
    QPageSetupDialog dialog(&m_printer, this);
    dialog.exec();
}

void CMainWindow::PageSetupCommand() {
    CMarginsDialog dialog(m_settings.m_page.m_margins, this);
    dialog.exec();
}

void CMainWindow::OptionsCommand() {
    if (!m_doc) {
        return;
    }
    std::unique_ptr<COptionFormDialog> dialog(
        COptionFormDialog::ForAnalysis(m_doc->m_analysis, this));
    if (dialog->exec() == QDialog::Accepted) {
        ApplyOptions(dialog->Analysis(), dialog->DefaultsChosen());
    }
}

void CMainWindow::GraphSetupCommand() {
    if (!m_doc) {
        return;
    }
    std::unique_ptr<COptionFormDialog> dialog(COptionFormDialog::ForGraphs(m_doc->m_graph, this));
    if (dialog->exec() == QDialog::Accepted) {
        ApplyGraphSetup(dialog->Graphs(), dialog->DefaultsChosen());
    }
}

void CMainWindow::SummaryGraphsCommand() {
    if (!m_doc) {
        return;
    }
    QStringList names;
    for (const auto& record : m_doc->m_drugs) {
        names.append(QString::fromStdString(record->m_strName));
    }
    std::vector<int> selection;
    for (const CDrugInfo* chosen : m_doc->m_summaryDrugs) {
        for (int id = 0; id < m_doc->DrugCount(); ++id) {
            if (m_doc->GetDrug(id) == chosen) {
                selection.push_back(id);
            }
        }
    }
    CSummaryGraphsDialog dialog(names, selection, m_doc->m_nDrugsPerMedianGraph,
                                m_doc->m_nDrugsPerCIGraph, this);
    if (dialog.exec() == QDialog::Accepted) {
        ApplySummaryGraphs(dialog.Selection(), dialog.DrugsPerMedianGraph(),
                           dialog.DrugsPerCIGraph());
    }
}

bool CMainWindow::ApplySummaryGraphs(const std::vector<int>& selection, int drugsPerMedianGraph,
                                     int drugsPerCIGraph) {
    if (!m_doc) {
        return false;
    }
    std::vector<CDrugInfo*> chosen;
    for (int id : selection) {
        chosen.push_back(m_doc->GetDrug(id));
    }
    const bool stored = m_doc->SelectSummaryGraphs(chosen, drugsPerMedianGraph, drugsPerCIGraph);
    RefreshGraphs(true);
    UpdateActions();
    return stored;
}

void CMainWindow::DetailsCommand() {
    if (!m_doc) {
        return;
    }
    CDetailsDialog dialog(
        QString::fromStdString(m_doc->m_strTitle), QString::fromStdString(m_doc->m_strInvestigator),
        QString::fromStdString(m_doc->m_strDate), QString::fromStdString(m_doc->m_strNotes), this);
    if (dialog.exec() == QDialog::Accepted) {
        ApplyDetails(dialog.TitleField()->text(), dialog.InvestigatorField()->text(),
                     dialog.DateField()->text(), dialog.NotesField()->toPlainText());
    }
}

void CMainWindow::DeleteDrugCommand() {
    if (!m_doc) {
        return;
    }
    QStringList names;
    for (const auto& record : m_doc->m_drugs) {
        names.append(QString::fromStdString(record->m_strName));
    }
    CDeleteDrugDialog dialog(names, this);
    if (dialog.exec() == QDialog::Accepted && dialog.SelectedDrug() >= 0) {
        DeleteDrug(dialog.SelectedDrug());
    }
}

void CMainWindow::HelpCommand() {
    const QString file = HelpFile();
    if (file.isEmpty() || !QDesktopServices::openUrl(QUrl::fromLocalFile(file))) {
        Prompter().Message(this,
                           QStringLiteral("Could not Open the Help file (help/index.html). Please "
                                          "reinstall the program. If this does not solve the "
                                          "problem please contact Labwerk."));
    }
}

// --- Window events ---------------------------------------------------------------------

void CMainWindow::closeEvent(QCloseEvent* event) {
    if (!MaybeSave()) {
        event->ignore();
        return;
    }
    DropDocument();
    m_settings.Save();
    event->accept();
}

void CMainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) {
        event->acceptProposedAction();
    }
}

void CMainWindow::dropEvent(QDropEvent* event) {
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile()) {
            event->acceptProposedAction();
            OpenExperiment(url.toLocalFile());
            return;
        }
    }
}

} // namespace doseplex::app
