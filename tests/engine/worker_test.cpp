// One worker's fetch, run on the test's thread against a server on 127.0.0.1.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "engine/engine_ui.h"
#include "engine/file_store.h"
#include "engine/http_session.h"
#include "engine/messages.h"
#include "engine/worker.h"
#include "model/clock.h"
#include "model/site.h"
#include "support/file_text.h"
#include "support/recording_ui.h"
#include "support/site_fixture.h"
#include "support/test_server.h"

namespace fs = std::filesystem;

namespace {
// Stands in for the controller: keeps what the worker posts.
class Inbox : public CMessageThread {
public:
    bool Received(unsigned id) {
        while (PumpIfWaiting(id)) {
        }
        return std::find(m_handled.begin(), m_handled.end(), id) != m_handled.end();
    }

protected:
    void HandleMessage(const CMessage& message) override { m_handled.push_back(message.id); }

private:
    std::vector<unsigned> m_handled;
};

void WriteOldFile(const fs::path& path, const std::string& content) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
    const std::chrono::sys_seconds old{std::chrono::sys_days{std::chrono::year{2001} / 1 / 1}};
    fs::last_write_time(path, std::chrono::file_clock::from_sys(old));
}

class WorkerFetch : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(CInternetSession::Initialise());
        site.m_retries = 3;
        site.SetStartTime(FileClockCrawlStart());
    }

    void Fetch(const std::string& path) {
        CWorker worker(inbox, session, ui);
        worker.Fetch(site, std::make_unique<CUrl>(nullptr, server.Url(path), kLinkFollowed));
    }
    fs::path Stored(const std::string& path) const {
        return dir.path() / "Alpha" / "127.0.0.1" / path;
    }
    std::vector<std::string> FilesIn(const fs::path& folder) const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    SitesDirScope dir;
    CSite site{"Alpha"};
    Inbox inbox;
    CInternetSession session;
    RecordingUi ui;
    TestServer server;
    int gets = 0; // touched by the server's thread only until the fetch returns
};
} // namespace

TEST_F(WorkerFetch, ABrokenTransferLeavesTheEarlierCopyAndNoPartialFile) {
    server.server().Get(
        "/big.bin", [&](const httplib::Request& request, httplib::Response& response) {
            response.set_header("Last-Modified", "Fri, 01 Jan 2100 00:00:00 GMT");
            if (request.method == "HEAD") {
                response.set_content(std::string(100000, 'n'), "application/octet-stream");
                return;
            }
            ++gets;
            response.set_content_provider(100000, "application/octet-stream",
                                          [](std::size_t, std::size_t, httplib::DataSink& sink) {
                                              sink.write(std::string(1000, 'n').data(), 1000);
                                              return false; // the connection breaks
                                          });
        });
    server.Start();
    WriteOldFile(Stored("big.bin"), "earlier");
    Fetch("/big.bin");

    EXPECT_EQ(gets, 1);
    EXPECT_EQ(ReadFileText(Stored("big.bin")), "earlier");
    EXPECT_EQ(FilesIn(Stored("")), std::vector<std::string>{"big.bin"});
    EXPECT_EQ(site.PendingCount(), 1u); // to be tried again
    EXPECT_FALSE(inbox.Received(WM_STOP_ALL));
    EXPECT_TRUE(inbox.Received(WM_WORKER_DONE));
}

TEST_F(WorkerFetch, AFileStoredDuringThisCrawlIsNotTransferredOrTouched) {
    server.server().Get("/b.png",
                        [&](const httplib::Request& request, httplib::Response& response) {
                            gets += request.method == "GET" ? 1 : 0;
                            response.set_content("server", "image/png");
                        });
    server.Start();
    fs::create_directories(Stored(""));
    std::ofstream(Stored("b.png")) << "stored now";
    const auto stamped = fs::last_write_time(Stored("b.png"));
    Fetch("/b.png");
    EXPECT_EQ(gets, 0);
    EXPECT_EQ(ReadFileText(Stored("b.png")), "stored now");
    EXPECT_EQ(fs::last_write_time(Stored("b.png")), stamped);
    EXPECT_EQ(site.m_filesTotal, 1);
}

