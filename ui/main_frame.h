#pragma once
// CMainFrame: the program's one window. A toolbar, a status bar with the state text and
// two progress bars, and three panes in two splitters: the sites tree above the status
// pane on the left, the browser on the right. It builds the menus and toolbar from the
// command table and sends each command to the pane or object that owns it.

#include <QMainWindow>
#include <QRect>
#include <functional>
#include <map>
#include <vector>

#include "ui/commands.h"

class CGuiEngineUi;
class CProjectDocument;
class CStatusPane;
class QAction;
class QLabel;
class QMenu;
class QTimer;
class QToolBar;

class CMainFrame : public QMainWindow, public CCommandTarget {
    Q_OBJECT
public:
    CMainFrame(CProjectDocument& document, CGuiEngineUi& engineUi, QWidget* parent = nullptr);
    ~CMainFrame() override;

    // Asked after the panes, in the order added (the application adds itself).
    void AddCommandTarget(CCommandTarget* target) { m_targets.push_back(target); }
    // The command's state as its owner reports it; disabled when nobody owns it.
    CCommandState QueryCommand(int id);
    // Carries out a command when its owner says it is enabled.
    void RunCommand(int id);
    QAction* Action(int id) const;
    // Brings every action's enabled and checked state up to date.
    void UpdateActions();

    // The saved placement, each value checked against the screen. A value not saved (or
    // out of range) comes from a window of a share of the available area, centred in it.
    static QRect PlacementFromSettings(const QSize& screen, const QRect& available);

    // The pane sizes for a window height, as the resize rule gives them.
    void LayoutPanes();

    // Text of status-bar pane 0.
    void SetStatusBarText(const QString& text);
    QString StatusBarText() const;

    // The Group (3) or Site (4) menu as a context menu.
    void ShowPopupMenu(int popup, const QPoint& globalPos);

    // After a new or opened project.
    void OnNewProject();

    // The question while sites are being crawled; true to go on closing. Tests replace it.
    std::function<bool()> askRunningExit;
    // How long closing waits for the controller to end.
    int closeWaitMilliseconds = 30000;

    bool UpdateCommand(int id, CCommandState& state) override;
    bool OnCommand(int id) override;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateActions();
    void CreateMenus();
    void CreateToolbar();
    void CreateStatusBar();
    void CreatePanes();
    void RebuildRecentFiles(QMenu* fileMenu);
    void SavePlacement();
    void WaitForController();

    CProjectDocument& m_document;
    CGuiEngineUi& m_engineUi;
    std::vector<CCommandTarget*> m_targets;
    std::map<int, QAction*> m_actions;
    std::vector<QMenu*> m_menus;
    QList<QAction*> m_recentActions;
    QAction* m_recentPlaceholder = nullptr;
    QToolBar* m_toolbar = nullptr;
    CStatusPane* m_statusPane = nullptr;
    QString m_statusText;
    QTimer* m_idleTimer = nullptr;
    bool m_created = false;
};
