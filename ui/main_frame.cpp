#include "ui/main_frame.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QMenuBar>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include "engine/controller.h"
#include "engine/messages.h"
#include "model/file_path.h"
#include "model/project.h"
#include "model/site.h"
#include "ui/app_globals.h"
#include "ui/artwork.h"
#include "ui/browser_view.h"
#include "ui/command_table.h"
#include "ui/controls/label_ctrl.h"
#include "ui/controls/progress_ctrl_ex.h"
#include "ui/controls/splash_screen_wnd.h"
#include "ui/controls/splitter_wnd_ex.h"
#include "ui/controls/tree_ctrl_ex.h"
#include "ui/copy_origin.h"
#include "ui/dialogs/errors_dialog.h"
#include "ui/dialogs/log_dialog.h"
#include "ui/dialogs/site_dialog.h"
#include "ui/dialogs/site_dialog_site_page.h"
#include "ui/gui_engine_ui.h"
#include "ui/preferences_registry.h"
#include "ui/project_document.h"
#include "ui/quarn_view.h"
#include "ui/sites_view.h"

namespace {

// A first window takes this share of the screen's free area, centred in it.
constexpr int kFirstWindowPercent = 80;
constexpr int kDefaultVSplitter = 220;
constexpr int kDefaultHSplitter = 433;
// Height kept for the status pane below the sites tree.
constexpr int kStatusPaneReserve = 303;
constexpr int kIdleUpdateMilliseconds = 250;

QString Window() {
    return QString::fromLatin1(kWindowKey);
}

// A placement value: the stored one when it lies within 0..limit, else the default.
int PlacementValue(const QString& name, int limit, int fallback) {
    std::uint32_t value = 0;
    if (!CPreferencesRegistry().ReadDword(RegistryRoot::CurrentUser, Window(), name, value))
        return fallback;
    return value <= static_cast<std::uint32_t>(limit) ? static_cast<int>(value) : fallback;
}

int WindowValue(const QString& name, int fallback) {
    std::uint32_t value = 0;
    if (!CPreferencesRegistry().ReadDword(RegistryRoot::CurrentUser, Window(), name, value))
        return fallback;
    return static_cast<int>(value);
}

// The status bar's fixed panes keep their width whatever pane 0 shows: at least the
// designed width, and wide enough for their text in the font at hand.
int PaneWidth(const QFrame& pane, const QStringList& texts, int designed) {
    int text = 0;
    for (const QString& each : texts)
        text = qMax(text, pane.fontMetrics().horizontalAdvance(each));
    const QMargins margins = pane.contentsMargins();
    return qMax(designed, text + margins.left() + margins.right() + 2 * pane.frameWidth());
}

QLabel* PaneLabel(const char* name, const char* text, int width) {
    auto* label = new QLabel(QString::fromLatin1(text));
    label->setObjectName(QLatin1String(name));
    label->setFixedWidth(PaneWidth(*label, {label->text()}, width));
    return label;
}

} // namespace

// Status-bar pane 0. A text too long for it loses its middle rather than its end, where a
// message says what went wrong; the whole text is then in the tooltip.
class CStatusPane : public QLabel {
public:
    void SetFullText(const QString& text) {
        m_text = text;
        Elide();
    }
    const QString& FullText() const { return m_text; }

protected:
    void resizeEvent(QResizeEvent* event) override {
        QLabel::resizeEvent(event);
        Elide();
    }

private:
    void Elide() {
        const QString shown =
            fontMetrics().elidedText(m_text, Qt::ElideMiddle, contentsRect().width());
        setText(shown);
        setToolTip(shown == m_text ? QString() : m_text);
    }

    QString m_text;
};

