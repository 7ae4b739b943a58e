// What a crawl that sends cookies reads as logging out, and as a login page: the words
// count where they stand as words, not inside others. Which hosts hold the login, and how
// refusals from them are judged.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <string>
#include <vector>

#include "model/clock.h"
#include "model/login_guard.h"

TEST(LoginGuard, AddressesThatLogOut) {
    for (const char* address :
         {"logout", "user/logout", "index.php?action=logout", "account/sign-out", "signout.aspx",
          "session/logoff", "app/doLogout", "LOGOUT.PHP", "a/log_out?next=/"}) {
        EXPECT_TRUE(ReadsAsLogoutAddress(address)) << address;
    }
    for (const char* address : {"catalogoutlet.html", "blog/outdoors", "dialogoutput",
                                "signal/outline", "pages/logo.png", ""}) {
        EXPECT_FALSE(ReadsAsLogoutAddress(address)) << address;
    }
}

TEST(LoginGuard, LinkTextsThatLogOut) {
    for (const char* text : {"Log out", "  sign\n OUT ", "<b>Sign</b> out", "Log&nbsp;off",
                             "Logout", "<span class=icon></span>Sign out"}) {
        EXPECT_TRUE(ReadsAsLogoutText(text)) << text;
    }
    for (const char* text : {"Blog outage report", "Login", "Catalog", "", "<img alt=\"Log out\">",
                             "How to log out of every device you own and what happens then"}) {
        EXPECT_FALSE(ReadsAsLogoutText(text)) << text;
    }
}

TEST(LoginGuard, AddressesOfLoginPages) {
    for (const char* address : {"login", "login?next=/pages/3.html", "users/sign_in",
                                "account/signin.php", "wp-login.php", "Logon.aspx"}) {
        EXPECT_TRUE(ReadsAsLoginAddress(address)) << address;
    }
    for (const char* address : {"blogin.html", "pages/3.html", "design/logo.png", ""}) {
        EXPECT_FALSE(ReadsAsLoginAddress(address)) << address;
    }
}

TEST(LoginGuard, EachLogoutAddressIsNotedOnceAndACrawlStartForgetsAll) {
    CLoginGuard guard;
    guard.Begin(true);
    EXPECT_TRUE(guard.Active());
    EXPECT_TRUE(guard.FirstLogoutNote("http://h/logout"));
    EXPECT_FALSE(guard.FirstLogoutNote("http://h/logout"));
    guard.AddLoginDomain("h", false);
    guard.NoteAnswered("h:80/a.html");
    EXPECT_TRUE(guard.HasAnswered("h:80/a.html"));
    EXPECT_FALSE(guard.HasAnswered("h:8080/a.html"));
    EXPECT_FALSE(guard.HasAnswered("h:80/b.html"));
    EXPECT_TRUE(guard.Expire());
    EXPECT_FALSE(guard.Expire()) << "told once";

    guard.Begin(false);
    EXPECT_FALSE(guard.Active() || guard.Expired() || guard.HasAnswered("h:80/a.html") ||
                 guard.HoldsLogin("h"));
    EXPECT_TRUE(guard.FirstLogoutNote("http://h/logout"));
}

TEST(LoginGuard, OnlyTheHostsTheLoginReachesHoldIt) {
    CLoginGuard guard;
    guard.Begin(true);
    guard.AddLoginDomain("127.0.0.1", false);
    guard.AddLoginDomain("Members.Example", false);
    guard.AddLoginDomain(".shop.test", false); // a leading dot takes the subdomains in
    guard.AddLoginDomain("news.test", true);
    guard.AddLoginDomain("", true);
    for (const char* host : {"127.0.0.1", "members.example", "shop.test", "www.shop.test",
                             "a.b.shop.test", "news.test", "eu.news.test"}) {
        EXPECT_TRUE(guard.HoldsLogin(host)) << host;
    }
    for (const char* host : {"localhost", "127.0.0.2", "www.members.example", "example",
                             "myshop.test", "test", "othernews.test", ""}) {
        EXPECT_FALSE(guard.HoldsLogin(host)) << host;
    }
}

