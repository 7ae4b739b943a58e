#include "cli/progress.h"

#include <cstdio>

#include "model/clock.h"
#include "model/error_entry.h"
#include "model/site.h"

namespace {

std::string Counted(std::int64_t count, std::string_view one, std::string_view many) {
    return std::to_string(count) + " " + std::string(count == 1 ? one : many);
}

std::string OneDecimal(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

} // namespace

std::string FormatProgressLine(const ProgressFigures& figures) {
    const auto known =
        static_cast<std::size_t>(figures.filesDone) + figures.pending + figures.inProgress;
    std::string line = figures.siteName + ": " + std::to_string(figures.filesDone) + " of " +
                       Counted(static_cast<std::int64_t>(known), "file", "files") + ", " +
                       std::to_string(figures.pending) + " queued, " +
                       Counted(figures.errors, "error", "errors") + ", ";
    if (figures.runsScripts) {
        const auto pages = static_cast<std::size_t>(figures.scriptsDone) + figures.scriptsWaiting;
        line += "scripts: " + std::to_string(figures.scriptsDone) + " of " +
                Counted(static_cast<std::int64_t>(pages), "page", "pages") + ", ";
    }
    return line + FormatRate(figures.bytesPerSecond) + ", " + FormatElapsed(figures.elapsedSeconds);
}

std::string FitToWidth(std::string line, int columns) {
    if (columns > 1 && line.size() >= static_cast<std::size_t>(columns))
        line.resize(static_cast<std::size_t>(columns - 1));
    return line;
}

std::string FormatSummary(const SiteSummary& summary) {
    std::string state;
    switch (summary.state) {
    case kSiteDone:
    case kSiteFailed:
    case kSiteAborted:
        state = SiteStateText(summary.state, false);
        break;
    case kSiteQuarning:
        state = "Unfinished";
        break;
    default:
        // Stopped while still waiting in the queue.
        return summary.name + ": not started";
    }
    std::string text = summary.name + ": " + state + ", " +
                       Counted(summary.files, "file", "files") + ", " + FormatBytes(summary.bytes) +
                       ", " + Counted(summary.errors, "error", "errors") + " in " +
                       FormatElapsed(summary.elapsedSeconds);
    if (summary.elapsedSeconds > 0)
        text +=
            " (" + FormatRate(static_cast<double>(summary.bytes) / summary.elapsedSeconds) + ")";
    return text;
}

std::string FormatBytes(std::int64_t bytes) {
    if (bytes < 1024)
        return Counted(bytes, "byte", "bytes");
    static constexpr const char* kUnits[] = {"KB", "MB", "GB", "TB"};
    double value = static_cast<double>(bytes) / 1024;
    std::size_t unit = 0;
    while (value >= 1024 && unit + 1 < std::size(kUnits)) {
        value /= 1024;
        ++unit;
    }
    return OneDecimal(value) + " " + kUnits[unit];
}

std::string FormatRate(double bytesPerSecond) {
    return OneDecimal(bytesPerSecond / 1024) + " K/s";
}

std::string FormatElapsed(double seconds) {
    const auto whole = seconds > 0 ? static_cast<long long>(seconds) : 0LL;
    const long long hours = whole / 3600;
    const long long minutes = whole / 60 % 60;
    const long long secs = whole % 60;
    char text[64];
    if (hours > 0)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", hours, minutes, secs);
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", minutes, secs);
    return text;
}

std::vector<std::string> SplitLog(std::string_view log) {
    static constexpr std::string_view kSeparator = "\r\r\n";
    std::vector<std::string> lines;
    while (!log.empty()) {
        const auto end = log.find(kSeparator);
        lines.emplace_back(log.substr(0, end));
        if (end == std::string_view::npos)
            break;
        log.remove_prefix(end + kSeparator.size());
    }
    return lines;
}

std::string FormatErrorEntry(const CErrorEntry& entry) {
    return FormatTimeOfDay(entry.time) + "  " + std::to_string(entry.code) + "  " +
           ErrorDescription(entry) + "  " + entry.address;
}

double CRateMeter::Sample(std::int64_t totalBytes, Clock::time_point now) {
    if (!m_points.empty() && totalBytes < m_points.back().bytes)
        m_points.clear();
    m_points.push_back({totalBytes, now});
    // Keep one sample at or beyond the window's start as the base of the average.
    while (m_points.size() > 2 && m_points[1].time <= now - m_window)
        m_points.pop_front();
    const std::chrono::duration<double> span = now - m_points.front().time;
    if (span.count() <= 0)
        return 0;
    return static_cast<double>(totalBytes - m_points.front().bytes) / span.count();
}
