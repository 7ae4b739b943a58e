#include "engine/http_session.h"

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/test_server.h"

namespace {

// Holds handlers back until the test is over, so a silent server stays silent.
class Gate {
public:
    void Wait() {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_open; });
    }
    void Open() {
        {
            std::lock_guard lock(m_mutex);
            m_open = true;
        }
        m_changed.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_open = false;
};

// What the server saw of one request.
struct Seen {
    std::string method;
    std::string target;
    int remotePort = 0;
    httplib::Headers headers;

    std::string Header(const std::string& name) const {
        const auto found = headers.find(name); // names compare without regard to case
        return found == headers.end() ? std::string() : found->second;
    }
};

std::string PatternedBody(std::size_t size) {
    std::string body(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        body[i] = static_cast<char>('a' + (i * 7 + i / 251) % 26);
    return body;
}

class HttpSession : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // Traffic must reach the local server even where a proxy is configured.
        setenv("no_proxy", "127.0.0.1", 1);
        setenv("NO_PROXY", "127.0.0.1", 1);
    }

    void SetUp() override {
        ASSERT_TRUE(CInternetSession::Initialise());
        CSessionOptions options;
        options.connectTimeoutSeconds = 5;
        options.requestTimeoutSeconds = 5;
        session.SetOptions(options);
        // Recorded before any handler runs, so a request the client saw answered (or that
        // a handler holds back) is already here.
        server.server().set_pre_routing_handler(
            [this](const httplib::Request& request, httplib::Response&) {
                std::lock_guard lock(m_seenMutex);
                m_seen.push_back(
                    {request.method, request.target, request.remote_port, request.headers});
                return httplib::Server::HandlerResponse::Unhandled;
            });
    }

    void TearDown() override {
        gate.Open();
        server.Stop();
    }

    std::unique_ptr<CHttpConnection> Connect(std::string user = {}, std::string password = {}) {
        return std::make_unique<CHttpConnection>(session, "127.0.0.1", server.port(),
                                                 std::move(user), std::move(password));
    }

    // Runs one request and gathers the body pieces it delivered.
    CHttpAnswer Ask(CHttpConnection& connection, std::string_view verb, std::string_view object) {
        pieces.clear();
        return connection.Request(
            verb, "http", object,
            [this](const char* data, std::size_t size) {
                pieces.emplace_back(data, size);
                return true;
            },
            abort);
    }

    std::string Body() const {
        std::string body;
        for (const auto& piece : pieces)
            body += piece;
        return body;
    }

    std::vector<Seen> SeenRequests() {
        std::lock_guard lock(m_seenMutex);
        return m_seen;
    }

    CInternetSession session;
    TestServer server;
    Gate gate;
    std::atomic<bool> abort{false};
    std::vector<std::string> pieces;

private:
    std::mutex m_seenMutex;
    std::vector<Seen> m_seen;
};

TEST_F(HttpSession, HeadReportsDateLengthAndLowerCaseTypeWithoutBody) {
    server.server().Get("/page.html", [](const httplib::Request&, httplib::Response& response) {
        response.set_header("Last-Modified", "Wed, 21 Oct 2015 07:28:00 GMT");
        response.set_content(std::string(1234, 'x'), "Text/HTML; Charset=UTF-8");
    });
    server.Start();
    auto connection = Connect();

    const CHttpAnswer answer = Ask(*connection, "HEAD", "page.html");

    EXPECT_EQ(answer.status, 200);
    EXPECT_EQ(answer.curlError, 0);
    EXPECT_EQ(answer.lastModified, 1445412480);
    EXPECT_EQ(answer.contentLength, 1234);
    EXPECT_EQ(answer.contentType, "text/html; charset=utf-8");
    EXPECT_TRUE(pieces.empty());
    EXPECT_TRUE(answer.rawHeaders.starts_with("HTTP/1.1 200 OK\r\n")) << answer.rawHeaders;
    EXPECT_NE(answer.rawHeaders.find("\r\nLast-Modified: Wed, 21 Oct 2015 07:28:00 GMT\r\n"),
              std::string::npos);
    EXPECT_TRUE(answer.rawHeaders.ends_with("\r\n"));
    EXPECT_EQ(answer.rawHeaders.find("\r\n\r\n"), std::string::npos);
    ASSERT_EQ(SeenRequests().size(), 1u);
    EXPECT_EQ(SeenRequests()[0].method, "HEAD");
}

