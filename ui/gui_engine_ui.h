#pragma once
// CGuiEngineUi: the engine's hooks, delivered on the user-interface thread.
//
// The engine calls from the controller and worker threads. The status-bar text and the
// two progress bars wait until the window has taken the value, as the engine expects;
// everything else is queued and returns at once. Once the window starts closing, nothing
// waits any more: the window then waits for the controller, and two threads waiting on
// each other would hang until the time limit.

#include <QObject>
#include <atomic>
#include <functional>
#include <optional>

#include "engine/engine_ui.h"

class CProgressCtrlEx;

class CGuiEngineUi : public QObject, public CEngineUi {
    Q_OBJECT
public:
    explicit CGuiEngineUi(QObject* parent = nullptr);

    // From now on, calls from other threads are queued instead of waited for.
    void BeginClosing() { m_closing = true; }

    void ControllerStateChanged(int state) override;
    void SetStatusBarText(const std::string& text) override;
    void SetSitesProgress(int lower, int upper, int position) override;
    void SetFilesProgress(int lower, int upper, int position) override;
    void ShowMessage(const std::string& text) override;
    void Beep() override;
    void PostToSitesView(unsigned message, CSite* site) override;
    void PostToStatusView(unsigned message, CSite* site) override;

    // Where the status-bar text goes; the main window sets it.
    std::function<void(const QString&)> onStatusBarText;

private:
    // Runs work on the user-interface thread: directly when already there, else waiting
    // for it unless the window is closing.
    void RunOnUiThread(std::function<void()> work, bool wait);
    // bar is one of the window's progress-bar pointers, read when the call arrives.
    void SetProgress(CProgressCtrlEx* const& bar, int lower, int upper, int position);

    std::atomic<bool> m_closing{false};
};

// The status text for a controller state: "Quarning", "Paused", "Ready", "???" for any
// unknown state, and no change (an empty optional) while quitting.
std::optional<QString> ControllerStateWord(int state);
