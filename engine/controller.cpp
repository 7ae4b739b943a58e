#include "engine/controller.h"

#include <algorithm>

#include "engine/cookie_jar.h"
#include "engine/engine_ui.h"
#include "engine/link_mending.h"
#include "engine/messages.h"
#include "engine/store_limits.h"
#include "engine/worker.h"
#include "model/clock.h"
#include "model/login_guard.h"
#include "model/site.h"
#include "model/status_bar.h"
#include "web/byte_text.h"
#include "web/url.h"

namespace {
constexpr int kMinWorkers = 1;
constexpr int kMaxWorkers = 999;

MessageParam ParamOf(const void* pointer) {
    return reinterpret_cast<MessageParam>(pointer);
}

int WorkerSetting(const CSite& site) {
    return std::clamp(site.m_workers, kMinWorkers, kMaxWorkers);
}

// The hosts the cookies go to hold the login: only they can take it away.
void AddLoginDomains(CLoginGuard& guard, std::string_view netscapeText) {
    for (const std::string_view line : CookieLinesOf(netscapeText)) {
        const CCookieDomain domain = CookieDomainOf(line);
        guard.AddLoginDomain(domain.host, domain.subdomains);
    }
}

template <typename T> bool Contains(const std::deque<T*>& list, const T* item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}
} // namespace

CController::CController(CEngineUi& ui) : m_ui(ui) {
    SetStatusBarHandler([this](const std::string& text) {
        if (m_state.load() != kControllerQuitting)
            m_ui.SetStatusBarText(text);
    });
    SetState(kControllerIdle);
}

CController::~CController() {
    if (!HasExited())
        Post(WM_SHUTDOWN);
    Join();
    SetStatusBarHandler({});
}

void CController::HandleMessage(const CMessage& message) {
    auto* site = reinterpret_cast<CSite*>(message.wParam);
    switch (message.id) {
    case WM_START_SITE:
        QueueSite(site, message.lParam == kStartFetchMissing);
        break;
    case WM_PAUSE_RESUME:
        TogglePause();
        break;
    case WM_DISPATCH:
        Dispatch();
        break;
    case WM_SHUTDOWN:
        Shutdown();
        break;
    case WM_STOP_SITE:
        StopSite(site);
        break;
    case WM_RESUME:
        Resume();
        break;
    case WM_LOGIN_EXPIRED:
        OnLoginExpired(reinterpret_cast<CSite*>(message.wParam));
        break;
    case WM_STOP_ALL:
        StopAll();
        break;
    case WM_WORKER_DONE:
        OnWorkerDone(reinterpret_cast<CWorker*>(message.wParam));
        break;
    default:
        break;
    }
}

void CController::ExitInstance() {
    SetWorkerCount(0);
    ReapRetiredWorkers(true);
}

void CController::SampleSpeed() {
    if (CSite* site = m_currentSite.load())
        site->SampleSpeed();
}

void CController::SetState(int state) {
    if (m_state.load() == kControllerQuitting)
        return;
    m_state = state;
    m_scripts.SetPaused(state == kControllerPaused);
    // Time spent paused is not the crawl's running time.
    if (CSite* site = m_currentSite.load()) {
        if (state == kControllerPaused)
            site->BeginPause(NowSeconds());
        else
            site->EndPause(NowSeconds());
    }
    m_ui.ControllerStateChanged(state);
}

void CController::SetSitesProgress() {
    if (m_state.load() != kControllerQuitting)
        m_ui.SetSitesProgress(0, m_totalSites, m_finishedSites);
}

void CController::SetWorkerCount(int count) {
    int total = static_cast<int>(m_busyWorkers.size() + m_idleWorkers.size());
    for (; total < count; ++total) {
        auto worker = std::make_unique<CWorker>(*this, m_session, m_ui);
        worker->Start();
        m_idleWorkers.push_back(worker.get());
        m_workers.push_back(std::move(worker));
    }
    // Busy workers are never retired here; the pool may stay larger until a later call.
    for (; total > count && !m_idleWorkers.empty(); --total) {
        m_idleWorkers.front()->PostQuit();
        m_idleWorkers.pop_front();
    }
    m_idleCount = static_cast<int>(m_idleWorkers.size());
    ReapRetiredWorkers(false);
}

