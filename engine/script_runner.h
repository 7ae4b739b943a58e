#pragma once
// CScriptRunner: the thread that runs the scripts of a crawl's stored pages, one page at
// a time, beside the workers, which go on transferring meanwhile. Each page is loaded from
// the live server by a renderer the front end provides; every address the page asked for
// is admitted like a requisite the link scanner found, and with SNAPSHOT_PAGES the page
// is stored as the browser showed it.
//
// The controller drives it: Begin when a crawl starts, Wake when pages were queued,
// SetPaused with the crawl, End when the crawl ends or stops. Its thread posts WM_DISPATCH
// to the controller after each page, so that what the page loaded is handed out and a
// crawl waiting only for the runner can end.

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "engine/page_renderer.h"

class CMessageThread;
class CSite;
struct CScriptPage;

class CScriptRunner {
public:
    explicit CScriptRunner(CMessageThread& controller);
    ~CScriptRunner();
    CScriptRunner(const CScriptRunner&) = delete;
    CScriptRunner& operator=(const CScriptRunner&) = delete;

    // Set before crawls start; without one, scripts are never run.
    void SetFactory(PageRendererFactory factory);
    // A crawl of site begins: a site that runs scripts gets a fresh renderer and its queue
    // opens; when none can be had, the site's log says so and its queue stays closed.
    void Begin(CSite& site);
    void Wake();
    void SetPaused(bool paused);
    // Whether pages of the site wait or one is running.
    bool Busy(const CSite& site) const;
    // The crawl ended or stopped: a running page is cut short, the queue closes and the
    // renderer goes. Returns once the thread has let go of the site.
    void End();

private:
    void Run();
    void RunPage(CSite& site, IPageRenderer& renderer, CScriptPage& page);

    CMessageThread& m_controller;
    PageRendererFactory m_factory;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    CSite* m_site = nullptr;
    std::unique_ptr<IPageRenderer> m_renderer;
    bool m_paused = false;
    bool m_quit = false;
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_ending{false};
    std::thread m_thread;
};