CMainFrame::CMainFrame(CProjectDocument& document, CGuiEngineUi& engineUi, QWidget* parent)
    : QMainWindow(parent), m_document(document), m_engineUi(engineUi) {
    setObjectName(QStringLiteral("mainFrame"));
    askRunningExit = [this] {
        return QMessageBox::question(
                   this, QStringLiteral("Quarn"),
                   QStringLiteral("Site(s) are currently being quarned.  Do you want to exit?"),
                   QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok) == QMessageBox::Ok;
    };

    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect placement = screen
                                ? PlacementFromSettings(screen->size(), screen->availableGeometry())
                                : PlacementFromSettings(QSize(1024, 768), QRect(0, 0, 1024, 768));
    move(placement.topLeft());
    resize(placement.size());

    CreatePanes();
    CSplashScreenWnd::ShowSplash(this);
    CreateActions();
    CreateMenus();
    CreateToolbar();
    CreateStatusBar();

    m_engineUi.onStatusBarText = [this](const QString& text) { SetStatusBarText(text); };
    m_idleTimer = new QTimer(this);
    connect(m_idleTimer, &QTimer::timeout, this, &CMainFrame::UpdateActions);
    m_idleTimer->start(kIdleUpdateMilliseconds);
    m_created = true;
    setWindowTitle(m_document.WindowTitle());
}

CMainFrame::~CMainFrame() {
    m_engineUi.onStatusBarText = nullptr;
    g_pSitesView = nullptr;
    g_pQuarnView = nullptr;
    g_pBrowserView = nullptr;
    g_pStatusText = nullptr;
    g_pSitesProgress = nullptr;
    g_pFilesProgress = nullptr;
    g_pMainSplitter = nullptr;
    g_pLeftSplitter = nullptr;
}

QRect CMainFrame::PlacementFromSettings(const QSize& screen, const QRect& available) {
    const int width = PlacementValue(QStringLiteral("Width"), screen.width(),
                                     available.width() * kFirstWindowPercent / 100);
    const int height = PlacementValue(QStringLiteral("Height"), screen.height(),
                                      available.height() * kFirstWindowPercent / 100);
    const int left = available.x() + qMax(0, (available.width() - width) / 2);
    const int top = available.y() + qMax(0, (available.height() - height) / 2);
    return QRect(PlacementValue(QStringLiteral("Left"), screen.width(), left),
                 PlacementValue(QStringLiteral("Top"), screen.height(), top), width, height);
}

void CMainFrame::CreatePanes() {
    const int vSplitter = WindowValue(QStringLiteral("VSplitter"), kDefaultVSplitter);
    const int hSplitter = WindowValue(QStringLiteral("HSplitter"), kDefaultHSplitter);

    auto* mainSplitter = new CSplitterWndEx(Qt::Horizontal, this);
    mainSplitter->setObjectName(QStringLiteral("mainSplitter"));
    auto* leftSplitter = new CSplitterWndEx(Qt::Vertical, mainSplitter);
    leftSplitter->setObjectName(QStringLiteral("leftSplitter"));
    g_pMainSplitter = mainSplitter;
    g_pLeftSplitter = leftSplitter;
    mainSplitter->SetLocked(!g_bSplitterMove);
    leftSplitter->SetLocked(!g_bSplitterMove);
    mainSplitter->setChildrenCollapsible(true);
    leftSplitter->setChildrenCollapsible(true);

    auto* sitesView = new CSitesView(leftSplitter);
    g_pSitesView = sitesView;
    auto* quarnView = new CQuarnView(leftSplitter);
    g_pQuarnView = quarnView;
    auto* browserView = new CBrowserView(mainSplitter);
    g_pBrowserView = browserView;
    leftSplitter->addWidget(sitesView);
    leftSplitter->addWidget(quarnView);
    mainSplitter->addWidget(leftSplitter);
    mainSplitter->addWidget(browserView);
    mainSplitter->setStretchFactor(0, 0);
    mainSplitter->setStretchFactor(1, 1);
    mainSplitter->setSizes({vSplitter, qMax(0, width() - vSplitter)});
    leftSplitter->setSizes({hSplitter, qMax(0, height() - hSplitter)});
    leftSplitter->installEventFilter(this);
    setCentralWidget(mainSplitter);

    m_targets.push_back(sitesView);
    m_targets.push_back(browserView);
    m_targets.push_back(this);

    sitesView->onContextMenu = [this](int popup, QPoint pos) { ShowPopupMenu(popup, pos); };
    sitesView->navigate = [](const QString& address) {
        if (g_pBrowserView)
            g_pBrowserView->Navigate(address, true);
    };
    sitesView->copyAddress = [](const CSite& site, const std::string& file) {
        return CopyOriginAddress(ToFsPath(site.GetSiteFolder()), ToFsPath(file));
    };
    sitesView->editSite = [](CSite& site) {
        return g_pProject && EditSiteOfProject(*g_pProject, site, nullptr);
    };
    sitesView->browserCookies = [](const CSite& site) {
        return g_pBrowserView ? g_pBrowserView->CookieLinesFor(site) : std::string();
    };
    sitesView->showErrors = [](CSite& site) { CErrorsDialog(site).exec(); };
    sitesView->showLog = [](CSite& site) { CLogDialog(site).exec(); };
    browserView->setFocus();
}

