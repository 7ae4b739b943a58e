#pragma once
// CController: the one thread that runs crawls. It queues the sites the user starts,
// crawls them one after the other, owns the pool of workers and hands each idle worker
// one address at a time. Other threads talk to it only by posting messages
// (WM_START_SITE, WM_PAUSE_RESUME, WM_STOP_SITE, WM_STOP_ALL, WM_RESUME, WM_SHUTDOWN);
// they may read its state and current site without a lock.

#include <atomic>
#include <deque>
#include <memory>
#include <vector>

#include "engine/http_session.h"
#include "engine/message_thread.h"
#include "engine/page_renderer.h"
#include "engine/script_runner.h"

class CEngineUi;
class CSite;
class CWorker;

// Controller states.
inline constexpr int kControllerRunning = 1;
inline constexpr int kControllerPaused = 2;
inline constexpr int kControllerQuitting = 3;
inline constexpr int kControllerIdle = 4;

// The maker's own domain, which is never crawled.
inline constexpr const char* kRefusedDomain = "tolvane.com";

class CController : public CMessageThread {
public:
    // Installs the status-bar hook that forwards to ui (and writes nothing once
    // quitting). Start() runs the thread.
    explicit CController(CEngineUi& ui);
    ~CController() override;

    int GetState() const { return m_state.load(); }
    CSite* GetCurrentSite() const { return m_currentSite.load(); }
    int GetIdleWorkerCount() const { return m_idleCount.load(); }
    // Takes a speed sample of the current site; called by the status list's timer.
    void SampleSpeed();

    // The session all workers share.
    CInternetSession& Session() { return m_session; }

    // Whether a crawl whose login expired pauses, so that the user can log in again and
    // resume (the window), or stops (the command line, which cannot log in again).
    void SetPauseWhenLoginExpires(bool pause) { m_session.SetPauseWhenLoginExpires(pause); }

    // How sites that run their pages' scripts get a browser; set before crawls start.
    void SetPageRendererFactory(PageRendererFactory factory) {
        m_scripts.SetFactory(std::move(factory));
    }

protected:
    void HandleMessage(const CMessage& message) override;
    void ExitInstance() override;
    std::optional<std::chrono::milliseconds> IdleTimeout() const override;
    void OnIdleTimeout() override;

private:
    void SetState(int state);
    void SetWorkerCount(int count);
    void StartFirstSite();
    void QueueSite(CSite* site, bool fetchMissingOnly);
    void TogglePause();
    void Resume();
    void OnLoginExpired(CSite* site);
    // On resuming: the expired login's page goes on with the cookies the user gave again.
    void RenewLogin();
    void Dispatch();
    void Shutdown();
    void StopSite(CSite* site);
    void StopAll();
    void OnWorkerDone(CWorker* worker);
    void WaitForWorkers();
    // Starts the site's crawl: session options, lists, log.
    void BeginCrawl(CSite& site);
    // Makes the next queued site current and starts it; false when the queue is empty.
    bool StartNextSite();
    // Gives the ending site the cookies its crawl holds.
    void KeepCookies(CSite& site);
    // Stops the current site when its time or space limit is reached, or a worker asked
    // for it.
    bool CheckLimits();
    void ReapRetiredWorkers(bool wait);
    void SetSitesProgress();

    CEngineUi& m_ui;
    CInternetSession m_session;
    std::deque<CWorker*> m_busyWorkers;
    int m_finishedSites = 0;
    std::deque<CWorker*> m_idleWorkers;
    std::atomic<CSite*> m_currentSite{nullptr};
    std::atomic<int> m_state{0};
    std::atomic<int> m_idleCount{0}; // the idle list's size, for other threads
    int m_totalSites = 0;
    std::deque<CSite*> m_siteQueue;
    // Every worker thread, alive or told to quit; the controller joins them.
    std::vector<std::unique_ptr<CWorker>> m_workers;
    CScriptRunner m_scripts{*this};
};
