#pragma once
// The figures the status pane shows for one site, worked out from the site's counters and
// the controller's state without touching any widget, so that each rule can be checked on
// its own.

#include <QString>
#include <array>
#include <cstddef>
#include <cstdint>

#include "model/speed_history.h"

class CSite;

// What the status pane needs to know of the controller; read once per refresh.
struct ControllerSnapshot {
    int state = 0; // 0 when there is no controller
    const CSite* currentSite = nullptr;
    int idleWorkers = 0;
};

// The controller's state, current site and idle workers; empty when there is none.
ControllerSnapshot TakeControllerSnapshot();

struct StatusFigures {
    QString name;
    QString state;
    QString startTime;
    QString finishTime;
    QString elapsed;
    QString amount;
    QString rate;
    QString complete;
    QString errors;
    QString quarning;
    QString queued;
    // Empty for a site that does not run its pages' scripts.
    QString scripts;
    // The speed graph's input, oldest sample first.
    std::array<int, CSpeedHistory::kSize> graph{};
    int workersUpper = 0;
    int workersPos = 0;
};

// "Paused" stands in for "Quarning" while the controller is paused.
QString StateWord(int siteState, int controllerState);
// A calendar time as the local time of day; empty for a time that was never stamped.
QString ClockText(std::int64_t seconds);
// A duration as hours, minutes and seconds; the hours start again at 00 after a day.
QString ElapsedText(std::int64_t seconds);
QString AmountText(std::int64_t bytes);
// The latest sample while the site is quarning, else the average over the whole crawl.
QString RateText(int siteState, std::int64_t bytesTotal, std::int64_t elapsedSeconds,
                 const CSpeedHistory& history);
// Seconds the crawl has run: until now while it runs, else until it ended, less the time
// it spent paused.
std::int64_t ElapsedSeconds(int siteState, std::int64_t startTime, std::int64_t endTime,
                            std::int64_t now, std::int64_t pausedSeconds = 0);

// "Scripts: 3 of 10 pages", the pages known being those done and those waiting, with
// ", 1 cut at the time limit" when any were; empty when the site does not run scripts.
QString ScriptsText(bool runsScripts, int done, std::size_t waiting, int cut);

// The speed graph's top: the largest of the newest shownBars values, so that a fast link
// does not fill the graph solid, but never below kGraphFloor, so that a trickle does not
// look like full speed.
constexpr int kGraphFloor = 10;
int GraphScale(const std::array<int, CSpeedHistory::kSize>& graph, int shownBars);

StatusFigures ComputeStatusFigures(const CSite& site, std::int64_t now,
                                   const ControllerSnapshot& controller);
