#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "model/clock.h"
#include "model/site.h"
#include "model/site_group.h"
#include "support/site_fixture.h"

namespace fs = std::filesystem;

namespace {
std::unique_ptr<CUrl> Address(const std::string& text) {
    return std::make_unique<CUrl>(nullptr, text, kLinkFollowed);
}

void WriteFile(const fs::path& path, std::int64_t modifiedSeconds) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << "stored";
    const auto when = std::chrono::file_clock::from_sys(
        std::chrono::sys_seconds{std::chrono::seconds{modifiedSeconds}});
    fs::last_write_time(path, when);
}
} // namespace

TEST(Site, NewSiteHasTheDefaults) {
    CSite site("Untitled");
    EXPECT_EQ(site.m_state, kSiteReady);
    EXPECT_EQ(site.m_image, 0);
    EXPECT_EQ(site.m_kind, kItemSite);
    EXPECT_EQ(site.m_defaultDocument, "index.htm");
    EXPECT_EQ(site.m_workers, 1);
    EXPECT_EQ(site.m_retries, 3);
    EXPECT_EQ(site.m_connectionTimeout, 30);
    EXPECT_EQ(site.m_requestTimeout, 30);
    EXPECT_EQ(site.m_levels, 1);
    EXPECT_FALSE(site.m_useLevels || site.m_useServers || site.m_useDirectory || site.m_useTypes ||
                 site.m_useSizes || site.m_useSpace || site.m_useTime);
    EXPECT_TRUE(site.m_includeServers && site.m_includeDirectories && site.m_includeFiles);
    EXPECT_TRUE(site.m_downloadChanges);
    EXPECT_TRUE(site.m_new);
    EXPECT_FALSE(site.m_removeLinks);
}

TEST(Site, ANewSiteTakesTheNewDefaultsWhereAnOldFileSaysNothing) {
    CSite site("Untitled");
    EXPECT_FALSE(site.m_exactNames || site.m_obeyRobots || site.m_pageRequisites ||
                 site.m_useBrowserCookies);
    site.UseNewSiteDefaults();
    EXPECT_TRUE(site.m_exactNames && site.m_obeyRobots && site.m_pageRequisites &&
                site.m_useBrowserCookies);
    EXPECT_FALSE(site.m_useUrls) << "no address is left out unless asked";
}

TEST(Site, KeysFollowCreationOrderAcrossGroupsAndSites) {
    CSite first("a");
    CSiteGroup group("g");
    CSite second("b");
    EXPECT_EQ(group.m_key, first.m_key + 1);
    EXPECT_EQ(second.m_key, first.m_key + 2);
    EXPECT_EQ(group.m_kind, kItemGroup);
    EXPECT_EQ(group.GetImage(), kImageGroupOpen);
    group.m_expanded = false;
    EXPECT_EQ(group.GetImage(), kImageGroupClosed);
}

TEST(Site, StateWords) {
    EXPECT_EQ(SiteStateText(kSiteAborted, false), "Aborted");
    EXPECT_EQ(SiteStateText(kSiteDone, false), "Done");
    EXPECT_EQ(SiteStateText(kSiteQuarning, false), "Quarning");
    EXPECT_EQ(SiteStateText(kSiteQuarning, true), "Paused");
    EXPECT_EQ(SiteStateText(kSiteQueued, true), "Queued");
    EXPECT_EQ(SiteStateText(kSiteReady, false), "Ready");
    EXPECT_EQ(SiteStateText(kSiteFailed, true), "Failed");
}

TEST(SiteLists, PendingIsFirstInFirstOutAndMovesToInProgress) {
    SitesDirScope dir;
    CSite site("Alpha");
    EXPECT_EQ(site.NextPending(), nullptr);
    EXPECT_EQ(site.InProgressCount(), 0u);

    auto a = Address("http://h/a.htm");
    auto b = Address("http://h/b.htm");
    ASSERT_TRUE(site.AddPending(a));
    ASSERT_TRUE(site.AddPending(b));
    EXPECT_EQ(a, nullptr); // the site owns it now

    auto first = site.NextPending();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->file, "a.htm");
    EXPECT_EQ(site.PendingCount(), 1u);
    EXPECT_EQ(site.InProgressCount(), 1u);

    site.MarkDone(*first, true, true);
    EXPECT_EQ(site.InProgressCount(), 0u);
    EXPECT_EQ(site.m_filesTotal, 1);
    ASSERT_EQ(dir.statusTexts.size(), 1u);
    EXPECT_EQ(dir.statusTexts[0], "http://h/a.htm");
    // One that ended without a file adds none.
    site.MarkDone(*site.NextPending(), true);
    EXPECT_EQ(site.m_filesTotal, 1);
}

