#pragma once
// CCliUi: the engine's user interface for quarn-cli. The controller and the workers call
// it from their threads; it only records what happened and wakes the main thread, which
// does all the printing, so that output from several threads never interleaves.

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "engine/engine_ui.h"

struct CliEvent {
    enum class Kind { SiteStarted, SiteFinished, Message, Beep };
    Kind kind = Kind::Message;
    CSite* site = nullptr;
    std::string text;
    std::chrono::steady_clock::time_point time;
};

class CCliUi final : public CEngineUi {
public:
    // Any thread; none of them waits.
    void ControllerStateChanged(int state) override;
    // Called for every file; the command line has no status bar to keep it in.
    void SetStatusBarText(const std::string&) override {}
    void SetSitesProgress(int, int, int) override {}
    void SetFilesProgress(int, int, int) override {}
    void ShowMessage(const std::string& text) override;
    void Beep() override;
    // The controller sends the same site messages to both views; the status view's copy
    // is the one used.
    void PostToSitesView(unsigned, CSite*) override {}
    void PostToStatusView(unsigned message, CSite* site) override;

    // Main thread: sleeps until an event arrives, the controller's state changes or the
    // limit passes, then takes the events gathered so far, oldest first.
    std::vector<CliEvent> WaitForEvents(std::chrono::milliseconds limit);

    // The controller's latest state (0 before the first announcement).
    int State() const;
    // Whether the controller has been running (or paused) since this object was made.
    bool HasRun() const;
    // Whether the engine has shown a message (a failed save stops every site).
    bool MessageShown() const;

private:
    void Push(CliEvent event);

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::vector<CliEvent> m_events;
    int m_state = 0;
    bool m_stateChanged = false;
    bool m_hasRun = false;
    bool m_messageShown = false;
};
