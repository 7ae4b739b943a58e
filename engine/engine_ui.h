#pragma once
// CEngineUi: everything the engine needs of a user interface. The window, the command
// line and the tests each implement it. Calls come from the controller and worker
// threads; SetStatusBarText and the progress bars may wait until the interface has
// taken the value, the rest must return at once (post, don't wait).

#include <atomic>
#include <string>

class CSite;

class CEngineUi {
public:
    virtual ~CEngineUi() = default;

    // WM_CONTROLLER_STATE: the controller's new state (1 running, 2 paused, 3 quitting,
    // 4 idle).
    virtual void ControllerStateChanged(int state) = 0;
    virtual void SetStatusBarText(const std::string& text) = 0;
    // The status bar's two progress bars: sites of the run, files of the current site.
    virtual void SetSitesProgress(int lower, int upper, int position) = 0;
    virtual void SetFilesProgress(int lower, int upper, int position) = 0;
    // The program's one-button message box; may be called on a worker thread.
    virtual void ShowMessage(const std::string& text) = 0;
    // The beep after the last site of a run.
    virtual void Beep() = 0;
    // Window messages (WM_SHOW_SITE, WM_SITE_STARTED, WM_SITE_FINISHED) for the sites
    // tree and the status list.
    virtual void PostToSitesView(unsigned message, CSite* site) = 0;
    virtual void PostToStatusView(unsigned message, CSite* site) = 0;
};

// The user's "beep when done" preference.
extern std::atomic<bool> g_bBeepWhenDone;