TEST_F(WorkerFetch, ANameThatClashesWithAStoredFolderFailsThatAddressOnly) {
    server.server().Get("/d.bin", [](const httplib::Request&, httplib::Response& response) {
        response.set_header("Last-Modified", "Fri, 01 Jan 2100 00:00:00 GMT");
        response.set_content("file named like a folder", "image/png");
    });

    server.Start();
    fs::create_directories(Stored("d.bin"));
    WriteOldFile(Stored("d.bin/index.htm"), "page");
    fs::last_write_time(Stored("d.bin"), fs::last_write_time(Stored("d.bin/index.htm")));
    site.m_retries = 1;
    Fetch("/d.bin");
    EXPECT_TRUE(fs::is_directory(Stored("d.bin")));
    EXPECT_EQ(ReadFileText(Stored("d.bin/index.htm")), "page");
    const auto errors = site.GetErrors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_LT(errors[0].code, 0);
    EXPECT_TRUE(ErrorDescription(errors[0]).starts_with("Could not save the file: "))
        << ErrorDescription(errors[0]);
    EXPECT_GT(ErrorDescription(errors[0]).size(), std::string("Could not save the file: ").size());
    EXPECT_FALSE(inbox.Received(WM_STOP_ALL));
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(WorkerFetch, AnEmptyHtmlAnswerWithoutALocalCopyFails) {
    server.server().Get("/empty.htm", [](const httplib::Request&, httplib::Response& response) {
        response.set_content("", "text/html");
    });
    server.Start();
    site.m_retries = 1;
    Fetch("/empty.htm");
    EXPECT_FALSE(fs::exists(Stored("empty.htm")));
    ASSERT_EQ(site.GetErrors().size(), 1u);
    EXPECT_EQ(site.GetErrors()[0].code, 200);
    EXPECT_EQ(ErrorDescription(site.GetErrors()[0]), "Empty answer, and no local copy");
}

TEST_F(WorkerFetch, AnAddressWithNoServerAnswerIsListedWithANegativeCode) {
    server.Start();
    const int port = server.port();
    server.Stop(); // nothing listens there now
    site.m_retries = 1;
    CWorker worker(inbox, session, ui);
    worker.Fetch(site, std::make_unique<CUrl>(
                           nullptr, "http://127.0.0.1:" + std::to_string(port) + "/x.htm", 2));
    const auto errors = site.GetErrors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].code, -7); // CURLE_COULDNT_CONNECT
    EXPECT_EQ(ErrorDescription(errors[0]), "Could not connect to the server");
}

TEST(Redirect, TheTargetIsTheLocationHeadersFirstWordWithoutTrailingBackslashes) {
    EXPECT_EQ(RedirectTarget("HTTP/1.1 302 Found\r\nLocation:   /x.htm\\\\ extra\r\n\r\n"),
              "/x.htm");
    EXPECT_EQ(RedirectTarget("HTTP/1.1 301 Moved\r\nLocation:http://h/a\tb\r\n"), "http://h/a");
    EXPECT_EQ(RedirectTarget("HTTP/1.1 301 Moved\r\nlocation: /x.htm\r\n"), "");
}

TEST(Redirect, TheStubNamesTheTargetAsAFileAddressWithThreeSlashes) {
    const std::string head = "<html>\r\n<head>\r\n<meta http-equiv=Refresh content=\"1;url=";
    const std::string tail = "\">\r\n</head>\r\n<body>\r\nRedirecting...\r\n</body>\r\n</html>\r\n";
    EXPECT_EQ(RedirectStub("/home/u/Sites/a/h/x.htm"),
              head + "file:///home/u/Sites/a/h/x.htm" + tail);
    EXPECT_EQ(RedirectStub("C:\\Sites\\a\\h\\x.htm"),
              head + "file:///C:\\Sites\\a\\h\\x.htm" + tail);
    // A browser must find the file under its stored name.
    EXPECT_EQ(RedirectStub("/s/a b%20c#1.htm"), head + "file:///s/a%20b%2520c%231.htm" + tail);
}

TEST(FileStore, ACommittedWriteReplacesTheFileAndADiscardedOneLeavesIt) {
    SitesDirScope dir;
    const std::string target = (dir.path() / "a" / "b" / "f.txt").string();
    ASSERT_FALSE(SaveContent("first", target));
    {
        CFileWriter writer;
        ASSERT_FALSE(writer.Open(target));
        ASSERT_FALSE(writer.Write("second", 6));
        writer.Discard();
    }
    EXPECT_EQ(ReadFileText(target), "first");
    {
        CFileWriter writer; // destroyed without Commit: the same as Discard
        ASSERT_FALSE(writer.Open(target));
        ASSERT_FALSE(writer.Write("third", 5));
    }
    EXPECT_EQ(ReadFileText(target), "first");
    CFileWriter writer;
    ASSERT_FALSE(writer.Open(target));
    ASSERT_FALSE(writer.Write("fourth", 6));
    ASSERT_FALSE(writer.Commit());
    EXPECT_EQ(ReadFileText(target), "fourth");
    EXPECT_EQ(
        std::distance(fs::directory_iterator(dir.path() / "a" / "b"), fs::directory_iterator()), 1);

    // Nothing is written for an empty buffer.
    const std::string empty = (dir.path() / "empty.txt").string();
    EXPECT_FALSE(SaveContent("", empty));
    EXPECT_FALSE(fs::exists(empty));
}

TEST(FileStore, ReadingRefusesAFileLargerThanTheLimit) {
    SitesDirScope dir;
    const std::string path = (dir.path() / "f.htm").string();
    ASSERT_FALSE(SaveContent("0123456789", path));
    std::string text;
    EXPECT_FALSE(ReadWholeFile(path, text, 10));
    EXPECT_EQ(text, "0123456789");
    EXPECT_EQ(ReadWholeFile(path, text, 9), std::errc::file_too_large);
    EXPECT_TRUE(text.empty());
    EXPECT_TRUE(ReadWholeFile((dir.path() / "missing").string(), text, 9));
}
