// The status pane's figures, worked out from a site's counters and the controller's state.

#include <gtest/gtest.h>

#include <ctime>

#include <QLocale>

#include "engine/controller.h"
#include "model/site.h"
#include "ui/status_figures.h"
#include "web/url.h"

namespace {
// A calendar time whose local time of day is hours:minutes:seconds.
std::int64_t LocalTime(int hours, int minutes, int seconds) {
    std::tm parts{};
    parts.tm_year = 2021 - 1900;
    parts.tm_mon = 5;
    parts.tm_mday = 14;
    parts.tm_hour = hours;
    parts.tm_min = minutes;
    parts.tm_sec = seconds;
    parts.tm_isdst = -1;
    return static_cast<std::int64_t>(std::mktime(&parts));
}

constexpr std::int64_t kHour = 3600;
constexpr std::int64_t kDay = 24 * kHour;
} // namespace

TEST(StatusFigures, StateWordNamesEachSiteStateAndPausedOnlyForTheCrawlingOne) {
    EXPECT_EQ(StateWord(kSiteAborted, kControllerRunning), QStringLiteral("Aborted"));
    EXPECT_EQ(StateWord(kSiteDone, kControllerRunning), QStringLiteral("Done"));
    EXPECT_EQ(StateWord(kSiteQuarning, kControllerRunning), QStringLiteral("Quarning"));
    EXPECT_EQ(StateWord(kSiteQuarning, kControllerPaused), QStringLiteral("Paused"));
    EXPECT_EQ(StateWord(kSiteQueued, kControllerPaused), QStringLiteral("Queued"));
    EXPECT_EQ(StateWord(kSiteReady, kControllerPaused), QStringLiteral("Ready"));
    EXPECT_EQ(StateWord(kSiteDone, kControllerPaused), QStringLiteral("Done"));
    EXPECT_EQ(StateWord(kSiteQuarning, 0), QStringLiteral("Quarning"));
}

TEST(StatusFigures, ClockTextIsTheLocalTimeOfDayOrEmptyWhenNeverStamped) {
    EXPECT_EQ(ClockText(LocalTime(7, 8, 9)), QStringLiteral("07:08:09"));
    EXPECT_EQ(ClockText(LocalTime(23, 59, 0)), QStringLiteral("23:59:00"));
    EXPECT_EQ(ClockText(0), QString());
    EXPECT_EQ(ClockText(-5), QString());
}

TEST(StatusFigures, ElapsedTextPadsEachFieldAndWrapsTheHoursAfterADay) {
    EXPECT_EQ(ElapsedText(0), QStringLiteral("00:00:00"));
    EXPECT_EQ(ElapsedText(59), QStringLiteral("00:00:59"));
    EXPECT_EQ(ElapsedText(kHour + 61), QStringLiteral("01:01:01"));
    EXPECT_EQ(ElapsedText(23 * kHour + 59 * 60 + 59), QStringLiteral("23:59:59"));
    EXPECT_EQ(ElapsedText(kDay), QStringLiteral("00:00:00"));
    EXPECT_EQ(ElapsedText(kDay + 2 * kHour + 3 * 60 + 4), QStringLiteral("02:03:04"));
    EXPECT_EQ(ElapsedText(3 * kDay + 10 * kHour), QStringLiteral("10:00:00"));
}

TEST(StatusFigures, ElapsedSecondsRunUntilNowWhileCrawlingElseUntilTheEnd) {
    EXPECT_EQ(ElapsedSeconds(kSiteQuarning, 1000, 0, 1600), 600);
    EXPECT_EQ(ElapsedSeconds(kSiteDone, 1000, 1300, 1600), 300);
    EXPECT_EQ(ElapsedSeconds(kSiteAborted, 1000, 1010, 1600), 10);
    EXPECT_EQ(ElapsedSeconds(kSiteReady, 0, 0, 1600), 0);
    // Queued again: the start is stamped, the end not yet.
    EXPECT_EQ(ElapsedSeconds(kSiteQueued, 1000, 0, 1600), 0);
}

TEST(StatusFigures, AmountIsWholeKilobytesGroupedAsTheLocaleWritesNumbers) {
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(AmountText(0), QStringLiteral("0 K"));
    EXPECT_EQ(AmountText(1023), QStringLiteral("0 K"));
    EXPECT_EQ(AmountText(1024), QStringLiteral("1 K"));
    EXPECT_EQ(AmountText(1331200 * 1024LL), QStringLiteral("1,331,200 K"));
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(AmountText(1331200 * 1024LL), QStringLiteral("1.331.200 K"));
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(AmountText(std::int64_t{3} << 40), QStringLiteral("3,221,225,472 K"));
    QLocale::setDefault(before);
}

