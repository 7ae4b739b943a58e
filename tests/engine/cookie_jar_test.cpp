// The crawl's cookie jar: what it takes from a cookies.txt, what it gives back, and the
// file it is saved to.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>

#include "engine/cookie_jar.h"
#include "engine/http_session.h"
#include "support/file_text.h"
#include "support/temp_dir.h"

TEST(CookieJar, TakesOnlyCookieLinesAndGivesThemBack) {
    ASSERT_TRUE(CInternetSession::Initialise());
    CCookieJar jar;
    ASSERT_TRUE(jar.IsUsable());
    // Comments, commands libcurl would obey ("ALL" clears the jar, "RELOAD" reads files),
    // short lines and control bytes are passed over.
    const int taken = jar.Load("# Netscape HTTP Cookie File\r\n"
                               "example.org\tTRUE\t/\tFALSE\t0\tsid\tabc\r\n"
                               "ALL\n"
                               "RELOAD\n"
                               "\n"
                               "#HttpOnly_.example.org\tTRUE\t/app\tTRUE\t4102444800\ttok\txyz\n"
                               "broken\tline\n"
                               "example.org\tTRUE\t/\tFALSE\t0\tbad\tv\x01\n");
    EXPECT_EQ(taken, 2);
    const std::string text = jar.Text();
    EXPECT_TRUE(text.starts_with("# Netscape HTTP Cookie File\n")) << text;
    EXPECT_NE(text.find("\tsid\tabc"), std::string::npos) << text;
    EXPECT_NE(text.find("#HttpOnly_.example.org\tTRUE\t/app\tTRUE\t4102444800\ttok\txyz"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("bad"), std::string::npos) << text;

    // What the jar gives back loads into another as the same cookies.
    CCookieJar again;
    EXPECT_EQ(again.Load(text), 2);
    EXPECT_EQ(again.Text(), text);
}

TEST(CookieJar, SavedFileIsTheOwnersAloneEvenWhenItWasNot) {
    TempDir dir;
    const auto path = dir.path() / "jar.txt";
    std::ofstream(path) << "an older, longer text than the new one";
    ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
    ASSERT_FALSE(WriteOwnerOnlyFile(path, "new"));
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(ReadFileText(path), "new");
    EXPECT_TRUE(WriteOwnerOnlyFile(dir.path() / "no" / "such" / "folder.txt", "x"));
}
