// What a crawl that sends cookies reads as logging out, and as a login page: the words
// count where they stand as words, not inside others.

#include <gtest/gtest.h>

#include <string>

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
    guard.NoteAnswered("h:80");
    EXPECT_TRUE(guard.HasAnswered("h:80"));
    EXPECT_FALSE(guard.HasAnswered("h:8080"));
    EXPECT_TRUE(guard.Expire());
    EXPECT_FALSE(guard.Expire()) << "told once";

    guard.Begin(false);
    EXPECT_FALSE(guard.Active() || guard.Expired() || guard.HasAnswered("h:80"));
    EXPECT_TRUE(guard.FirstLogoutNote("http://h/logout"));
}