TEST_F(HttpSession, GetDeliversTheBodyInPiecesOfAtMost8192Bytes) {
    const std::string body = PatternedBody(100000);
    server.server().Get("/fixed.bin", [&](const httplib::Request&, httplib::Response& response) {
        response.set_content(body, "application/octet-stream");
    });
    // Chunked, in pieces larger than the limit, and without a length.
    server.server().Get("/chunked.bin", [&](const httplib::Request&, httplib::Response& response) {
        response.set_chunked_content_provider(
            "application/octet-stream", [&](std::size_t offset, httplib::DataSink& sink) {
                if (offset < body.size())
                    sink.write(body.data() + offset,
                               std::min<std::size_t>(30000, body.size() - offset));
                else
                    sink.done();
                return true;
            });
    });
    server.Start();
    auto connection = Connect();

    for (const char* object : {"fixed.bin", "chunked.bin"}) {
        SCOPED_TRACE(object);
        const CHttpAnswer answer = Ask(*connection, "GET", object);
        EXPECT_EQ(answer.status, 200);
        EXPECT_EQ(answer.curlError, 0);
        for (const auto& piece : pieces) {
            EXPECT_GT(piece.size(), 0u);
            EXPECT_LE(piece.size(), 8192u);
        }
        EXPECT_EQ(Body(), body);
    }
    EXPECT_EQ(Ask(*connection, "GET", "fixed.bin").contentLength, 100000);
    EXPECT_EQ(Ask(*connection, "GET", "chunked.bin").contentLength, 0);
}

TEST_F(HttpSession, RedirectsComeBackWithTheirLocationLineAsSent) {
    int targetHits = 0;
    server.server().Get("/moved.html", [](const httplib::Request&, httplib::Response& response) {
        response.set_redirect("/target.html", 301);
    });
    server.server().Get("/found.html", [](const httplib::Request&, httplib::Response& response) {
        response.set_redirect("/target.html", 302);
    });
    server.server().Get("/lower.html", [](const httplib::Request&, httplib::Response& response) {
        response.status = 302;
        response.set_header("location", "/target.html");
    });
    server.server().Get("/target.html", [&](const httplib::Request&, httplib::Response& response) {
        ++targetHits;
        response.set_content("target", "text/html");
    });
    server.Start();
    auto connection = Connect();

    for (const auto& [verb, object, status] : {std::tuple{"HEAD", "moved.html", 301},
                                               {"GET", "moved.html", 301},
                                               {"HEAD", "found.html", 302},
                                               {"GET", "found.html", 302}}) {
        SCOPED_TRACE(std::string(verb) + " " + object);
        const CHttpAnswer answer = Ask(*connection, verb, object);
        EXPECT_EQ(answer.status, status);
        EXPECT_EQ(answer.curlError, 0);
        EXPECT_NE(answer.rawHeaders.find("\r\nLocation: /target.html\r\n"), std::string::npos)
            << answer.rawHeaders;
    }
    const CHttpAnswer lower = Ask(*connection, "GET", "lower.html");
    EXPECT_EQ(lower.rawHeaders.find("Location:"), std::string::npos);
    EXPECT_NE(lower.rawHeaders.find("\r\nlocation: /target.html\r\n"), std::string::npos);
    EXPECT_EQ(targetHits, 0);
}

TEST_F(HttpSession, ErrorAnswersGiveTheirStatusAndKeepTheirBodyFromTheSink) {
    server.server().Get("/missing.html", [](const httplib::Request&, httplib::Response& response) {
        response.status = 404;
        response.set_content("<html>not here</html>", "text/html");
    });
    server.server().Get("/no-head.html",
                        [](const httplib::Request& request, httplib::Response& response) {
                            response.status = request.method == "HEAD" ? 405 : 200;
                        });
    server.Start();
    auto connection = Connect();

    CHttpAnswer answer = Ask(*connection, "GET", "missing.html");
    EXPECT_EQ(answer.status, 404);
    EXPECT_EQ(answer.curlError, 0);
    EXPECT_TRUE(pieces.empty());
    EXPECT_EQ(answer.contentType, "text/html");

    answer = Ask(*connection, "HEAD", "no-head.html");
    EXPECT_EQ(answer.status, 405);
    EXPECT_EQ(answer.curlError, 0);
}

