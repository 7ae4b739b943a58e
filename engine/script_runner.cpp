#include "engine/script_runner.h"

#include <algorithm>

#include "engine/message_thread.h"
#include "engine/messages.h"
#include "engine/script_findings.h"
#include "model/site.h"

CScriptRunner::CScriptRunner(CMessageThread& controller) : m_controller(controller) {
    m_thread = std::thread([this] { Run(); });
}

CScriptRunner::~CScriptRunner() {
    End();
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void CScriptRunner::SetFactory(PageRendererFactory factory) {
    std::lock_guard lock(m_mutex);
    m_factory = std::move(factory);
}

void CScriptRunner::Begin(CSite& site) {
    End();
    if (!site.RunsScripts())
        return;
    std::unique_lock lock(m_mutex);
    std::unique_ptr<IPageRenderer> renderer = m_factory ? m_factory() : nullptr;
    if (!renderer) {
        lock.unlock();
        site.AddLog("Scripts are not run: the script runner (quarn-render) was not found");
        return;
    }
    m_renderer = std::move(renderer);
    m_site = &site;
    m_ending = false;
    site.ScriptQueue().Open(true);
    if (site.m_snapshotPages && site.LoginGuard().Active())
        site.AddLog("Pages are stored as the server sent them: scripts run without the "
                    "crawl's login");
}

void CScriptRunner::Wake() {
    m_changed.notify_all();
}

void CScriptRunner::SetPaused(bool paused) {
    {
        std::lock_guard lock(m_mutex);
        m_paused = paused;
    }
    m_changed.notify_all();
}

bool CScriptRunner::Busy(const CSite& site) const {
    // In this order: the thread marks itself running before it takes a page off the queue.
    if (site.ScriptQueue().HasWaiting() && site.ScriptQueue().IsOpen())
        return true;
    return m_running.load();
}

void CScriptRunner::End() {
    std::unique_lock lock(m_mutex);
    if (m_site == nullptr && !m_renderer)
        return;
    m_ending = true;
    if (m_site != nullptr)
        m_site->ScriptQueue().Open(false);
    m_site = nullptr;
    if (m_running.load() && m_renderer)
        m_renderer->Cancel();
    m_changed.wait(lock, [this] { return !m_running.load(); });
    // The renderer stops its browser as it goes; the thread no longer uses it.
    std::unique_ptr<IPageRenderer> renderer = std::move(m_renderer);
    lock.unlock();
    renderer.reset();
}

void CScriptRunner::Run() {
    std::unique_lock lock(m_mutex);
    while (true) {
        m_changed.wait(lock, [this] {
            return m_quit ||
                   (m_site != nullptr && !m_paused && m_site->ScriptQueue().HasWaiting());
        });
        if (m_quit)
            return;
        CSite& site = *m_site;
        m_running = true;
        std::optional<CScriptPage> page = site.ScriptQueue().Next();
        if (!page) {
            m_running = false;
            continue;
        }
        IPageRenderer& renderer = *m_renderer;
        lock.unlock();
        RunPage(site, renderer, *page);
        lock.lock();
        m_running = false;
        m_changed.notify_all();
        m_controller.Post(WM_DISPATCH);
    }
}

void CScriptRunner::RunPage(CSite& site, IPageRenderer& renderer, CScriptPage& page) {
    const std::string address = page.address->GetURL();
    const int seconds = std::clamp(site.m_scriptTime, kMinScriptSeconds, kMaxScriptSeconds);
    // A crawl that sends cookies would snapshot the login page: the browser is not logged in.
    const bool snapshot = site.m_snapshotPages && !site.LoginGuard().Active();
    if (m_ending.load())
        return; // stopped before the page began: its Cancel came too early to count
    CRenderedPage result = renderer.Render(address, std::chrono::seconds(seconds), snapshot);
    if (m_ending.load())
        return; // stopped: nothing more of this crawl
    if (!result.failure.empty()) {
        site.AddLog("Could not run the scripts of " + address + ": " + result.failure);
    } else if (result.cutAtLimit) {
        site.AddLog("The scripts of " + address + " still ran after " + std::to_string(seconds) +
                    " s; what they loaded until then is kept");
    }
    QueueScriptRequests(site, *page.address, result.requests);
    if (snapshot && result.failure.empty() && !result.document.empty())
        StoreSnapshot(site, *page.address, page.localPath, std::move(page.record),
                      std::move(result.document));
    site.ScriptQueue().NoteDone(result.cutAtLimit);
}
