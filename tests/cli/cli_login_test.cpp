// quarn-cli crawling a site behind a login: cookies from a cookies.txt let it in, logout
// links are left alone, an expired login stops the crawl without harming the copy, pages
// the login does not open are failures like any other, and without any login option no
// cookie is ever sent.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <mutex>
#include <set>

#include "cli/exit_codes.h"
#include "cli_process.h"
#include "support/copy_snapshot.h"
#include "support/file_text.h"
#include "support/login_server.h"
#include "support/temp_dir.h"
#include "support/test_server.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kExpired =
    "The login to 127.0.0.1 has expired. Log in again in the browser pane, then resume.";

class CliLogin : public ::testing::Test {
protected:
    void SetUp() override { server.Start(); }

    fs::path SitesDir() const { return work.path() / "out"; }
    fs::path HostDir() const { return SitesDir() / "Members" / "127.0.0.1"; }

    // A fresh login through the form, written as a cookies.txt; extra lines are added.
    fs::path CookiesFile(const std::string& extra = {}) {
        const std::string cookies = server.LogInWithForm();
        EXPECT_NE(cookies.find("\tsid\t"), std::string::npos) << "the form login failed";
        const fs::path file = work.path() / ("cookies" + std::to_string(++m_files) + ".txt");
        std::ofstream(file, std::ios::binary) << cookies << extra;
        return file;
    }

    std::vector<std::string> Mirror(const fs::path& cookies, std::vector<std::string> more = {}) {
        std::vector<std::string> args{"mirror",      server.Url("/"),     "--name",    "Members",
                                      "--sites-dir", SitesDir().string(), "--workers", "2",
                                      "--cookies",   cookies.string()};
        args.insert(args.end(), more.begin(), more.end());
        return args;
    }

    // The stored copy holds every page behind the login, each as the server showed it to a
    // logged-in reader.
    void ExpectEveryPageStored() {
        const Files files = Snapshot(HostDir());
        std::set<std::string> names;
        for (const auto& [name, text] : files) {
            names.insert(name);
            EXPECT_EQ(text.find("Please log in"), std::string::npos) << name;
        }
        std::set<std::string> expected{"index.htm"};
        for (int page = 1; page <= server.Pages(); ++page)
            expected.insert("pages/" + std::to_string(page) + ".html");
        EXPECT_EQ(names, expected);
    }

    TempDir work;
    LoginServer server;
    int m_files = 0;
};

} // namespace

