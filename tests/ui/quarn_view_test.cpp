// The status pane on screen: which site it shows, when it refreshes, and what it reads of
// a real controller.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLocale>
#include <QTest>

#include "engine/controller.h"
#include "engine/messages.h"
#include "model/clock.h"
#include "model/project.h"
#include "support/recording_ui.h"
#include "support/site_fixture.h"
#include "support/site_server.h"
#include "ui/app_globals.h"
#include "ui/controls/progress_ctrl_ex.h"
#include "ui/controls/strip_chart.h"
#include "ui/quarn_view.h"
#include "ui/status_figures.h"

namespace {
constexpr int kWaitMs = 5000;

class QuarnView : public ::testing::Test {
protected:
    void SetUp() override {
        m_previousProject = g_pProject;
        m_previousController = g_pController;
        g_pProject = &project;
        auto group = std::make_unique<CSiteGroup>("Group");
        m_group = group.get();
        project.AddGroup(std::move(group));
    }
    void TearDown() override {
        SetClockForTesting({});
        g_pProject = m_previousProject;
        g_pController = m_previousController;
    }

    CSite& AddSite(const std::string& name) {
        auto site = std::make_unique<CSite>(name);
        CSite& added = *site;
        project.AddSite(std::move(site), *m_group);
        return added;
    }
    QString Text(const char* name) const {
        const auto* label = view.findChild<QLabel*>(QLatin1String(name));
        return label ? label->text() : QStringLiteral("<missing %1>").arg(QLatin1String(name));
    }
    // Waits for the label to show text; a failure says what it shows instead.
    ::testing::AssertionResult Shows(const char* name, const QString& text) const {
        if (QTest::qWaitFor([&] { return Text(name) == text; }, kWaitMs))
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure()
               << name << " shows \"" << Text(name).toStdString() << "\"";
    }
    bool SiteAreaEnabled() const {
        return view.findChild<QGroupBox*>(QStringLiteral("siteArea"))->isEnabled();
    }
    CProgressCtrlEx* WorkersBar() const {
        return view.findChild<CProgressCtrlEx*>(QStringLiteral("workersBar"));
    }

    CProject project;
    CQuarnView view;

private:
    CSiteGroup* m_group = nullptr;
    CProject* m_previousProject = nullptr;
    CController* m_previousController = nullptr;
};
} // namespace

TEST_F(QuarnView, ShowsASitePickedInTheTreeAfterTheMessageItPostsItself) {
    CSite& site = AddSite("Alpha");
    ASSERT_FALSE(SiteAreaEnabled());

    view.OnViewMessage(WM_SHOW_SITE, &site);
    EXPECT_EQ(view.ShownSite(), &site);
    EXPECT_FALSE(SiteAreaEnabled()) << "the refresh is posted, not run at once";
    ASSERT_TRUE(QTest::qWaitFor([&] { return SiteAreaEnabled(); }, kWaitMs));

    EXPECT_EQ(Text("name"), QStringLiteral("Alpha"));
    EXPECT_EQ(Text("state"), QStringLiteral("Ready"));
    EXPECT_EQ(Text("startTime"), QString());
    EXPECT_EQ(Text("finishTime"), QString());
    EXPECT_EQ(Text("elapsed"), QStringLiteral("00:00:00"));
    EXPECT_EQ(Text("rate"), QStringLiteral("0 K/s"));
    EXPECT_EQ(Text("amount"), QStringLiteral("0 K"));
    EXPECT_EQ(Text("complete"), QStringLiteral("0"));
    EXPECT_EQ(Text("queued"), QStringLiteral("0"));
    EXPECT_EQ(Text("scripts"), QString()); // the site runs none
    EXPECT_EQ(WorkersBar()->GetPos(), 0);
    EXPECT_FALSE(view.IsRefreshing());

    view.OnViewMessage(WM_SHOW_SITE, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !SiteAreaEnabled(); }, kWaitMs));
}