// Workers told to quit are joined once their threads have ended.
void CController::ReapRetiredWorkers(bool wait) {
    std::erase_if(m_workers, [&](const std::unique_ptr<CWorker>& worker) {
        const CWorker* pointer = worker.get();
        if (Contains(m_busyWorkers, pointer) || Contains(m_idleWorkers, pointer))
            return false;
        if (!wait && !worker->HasExited())
            return false;
        worker->Join();
        return true;
    });
}

void CController::BeginCrawl(CSite& site) {
    CSessionOptions options;
    options.connectTimeoutSeconds = site.m_connectionTimeout;
    options.requestTimeoutSeconds = site.m_requestTimeout;
    options.connectRetries = site.m_retries;
    options.userAgent = site.m_userAgent;
    options.extraHeaders = site.RequestHeaders();
    m_session.SetOptions(options);
    m_session.Gate().Reset();
    site.StartCrawl();
    m_scripts.Begin(site);
    // A crawl given no cookies keeps none and sends none, as before cookies existed.
    std::shared_ptr<CCookieJar> jar;
    if (site.LoginGuard().Active()) {
        jar = std::make_shared<CCookieJar>();
        const int taken = jar->Load(site.StartCookies());
        AddLoginDomains(site.LoginGuard(), site.StartCookies());
        // The count only: cookie values are never logged.
        site.AddLog("Cookies: " + std::to_string(taken) + " given to the crawl");
    }
    m_session.SetCookieJar(std::move(jar));
    // A site that follows one stopped while paused starts paused.
    if (m_state.load() == kControllerPaused)
        site.BeginPause(NowSeconds());
    // Nothing was queued: the next dispatch stops the site.
    if (!site.StopReason().empty())
        m_ui.ShowMessage(site.StopReason());
}

void CController::KeepCookies(CSite& site) {
    const std::shared_ptr<CCookieJar> jar = m_session.CookieJar();
    site.SetEndCookies(jar ? jar->Text() : std::string());
}

bool CController::StartNextSite() {
    if (m_siteQueue.empty())
        return false;
    CSite* site = m_siteQueue.front();
    m_siteQueue.pop_front();
    m_currentSite = site;
    SetWorkerCount(WorkerSetting(*site));
    m_ui.PostToStatusView(WM_SITE_STARTED, site);
    m_ui.PostToSitesView(WM_SITE_STARTED, site);
    m_ui.PostToSitesView(WM_SHOW_SITE, site);
    m_ui.SetFilesProgress(0, 1, 0);
    BeginCrawl(*site);
    Post(WM_DISPATCH);
    return true;
}

void CController::StartFirstSite() {
    SetState(kControllerRunning);
    m_finishedSites = 0;
    m_totalSites = 1;
    m_ui.SetSitesProgress(0, 1, 0);
    m_ui.SetFilesProgress(0, 1, 0);
    CSite* site = m_siteQueue.front();
    m_siteQueue.pop_front();
    m_currentSite = site;
    BeginCrawl(*site);
    m_ui.PostToStatusView(WM_SITE_STARTED, site);
    m_ui.PostToSitesView(WM_SHOW_SITE, site);
    m_ui.PostToSitesView(WM_SITE_STARTED, site);
    SetWorkerCount(WorkerSetting(*site));
}