namespace {
using Refusal = CLoginGuard::Refusal;
using Check = CLoginGuard::Check;

class LoginRefusals : public ::testing::Test {
protected:
    void SetUp() override {
        SetClockForTesting([this] { return now.load(); });
        guard.Begin(true);
        guard.AddLoginDomain("h", false);
    }
    void TearDown() override { SetClockForTesting({}); }

    Refusal Judge(const std::string& address) { return guard.JudgeRefusal(address, noAbort); }

    std::atomic<std::int64_t> now{1'700'000'000};
    std::atomic<bool> noAbort{false};
    CLoginGuard guard;
};
} // namespace

// An address that answered before and is refused now lost the login; a fresh one asks for a
// check, whose finding stands for a few refusals and seconds after it.
TEST_F(LoginRefusals, AFreshRefusalIsCheckedAndTheCheckStandsForAWhile) {
    guard.NoteAnswered("h:80/seen.html");
    EXPECT_EQ(Judge("h:80/seen.html"), Refusal::LoginGone);
    EXPECT_FALSE(guard.Expired()) << "the caller expires it";

    ASSERT_EQ(Judge("h:80/admin/0.html"), Refusal::CheckStartPage);
    guard.CheckDone(Check::Alive);
    for (int refusal = 1; refusal <= CLoginGuard::kRefusalsPerCheck; ++refusal)
        EXPECT_EQ(Judge("h:80/admin/" + std::to_string(refusal) + ".html"), Refusal::AddressOnly)
            << refusal;
    EXPECT_EQ(Judge("h:80/admin/next.html"), Refusal::CheckStartPage) << "refusals used up";
    guard.CheckDone(Check::Alive);
    EXPECT_EQ(Judge("h:80/admin/a.html"), Refusal::AddressOnly);
    now += CLoginGuard::kCheckStandsSeconds;
    EXPECT_EQ(Judge("h:80/admin/b.html"), Refusal::CheckStartPage) << "the check grew old";

    // A check that could not tell stands for nothing.
    guard.CheckDone(Check::Unknown);
    EXPECT_EQ(Judge("h:80/admin/c.html"), Refusal::CheckStartPage);
    guard.CheckDone(Check::Alive);

    // Once expired, every refusal waits for a new login; a new one is checked afresh.
    EXPECT_TRUE(guard.Expire());
    EXPECT_EQ(Judge("h:80/admin/d.html"), Refusal::LoginGone);
    guard.Renew();
    EXPECT_EQ(Judge("h:80/admin/e.html"), Refusal::CheckStartPage);
    EXPECT_EQ(Judge("h:80/seen.html"), Refusal::LoginGone);
}

// Refusals that come while one worker checks wait for its finding: one check for them all.
TEST_F(LoginRefusals, RefusalsDuringACheckTakeItsFinding) {
    for (const Check found : {Check::Alive, Check::Gone}) {
        guard.Begin(true);
        guard.AddLoginDomain("h", false);
        ASSERT_EQ(Judge("h:80/first.html"), Refusal::CheckStartPage);
        std::vector<std::future<Refusal>> waiting;
        for (int worker = 0; worker < 3; ++worker)
            waiting.push_back(std::async(std::launch::async, [this, worker] {
                return Judge("h:80/w" + std::to_string(worker) + ".html");
            }));
        for (auto& wait : waiting)
            EXPECT_EQ(wait.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
        if (found == Check::Gone)
            guard.Expire();
        guard.CheckDone(found);
        for (auto& wait : waiting)
            EXPECT_EQ(wait.get(),
                      found == Check::Alive ? Refusal::AddressOnly : Refusal::LoginGone);
    }

    // A worker told to stop does not wait for the check.
    guard.Begin(true);
    ASSERT_EQ(Judge("h:80/first.html"), Refusal::CheckStartPage);
    std::atomic<bool> abort{true};
    EXPECT_EQ(guard.JudgeRefusal("h:80/other.html", abort), Refusal::AddressOnly);
}