TEST_F(QuarnView, StartedSiteIsRefreshedByTheTimerAndShownOnceMoreWhenItFinishes) {
    const std::int64_t now = 1'700'000'000;
    SetClockForTesting([now] { return now; });
    CSite& site = AddSite("Long");
    site.m_state = kSiteQuarning;
    site.m_startTime = now - (25 * 3600 + 61); // more than a day ago
    site.m_speedHistory.Add(8);
    site.m_speedHistory.Add(21);

    view.OnViewMessage(WM_SITE_STARTED, &site);
    EXPECT_TRUE(view.IsRefreshing());
    ASSERT_TRUE(Shows("state", QStringLiteral("Quarning")));
    EXPECT_EQ(Text("elapsed"), QStringLiteral("01:01:01"));
    EXPECT_EQ(Text("rate"), QStringLiteral("21 K/s"));
    EXPECT_EQ(Text("finishTime"), QString());
    // The graph was fed the newest sample last.
    EXPECT_EQ(view.findChild<CStripChart*>(QStringLiteral("speedGraph"))->GetValue(), 21 >> 2);

    site.m_filesTotal = 9;
    ASSERT_TRUE(Shows("complete", QStringLiteral("9")));

    site.m_state = kSiteDone;
    site.m_endTime = site.m_startTime + 100;
    site.m_bytesTotal = 100 * 7 * 1024;
    view.OnViewMessage(WM_SITE_FINISHED, &site);
    EXPECT_FALSE(view.IsRefreshing());
    EXPECT_EQ(view.ShownSite(), nullptr);
    EXPECT_EQ(Text("state"), QStringLiteral("Done"));
    EXPECT_EQ(Text("elapsed"), QStringLiteral("00:01:40"));
    EXPECT_EQ(Text("rate"), QStringLiteral("7 K/s"));
    EXPECT_EQ(Text("finishTime"), ClockText(site.m_endTime));
}

TEST_F(QuarnView, ASiteDeletedWhileShownIsDroppedAtTheNextRefresh) {
    CSite& site = AddSite("Doomed");
    site.m_filesTotal = 12;
    view.OnViewMessage(WM_SHOW_SITE, &site);
    ASSERT_TRUE(QTest::qWaitFor([&] { return SiteAreaEnabled(); }, kWaitMs));
    ASSERT_EQ(Text("name"), QStringLiteral("Doomed"));

    project.RemoveSite(&site, false);
    view.OnViewMessage(WM_SITE_CHANGED, nullptr);
    EXPECT_EQ(view.ShownSite(), nullptr);
    EXPECT_FALSE(SiteAreaEnabled());
    // Nothing of the site that went is left on show.
    EXPECT_EQ(Text("name"), QString());
    EXPECT_EQ(Text("complete"), QString());
}

TEST_F(QuarnView, GrowingFiguresAndALongNameDoNotWidenThePane) {
    CSite& site = AddSite("Short");
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    // Before any site the workers bar reads nothing busy.
    EXPECT_EQ(CProgressCtrlEx::BarText(WorkersBar()->GetLower(), WorkersBar()->GetUpper(),
                                       WorkersBar()->GetPos(), WorkersBar()->GetShowValue()),
              QStringLiteral("0%"));
    view.OnViewMessage(WM_SHOW_SITE, &site);
    ASSERT_TRUE(Shows("complete", QStringLiteral("0")));
    const auto layOut = [] {
        for (int pass = 0; pass < 3; ++pass) // nested layouts ask again
            QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    };
    layOut();
    const QSize least = view.minimumSizeHint();
    const QSize wanted = view.sizeHint();
    const int width = view.width();

    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    site.m_name = std::string(80, 'N');
    site.m_filesTotal = 1'234'567'890;
    site.m_errorsTotal = 987'654'321;
    site.m_bytesTotal = std::int64_t{1} << 50;
    site.m_snapshotPages = true;
    for (int k = 0; k < 3; ++k)
        site.ScriptQueue().NoteDone(true);
    view.OnViewMessage(WM_SITE_CHANGED, &site);
    layOut();
    EXPECT_EQ(Text("complete"), QStringLiteral("1,234,567,890"));
    EXPECT_EQ(Text("scripts"), QStringLiteral("Scripts: 3 of 3 pages, 3 cut at the time limit"));
    EXPECT_TRUE(view.findChild<QLabel*>(QStringLiteral("scripts"))->isVisible());
    EXPECT_EQ(Text("amount"), QStringLiteral("1,099,511,627,776 K"));
    EXPECT_EQ(view.minimumSizeHint().width(), least.width());
    EXPECT_EQ(view.sizeHint().width(), wanted.width());
    EXPECT_EQ(view.width(), width);
    QLocale::setDefault(before);
}

TEST_F(QuarnView, TheSpeedGraphIsScaledToTheLargestSampleItShows) {
    CSite& site = AddSite("Fast");
    view.resize(320, 400);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    // Far above the old full scale of 40 K per sample: 800 K, then half of that.
    site.m_speedHistory.Add(800);
    site.m_speedHistory.Add(400);
    view.OnViewMessage(WM_SHOW_SITE, &site);
    auto* graph = view.findChild<CStripChart*>(QStringLiteral("speedGraph"));
    ASSERT_NE(graph, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return graph->GetMax() == 800 >> 2; }, kWaitMs));

    const QImage& picture = graph->Picture();
    const auto barHeight = [&](int x) {
        int lit = 0;
        for (int y = 0; y < picture.height(); ++y)
            lit += picture.pixelColor(x, y) != QColor(Qt::black);
        return lit;
    };
    const int right = picture.width() - 1;
    EXPECT_EQ(barHeight(right - CStripChart::kStepPixels), picture.height());
    EXPECT_EQ(barHeight(right), picture.height() / 2);
}

