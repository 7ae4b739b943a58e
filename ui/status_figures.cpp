#include "ui/status_figures.h"

#include <algorithm>

#include <QLocale>

#include "engine/controller.h"
#include "model/clock.h"
#include "model/site.h"
#include "ui/app_globals.h"

namespace {
// Grouped as the user's locale writes numbers: "1,331,200" reads at a glance.
QString Count(std::int64_t value) {
    return QLocale().toString(static_cast<qlonglong>(value));
}
} // namespace

ControllerSnapshot TakeControllerSnapshot() {
    ControllerSnapshot snapshot;
    if (g_pController) {
        snapshot.state = g_pController->GetState();
        snapshot.currentSite = g_pController->GetCurrentSite();
        snapshot.idleWorkers = g_pController->GetIdleWorkerCount();
    }
    return snapshot;
}

QString StateWord(int siteState, int controllerState) {
    return QString::fromStdString(SiteStateText(siteState, controllerState == kControllerPaused));
}

QString ClockText(std::int64_t seconds) {
    if (seconds <= 0)
        return {};
    return QString::fromStdString(FormatTimeOfDay(seconds));
}

QString ElapsedText(std::int64_t seconds) {
    const std::int64_t hours = seconds / 3600 % 24;
    const std::int64_t minutes = seconds / 60 % 60;
    return QStringLiteral("%1:%2:%3")
        .arg(hours, 2, 10, QLatin1Char('0'))
        .arg(minutes, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

QString AmountText(std::int64_t bytes) {
    return Count(bytes >> 10) + QStringLiteral(" K");
}

QString RateText(int siteState, std::int64_t bytesTotal, std::int64_t elapsedSeconds,
                 const CSpeedHistory& history) {
    std::int64_t kilobytes = 0;
    if (siteState == kSiteQuarning)
        kilobytes = history.Get(CSpeedHistory::kSize - 1);
    else if (elapsedSeconds >= 1)
        kilobytes = (bytesTotal / elapsedSeconds) >> 10;
    return Count(kilobytes) + QStringLiteral(" K/s");
}

std::int64_t ElapsedSeconds(int siteState, std::int64_t startTime, std::int64_t endTime,
                            std::int64_t now, std::int64_t pausedSeconds) {
    const std::int64_t until = siteState == kSiteQuarning ? now : endTime;
    // A site queued again has its start stamped but no end yet, and the clock may step
    // back during a crawl; neither should show a negative time.
    return std::max<std::int64_t>(0, until - startTime - pausedSeconds);
}

QString ScriptsText(bool runsScripts, int done, std::size_t waiting, int cut) {
    if (!runsScripts)
        return {};
    const auto pages = static_cast<std::int64_t>(done) + static_cast<std::int64_t>(waiting);
    QString text = QStringLiteral("Scripts: ") + Count(done) + QStringLiteral(" of ") +
                   Count(pages) + (pages == 1 ? QStringLiteral(" page") : QStringLiteral(" pages"));
    if (cut > 0)
        text += QStringLiteral(", ") + Count(cut) + QStringLiteral(" cut at the time limit");
    return text;
}

int GraphScale(const std::array<int, CSpeedHistory::kSize>& graph, int shownBars) {
    const auto shown = static_cast<std::ptrdiff_t>(std::clamp(shownBars, 0, CSpeedHistory::kSize));
    const auto largest = std::max_element(graph.end() - shown, graph.end());
    return largest == graph.end() ? kGraphFloor : std::max(kGraphFloor, *largest);
}

StatusFigures ComputeStatusFigures(const CSite& site, std::int64_t now,
                                   const ControllerSnapshot& controller) {
    StatusFigures figures;
    const int state = site.m_state.load();
    const std::int64_t start = site.m_startTime.load();
    const std::int64_t bytes = site.m_bytesTotal.load();

    figures.name = QString::fromStdString(site.m_name);
    figures.state = StateWord(state, controller.state);
    figures.startTime = ClockText(start);
    figures.finishTime = ClockText(site.m_endTime.load());
    figures.complete = Count(site.m_filesTotal.load());
    figures.errors = Count(site.m_errorsTotal.load());
    figures.quarning = Count(static_cast<std::int64_t>(site.InProgressCount()));
    figures.queued = Count(static_cast<std::int64_t>(site.PendingCount()));
    figures.amount = AmountText(bytes);
    const CScriptQueue& scripts = site.ScriptQueue();
    figures.scripts =
        ScriptsText(site.RunsScripts(), scripts.Done(), scripts.Waiting(), scripts.Cut());

    const std::int64_t seconds =
        ElapsedSeconds(state, start, site.m_endTime.load(), now, site.PausedSeconds(now));
    figures.elapsed = ElapsedText(seconds);
    figures.rate = RateText(state, bytes, seconds, site.m_speedHistory);

    for (int k = 0; k < CSpeedHistory::kSize; ++k)
        figures.graph[static_cast<std::size_t>(k)] = site.m_speedHistory.Get(k) >> 2;

    figures.workersUpper = site.m_workers;
    if (controller.currentSite == &site)
        figures.workersPos = site.m_workers - controller.idleWorkers;
    return figures;
}