void CMainFrame::CreateActions() {
    for (const CCommandInfo& info : CommandTable()) {
        auto* action = new QAction(QString::fromUtf8(info.menuText), this);
        action->setShortcuts(info.keys);
        action->setStatusTip(PromptText(info));
        const QString tip = TooltipText(info);
        action->setToolTip(tip.isEmpty() ? action->text().remove(QLatin1Char('&')) : tip);
        action->setCheckable(info.checkable);
        action->setShortcutContext(Qt::WindowShortcut);
        action->setIconVisibleInMenu(false);
        const int id = info.id;
        connect(action, &QAction::triggered, this, [this, id] { RunCommand(id); });
        m_actions[id] = action;
        addAction(action); // shortcuts work while the menu bar is hidden too
    }
    // Delete also edits text in the address box and in pages; it deletes sites only
    // while the sites tree has the focus.
    if (QAction* deleteSite = Action(cmd::SiteDelete); deleteSite && g_pSitesView) {
        deleteSite->setShortcutContext(Qt::WidgetShortcut);
        g_pSitesView->Tree()->addAction(deleteSite);
    }
}

void CMainFrame::CreateMenus() {
    for (const CMenuInfo& info : MenuBarTable()) {
        QMenu* menu = menuBar()->addMenu(QString::fromUtf8(info.title));
        m_menus.push_back(menu);
        for (int index = 0; index < info.items.size(); ++index) {
            if (index == info.subPosition) {
                QMenu* sub = menu->addMenu(QString::fromUtf8(info.subTitle));
                for (int id : info.subItems) {
                    if (id)
                        sub->addAction(Action(id));
                    else
                        sub->addSeparator();
                }
                connect(sub, &QMenu::aboutToShow, this, &CMainFrame::UpdateActions);
            }
            const int id = info.items[index];
            if (id == cmd::FileMru1) {
                m_recentPlaceholder = menu->addAction(QStringLiteral("Recent File"));
                m_recentPlaceholder->setEnabled(false);
            } else if (id == 0) {
                menu->addSeparator();
            } else {
                menu->addAction(Action(id));
            }
        }
        const bool holdsRecentFiles = info.items.contains(cmd::FileMru1);
        connect(menu, &QMenu::aboutToShow, this, [this, menu, holdsRecentFiles] {
            if (holdsRecentFiles)
                RebuildRecentFiles(menu);
            UpdateActions();
        });
    }
}

void CMainFrame::RebuildRecentFiles(QMenu* fileMenu) {
    for (QAction* action : m_recentActions) {
        fileMenu->removeAction(action);
        action->deleteLater();
    }
    m_recentActions.clear();
    const CRecentFileList& recent = m_document.RecentFiles();
    m_recentPlaceholder->setVisible(recent.IsEmpty());
    for (int index = 0; index < recent.Files().size(); ++index) {
        auto* action = new QAction(recent.MenuText(index), this);
        action->setStatusTip(QStringLiteral("Open this document"));
        const int id = cmd::FileMru1 + index;
        connect(action, &QAction::triggered, this, [this, id] { RunCommand(id); });
        fileMenu->insertAction(m_recentPlaceholder, action);
        m_recentActions.push_back(action);
    }
}

void CMainFrame::CreateToolbar() {
    m_toolbar = addToolBar(QStringLiteral("Toolbar"));
    m_toolbar->setObjectName(QStringLiteral("toolbar"));
    m_toolbar->setMovable(false);
    m_toolbar->setFloatable(false);
    m_toolbar->setIconSize(QSize(48, 48));
    m_toolbar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    m_toolbar->toggleViewAction()->setVisible(false);
    setContextMenuPolicy(Qt::NoContextMenu); // no menu for hiding the bars but View's
    const auto images = LoadImageStrip(QString::fromLatin1(art::kToolbar), QSize(48, 48));
    for (const CToolbarButton& button : MainToolbarTable()) {
        if (button.id == 0) {
            m_toolbar->addSeparator();
            continue;
        }
        QAction* action = Action(button.id);
        if (button.image >= 0 && button.image < static_cast<int>(images.size()))
            action->setIcon(ToolbarIcon(images[button.image]));
        m_toolbar->addAction(action);
        if (auto* toolButton = qobject_cast<QToolButton*>(m_toolbar->widgetForAction(action))) {
            toolButton->setAutoRaise(true);
            toolButton->setFixedSize(55, 54);
        }
    }
}