TEST(StatusFigures, RateWhileCrawlingIsTheSampleWrittenLast) {
    CSpeedHistory history;
    history.Add(7);
    history.Add(12);
    EXPECT_EQ(RateText(kSiteQuarning, 999999, 1, history), QStringLiteral("12 K/s"));

    // After a full turn of the ring the write position is back at 0 and the newest
    // sample sits in the last slot.
    for (int k = 1; k <= CSpeedHistory::kSize; ++k)
        history.Add(k);
    EXPECT_EQ(RateText(kSiteQuarning, 0, 0, history), QStringLiteral("100 K/s"));
}

TEST(StatusFigures, RateOfAnEndedCrawlIsItsAverageAndZeroBelowOneSecond) {
    CSpeedHistory history;
    history.Add(50);
    EXPECT_EQ(RateText(kSiteDone, 10 * 1024 * 100, 100, history), QStringLiteral("10 K/s"));
    EXPECT_EQ(RateText(kSiteAborted, 3000, 2, history), QStringLiteral("1 K/s"));
    EXPECT_EQ(RateText(kSiteDone, 1 << 20, 0, history), QStringLiteral("0 K/s"));
    EXPECT_EQ(RateText(kSiteReady, 0, 0, history), QStringLiteral("0 K/s"));
}

