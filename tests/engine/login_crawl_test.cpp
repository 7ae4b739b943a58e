// Crawls behind a login with several workers sharing one cookie jar: the session the jar
// keeps serves every worker, and an expired login stops the site with its message. Run
// under ThreadSanitizer too, for the jar's locks.

#include <gtest/gtest.h>

#include "engine/controller.h"
#include "engine/http_session.h"
#include "engine/messages.h"
#include "model/login_guard.h"
#include "model/site.h"
#include "support/crawl_fixture.h"
#include "support/login_server.h"

namespace {

class LoginCrawl : public Crawl {
protected:
    void SetUp() override {
        Crawl::SetUp();
        members.Start();
    }
    // The workers' open connections would hold the server's end for its keep-alive time.
    void TearDown() override { controller.reset(); }

    CSite& MembersSite() {
        CSite& site = MakeSite("Members", "/", 4);
        site.m_url = members.Url("/");
        site.SetStartCookies(members.LogInWithForm());
        return site;
    }

    LoginServer members;
};

} // namespace

TEST_F(LoginCrawl, EveryWorkerSendsTheSessionAndTheJarIsGivenBack) {
    CSite& site = MembersSite();
    RunToEnd({&site});
    EXPECT_EQ(site.m_state.load(), kSiteDone) << site.GetLog();
    EXPECT_EQ(members.PagesServed(), members.Pages() + 1);
    for (const std::string& path : members.PagePaths()) {
        EXPECT_EQ(members.Requests(path), 1) << path;
        const std::string stored = path == "/" ? "index.htm" : path.substr(1);
        EXPECT_TRUE(std::filesystem::is_regular_file(Stored(site, stored))) << stored;
    }
    EXPECT_EQ(members.Requests("/logout") + members.Requests("/account/bye"), 0);
    EXPECT_NE(site.EndCookies().find("\tsid\t"), std::string::npos) << site.EndCookies();
    EXPECT_TRUE(ui.Get([&] { return ui.messages.empty(); }));

    // The next crawl of a site given no cookies has no jar: nothing is sent.
    const int withCookies = members.RequestsWithCookies();
    site.SetStartCookies({});
    RunToEnd({&site});
    EXPECT_EQ(members.RequestsWithCookies(), withCookies);
    EXPECT_EQ(site.EndCookies(), "");
}

TEST_F(LoginCrawl, AnExpiredLoginStopsTheSiteAndSaysSo) {
    members.ExpireAfter(5);
    CSite& site = MembersSite();
    RunToEnd({&site});
    const std::string text = CLoginGuard::ExpiredText("127.0.0.1");
    EXPECT_EQ(site.m_state.load(), kSiteAborted);
    EXPECT_TRUE(site.LoginGuard().Expired());
    EXPECT_EQ(site.StopRequest(), text);
    EXPECT_EQ(ui.Get([&] { return ui.messages; }), std::vector<std::string>{text});
    EXPECT_FALSE(std::filesystem::exists(Stored(site, "login"))) << "the login page is not kept";
}

TEST_F(LoginCrawl, WhereTheUserCanLogInAgainAnExpiredLoginPausesAndANewOneGoesOn) {
    members.ExpireAfter(5);
    StartController();
    controller->SetPauseWhenLoginExpires(true);
    CSite& site = MembersSite();
    const int before = ui.Get([&] { return ui.runsEnded; });
    controller->Post(WM_START_SITE, Param(site), kStartUpdate);
    ASSERT_TRUE(ui.WaitUntil([&] { return !ui.messages.empty(); }));
    ASSERT_TRUE(ui.WaitUntil([&] { return controller->GetState() == kControllerPaused; }));
    const std::string text = CLoginGuard::ExpiredText("127.0.0.1");
    EXPECT_EQ(ui.Get([&] { return ui.messages; }), std::vector<std::string>{text});
    EXPECT_EQ(site.StopRequest(), "") << "paused, not stopped";

    // Logged in again (the window takes the browser pane's new cookies), the crawl goes on.
    members.ExpireAfter(0);
    site.OfferFreshCookies(members.LogInWithForm());
    controller->Post(WM_RESUME);
    ASSERT_TRUE(ui.WaitForRunsEnded(before + 1));
    EXPECT_EQ(site.m_state.load(), kSiteDone) << site.GetLog();
    for (const std::string& path : members.PagePaths()) {
        const std::string stored = path == "/" ? "index.htm" : path.substr(1);
        EXPECT_TRUE(std::filesystem::is_regular_file(Stored(site, stored))) << stored;
    }
    EXPECT_EQ(ui.Get([&] { return ui.messages.size(); }), 1u);
}

TEST_F(LoginCrawl, AnUnchangedPageIsReadAgainForItsLogoutLinks) {
    server.HonourConditions();
    server.Add("/", Html(R"(<a href="a.html">a</a> <a href="bye.html">Log out</a>)"));
    server.Add("/a.html", Html("<p>a</p>"));
    server.Add("/bye.html", Html("<p>bye</p>"));
    server.Start();
    CSite& site = MakeSite("Plain", "/");
    site.m_exactNames = true;
    RunToEnd({&site});
    const auto asked = [&] {
        const auto log = server.Log();
        return std::count(log.begin(), log.end(), "GET /bye.html");
    };
    ASSERT_EQ(asked(), 1) << "without cookies a logout link is a link like any other";

    // Cookies now: the start page is unchanged (304), and its links known from the last
    // crawl, but the logout link among them is not followed.
    site.SetStartCookies("# Netscape HTTP Cookie File\n");
    RunToEnd({&site});
    EXPECT_EQ(asked(), 1);
    EXPECT_NE(site.GetLog().find("Not following a logout link: " + server.Url("/bye.html")),
              std::string::npos)
        << site.GetLog();
}