void CMainFrame::CreateStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("statusBar"));
    bar->setSizeGripEnabled(true);
    m_statusPane = new CStatusPane;
    m_statusPane->setObjectName(QStringLiteral("statusPane"));
    // Pane 0 takes what is left; a long text is shortened rather than squeezing the others.
    m_statusPane->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    bar->addWidget(m_statusPane, 1);
    bar->addPermanentWidget(PaneLabel("statusCaptionLabel", "   Status", 38));

    auto* statusText = new CLabelCtrl;
    statusText->setObjectName(QStringLiteral("controllerState"));
    statusText->setFrameShape(QFrame::Panel);
    statusText->setFrameShadow(QFrame::Sunken);
    statusText->setContentsMargins(2, 1, 2, 1);
    QStringList words;
    for (int state : {kControllerRunning, kControllerPaused, kControllerIdle, 0})
        words << ControllerStateWord(state).value_or(QString());
    statusText->setFixedWidth(PaneWidth(*statusText, words, 45));
    // The controller reported its first state before this pane existed.
    if (g_pController)
        statusText->SetText(ControllerStateWord(g_pController->GetState()).value_or(QString()));
    g_pStatusText = statusText;
    bar->addPermanentWidget(statusText);

    bar->addPermanentWidget(PaneLabel("sitesCaptionLabel", "   Sites", 30));
    auto* sitesProgress = new CProgressCtrlEx;
    sitesProgress->setObjectName(QStringLiteral("sitesProgress"));
    sitesProgress->SetBarColour(QColor(0, 0, 0xC0));
    sitesProgress->setFixedWidth(75);
    g_pSitesProgress = sitesProgress;
    bar->addPermanentWidget(sitesProgress);

    bar->addPermanentWidget(PaneLabel("filesCaptionLabel", "   Files", 27));
    auto* filesProgress = new CProgressCtrlEx;
    filesProgress->setObjectName(QStringLiteral("filesProgress"));
    filesProgress->SetBarColour(QColor(0, 0x80, 0));
    filesProgress->setFixedWidth(75);
    g_pFilesProgress = filesProgress;
    bar->addPermanentWidget(filesProgress);

    auto* spacer = new QWidget;
    spacer->setFixedWidth(5);
    bar->addPermanentWidget(spacer);
    // Qt cannot read the lock keys on every platform, so CAP, NUM and SCRL are left out.
}

QAction* CMainFrame::Action(int id) const {
    const auto found = m_actions.find(id);
    return found == m_actions.end() ? nullptr : found->second;
}

CCommandState CMainFrame::QueryCommand(int id) {
    for (CCommandTarget* target : m_targets) {
        CCommandState state;
        if (target->UpdateCommand(id, state))
            return state;
    }
    CCommandState none;
    none.enabled = false;
    return none;
}

void CMainFrame::RunCommand(int id) {
    if (!QueryCommand(id).enabled)
        return;
    for (CCommandTarget* target : m_targets)
        if (target->OnCommand(id))
            return;
}

void CMainFrame::UpdateActions() {
    for (const auto& [id, action] : m_actions) {
        const CCommandState state = QueryCommand(id);
        action->setEnabled(state.enabled);
        if (action->isCheckable())
            action->setChecked(state.checked);
    }
}

bool CMainFrame::UpdateCommand(int id, CCommandState& state) {
    switch (id) {
    case cmd::ViewToolbar:
        state.checked = m_toolbar && m_toolbar->isVisible();
        return true;
    case cmd::ViewStatusBar:
        state.checked = statusBar()->isVisible();
        return true;
    default:
        return false;
    }
}

