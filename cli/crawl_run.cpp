#include "cli/crawl_run.h"

#include <algorithm>
#include <csignal>
#include <fstream>
#include <map>
#include <ostream>

#include "cli/cli_ui.h"
#include "cli/crawl_report.h"
#include "cli/exit_codes.h"
#include "cli/interrupt.h"
#include "cli/login_options.h"
#include "cli/progress.h"
#include "engine/controller.h"
#include "engine/http_session.h"
#include "engine/messages.h"
#include "engine/render_process.h"
#include "model/shared_text.h"
#include "model/site.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kWakeInterval = std::chrono::milliseconds(250);
// Without a terminal the progress goes to a log or a pipe: a line now and then.
constexpr auto kPlainProgressInterval = std::chrono::seconds(5);
constexpr auto kShutdownLimit = std::chrono::seconds(30);
constexpr const char* kClearToEnd = "\x1b[K";

class CCrawlMonitor {
public:
    CCrawlMonitor(const std::vector<CSite*>& sites, const CrawlOutput& output, std::ostream& err)
        : m_sites(sites), m_output(output), m_err(err) {}

    void Handle(const std::vector<CliEvent>& events) {
        for (const auto& event : events) {
            switch (event.kind) {
            case CliEvent::Kind::SiteStarted:
                m_started[event.site] = event.time;
                m_rate.Reset();
                m_lastPlainLine = event.time;
                Say(event.site->m_name + ": started (" + event.site->m_url + ")");
                break;
            case CliEvent::Kind::SiteFinished:
                m_finished[event.site] = event.time;
                Say(event.site->m_name + ": finished");
                break;
            case CliEvent::Kind::Message:
                ClearProgress();
                m_err << "quarn-cli: " << event.text << "\n" << std::flush;
                break;
            case CliEvent::Kind::Beep:
                if (m_output.beep)
                    m_err << '\a' << std::flush;
                break;
            }
        }
    }

    // Whether every site has had its turn: the controller is idle again after running,
    // no site is queued or crawling, and each site started unless a stop cut the run short.
    bool RunOver(const CCliUi& ui, bool stopped) const {
        if (ui.State() != kControllerIdle || !ui.HasRun())
            return false;
        for (CSite* site : m_sites) {
            const int state = site->m_state.load();
            if (state == kSiteQueued || state == kSiteQuarning)
                return false;
            if (!stopped && !m_started.contains(site))
                return false;
        }
        return true;
    }

    void ShowProgress(CSite* site, Clock::time_point now) {
        if (m_output.quiet || site == nullptr || !m_started.contains(site))
            return;
        if (!m_output.errIsTerminal && now - m_lastPlainLine < kPlainProgressInterval)
            return;
        ProgressFigures figures;
        figures.siteName = site->m_name;
        figures.filesDone = site->m_filesTotal.load();
        figures.pending = site->PendingCount();
        figures.inProgress = site->InProgressCount();
        figures.errors = site->m_errorsTotal.load();
        figures.bytesPerSecond = m_rate.Sample(site->m_bytesTotal.load(), now);
        figures.elapsedSeconds = Seconds(m_started.at(site), now);
        figures.runsScripts = site->RunsScripts();
        figures.scriptsDone = site->ScriptQueue().Done();
        figures.scriptsWaiting = site->ScriptQueue().Waiting();
        const std::string line = FormatProgressLine(figures);
        if (m_output.errIsTerminal) {
            m_err << '\r' << FitToWidth(line, m_output.terminalColumns) << kClearToEnd
                  << std::flush;
            m_progressShown = true;
        } else {
            m_err << line << "\n" << std::flush;
            m_lastPlainLine = now;
        }
    }

    void ClearProgress() {
        if (m_progressShown)
            m_err << '\r' << kClearToEnd << std::flush;
        m_progressShown = false;
    }

    void Say(const std::string& line) {
        if (m_output.quiet)
            return;
        ClearProgress();
        m_err << line << "\n" << std::flush;
    }

    SiteSummary Summary(CSite& site, Clock::time_point runEnd) const {
        SiteSummary summary;
        summary.name = site.m_name;
        summary.state = site.m_state.load();
        summary.files = site.m_filesTotal.load();
        summary.bytes = site.m_bytesTotal.load();
        summary.errors = site.m_errorsTotal.load();
        if (const auto started = m_started.find(&site); started != m_started.end()) {
            // A site stopped by Ctrl+C may end without a finish message.
            const auto finished = m_finished.find(&site);
            summary.elapsedSeconds =
                Seconds(started->second, finished != m_finished.end() ? finished->second : runEnd);
        }
        return summary;
    }

private:
    static double Seconds(Clock::time_point from, Clock::time_point to) {
        return std::chrono::duration<double>(to - from).count();
    }

    const std::vector<CSite*>& m_sites;
    const CrawlOutput& m_output;
    std::ostream& m_err;
    std::map<CSite*, Clock::time_point> m_started;
    std::map<CSite*, Clock::time_point> m_finished;
    CRateMeter m_rate;
    Clock::time_point m_lastPlainLine{};
    bool m_progressShown = false;
};