void CController::QueueSite(CSite* site, bool fetchMissingOnly) {
    if (site == nullptr)
        return;
    const CUrl start(nullptr, site->m_url, kLinkFollowed);
    std::string host;
    for (const char c : start.host) {
        if (c != ' ')
            host += ToLowerAscii(c);
    }
    if (host.find(kRefusedDomain) != std::string::npos)
        return;
    // A queued site, or the one being crawled (resetting it would drop the addresses its
    // workers hold), is not queued again.
    if (Contains(m_siteQueue, site) || site == m_currentSite.load())
        return;
    m_siteQueue.push_back(site);
    site->ResetForQueue(fetchMissingOnly);
    if (m_state.load() == kControllerIdle) {
        StartFirstSite();
    } else {
        m_totalSites += 1;
        SetSitesProgress();
    }
    Post(WM_DISPATCH);
}

void CController::TogglePause() {
    const int state = m_state.load();
    if (state == kControllerRunning) {
        SetState(kControllerPaused);
    } else if (state == kControllerPaused) {
        RenewLogin();
        SetState(kControllerRunning);
    } else {
        return;
    }
    Post(WM_DISPATCH);
}

void CController::Resume() {
    if (m_state.load() != kControllerPaused)
        return;
    RenewLogin();
    SetState(kControllerRunning);
    Post(WM_DISPATCH);
}

void CController::OnLoginExpired(CSite* site) {
    if (site == nullptr || site != m_currentSite.load() || !site->LoginGuard().Expired())
        return;
    if (m_state.load() == kControllerRunning)
        SetState(kControllerPaused);
}

void CController::RenewLogin() {
    CSite* site = m_currentSite.load();
    if (site == nullptr || !site->LoginGuard().Expired())
        return;
    const std::string fresh = site->TakeFreshCookies();
    const std::shared_ptr<CCookieJar> jar = m_session.CookieJar();
    if (jar && !fresh.empty()) {
        const int taken = jar->Load(fresh);
        AddLoginDomains(site->LoginGuard(), fresh);
        site->AddLog("Cookies: " + std::to_string(taken) + " given to the crawl again");
    }
    // Without new cookies the next page that finds the login gone pauses the crawl again.
    site->LoginGuard().Renew();
}

void CController::Dispatch() {
    if (m_state.load() != kControllerRunning)
        return;
    if (CheckLimits())
        return;
    m_scripts.Wake();
    while (!m_idleWorkers.empty()) {
        CSite* site = m_currentSite.load();
        std::unique_ptr<CUrl> address = site != nullptr ? site->NextPending() : nullptr;
        if (address) {
            CWorker* worker = m_idleWorkers.front();
            m_idleWorkers.pop_front();
            m_idleCount = static_cast<int>(m_idleWorkers.size());
            m_busyWorkers.push_back(worker);
            worker->ClearAbort();
            worker->Post(WM_FETCH, ParamOf(site), ParamOf(address.release()));
            continue;
        }
        // Nothing pending while workers are busy: wait for them. A worker posts
        // WM_WORKER_DONE when it ends and WM_DISPATCH when it queues new addresses.
        if (!m_busyWorkers.empty())
            return;
        // The script runner may still find files: it posts WM_DISPATCH after each page.
        if (site != nullptr && m_scripts.Busy(*site))
            return;
        // What the runner queued as it ended its last page.
        if (site != nullptr && site->PendingCount() != 0)
            continue;
        if (site != nullptr && !site->StopReason().empty()) {
            StopSite(site);
            return;
        }
        bool failed = false;
        m_scripts.End();
        if (site != nullptr) {
            MendStoredLinks(*site);
            KeepCookies(*site);
            site->FinishCrawl();
            failed = site->m_state.load() == kSiteFailed;
            // After the end state is set: the status pane shows the site once more as told.
            m_ui.PostToStatusView(WM_SITE_FINISHED, site);
            m_ui.PostToSitesView(WM_SITE_FINISHED, site);
            m_finishedSites += 1;
            SetSitesProgress();
            m_currentSite = nullptr;
        }
        if (StartNextSite())
            return;
        SetWorkerCount(0);
        SetState(kControllerIdle);
        if (g_bBeepWhenDone.load())
            m_ui.Beep();
        // The last site's failure stays in view rather than a plain "Done".
        if (!failed)
            SetStatusBarText("Done");
        return;
    }
}

