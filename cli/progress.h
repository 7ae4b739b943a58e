#pragma once
// What quarn-cli shows of a crawl: the live progress line, the summary per site, and the
// site's log and error list. Pure formatting, so that every figure can be tested.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

struct CErrorEntry;

struct ProgressFigures {
    std::string siteName;
    int filesDone = 0;
    std::size_t pending = 0;
    std::size_t inProgress = 0;
    int errors = 0;
    double bytesPerSecond = 0;
    double elapsedSeconds = 0;
    // Only for a site that runs its pages' scripts.
    bool runsScripts = false;
    int scriptsDone = 0;
    std::size_t scriptsWaiting = 0;
};

// "Example: 12 of 40 files, 27 queued, 1 error, 34.5 K/s, 0:12". Files known are the
// files done plus those pending and in progress. A site that runs scripts shows the pages
// done of those known after the errors, where a narrow terminal does not cut them off:
// "..., 1 error, scripts: 3 of 10 pages, 34.5 K/s, 0:12".
std::string FormatProgressLine(const ProgressFigures& figures);

// The line cut to fit a terminal of the given width, leaving the last column free so
// that the cursor never wraps (a wrapped line cannot be redrawn in place).
std::string FitToWidth(std::string line, int columns);

struct SiteSummary {
    std::string name;
    int state = 0; // the site's state (kSiteDone, kSiteAborted, ...)
    int files = 0;
    std::int64_t bytes = 0;
    int errors = 0;
    double elapsedSeconds = 0;
};

// "Example: Done, 42 files, 1.2 MB, 0 errors in 0:03 (410.3 K/s)".
std::string FormatSummary(const SiteSummary& summary);

// "512 bytes", "1.5 KB", "12.0 MB", "3.2 GB" (units of 1024).
std::string FormatBytes(std::int64_t bytes);
// Kilobytes (1024 bytes) per second, one decimal: "34.5 K/s".
std::string FormatRate(double bytesPerSecond);
// "0:07", "12:34", "1:02:03".
std::string FormatElapsed(double seconds);

// The lines of a site's log, which separates them with "\r\r\n".
std::vector<std::string> SplitLog(std::string_view log);
// "12:00:01  404  Not Found  http://host/missing.html" (local time of day); a transfer or
// save failure shows its reason in place of the status text.
std::string FormatErrorEntry(const CErrorEntry& entry);

// Transfer speed from samples of a growing byte total, averaged over a sliding window
// so that a line redrawn four times a second does not jump about.
class CRateMeter {
public:
    using Clock = std::chrono::steady_clock;

    explicit CRateMeter(Clock::duration window = std::chrono::seconds(2)) : m_window(window) {}

    // Bytes per second over roughly the last window (at least the last two samples);
    // 0 until two samples lie apart in time. A total below the previous one (a new
    // site) starts afresh.
    double Sample(std::int64_t totalBytes, Clock::time_point now);
    void Reset() { m_points.clear(); }

private:
    struct Point {
        std::int64_t bytes;
        Clock::time_point time;
    };
    Clock::duration m_window;
    std::deque<Point> m_points;
};
