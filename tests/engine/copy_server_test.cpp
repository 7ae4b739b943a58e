// A stored copy over http://127.0.0.1, and nothing from outside it.
#include <gtest/gtest.h>

#include <httplib.h>

#include <filesystem>
#include <fstream>

#include "engine/copy_server.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;

namespace {
void Write(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}
} // namespace

TEST(CopyServer, ServesTheCopysFilesWithTheirTypesAndNothingElse) {
    TempDir dir;
    const fs::path copy = dir.path() / "Site";
    Write(copy / "h" / "index.htm", "<html>home</html>");
    Write(copy / "h" / "search" / "index.json", "{\"docs\":[]}");
    Write(copy / "h" / "app.mjs", "export {}");
    Write(copy / "h" / "empty" / "note.txt", "no index here");
    Write(copy / ".quarn-names", "records");
    Write(dir.path() / "secret.txt", "outside");
    fs::create_symlink(dir.path() / "secret.txt", copy / "h" / "link.txt");
    std::string big(3 * 256 * 1024 + 17, 'x'); // several pieces of the stream
    big[big.size() - 1] = 'y';
    Write(copy / "h" / "big.bin", big);

    CCopyServer server;
    std::string error;
    ASSERT_TRUE(server.Start(copy, 0, error)) << error;
    httplib::Client client("127.0.0.1", server.Port());

    struct Case {
        const char* path;
        int status;
        const char* type;
        const char* body;
    };
    for (const Case& c : {
             Case{"/h/index.htm", 200, "text/html", "<html>home</html>"},
             Case{"/h/", 200, "text/html", "<html>home</html>"},
             Case{"/h/search/index.json", 200, "application/json", "{\"docs\":[]}"},
             Case{"/h/app.mjs", 200, "text/javascript", "export {}"},
             Case{"/h/empty/", 404, nullptr, nullptr}, // no listing
             Case{"/h/missing.htm", 404, nullptr, nullptr},
             Case{"/.quarn-names", 404, nullptr, nullptr},
             Case{"/h/link.txt", 404, nullptr, nullptr}, // a link leading out
             Case{"/../secret.txt", 404, nullptr, nullptr},
             Case{"/h/%2e%2e/%2e%2e/secret.txt", 404, nullptr, nullptr},
             Case{"/h/..%2f..%2fsecret.txt", 404, nullptr, nullptr},
         }) {
        SCOPED_TRACE(c.path);
        const auto answer = client.Get(c.path);
        ASSERT_TRUE(answer);
        EXPECT_EQ(answer->status, c.status);
        if (c.type) {
            EXPECT_EQ(answer->get_header_value("Content-Type"), c.type);
            EXPECT_EQ(answer->body, c.body);
        }
    }
    // A folder asked for without its slash is sent to it, so relative links resolve; the
    // root of a copy of one server goes to that server's folder.
    for (const auto& [asked, sent] : {std::pair{"/h", "/h/"}, std::pair{"/", "/h/"}}) {
        const auto folder = client.Get(asked);
        ASSERT_TRUE(folder);
        EXPECT_EQ(folder->status, 302);
        EXPECT_EQ(folder->get_header_value("Location"), sent);
    }
    // A root-relative address a script of the copy asks for is found below the server
    // folder of the page that asked; only a file there counts.
    const httplib::Headers fromPage{{"Referer", "http://127.0.0.1/h/search/page.html"}};
    const auto moved = client.Get("/search/index.json", fromPage);
    ASSERT_TRUE(moved);
    EXPECT_EQ(moved->status, 302);
    EXPECT_EQ(moved->get_header_value("Location"), "/h/search/index.json");
    for (const char* path : {"/missing.json", "/secret.txt", "/../secret.txt", "/empty/"}) {
        const auto refused = client.Get(path, fromPage);
        ASSERT_TRUE(refused);
        EXPECT_EQ(refused->status, 404) << path;
    }
    const auto whole = client.Get("/h/big.bin");
    ASSERT_TRUE(whole);
    EXPECT_EQ(whole->body, big);
    server.Stop();

    CCopyServer missing;
    EXPECT_FALSE(missing.Start(dir.path() / "nothing", 0, error));
    EXPECT_EQ(error, "it is not a folder");
}