void CController::OnWorkerDone(CWorker* worker) {
    const auto busy = std::find(m_busyWorkers.begin(), m_busyWorkers.end(), worker);
    if (busy != m_busyWorkers.end())
        m_busyWorkers.erase(busy);
    if (!Contains(m_idleWorkers, worker))
        m_idleWorkers.push_back(worker);
    m_idleCount = static_cast<int>(m_idleWorkers.size());
    Post(WM_DISPATCH);
    if (m_state.load() == kControllerQuitting)
        return;
    if (const CSite* site = m_currentSite.load()) {
        const auto done = site->m_filesTotal.load();
        const auto known = done + site->PendingCount() + site->InProgressCount();
        m_ui.SetFilesProgress(0, static_cast<int>(known), done);
    } else {
        m_ui.SetFilesProgress(0, 1, 1);
    }
}

void CController::WaitForWorkers() {
    for (CWorker* worker : m_busyWorkers)
        worker->Abort();
    while (!m_busyWorkers.empty()) {
        RemoveMessages(WM_DISPATCH);
        WaitForMessage(std::chrono::milliseconds(100));
        // Only the workers' answers are handled here; anything else waits its turn, so
        // that a stop is never re-entered from inside itself.
        while (PumpIfWaiting(WM_WORKER_DONE)) {
        }
    }
}

void CController::StopSite(CSite* site) {
    if (site == nullptr)
        return;
    if (site == m_currentSite.load()) {
        WaitForWorkers();
        m_scripts.End();
        // A stopped copy is mended as far as it goes; on the way out the next crawl does it.
        if (m_state.load() != kControllerQuitting)
            MendStoredLinks(*site);
        KeepCookies(*site);
        site->Stop();
        if (m_state.load() == kControllerQuitting)
            return;
        m_currentSite = nullptr;
        m_finishedSites += 1;
        SetSitesProgress();
        m_ui.PostToStatusView(WM_SITE_FINISHED, site);
        m_ui.PostToSitesView(WM_SITE_FINISHED, site);
        if (!StartNextSite()) {
            SetWorkerCount(0);
            SetState(kControllerIdle);
        }
        return;
    }
    const auto queued = std::find(m_siteQueue.begin(), m_siteQueue.end(), site);
    if (queued != m_siteQueue.end() && site->m_state.load() == kSiteQueued) {
        m_siteQueue.erase(queued);
        site->m_state = kSiteReady;
        m_finishedSites += 1;
        SetSitesProgress();
    }
}

void CController::StopAll() {
    const std::deque<CSite*> queued = m_siteQueue;
    for (CSite* site : queued)
        StopSite(site);
    if (CSite* site = m_currentSite.load())
        StopSite(site);
    SetState(kControllerIdle);
}

void CController::Shutdown() {
    m_state = kControllerQuitting;
    StopAll();
    SetWorkerCount(0);
    QuitLoop();
}

std::optional<std::chrono::milliseconds> CController::IdleTimeout() const {
    const CSite* site = m_currentSite.load();
    if (site != nullptr && site->m_useTime)
        return std::chrono::milliseconds(1000);
    return std::nullopt;
}

void CController::OnIdleTimeout() {
    CheckLimits();
}

bool CController::CheckLimits() {
    CSite* site = m_currentSite.load();
    if (site == nullptr)
        return false;
    std::string reason;
    const std::int64_t now = NowSeconds();
    if (site->m_useTime && now - site->m_startTime.load() - site->PausedSeconds(now) >=
                               std::int64_t{site->m_timeMax} * 60)
        reason = "Stopped: the time limit of " + std::to_string(site->m_timeMax) +
                 " minutes was reached";
    else if (site->m_useSpace && site->m_bytesTotal.load() >= site->m_spaceMax)
        reason = SpaceLimitText(site->m_spaceMax);
    else
        reason = site->StopRequest(); // a worker found the crawl cannot go on
    if (reason.empty())
        return false;
    site->AddLog(reason);
    StopSite(site);
    return true;
}