TEST_F(QuarnView, ASiteThatNeverRanShowsNoBarsOfTheSiteShownBefore) {
    // Wider than the history is long, so feeding a new history alone would leave the
    // oldest bars of the previous site standing at the left.
    view.resize(700, 400);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    auto* graph = view.findChild<CStripChart*>(QStringLiteral("speedGraph"));
    ASSERT_GT(graph->BarsShown(), CSpeedHistory::kSize);
    CSite& fast = AddSite("Fast");
    for (int k = 0; k < CSpeedHistory::kSize; ++k)
        fast.m_speedHistory.Add(400);
    CSite& never = AddSite("Never");

    const auto litColumns = [&] {
        const QImage& picture = graph->Picture();
        int lit = 0;
        for (int x = 0; x < picture.width(); ++x)
            lit += picture.pixelColor(x, picture.height() - 1) != QColor(Qt::black);
        return lit;
    };
    view.OnViewMessage(WM_SHOW_SITE, &fast);
    ASSERT_TRUE(Shows("name", QStringLiteral("Fast")));
    ASSERT_GE(litColumns(), CSpeedHistory::kSize * CStripChart::kBarPixels);

    view.OnViewMessage(WM_SHOW_SITE, &never);
    ASSERT_TRUE(Shows("name", QStringLiteral("Never")));
    EXPECT_EQ(litColumns(), 0);
}

namespace {
// A real controller crawling a site whose first page is held back by the server, so the
// crawl stays in progress for as long as the test needs.
class QuarnViewWithController : public QuarnView {
protected:
    void SetUp() override {
        QuarnView::SetUp();
        ASSERT_TRUE(CInternetSession::Initialise());
        server.AddHtml("/index.htm", "<a href=\"a.htm\">a</a>");
        server.Hold("/index.htm");
        server.Start();
        controller = std::make_unique<CController>(ui);
        controller->Start();
        g_pController = controller.get();
    }
    void TearDown() override {
        QuarnView::TearDown();
        server.OpenAll();
        controller.reset();
    }

    CSite& AddCrawlSite(const std::string& name, int workers) {
        CSite& site = AddSite(name);
        site.m_url = server.Url("/index.htm");
        site.m_workers = workers;
        site.m_useServers = true;
        site.m_servers = "127.0.0.1=1";
        return site;
    }
    bool WaitForState(int state) {
        return ui.WaitUntil([&] { return !ui.states.empty() && ui.states.back() == state; });
    }

    SitesDirScope dir;
    SiteServer server;
    RecordingUi ui;
    std::unique_ptr<CController> controller; // ends before the server
};
} // namespace

TEST_F(QuarnViewWithController, FollowsTheControllerThroughPauseResumeAndStop) {
    CSite& running = AddCrawlSite("Running", 2);
    CSite& other = AddCrawlSite("Other", 3);
    controller->Post(WM_START_SITE, reinterpret_cast<MessageParam>(&running));
    ASSERT_TRUE(server.WaitFor("GET /index.htm"));

    view.OnViewMessage(WM_SITE_STARTED, &running);
    ASSERT_TRUE(Shows("state", QStringLiteral("Quarning")));
    // One worker holds the first page, the other is idle.
    EXPECT_EQ(WorkersBar()->GetUpper(), 2);
    EXPECT_EQ(WorkersBar()->GetPos(), 1);

    view.TogglePause();
    ASSERT_TRUE(WaitForState(kControllerPaused));
    ASSERT_TRUE(Shows("state", QStringLiteral("Paused")));

    view.OnViewMessage(WM_SHOW_SITE, &other);
    ASSERT_TRUE(Shows("name", QStringLiteral("Other")));
    EXPECT_EQ(WorkersBar()->GetUpper(), 3);
    EXPECT_EQ(WorkersBar()->GetPos(), 0) << "not the controller's current site";

    view.OnViewMessage(WM_SHOW_SITE, &running);
    view.TogglePause();
    ASSERT_TRUE(WaitForState(kControllerRunning));
    ASSERT_TRUE(Shows("state", QStringLiteral("Quarning")));

    view.StopShownSite();
    ASSERT_TRUE(ui.WaitForRunsEnded(1));
    EXPECT_EQ(running.m_state, kSiteAborted);
    EXPECT_TRUE(WaitForState(kControllerIdle));
    view.OnViewMessage(WM_SITE_FINISHED, &running);
    EXPECT_EQ(Text("state"), QStringLiteral("Aborted"));
    EXPECT_EQ(WorkersBar()->GetPos(), 0);
}