TEST_F(CliLogin, CookiesLetTheCrawlInAndItNeverLogsOut) {
    // A cookie for another server must never reach this one.
    const fs::path cookies = CookiesFile("other.example\tFALSE\t/\tFALSE\t0\tleak\tx\n");
    const fs::path saved = work.path() / "saved.txt";
    std::ofstream(saved) << "old";
    ::chmod(saved.c_str(), 0644);
    CliProcess cli(
        Mirror(cookies, {"--save-cookies", saved.string(), "--log", "--header", "X-Test: yes"}));
    ASSERT_EQ(cli.Wait(), kExitOk) << cli.Err() << cli.Out();

    ExpectEveryPageStored();
    EXPECT_EQ(server.Requests("/logout"), 0);
    EXPECT_EQ(server.Requests("/account/bye"), 0) << "refused by its text, \"Sign out\"";
    EXPECT_EQ(server.RequestsWithHeader("x-test", "yes"), server.Pages() + 2)
        << "every page and robots.txt";
    for (const std::string& header : server.CookieHeaders())
        EXPECT_EQ(header.find("leak"), std::string::npos) << header;

    // The logout links lead to the server, each logged once, without the cookie's value.
    const std::string page = ReadFileText(HostDir() / "pages" / "3.html");
    EXPECT_NE(page.find("href=\"" + server.Url("/logout") + "\""), std::string::npos) << page;
    EXPECT_NE(page.find("href=\"" + server.Url("/account/bye") + "\""), std::string::npos);
    const std::string out = cli.Out();
    for (const char* path : {"/logout", "/account/bye"}) {
        const std::string line = "Not following a logout link: " + server.Url(path);
        const auto first = out.find(line);
        EXPECT_NE(first, std::string::npos) << out;
        EXPECT_EQ(out.find(line, first + 1), std::string::npos) << "logged once: " << path;
    }
    const std::string sid = CookieValue(
        "sid=" + ReadFileText(cookies).substr(ReadFileText(cookies).find("\tsid\t") + 5), "sid");
    ASSERT_GT(sid.size(), 2u);
    EXPECT_EQ(out.find(sid.substr(0, sid.find('\n'))), std::string::npos) << "values never logged";

    // The jar is written for its owner alone, and holds the session.
    struct stat info {};
    ASSERT_EQ(::stat(saved.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    const std::string jar = ReadFileText(saved);
    EXPECT_NE(jar.find("\tsid\t"), std::string::npos) << jar;
    EXPECT_TRUE(jar.starts_with("# Netscape HTTP Cookie File\n")) << jar;
}

TEST_F(CliLogin, AnExpiredLoginStopsWithFourAndLeavesTheCopyAsItWas) {
    CliProcess first(Mirror(CookiesFile()));
    ASSERT_EQ(first.Wait(), kExitOk) << first.Err();
    ExpectEveryPageStored();
    const Files before = Snapshot(HostDir());

    // Sent to the login page, or refused outright, after pages were let through.
    for (const int refusal : {302, 403}) {
        SCOPED_TRACE("refused with " + std::to_string(refusal));
        server.RefuseWith(refusal);
        server.ExpireAfter(6);
        const int served = server.PagesServed();
        CliProcess again(Mirror(CookiesFile()));
        EXPECT_EQ(again.Wait(), kExitLoginExpired) << again.Err();
        EXPECT_NE(again.Err().find(kExpired), std::string::npos) << again.Err();
        EXPECT_EQ(server.PagesServed() - served, 6) << "the crawl got in, then lost the login";
        EXPECT_EQ(Snapshot(HostDir()), before);
        EXPECT_EQ(server.Requests("/logout") + server.Requests("/account/bye"), 0);
    }
}

// Pages no login opens answer 403 to the logged-in crawl: they are its failures, the rest
// of the site is copied, and the run ends as one with failed addresses.
TEST_F(CliLogin, ARefusedAreaIsAFailureOfItsPagesNotALostLogin) {
    server.AddRefusedArea(4);
    CliProcess cli(Mirror(CookiesFile()));
    ASSERT_EQ(cli.Wait(), kExitAddressesFailed) << cli.Err() << cli.Out();
    ExpectEveryPageStored();
    const std::string said = cli.Out() + cli.Err();
    EXPECT_EQ(said.find(kExpired), std::string::npos) << said;
    for (const std::string& path : server.RefusedPaths()) {
        EXPECT_EQ(server.Requests(path), 1) << path;
        EXPECT_NE(said.find(server.Url(path)), std::string::npos) << path << " is listed";
    }
}

TEST(CliNoLogin, WithoutLoginOptionsNoCookieIsSent) {
    TestServer server;
    std::mutex mutex;
    int requests = 0;
    int withCookie = 0;
    std::set<std::string> paths;
    server.server().Get(".*", [&](const httplib::Request& request, httplib::Response& response) {
        {
            std::lock_guard lock(mutex);
            ++requests;
            paths.insert(request.path);
            withCookie += request.has_header("Cookie") ? 1 : 0;
        }
        response.set_header("Set-Cookie", "visitor=1; Path=/");
        if (request.path == "/")
            response.set_content(R"(<a href="a.html">a</a> <a href="logout">Log out</a>)",
                                 "text/html");
        else if (request.path == "/a.html" || request.path == "/logout")
            response.set_content(R"(<a href="/">home</a>)", "text/html");
        else
            response.status = 404;
    });
    server.Start();
    TempDir work;
    CliProcess cli({"mirror", server.Url("/"), "--name", "Plain", "--sites-dir",
                    (work.path() / "out").string()});
    ASSERT_EQ(cli.Wait(), kExitOk) << cli.Err();
    std::lock_guard lock(mutex);
    EXPECT_GE(requests, 3) << "robots.txt, the start page and the links were asked for";
    EXPECT_EQ(withCookie, 0);
    // Without cookies there is no login to lose: a logout link is a link like any other.
    EXPECT_TRUE(paths.contains("/logout"));
}