TEST_F(HttpSession, SinkReturningFalseStopsTheTransfer) {
    const std::string body = PatternedBody(100000);
    server.server().Get("/big.bin", [&](const httplib::Request&, httplib::Response& response) {
        response.set_content(body, "application/octet-stream");
    });
    server.Start();
    auto connection = Connect();

    int calls = 0;
    const CHttpAnswer answer = connection->Request(
        "GET", "http", "big.bin",
        [&](const char*, std::size_t) {
            ++calls;
            return false;
        },
        abort);

    EXPECT_EQ(calls, 1);
    EXPECT_EQ(answer.curlError, CURLE_WRITE_ERROR);
    EXPECT_FALSE(answer.errorText.empty());
    EXPECT_EQ(answer.status, 200);
    EXPECT_FALSE(answer.aborted);
}

TEST_F(HttpSession, AbortEndsARequestWaitingForTheAnswer) {
    server.server().Get("/slow.html", [&](const httplib::Request&, httplib::Response& response) {
        abort = true;
        gate.Wait();
        response.set_content("late", "text/html");
    });
    server.Start();
    auto connection = Connect();

    const CHttpAnswer answer = Ask(*connection, "GET", "slow.html");

    EXPECT_TRUE(answer.aborted);
    EXPECT_EQ(answer.curlError, CURLE_ABORTED_BY_CALLBACK);
    EXPECT_EQ(answer.status, 0);
}

TEST_F(HttpSession, AbortEndsATransferInTheMiddleOfTheBody) {
    const std::string body = PatternedBody(8192);
    server.server().Get("/stalls.bin", [&](const httplib::Request&, httplib::Response& response) {
        response.set_chunked_content_provider("application/octet-stream",
                                              [&](std::size_t offset, httplib::DataSink& sink) {
                                                  if (offset == 0) {
                                                      sink.write(body.data(), body.size());
                                                  } else {
                                                      gate.Wait();
                                                      sink.done();
                                                  }
                                                  return true;
                                              });
    });
    server.Start();
    auto connection = Connect();

    std::string received;
    const CHttpAnswer answer = connection->Request(
        "GET", "http", "stalls.bin",
        [&](const char* data, std::size_t size) {
            received.append(data, size);
            abort = received.size() == body.size();
            return true;
        },
        abort);

    EXPECT_TRUE(answer.aborted);
    EXPECT_EQ(answer.curlError, CURLE_ABORTED_BY_CALLBACK);
    EXPECT_EQ(answer.status, 200);
    EXPECT_EQ(received, body);
}

TEST_F(HttpSession, SilentServerFailsAfterTheRequestTimeout) {
    server.server().Get("/silent.html",
                        [&](const httplib::Request&, httplib::Response&) { gate.Wait(); });
    server.Start();
    CSessionOptions options = session.GetOptions();
    options.requestTimeoutSeconds = 1;
    session.SetOptions(options);
    auto connection = Connect();

    const CHttpAnswer answer = Ask(*connection, "GET", "silent.html");

    EXPECT_EQ(answer.curlError, CURLE_OPERATION_TIMEDOUT);
    EXPECT_EQ(answer.status, 0);
    EXPECT_FALSE(answer.aborted);
    EXPECT_FALSE(answer.errorText.empty());
}

TEST_F(HttpSession, RefusedConnectionGivesAnErrorAndNoStatus) {
    // A port that was free a moment ago: bound, then released without listening.
    const int probe = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(probe, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    socklen_t length = sizeof address;
    ASSERT_EQ(getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length), 0);
    close(probe);

    CHttpConnection connection(session, "127.0.0.1", ntohs(address.sin_port), "", "");
    EXPECT_EQ(connection.Port(), ntohs(address.sin_port));
    const CHttpAnswer answer = Ask(connection, "HEAD", "index.html");

    EXPECT_EQ(answer.curlError, CURLE_COULDNT_CONNECT);
    EXPECT_EQ(answer.status, 0);
    EXPECT_FALSE(answer.errorText.empty());
    EXPECT_TRUE(answer.rawHeaders.empty());
    EXPECT_FALSE(answer.aborted);
}