TEST(SiteLists, KnownAddressesAreRefusedWhilePendingOrInProgress) {
    SitesDirScope dir;
    CSite site("Alpha");
    auto page = Address("http://h/Dir/Page.htm");
    ASSERT_TRUE(site.AddPending(page));

    // Path and file are compared without regard to case; host and query do not count.
    for (const char* text : {"http://h/Dir/Page.htm", "http://h/dir/PAGE.HTM",
                             "http://other/Dir/Page.htm", "http://h/Dir/Page.htm?q=1"}) {
        auto again = Address(text);
        EXPECT_FALSE(site.AddPending(again)) << text;
        EXPECT_NE(again, nullptr) << "a refused address stays with the caller";
    }
    EXPECT_EQ(site.PendingCount(), 1u);

    auto held = site.NextPending();
    auto duplicate = Address("http://h/dir/page.htm");
    EXPECT_FALSE(site.AddPending(duplicate));

    // Done and not stored: free to be queued again, as a retry does with the same object.
    site.MarkDone(*held);
    EXPECT_TRUE(site.AddPending(held));
    EXPECT_EQ(site.PendingCount(), 1u);
}

// Requisites come from many servers, where /favicon.ico and /css/site.css are common.
TEST(SiteLists, WithRequisitesTheSamePathOnAnotherServerIsAnotherAddress) {
    SitesDirScope dir;
    CSite site("Alpha");
    site.m_pageRequisites = true;
    site.ResetForQueue();
    auto first = Address("http://h/css/site.css");
    auto other = Address("http://cdn/css/site.css");
    auto again = Address("http://h/CSS/site.css");
    EXPECT_TRUE(site.AddPending(first));
    EXPECT_TRUE(site.AddPending(other));
    EXPECT_FALSE(site.AddPending(again));
    EXPECT_EQ(site.PendingCount(), 2u);
}