class StatusFiguresOfSite : public ::testing::Test {
protected:
    // Figures are grouped as the locale writes numbers: one locale for every run.
    void SetUp() override { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void TearDown() override { QLocale::setDefault(m_locale); }

    CSite site{"Alpha"};
    ControllerSnapshot controller;

private:
    const QLocale m_locale;
};

TEST_F(StatusFiguresOfSite, NeverStartedSiteShowsEmptyTimesAndZeroes) {
    const StatusFigures figures = ComputeStatusFigures(site, LocalTime(12, 0, 0), controller);
    EXPECT_EQ(figures.name, QStringLiteral("Alpha"));
    EXPECT_EQ(figures.state, QStringLiteral("Ready"));
    EXPECT_EQ(figures.startTime, QString());
    EXPECT_EQ(figures.finishTime, QString());
    EXPECT_EQ(figures.elapsed, QStringLiteral("00:00:00"));
    EXPECT_EQ(figures.rate, QStringLiteral("0 K/s"));
    EXPECT_EQ(figures.amount, QStringLiteral("0 K"));
    EXPECT_EQ(figures.complete, QStringLiteral("0"));
    EXPECT_EQ(figures.errors, QStringLiteral("0"));
    EXPECT_EQ(figures.quarning, QStringLiteral("0"));
    EXPECT_EQ(figures.queued, QStringLiteral("0"));
    EXPECT_EQ(figures.workersUpper, 1);
    EXPECT_EQ(figures.workersPos, 0);
}

TEST_F(StatusFiguresOfSite, RunningSiteShowsLiveFiguresAndItsBusyWorkers) {
    site.m_state = kSiteQuarning;
    site.m_workers = 5;
    site.m_startTime = LocalTime(10, 0, 0);
    site.m_bytesTotal = 2048 * 1024;
    site.m_filesTotal = 17;
    site.m_errorsTotal = 2;
    site.m_speedHistory.Add(40);
    site.m_speedHistory.Add(33);
    controller = {kControllerRunning, &site, 2};

    const StatusFigures figures = ComputeStatusFigures(site, LocalTime(11, 2, 3), controller);
    EXPECT_EQ(figures.state, QStringLiteral("Quarning"));
    EXPECT_EQ(figures.startTime, QStringLiteral("10:00:00"));
    EXPECT_EQ(figures.finishTime, QString());
    EXPECT_EQ(figures.elapsed, QStringLiteral("01:02:03"));
    EXPECT_EQ(figures.rate, QStringLiteral("33 K/s"));
    EXPECT_EQ(figures.amount, QStringLiteral("2,048 K"));
    EXPECT_EQ(figures.complete, QStringLiteral("17"));
    EXPECT_EQ(figures.errors, QStringLiteral("2"));
    EXPECT_EQ(figures.workersUpper, 5);
    EXPECT_EQ(figures.workersPos, 3);

    controller.state = kControllerPaused;
    EXPECT_EQ(ComputeStatusFigures(site, 0, controller).state, QStringLiteral("Paused"));
}

TEST_F(StatusFiguresOfSite, WorkersBarIsEmptyForASiteThatIsNotTheCurrentOne) {
    CSite current("Current");
    site.m_workers = 4;
    site.m_state = kSiteQueued;
    controller = {kControllerRunning, &current, 1};
    const StatusFigures figures = ComputeStatusFigures(site, 0, controller);
    EXPECT_EQ(figures.workersUpper, 4);
    EXPECT_EQ(figures.workersPos, 0);
}

TEST_F(StatusFiguresOfSite, FinishedSiteShowsItsTimesAndAverageRate) {
    site.m_state = kSiteDone;
    site.m_startTime = LocalTime(9, 30, 0);
    site.m_endTime = LocalTime(9, 31, 40);
    site.m_bytesTotal = 100 * 1024 * 100; // 100 K/s over 100 s
    site.m_speedHistory.Add(900);

    const StatusFigures figures = ComputeStatusFigures(site, LocalTime(15, 0, 0), controller);
    EXPECT_EQ(figures.state, QStringLiteral("Done"));
    EXPECT_EQ(figures.startTime, QStringLiteral("09:30:00"));
    EXPECT_EQ(figures.finishTime, QStringLiteral("09:31:40"));
    EXPECT_EQ(figures.elapsed, QStringLiteral("00:01:40"));
    EXPECT_EQ(figures.rate, QStringLiteral("100 K/s"));

    site.m_endTime = site.m_startTime.load();
    EXPECT_EQ(ComputeStatusFigures(site, 0, controller).rate, QStringLiteral("0 K/s"));
}

TEST_F(StatusFiguresOfSite, GraphHoldsEverySampleOldestFirstScaledByAQuarter) {
    for (int k = 0; k < CSpeedHistory::kSize + 3; ++k)
        site.m_speedHistory.Add(k * 4 + 3);
    const StatusFigures figures = ComputeStatusFigures(site, 0, controller);
    // The three oldest samples have been overwritten.
    EXPECT_EQ(figures.graph.front(), 3);
    EXPECT_EQ(figures.graph[1], 4);
    EXPECT_EQ(figures.graph.back(), CSpeedHistory::kSize + 2);
}

TEST_F(StatusFiguresOfSite, ScriptPagesShowOnlyForASiteThatRunsScriptsWithThoseCut) {
    site.ScriptQueue().Open(true);
    for (const char* page : {"a.html", "b.html"})
        site.ScriptQueue().Add(CUrl(nullptr, std::string("http://127.0.0.1/") + page, kLinkFollowed),
                               page, {});
    ASSERT_TRUE(site.ScriptQueue().Next());
    site.ScriptQueue().NoteDone(true);
    EXPECT_EQ(ComputeStatusFigures(site, 0, controller).scripts, QString());
    site.m_snapshotPages = true; // runs them too
    EXPECT_EQ(ComputeStatusFigures(site, 0, controller).scripts,
              QStringLiteral("Scripts: 1 of 2 pages, 1 cut at the time limit"));
    EXPECT_EQ(ScriptsText(true, 0, 1, 0), QStringLiteral("Scripts: 0 of 1 page"));
    EXPECT_EQ(ScriptsText(true, 1200, 34, 0), QStringLiteral("Scripts: 1,200 of 1,234 pages"));
}

TEST(StatusFigures, GraphScaleIsTheLargestShownSampleButNeverBelowTheFloor) {
    std::array<int, CSpeedHistory::kSize> graph{};
    EXPECT_EQ(GraphScale(graph, 80), kGraphFloor);
    graph.back() = 3;
    EXPECT_EQ(GraphScale(graph, 80), kGraphFloor);
    graph[CSpeedHistory::kSize - 2] = 250;
    EXPECT_EQ(GraphScale(graph, 80), 250);
    // A peak that has scrolled out of sight no longer sets the scale.
    graph[CSpeedHistory::kSize - 2] = 0;
    graph[5] = 900;
    graph[60] = 40;
    EXPECT_EQ(GraphScale(graph, 80), 40);
    EXPECT_EQ(GraphScale(graph, 1000), 900);
    EXPECT_EQ(GraphScale(graph, 0), kGraphFloor);
}