TEST_F(HttpSession, SendsTheUserAgentOfTheCurrentOptionsAndAsksForNoCache) {
    server.server().Get("/page.html", [](const httplib::Request&, httplib::Response& response) {
        response.set_content("page", "text/html");
    });
    server.Start();
    auto connection = Connect();

    Ask(*connection, "GET", "page.html");
    CSessionOptions options = session.GetOptions();
    options.userAgent = "Mirror-Test/2.5";
    session.SetOptions(options);
    Ask(*connection, "HEAD", "page.html");

    const auto seen = SeenRequests();
    ASSERT_EQ(seen.size(), 2u);
    const std::string defaultAgent = seen[0].Header("User-Agent");
    EXPECT_TRUE(defaultAgent.starts_with("Quarn/")) << defaultAgent;
    EXPECT_GT(defaultAgent.size(), 6u);
    EXPECT_EQ(seen[1].Header("User-Agent"), "Mirror-Test/2.5");
    for (const auto& request : seen) {
        EXPECT_EQ(request.Header("Cache-Control"), "no-cache");
        EXPECT_EQ(request.Header("Pragma"), "no-cache");
        EXPECT_FALSE(request.headers.count("Authorization"));
    }
}

TEST_F(HttpSession, ReusesOneConnectionForConsecutiveRequests) {
    server.server().Get("/a.html", [](const httplib::Request&, httplib::Response& response) {
        response.set_header("Last-Modified", "Wed, 21 Oct 2015 07:28:00 GMT");
        response.set_content("first page", "text/html");
    });
    // A type the server does not compress, so that the length is the file's.
    server.server().Get("/b.css", [](const httplib::Request&, httplib::Response& response) {
        response.set_content("second", "font/woff2");
    });
    server.Start();
    auto connection = Connect();

    EXPECT_EQ(Ask(*connection, "HEAD", "a.html").lastModified, 1445412480);
    EXPECT_EQ(Ask(*connection, "GET", "a.html").status, 200);
    EXPECT_EQ(Body(), "first page");
    // Nothing of the previous answer may linger on the reused handle.
    const CHttpAnswer head = Ask(*connection, "HEAD", "b.css");
    EXPECT_TRUE(pieces.empty());
    EXPECT_EQ(head.lastModified, 0);
    EXPECT_EQ(head.contentType, "font/woff2");
    EXPECT_EQ(head.contentLength, 6);
    auto other = Connect();
    Ask(*other, "GET", "b.css");

    const auto seen = SeenRequests();
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[0].method, "HEAD");
    EXPECT_EQ(seen[1].method, "GET");
    EXPECT_EQ(seen[2].method, "HEAD");
    // The client's port names the TCP connection.
    EXPECT_EQ(seen[1].remotePort, seen[0].remotePort);
    EXPECT_EQ(seen[2].remotePort, seen[0].remotePort);
    EXPECT_NE(seen[3].remotePort, seen[0].remotePort);
}

TEST_F(HttpSession, BasicLoginAnswersTheServersChallenge) {
    // "alice:open sesame" in base 64.
    server.server().Get(
        "/private.html", [](const httplib::Request& request, httplib::Response& response) {
            if (request.get_header_value("Authorization") == "Basic YWxpY2U6b3BlbiBzZXNhbWU=") {
                response.set_content("secret", "text/html");
                return;
            }
            response.status = 401;
            response.set_header("WWW-Authenticate", "Basic realm=\"test\"");
        });
    server.Start();

    auto connection = Connect("alice", "open sesame");
    CHttpAnswer answer = Ask(*connection, "GET", "private.html");
    EXPECT_EQ(answer.status, 200);
    EXPECT_EQ(Body(), "secret");
    EXPECT_TRUE(answer.rawHeaders.starts_with("HTTP/1.1 200 OK\r\n")) << answer.rawHeaders;
    EXPECT_EQ(answer.rawHeaders.find("401"), std::string::npos);

    auto wrong = Connect("alice", "guess");
    answer = Ask(*wrong, "GET", "private.html");
    EXPECT_EQ(answer.status, 401);
    EXPECT_TRUE(pieces.empty());
    answer = Ask(*Connect(), "GET", "private.html");
    EXPECT_EQ(answer.status, 401);
}