TEST(SiteLists, AFileStoredDuringThisCrawlIsKnownAnOlderOneIsNot) {
    SitesDirScope dir;
    CSite site("Alpha");
    site.SetStartTime(std::chrono::file_clock::from_sys(
        std::chrono::sys_seconds{std::chrono::seconds{1'000'000}}));
    WriteFile(dir.path() / "Alpha" / "h" / "old.htm", 999'999);
    WriteFile(dir.path() / "Alpha" / "h" / "d" / "index.htm", 1'000'000);

    EXPECT_FALSE(site.IsKnown(*Address("http://h/old.htm")));
    EXPECT_TRUE(site.IsKnown(*Address("http://h/d/")));
    EXPECT_FALSE(site.IsKnown(*Address("http://other/d/")));
    auto stored = Address("http://h/d/?page=2");
    EXPECT_FALSE(site.AddPending(stored));
}

TEST(SiteLists, AddressesOutsideTheSiteFolderAreNeverQueued) {
    SitesDirScope dir;
    CSite site("Alpha");
    for (const char* text :
         {"http://h/a\\..\\..\\..\\x.htm", "http://h/a/..", "http:///x.htm", "http://../x.htm"}) {
        auto hostile = Address(text);
        EXPECT_FALSE(site.AddPending(hostile)) << text;
    }
    CSite badName("..");
    auto ordinary = Address("http://h/x.htm");
    EXPECT_FALSE(badName.AddPending(ordinary));
    EXPECT_EQ(site.PendingCount() + badName.PendingCount(), 0u);
}

TEST(SiteLists, WorkersSharingASiteLoseNoAddress) {
    SitesDirScope dir;
    CSite site("Alpha");
    constexpr int kThreads = 4;
    constexpr int kPerThread = 500;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&site, t] {
            for (int i = 0; i < kPerThread; ++i) {
                auto address =
                    Address("http://h/" + std::to_string(t) + "/" + std::to_string(i) + ".htm");
                site.AddPending(address);
                if (auto next = site.NextPending()) {
                    site.AddBytes(10);
                    site.MarkDone(*next, true, true);
                }
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    while (auto rest = site.NextPending())
        site.MarkDone(*rest, true, true);
    EXPECT_EQ(site.m_filesTotal, kThreads * kPerThread);
    EXPECT_EQ(site.m_bytesTotal, std::int64_t{10} * site.m_filesTotal);
    EXPECT_EQ(site.InProgressCount(), 0u);
}

TEST(SiteLog, LinesCarryTheTimeAndAreSeparatedByTheirOwnLineEnd) {
    SitesDirScope dir;
    SetClockForTesting([] { return std::int64_t{1'700'000'000}; });
    CSite site("Alpha");
    site.AddLog("Started");
    const std::string time = FormatTimeOfDay(1'700'000'000);
    EXPECT_EQ(site.GetLog(), time + "   Started");
    site.AddLog("Finished");
    EXPECT_EQ(site.GetLog(), time + "   Started\r\r\n" + time + "   Finished");
    ASSERT_EQ(time.size(), 8u);
    EXPECT_EQ(time[2], ':');

    auto address = Address("http://h/missing.htm");
    site.AddError(*address, 404);
    const auto errors = site.GetErrors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].code, 404);
    EXPECT_EQ(errors[0].time, 1'700'000'000);
    EXPECT_EQ(errors[0].address, "http://h/missing.htm");
    site.ClearErrors();
    EXPECT_TRUE(site.GetErrors().empty());
    EXPECT_EQ(site.m_errorsTotal, 1) << "clearing the list keeps the figure";
    SetClockForTesting({});
}

TEST(SiteStatistics, ResetForQueueStartsChartsAtFiveAndEmptiesEverything) {
    SitesDirScope dir;
    CSite site("Alpha");
    auto address = Address("http://h/a.htm");
    site.AddPending(address);
    site.AddLog("x");
    site.AddBytes(100);
    site.m_startTime = 5;
    site.m_endTime = 6;
    site.m_speedHistory.Add(3);

    site.ResetForQueue();
    EXPECT_EQ(site.m_state, kSiteQueued);
    EXPECT_EQ(site.PendingCount(), 0u);
    EXPECT_TRUE(site.GetLog().empty());
    EXPECT_EQ(site.m_bytesTotal, 0);
    EXPECT_EQ(site.m_bytesPeak, 5);
    EXPECT_EQ(site.m_filesPeak, 5);
    EXPECT_EQ(site.m_errorsPeak, 5);
    EXPECT_EQ(site.m_startTime, 0);
    EXPECT_EQ(site.m_endTime, 0);
    EXPECT_EQ(site.m_speedHistory.Get(CSpeedHistory::kSize - 1), 0);
}

TEST(SiteStatistics, SpeedSamplesAreKilobytesPerSecondAndKeepTheLastHundred) {
    CSite site("Alpha");
    site.ResetForQueue();
    site.AddBytes(5120); // in 500 ms: 10 KB/s
    site.AddBytes(1);
    EXPECT_EQ(site.m_bytesPeak, 5121);
    site.SampleSpeed();
    EXPECT_EQ(site.m_speedHistory.Get(CSpeedHistory::kSize - 1), 10);
    EXPECT_EQ(site.m_bytesInterval, 0);
    EXPECT_EQ(site.m_bytesPeak, 5121) << "peaks only grow";

    CSpeedHistory history;
    for (int sample = 1; sample <= 101; ++sample)
        history.Add(sample);
    EXPECT_EQ(history.Get(0), 2);
    EXPECT_EQ(history.Get(99), 101);
}

TEST(SiteLifecycle, StopFinishesThenMarksTheSiteAborted) {
    SitesDirScope dir;
    CSite site("Alpha");
    site.m_state = kSiteQuarning;
    site.Stop();
    EXPECT_EQ(site.m_state, kSiteAborted);
    EXPECT_EQ(site.m_image, kImageSiteCrawled);
    EXPECT_NE(site.m_endTime, 0);
    EXPECT_NE(site.GetLog().find("   Finished"), std::string::npos);
    ASSERT_FALSE(dir.statusTexts.empty());
    EXPECT_EQ(dir.statusTexts.back(), "Stopped Alpha");
}

// A crawl is judged at its end: nothing stored and an address failed is a failure, with
// the first failure's words and server in the status bar; one stored file makes it Done,
// and a stop stays a stop whatever it stored.
TEST(SiteLifecycle, ACrawlThatStoredNothingAndFailedEndsFailedWithItsFirstReason) {
    SitesDirScope dir;
    CSite site("Alpha");
    site.m_url = "http://127.0.0.1:9/";
    site.ResetForQueue();
    site.StartCrawl();
    site.AddError(*Address("http://127.0.0.1:9/"), -7, "Could not connect to the server");
    site.AddError(*Address("http://other.example:8080/x.htm"), 404);
    site.ClearErrors(); // the user emptied the list; the reason is kept
    site.FinishCrawl();
    EXPECT_EQ(site.m_state, kSiteFailed);
    EXPECT_EQ(SiteStateText(site.m_state, false), "Failed");
    ASSERT_FALSE(dir.statusTexts.empty());
    EXPECT_EQ(dir.statusTexts.back(), "Failed: Cannot connect to 127.0.0.1:9");

    site.ResetForQueue();
    site.StartCrawl();
    site.AddError(*Address("http://127.0.0.1:8080/x.htm"), 404);
    EXPECT_EQ(site.FailureText(), "Failed: 404 Not Found (127.0.0.1:8080)");
    site.Stop();
    EXPECT_EQ(site.m_state, kSiteAborted);

    site.ResetForQueue();
    site.StartCrawl();
    site.AddError(*Address("http://127.0.0.1:8080/x.htm"), 404);
    std::unique_ptr<CUrl> stored = site.NextPending();
    ASSERT_NE(stored, nullptr);
    site.MarkDone(*stored, true, true);
    site.FinishCrawl();
    EXPECT_EQ(site.m_state, kSiteDone);
}

// A crawl stopped while paused: its open pause ends with it.
TEST(SiteLifecycle, PausedTimeIsCountedOnceAndEndsWithTheCrawl) {
    SitesDirScope dir;
    std::int64_t now = 1'700'000'000;
    SetClockForTesting([&] { return now; });
    CSite site("Alpha");
    site.ResetForQueue();
    site.StartCrawl();
    site.BeginPause(now);
    site.BeginPause(now + 30); // paused already: the first moment holds
    now += 40;
    site.Stop();
    now += 1000;
    EXPECT_EQ(site.PausedSeconds(now), 40);
    SetClockForTesting({});
}

TEST(SiteLifecycle, EraseContentDeletesOnlyTheSiteFolder) {
    SitesDirScope dir;
    WriteFile(dir.path() / "Alpha" / "h" / "a" / "x.htm", 1);
    WriteFile(dir.path() / "Beta" / "h" / "y.htm", 1);
    TempDir outside;
    WriteFile(outside.path() / "keep.htm", 1);
    fs::create_directory_symlink(outside.path(), dir.path() / "Alpha" / "link");

    CSite site("Alpha");
    site.EraseContent();
    EXPECT_FALSE(fs::exists(dir.path() / "Alpha"));
    EXPECT_TRUE(fs::exists(dir.path() / "Beta" / "h" / "y.htm"));
    EXPECT_TRUE(fs::exists(outside.path() / "keep.htm")) << "links are removed, not followed";

    g_strSitesDir.Set("");
    CSite withoutSitesDir("Beta");
    withoutSitesDir.EraseContent();
    auto address = Address("http://h/y.htm");
    EXPECT_FALSE(withoutSitesDir.AddPending(address))
        << "nothing is stored without a sites directory";
    g_strSitesDir.Set(dir.path().string());
    EXPECT_TRUE(fs::exists(dir.path() / "Beta" / "h" / "y.htm"));

    for (const char* name : {"", ".", "..", "a/../..", "a\\b"}) {
        CSite hostile(name);
        hostile.EraseContent();
        EXPECT_TRUE(fs::exists(dir.path() / "Beta" / "h" / "y.htm")) << name;
        EXPECT_TRUE(fs::exists(dir.path())) << name;
    }
}

TEST(SiteCrawl, StartCrawlQueuesTheStartAddressWithTheLoginAndLogsStarted) {
    SitesDirScope dir;
    CSite site("Alpha");
    site.m_url = "http://h/d/index.htm";
    site.m_id = "user";
    site.m_password = "secret";
    site.ResetForQueue();
    site.StartCrawl();
    EXPECT_EQ(site.m_state, kSiteQuarning);
    EXPECT_EQ(site.m_image, kImageSiteCrawled);
    EXPECT_GT(site.m_startTime, 0);
    const auto start = site.NextPending();
    ASSERT_TRUE(start);
    EXPECT_EQ(start->user, "user");
    EXPECT_EQ(start->password, "secret");
    EXPECT_EQ(start->level, 1);
    EXPECT_TRUE(site.GetLog().ends_with("   Started"));
    EXPECT_EQ(dir.statusTexts.back(), "Quarning Alpha");
}

TEST(SiteCrawl, FileTimesAreComparedWithTheStartBelowTheSecond) {
    SitesDirScope dir;
    CSite site("Alpha");
    const auto second = std::chrono::file_clock::from_sys(
        std::chrono::sys_seconds{std::chrono::seconds{1'000'000}});
    site.SetStartTime(second + std::chrono::milliseconds(500));
    EXPECT_EQ(site.m_startTime, 1'000'000); // shown in seconds
    const fs::path folder = dir.path() / "Alpha" / "h";
    fs::create_directories(folder);
    std::ofstream(folder / "before.htm") << "x";
    std::ofstream(folder / "after.htm") << "x";
    fs::last_write_time(folder / "before.htm", second + std::chrono::milliseconds(400));
    fs::last_write_time(folder / "after.htm", second + std::chrono::milliseconds(600));
    EXPECT_FALSE(site.IsKnown(*Address("http://h/before.htm")));
    EXPECT_TRUE(site.IsKnown(*Address("http://h/after.htm")));
}

TEST(SiteCrawl, TheCrawlStartSeparatesEarlierFilesFromLaterOnes) {
    SitesDirScope dir;
    std::ofstream(dir.path() / "earlier") << "x";
    const auto start = FileClockCrawlStart();
    std::ofstream(dir.path() / "later") << "x";
    EXPECT_LT(fs::last_write_time(dir.path() / "earlier"), start);
    EXPECT_GE(fs::last_write_time(dir.path() / "later"), start);
}
