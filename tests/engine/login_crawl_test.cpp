// Crawls behind a login with several workers sharing one cookie jar: the session the jar
// keeps serves every worker, an expired login stops the site with its message, and a
// refusal that is not the login's is an error of its address. Run under ThreadSanitizer
// too, for the jar's and the login guard's locks.

#include <gtest/gtest.h>

#include <set>

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

    CSite& MembersSite(const std::string& name = "Members") {
        CSite& site = MakeSite(name, "/", 4);
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

// The session ends on the server after five pages; the next pages are sent to the login
// page, or refused, and "/" (which answered before) is refused when asked again.
TEST_F(LoginCrawl, AnExpiredLoginStopsTheSiteAndSaysSo) {
    for (const int refusal : {302, 403}) {
        SCOPED_TRACE("refused with " + std::to_string(refusal));
        members.RefuseWith(refusal);
        members.ExpireAfter(5);
        CSite& site = MembersSite("Members " + std::to_string(refusal));
        const int served = members.PagesServed();
        RunToEnd({&site});
        const std::string text = CLoginGuard::ExpiredText("127.0.0.1");
        EXPECT_EQ(site.m_state.load(), kSiteAborted);
        EXPECT_TRUE(site.LoginGuard().Expired());
        EXPECT_EQ(site.StopRequest(), text);
        EXPECT_EQ(ui.Get([&] { return ui.messages; }), std::vector<std::string>{text});
        EXPECT_FALSE(std::filesystem::exists(Stored(site, "login")))
            << "the login page is not kept";
        EXPECT_EQ(members.PagesServed() - served, 5);
        EXPECT_TRUE(site.GetErrors().empty()) << "the pages refused wait for a new login";
        ui.Get([&] {
            ui.messages.clear();
            return 0;
        });
    }
}

// Pages no login opens (403 to a live session) are errors of their addresses; the crawl
// keeps its login, copies the rest, and asks the start page again now and then, not once
// per refused page.
TEST_F(LoginCrawl, ARefusedAreaIsAnErrorOfItsAddressesAndTheRestIsCopied) {
    constexpr int kRefused = 12;
    members.AddRefusedArea(kRefused);
    CSite& site = MembersSite();
    RunToEnd({&site});
    EXPECT_EQ(site.m_state.load(), kSiteDone) << site.GetLog();
    EXPECT_FALSE(site.LoginGuard().Expired());
    EXPECT_EQ(site.StopRequest(), "");
    EXPECT_TRUE(ui.Get([&] { return ui.messages.empty(); }));
    for (const std::string& path : members.PagePaths()) {
        const std::string stored = path == "/" ? "index.htm" : path.substr(1);
        EXPECT_TRUE(std::filesystem::is_regular_file(Stored(site, stored))) << stored;
    }
    std::set<std::string> failed;
    for (const CErrorEntry& entry : site.GetErrors()) {
        EXPECT_EQ(entry.code, 403) << entry.address;
        failed.insert(entry.address);
    }
    std::set<std::string> refused;
    for (const std::string& path : members.RefusedPaths())
        refused.insert(members.Url(path));
    EXPECT_EQ(failed, refused);
    const int checks = members.Requests("/") - 1;
    EXPECT_GE(checks, 1);
    EXPECT_LE(checks, kRefused / 2) << site.GetLog();
    EXPECT_FALSE(std::filesystem::exists(Stored(site, "admin")));
}

// Another host (the fixture's site server, reached as localhost) sends a page to its own
// login page and refuses another: the crawl never logged in there, so neither is a lost
// login, nor a reason to ask the start page again.
TEST_F(LoginCrawl, AnotherHostsLoginPageDoesNotStopTheCrawl) {
    SiteServer::Page toLogin{"", "text/html", 302};
    toLogin.headers.emplace("Location", "/login.php?next=/private.html");
    server.AddOn("localhost", "/private.html", toLogin);
    server.AddOn("localhost", "/login.php", Html("<form method=post><input name=user></form>"));
    server.AddOn("localhost", "/closed.html", SiteServer::Page{"closed", "text/html", 403});
    server.Start();
    const std::string elsewhere = "http://localhost:" + std::to_string(server.Port());
    members.AddStartLink(elsewhere + "/private.html");
    members.AddStartLink(elsewhere + "/closed.html");
    CSite& site = MembersSite();
    site.m_servers = "127.0.0.1=1,localhost=1";
    RunToEnd({&site});
    EXPECT_EQ(site.m_state.load(), kSiteDone) << site.GetLog();
    EXPECT_FALSE(site.LoginGuard().Expired());
    EXPECT_TRUE(ui.Get([&] { return ui.messages.empty(); }));
    for (const std::string& path : members.PagePaths()) {
        const std::string stored = path == "/" ? "index.htm" : path.substr(1);
        EXPECT_TRUE(std::filesystem::is_regular_file(Stored(site, stored))) << stored;
    }
    EXPECT_EQ(server.Count("GET //localhost/login.php"), 1) << "followed as any redirect";
    const auto errors = site.GetErrors();
    ASSERT_EQ(errors.size(), 1u) << site.GetLog();
    EXPECT_EQ(errors[0].address, elsewhere + "/closed.html");
    EXPECT_EQ(errors[0].code, 403);
    EXPECT_EQ(members.Requests("/"), 1);
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