void PrintLog(const CSite& site, std::ostream& out) {
    out << "  Log:\n";
    for (const auto& line : SplitLog(site.GetLog()))
        out << "    " << line << "\n";
    const auto errors = site.GetErrors();
    if (errors.empty()) {
        out << "  Errors: none\n";
        return;
    }
    out << "  Errors:\n";
    for (const auto& entry : errors)
        out << "    " << FormatErrorEntry(entry) << "\n";
}

} // namespace

int RunCrawl(const std::vector<CSite*>& sites, const std::filesystem::path& sitesDir,
             const CrawlOutput& output, std::ostream& out, std::ostream& err, bool fetchMissing,
             const LoginOptions* login) {
    // Made before the crawl, so that a list that cannot be written costs no crawl.
    std::ofstream changes;
    if (!output.changesFile.empty()) {
        changes.open(output.changesFile, std::ios::binary | std::ios::trunc);
        if (!changes) {
            err << "quarn-cli: --changes: cannot write " << output.changesFile.string() << "\n";
            return kExitUsage;
        }
    }
    if (sites.empty()) {
        out << "No sites to mirror.\n";
        return kExitOk;
    }
    std::error_code error;
    const auto folder = std::filesystem::absolute(sitesDir, error).lexically_normal();
    if (!error)
        std::filesystem::create_directories(folder, error);
    // The same words and code as a site whose own folder cannot be written.
    if (error) {
        err << "quarn-cli: Cannot write to " << sitesDir.string() << ": " << error.message()
            << "\n";
        return kExitStopped;
    }
    if (!CInternetSession::Initialise()) {
        err << "quarn-cli: the HTTP library (libcurl) cannot be used\n";
        return kExitUsage;
    }
    // A trailing separator would double up in the paths the engine builds.
    std::string folderText = folder.string();
    if (folderText.size() > 1 && folderText.back() == std::filesystem::path::preferred_separator)
        folderText.pop_back();
    g_strSitesDir.Set(folderText);
    g_bBeepWhenDone = output.beep;

    // Declared in this order so that the controller, which calls the others, goes first.
    CCliUi ui;
    CInterruptScope interrupt;
    CCrawlMonitor monitor(sites, output, err);
    CController controller(ui);
    controller.SetPageRendererFactory(RenderProcessFactory());
    controller.Start();
    for (CSite* site : sites)
        controller.Post(WM_START_SITE, reinterpret_cast<MessageParam>(site),
                        fetchMissing ? kStartFetchMissing : kStartUpdate);

    int signal = 0;
    for (;;) {
        monitor.Handle(ui.WaitForEvents(kWakeInterval));
        if (const int arrived = CInterruptScope::Signal(); arrived != 0 && signal == 0) {
            signal = arrived;
            controller.Post(WM_STOP_ALL);
            monitor.Say(signal == SIGINT ? "Stopping (press Ctrl+C again to quit at once)..."
                                         : "Stopping...");
        }
        if (monitor.RunOver(ui, signal != 0 || ui.MessageShown()))
            break;
        monitor.ShowProgress(controller.GetCurrentSite(), Clock::now());
    }
    const auto runEnd = Clock::now();
    monitor.ClearProgress();

    controller.Post(WM_SHUTDOWN);
    if (!controller.WaitForExit(kShutdownLimit))
        err << "quarn-cli: the engine did not shut down within "
            << std::chrono::seconds(kShutdownLimit).count() << " seconds\n";
    // Messages shown while shutting down.
    monitor.Handle(ui.WaitForEvents(std::chrono::milliseconds(0)));

    std::vector<SiteOutcome> outcomes;
    for (CSite* site : sites) {
        out << FormatSummary(monitor.Summary(*site, runEnd)) << "\n";
        const int state = site->m_state.load();
        const bool crawled = state == kSiteDone || state == kSiteFailed || state == kSiteAborted ||
                             state == kSiteQuarning;
        if (crawled)
            PrintCrawlReport(*site, output.showLog, out);
        if (output.showLog)
            PrintLog(*site, out);
        if (crawled && changes.is_open())
            AppendChangeList(*site, changes);
        outcomes.push_back({state, site->m_errorsTotal.load(), site->LoginGuard().Expired()});
        if (state == kSiteAborted && signal == 0 && !output.showLog)
            err << "quarn-cli: " << site->m_name
                << " was stopped before it was complete; --log shows why\n";
    }
    out << std::flush;
    if (changes.is_open() && !changes.flush())
        err << "quarn-cli: --changes: cannot write " << output.changesFile.string() << "\n";
    int code = ExitCodeForRun(outcomes, signal, ui.MessageShown());
    if (std::string error; login != nullptr && !SaveEndCookies(*login, sites, error)) {
        err << "quarn-cli: " << error << "\n";
        if (code == kExitOk || code == kExitAddressesFailed)
            code = kExitStopped;
    }
    return code;
}