bool CMainFrame::OnCommand(int id) {
    switch (id) {
    case cmd::ViewToolbar:
        m_toolbar->setVisible(!m_toolbar->isVisible());
        break;
    case cmd::ViewStatusBar:
        statusBar()->setVisible(!statusBar()->isVisible());
        break;
    default:
        return false;
    }
    LayoutPanes();
    UpdateActions();
    return true;
}

void CMainFrame::LayoutPanes() {
    if (!m_created || !g_pLeftSplitter)
        return;
    // The status pane keeps its height; the sites tree takes what the window gains or loses.
    const int total = g_pLeftSplitter->height() - g_pLeftSplitter->handleWidth();
    const int sites = qMax(0, g_pLeftSplitter->height() - kStatusPaneReserve);
    g_pLeftSplitter->setSizes({sites, qMax(0, total - sites)});
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
    if (watched == g_pLeftSplitter && event->type() == QEvent::Resize)
        LayoutPanes();
    return QMainWindow::eventFilter(watched, event);
}

bool CMainFrame::event(QEvent* event) {
    if (event->type() == QEvent::StatusTip) {
        // Menu prompts share pane 0 with the engine's text, which comes back afterwards.
        const QString tip = static_cast<QStatusTipEvent*>(event)->tip();
        if (m_statusPane)
            m_statusPane->SetFullText(tip.isEmpty() ? m_statusText : tip);
        return true;
    }
    return QMainWindow::event(event);
}

void CMainFrame::SetStatusBarText(const QString& text) {
    m_statusText = text;
    if (m_statusPane)
        m_statusPane->SetFullText(text);
}

QString CMainFrame::StatusBarText() const {
    return m_statusPane ? m_statusPane->FullText() : QString();
}

void CMainFrame::ShowPopupMenu(int popup, const QPoint& globalPos) {
    if (popup < 0 || popup >= static_cast<int>(m_menus.size()))
        return;
    UpdateActions();
    m_menus[popup]->exec(globalPos + QPoint(2, 2));
}

void CMainFrame::OnNewProject() {
    if (g_pSitesView)
        g_pSitesView->OnInitialUpdate();
    if (g_pQuarnView)
        g_pQuarnView->OnInitialUpdate();
    setWindowTitle(m_document.WindowTitle());
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    // Unsaved work first: cancelling it leaves everything running.
    if (!m_document.SaveModified()) {
        event->ignore();
        return;
    }
    const int state = ControllerState();
    if (state == kControllerRunning || state == kControllerPaused) {
        if (!askRunningExit()) {
            event->ignore();
            return;
        }
        m_engineUi.BeginClosing();
        PostToController(WM_SHUTDOWN);
        WaitForController();
    }
    m_idleTimer->stop();
    SavePlacement();
    event->accept();
}

void CMainFrame::WaitForController() {
    if (!g_pController)
        return;
    // The engine may be waiting for this thread to take a status-bar value; hand those
    // over while waiting, so neither thread waits for the other until the time runs out.
    QElapsedTimer clock;
    clock.start();
    while (!g_pController->WaitForExit(std::chrono::milliseconds(20)) &&
           clock.elapsed() < closeWaitMilliseconds)
        QCoreApplication::sendPostedEvents(&m_engineUi, QEvent::MetaCall);
}

void CMainFrame::SavePlacement() {
    const CPreferencesRegistry registry;
    const QString window = Window();
    const bool maximized = isMaximized();
    registry.WriteDword(RegistryRoot::CurrentUser, window, QStringLiteral("Maximized"), maximized ? 1 : 0);
    if (!maximized) {
        registry.WriteDword(RegistryRoot::CurrentUser, window, QStringLiteral("Left"), qMax(0, x()));
        registry.WriteDword(RegistryRoot::CurrentUser, window, QStringLiteral("Top"), qMax(0, y()));
        registry.WriteDword(RegistryRoot::CurrentUser, window, QStringLiteral("Width"), width());
        registry.WriteDword(RegistryRoot::CurrentUser, window, QStringLiteral("Height"), height());
    }
    if (g_pLeftSplitter && g_pMainSplitter) {
        registry.WriteDword(RegistryRoot::CurrentUser, window, QStringLiteral("HSplitter"),
                            g_pLeftSplitter->sizes().value(0));
        registry.WriteDword(RegistryRoot::CurrentUser, window, QStringLiteral("VSplitter"),
                            g_pMainSplitter->sizes().value(0));
    }
}
