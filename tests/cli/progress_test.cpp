// What quarn-cli prints about a crawl: the progress line, the summary, sizes, times and
// the speed average.

#include <gtest/gtest.h>

#include "cli/progress.h"
#include "model/error_entry.h"
#include "model/site.h"

using namespace std::chrono_literals;

TEST(ProgressLine, CountsFilesKnownAsDonePendingAndInProgress) {
    ProgressFigures figures;
    figures.siteName = "Example";
    figures.filesDone = 12;
    figures.pending = 25;
    figures.inProgress = 3;
    figures.errors = 1;
    figures.bytesPerSecond = 35328; // 34.5 K
    figures.elapsedSeconds = 72.9;
    EXPECT_EQ(FormatProgressLine(figures),
              "Example: 12 of 40 files, 25 queued, 1 error, 34.5 K/s, 1:12");

    figures = {};
    figures.siteName = "A";
    figures.filesDone = 1;
    EXPECT_EQ(FormatProgressLine(figures), "A: 1 of 1 file, 0 queued, 0 errors, 0.0 K/s, 0:00");
}

TEST(ProgressLine, CountsScriptPagesOnlyForASiteThatRunsThem) {
    ProgressFigures figures;
    figures.siteName = "A";
    figures.scriptsDone = 3;
    figures.scriptsWaiting = 7;
    EXPECT_EQ(FormatProgressLine(figures), "A: 0 of 0 files, 0 queued, 0 errors, 0.0 K/s, 0:00");
    figures.runsScripts = true;
    EXPECT_EQ(FormatProgressLine(figures),
              "A: 0 of 0 files, 0 queued, 0 errors, scripts: 3 of 10 pages, 0.0 K/s, 0:00");
}

TEST(ProgressLine, IsCutToLeaveTheLastColumnFree) {
    EXPECT_EQ(FitToWidth("abcdef", 4), "abc");
    EXPECT_EQ(FitToWidth("abc", 4), "abc");
    EXPECT_EQ(FitToWidth("abcd", 4), "abc");
    EXPECT_EQ(FitToWidth("abcdef", 0), "abcdef"); // width unknown
}

TEST(Summary, ShowsStateFiguresAndAverageRate) {
    SiteSummary summary;
    summary.name = "Example";
    summary.state = kSiteDone;
    summary.files = 42;
    summary.bytes = 3 * 1024 * 1024;
    summary.errors = 0;
    summary.elapsedSeconds = 4;
    EXPECT_EQ(FormatSummary(summary),
              "Example: Done, 42 files, 3.0 MB, 0 errors in 0:04 (768.0 K/s)");

    summary.state = kSiteAborted;
    summary.files = 1;
    summary.bytes = 100;
    summary.errors = 1;
    summary.elapsedSeconds = 0;
    EXPECT_EQ(FormatSummary(summary), "Example: Aborted, 1 file, 100 bytes, 1 error in 0:00");

    summary.state = kSiteFailed;
    summary.files = 0;
    summary.bytes = 0;
    EXPECT_EQ(FormatSummary(summary), "Example: Failed, 0 files, 0 bytes, 1 error in 0:00");

    summary.state = kSiteReady;
    EXPECT_EQ(FormatSummary(summary), "Example: not started");
}

TEST(Units, BytesUseBinaryMultiples) {
    EXPECT_EQ(FormatBytes(0), "0 bytes");
    EXPECT_EQ(FormatBytes(1), "1 byte");
    EXPECT_EQ(FormatBytes(1023), "1023 bytes");
    EXPECT_EQ(FormatBytes(1024), "1.0 KB");
    EXPECT_EQ(FormatBytes(1536), "1.5 KB");
    EXPECT_EQ(FormatBytes(1024 * 1024 - 1), "1024.0 KB");
    EXPECT_EQ(FormatBytes(1024 * 1024), "1.0 MB");
    EXPECT_EQ(FormatBytes(std::int64_t{5} << 30), "5.0 GB");
    EXPECT_EQ(FormatBytes(std::int64_t{3} << 50), "3072.0 TB");
    EXPECT_EQ(FormatRate(512), "0.5 K/s");
}

TEST(Units, ElapsedShowsHoursOnlyWhenNeeded) {
    EXPECT_EQ(FormatElapsed(0), "0:00");
    EXPECT_EQ(FormatElapsed(59.99), "0:59");
    EXPECT_EQ(FormatElapsed(60), "1:00");
    EXPECT_EQ(FormatElapsed(3599), "59:59");
    EXPECT_EQ(FormatElapsed(3600), "1:00:00");
    EXPECT_EQ(FormatElapsed(3723), "1:02:03");
    EXPECT_EQ(FormatElapsed(100 * 3600), "100:00:00");
    EXPECT_EQ(FormatElapsed(-5), "0:00");
}

TEST(SiteLog, SplitsAtTheLogSeparatorOnly) {
    EXPECT_EQ(SplitLog(""), std::vector<std::string>{});
    EXPECT_EQ(SplitLog("10:00:00   Started"), std::vector<std::string>{"10:00:00   Started"});
    EXPECT_EQ(SplitLog("a\r\r\nb\r\r\nc"), (std::vector<std::string>{"a", "b", "c"}));
    // A plain line end inside a message is not a separator.
    EXPECT_EQ(SplitLog("a\r\nb\r\r\nc"), (std::vector<std::string>{"a\r\nb", "c"}));
}

TEST(SiteLog, ErrorEntryShowsCodeTextAndAddress) {
    const CErrorEntry notFound{404, 0, "http://h/missing.html", {}};
    const std::string line = FormatErrorEntry(notFound);
    ASSERT_GE(line.size(), 8u);
    EXPECT_EQ(line[2], ':');
    EXPECT_EQ(line[5], ':');
    EXPECT_EQ(line.substr(8), "  404  Not Found  http://h/missing.html");

    const CErrorEntry transferError{-7, 0, "http://h/", "Could not connect to the server"};
    EXPECT_EQ(FormatErrorEntry(transferError).substr(8),
              "  -7  Could not connect to the server  http://h/");
}

TEST(RateMeter, AveragesOverTheWindow) {
    const CRateMeter::Clock::time_point start{};
    CRateMeter meter(2s);
    EXPECT_EQ(meter.Sample(0, start), 0);
    EXPECT_EQ(meter.Sample(0, start), 0); // no time has passed
    EXPECT_DOUBLE_EQ(meter.Sample(1000, start + 1s), 1000);
    EXPECT_DOUBLE_EQ(meter.Sample(3000, start + 2s), 1500); // over 0..2 s
    // At 3 s the sample at 0 s has left the window: (3000 - 1000) / 2 s.
    EXPECT_DOUBLE_EQ(meter.Sample(3000, start + 3s), 1000);
    EXPECT_DOUBLE_EQ(meter.Sample(3000, start + 5s), 0);
    // Samples further apart than the window still give a rate over their distance.
    EXPECT_DOUBLE_EQ(meter.Sample(13000, start + 10s), 2000);
}

TEST(RateMeter, StartsAfreshWhenTheTotalDrops) {
    const CRateMeter::Clock::time_point start{};
    CRateMeter meter(2s);
    meter.Sample(0, start);
    meter.Sample(5000, start + 1s);
    EXPECT_EQ(meter.Sample(100, start + 2s), 0);
    EXPECT_DOUBLE_EQ(meter.Sample(600, start + 3s), 500);
}