// The server cannot check the digest itself here (no MD5 at hand); it checks that the
// login is answered with a digest for the right user and address.
TEST_F(HttpSession, DigestLoginAnswersTheServersChallenge) {
    server.server().Get("/digest.html", [](const httplib::Request& request,
                                           httplib::Response& response) {
        const std::string login = request.get_header_value("Authorization");
        if (login.starts_with("Digest ") && login.find("username=\"alice\"") != std::string::npos &&
            login.find("uri=\"/digest.html\"") != std::string::npos &&
            login.find("nonce=\"0123456789abcdef\"") != std::string::npos &&
            login.find("response=\"") != std::string::npos) {
            response.set_content("secret", "text/html");
            return;
        }
        response.status = 401;
        response.set_header("WWW-Authenticate",
                            "Digest realm=\"test\", nonce=\"0123456789abcdef\", qop=\"auth\"");
    });
    server.Start();

    auto connection = Connect("alice", "open sesame");
    const CHttpAnswer answer = Ask(*connection, "GET", "digest.html");
    EXPECT_EQ(answer.status, 200);
    EXPECT_EQ(Body(), "secret");
    EXPECT_EQ(answer.rawHeaders.find("WWW-Authenticate"), std::string::npos) << answer.rawHeaders;
}

TEST_F(HttpSession, WorkersFetchAtOnceWhileTheOptionsChange) {
    server.server().Get(R"(/page(\d+)\.html)",
                        [](const httplib::Request& request, httplib::Response& response) {
                            response.set_content("page " + request.matches[1].str(), "text/html");
                        });
    server.Start();

    constexpr int kWorkers = 4;
    constexpr int kPagesEach = 5;
    std::vector<std::vector<std::string>> bodies(kWorkers);
    std::vector<std::thread> workers;
    for (int worker = 0; worker < kWorkers; ++worker) {
        workers.emplace_back([&, worker] {
            CHttpConnection connection(session, "127.0.0.1", server.port(), "", "");
            for (int page = 0; page < kPagesEach; ++page) {
                std::string body;
                connection.Request(
                    "GET", "http", "page" + std::to_string(worker * kPagesEach + page) + ".html",
                    [&](const char* data, std::size_t size) {
                        body.append(data, size);
                        return true;
                    },
                    abort);
                bodies[worker].push_back(body);
            }
        });
    }
    for (int round = 0; round < 20; ++round) {
        CSessionOptions options = session.GetOptions();
        options.userAgent = "Agent/" + std::to_string(round);
        session.SetOptions(options);
    }
    for (auto& worker : workers)
        worker.join();

    for (int worker = 0; worker < kWorkers; ++worker) {
        ASSERT_EQ(bodies[worker].size(), std::size_t{kPagesEach});
        for (int page = 0; page < kPagesEach; ++page)
            EXPECT_EQ(bodies[worker][page], "page " + std::to_string(worker * kPagesEach + page));
    }
}

struct TargetCase {
    const char* objectName;
    const char* target; // as the server receives it
};

class HttpSessionTargets : public HttpSession, public ::testing::WithParamInterface<TargetCase> {};

TEST_P(HttpSessionTargets, ObjectNameIsSentAsGiven) {
    server.server().Get(R"(/.*)", [](const httplib::Request&, httplib::Response& response) {
        response.set_content("any", "text/plain");
    });
    server.Start();
    auto connection = Connect();

    EXPECT_EQ(Ask(*connection, "GET", GetParam().objectName).status, 200);

    const auto seen = SeenRequests();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].target, GetParam().target);
}

INSTANTIATE_TEST_SUITE_P(
    Http, HttpSessionTargets,
    ::testing::Values(TargetCase{"", "/"}, TargetCase{"space%20page.html", "/space%20page.html"},
                      TargetCase{"space page.html", "/space%20page.html"},
                      TargetCase{"dir/./sub/../x.html", "/dir/./sub/../x.html"},
                      TargetCase{"find.cgi?q=a+b&x=%2F", "/find.cgi?q=a+b&x=%2F"},
                      TargetCase{"caf\xC3\xA9.html", "/caf%C3%A9.html"},
                      TargetCase{"a#b.html", "/a%23b.html"}));

} // namespace
