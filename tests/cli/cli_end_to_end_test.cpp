// quarn-cli end to end: the built program mirrors small sites served on 127.0.0.1, and
// its exit codes, output and Ctrl+C behave as a user relies on.

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <csignal>
#include <fstream>
#include <map>
#include <mutex>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

#include "cli/exit_codes.h"
#include "cli_process.h"
#include "model/json_text.h"
#include "model/project.h"
#include "model/site.h"
#include "support/codings.h"
#include "support/file_text.h"
#include "support/temp_dir.h"
#include "support/test_server.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// A site whose pages may name the server's own port as "{PORT}" (filled in when the
// page is served, since the port is only known once the server listens). Every request
// is logged; one path can be held so that its answers wait.
class PortSite {
public:
    struct Page {
        std::string body;
        std::string contentType = "text/html";
        std::string contentEncoding; // sent as it is, the body already in that coding
    };

    // heldPath is answered once Release is called; with midBody, half of a large body goes
    // out first, so the crawl is writing a temporary file while it waits.
    explicit PortSite(std::map<std::string, Page> pages, std::string heldPath = {},
                      bool midBody = false)
        : m_pages(std::move(pages)), m_held(std::move(heldPath)), m_midBody(midBody) {
        m_server.server().Get(".*",
                              [this](const httplib::Request& request, httplib::Response& response) {
                                  Answer(request, response);
                              });
        m_server.Start();
    }
    ~PortSite() {
        Release();
        m_server.Stop();
    }

    std::string Url(const std::string& path) const { return m_server.Url(path); }
    // Changes a page between runs.
    void Replace(const std::string& path, Page page) {
        std::lock_guard lock(m_mutex);
        m_pages[path] = std::move(page);
    }

    bool WaitForRequest(const std::string& path, std::chrono::seconds limit = 30s) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, limit, [&] { return m_requested.contains(path); });
    }
    bool Requested(const std::string& path) const {
        std::lock_guard lock(m_mutex);
        return m_requested.contains(path);
    }
    int Count(const std::string& path) const {
        std::lock_guard lock(m_mutex);
        return static_cast<int>(m_requested.count(path));
    }
    void Release() {
        std::lock_guard lock(m_mutex);
        m_released = true;
        m_changed.notify_all();
    }

private:
    void AnswerHalfThenHold(httplib::Response& response) {
        constexpr std::size_t kSize = 1 << 20;
        response.set_content_provider(
            kSize, "application/octet-stream",
            [this](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                if (offset == 0) {
                    const std::string half(kSize / 2, 'x');
                    return sink.write(half.data(), half.size());
                }
                std::unique_lock lock(m_mutex);
                m_changed.wait_for(lock, 60s, [&] { return m_released; });
                return false; // the rest never comes
            });
    }

    void Answer(const httplib::Request& request, httplib::Response& response) {
        {
            std::unique_lock lock(m_mutex);
            m_requested.insert(request.path);
            m_changed.notify_all();
            if (request.path == m_held && m_midBody) {
                AnswerHalfThenHold(response);
                return;
            }
            if (request.path == m_held)
                m_changed.wait_for(lock, 60s, [&] { return m_released; });
        }
        Page page;
        {
            std::lock_guard lock(m_mutex);
            const auto found = m_pages.find(request.path);
            if (found == m_pages.end()) {
                response.status = 404;
                response.set_content("not found", "text/html");
                return;
            }
            page = found->second;
        }
        const std::string port = std::to_string(m_server.port());
        std::string body = page.body;
        for (auto at = body.find("{PORT}"); at != std::string::npos; at = body.find("{PORT}"))
            body.replace(at, 6, port);
        if (!page.contentEncoding.empty())
            response.set_header("Content-Encoding", page.contentEncoding);
        response.set_content(body, page.contentType.c_str());
    }

    std::map<std::string, Page> m_pages;
    const std::string m_held;
    const bool m_midBody;
    TestServer m_server;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::multiset<std::string> m_requested;
    bool m_released = false;
};

const std::string kLogo = std::string("\x89PNG\r\n\x1a\n", 8) + std::string(3000, '\x7f');

// Three pages and an image on 127.0.0.1, and a link to the same server under another
// name (localhost), which only --span-hosts follows.
std::map<std::string, PortSite::Page> SmallSite() {
    return {
        {"/", {R"(<html><body><a href="/page2.html">two</a> <a href="sub/three.html">three</a>
<img src="logo.png"> <a href="http://localhost:{PORT}/other.html">other</a></body></html>)"}},
        {"/page2.html", {R"(<a href="/">home</a> <a href="sub/three.html">three</a>)"}},
        {"/sub/three.html", {R"(<a href="../page2.html">two</a> <img src="/logo.png">)"}},
        {"/logo.png", {kLogo, "image/png"}},
        {"/other.html", {"<p>elsewhere</p>"}},
    };
}

// Every file below root, as paths relative to it.
std::set<std::string> FilesBelow(const fs::path& root) {
    std::set<std::string> files;
    if (!fs::exists(root))
        return files;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        if (entry.is_regular_file())
            files.insert(entry.path().lexically_relative(root).generic_string());
    return files;
}

// The href and src values of a stored page.
std::vector<std::string> LinksOf(const fs::path& page) {
    static const std::regex kLink(R"re((?:href|src)="([^"]*)")re");
    const std::string text = ReadFileText(page);
    std::vector<std::string> links;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), kLink);
         it != std::sregex_iterator(); ++it)
        links.push_back((*it)[1].str());
    return links;
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class CliEndToEnd : public ::testing::Test {
protected:
    fs::path SitesDir() const { return work.path() / "out"; }

    TempDir work;
};

} // namespace

TEST_F(CliEndToEnd, MirrorStoresTheSiteWithLinksToLocalFiles) {
    PortSite site(SmallSite());
    CliProcess cli({"mirror", site.Url("/"), "--name", "Test", "--sites-dir", SitesDir().string(),
                    "--workers", "2"});
    ASSERT_EQ(cli.Wait(), kExitOk) << cli.Err();

    const fs::path host = SitesDir() / "Test" / "127.0.0.1";
    EXPECT_EQ(FilesBelow(SitesDir()),
              (std::set<std::string>{"Test/127.0.0.1/index.htm", "Test/127.0.0.1/page2.html",
                                     "Test/127.0.0.1/sub/three.html", "Test/127.0.0.1/logo.png",
                                     "Test/.quarn-records", "Test/.quarn-changes",
                                     "Test/.quarn-names", "Test/.quarn-links"}));
    EXPECT_EQ(ReadFileText(host / "logo.png"), kLogo);
    // The other server is outside the default scope: never asked, its link left absolute.
    EXPECT_FALSE(site.Requested("/other.html"));

    int localLinks = 0;
    for (const char* page : {"index.htm", "page2.html", "sub/three.html"}) {
        for (const auto& link : LinksOf(host / page)) {
            if (link.starts_with("http://localhost:"))
                continue;
            ++localLinks;
            EXPECT_FALSE(link.starts_with("/") || Contains(link, "://")) << page << ": " << link;
            EXPECT_TRUE(fs::is_regular_file((host / page).parent_path() / link))
                << page << ": " << link;
        }
    }
    EXPECT_EQ(localLinks, 7);

    const std::string out = cli.Out();
    EXPECT_TRUE(Contains(out, "Test: Done, 4 files")) << out;
    EXPECT_TRUE(Contains(cli.Err(), "Test: started")) << cli.Err();
}

TEST_F(CliEndToEnd, SpanHostsFollowsLinksToOtherServers) {
    PortSite site(SmallSite());
    CliProcess cli({"mirror", site.Url("/"), "--name", "Test", "--sites-dir", SitesDir().string(),
                    "--span-hosts", "--quiet"});
    ASSERT_EQ(cli.Wait(), kExitOk) << cli.Err();
    EXPECT_TRUE(fs::is_regular_file(SitesDir() / "Test" / "localhost" / "other.html"));
    // Quiet leaves only the summary.
    EXPECT_EQ(cli.Err(), "");
    EXPECT_TRUE(Contains(cli.Out(), "Test: Done")) << cli.Out();
}

TEST_F(CliEndToEnd, FailedAddressExitsWithOneAndIsListedInTheLog) {
    PortSite site(std::map<std::string, PortSite::Page>{
        {"/", {R"(<a href="missing.html">gone</a> <a href="here.html">here</a>)"}},
        {"/here.html", {"<p>here</p>"}}});
    CliProcess cli({"mirror", site.Url("/"), "--name", "Broken", "--sites-dir", SitesDir().string(),
                    "--retries", "1", "--log", "--quiet"});
    ASSERT_EQ(cli.Wait(), kExitAddressesFailed) << cli.Err();
    const std::string out = cli.Out();
    EXPECT_TRUE(Contains(out, "Broken: Done, ")) << out;
    EXPECT_TRUE(Contains(out, "1 error in")) << out;
    EXPECT_TRUE(Contains(out, "   Started\n")) << out;
    EXPECT_TRUE(Contains(out, "   Finished\n")) << out;
    EXPECT_TRUE(Contains(out, "  404  Not Found  " + site.Url("/missing.html") + "\n")) << out;
    EXPECT_TRUE(fs::is_regular_file(SitesDir() / "Broken" / "127.0.0.1" / "here.html"));
}

// A compressed file that comes cut short on an update, though its Content-Length is met,
// is a failed address: the stored copy stays as it was and the exit code says so.
TEST_F(CliEndToEnd, ACutCompressedAnswerKeepsTheCopyAndExitsWithOne) {
    const std::string text = codings::Verbose(100000);
    const std::string gzip = codings::Gzip(text);
    PortSite site(std::map<std::string, PortSite::Page>{
        {"/", {R"(<a href="data.bin">data</a>)"}},
        {"/data.bin", {gzip, "application/octet-stream", "gzip"}}});
    const std::vector<std::string> mirror = {"mirror",    site.Url("/"), "--name",
                                             "Cut",       "--sites-dir", SitesDir().string(),
                                             "--retries", "1",           "--quiet"};
    CliProcess first(mirror);
    ASSERT_EQ(first.Wait(), kExitOk) << first.Err();
    const fs::path data = SitesDir() / "Cut" / "127.0.0.1" / "data.bin";
    ASSERT_TRUE(ReadFileText(data) == text);

    site.Replace("/data.bin",
                 {gzip.substr(0, gzip.size() / 2), "application/octet-stream", "gzip"});
    CliProcess update(mirror);
    ASSERT_EQ(update.Wait(), kExitAddressesFailed) << update.Err();
    EXPECT_TRUE(ReadFileText(data) == text);
    const std::string out = update.Out();
    EXPECT_TRUE(Contains(out, " 1 failed")) << out;
    EXPECT_TRUE(Contains(out, "    -18  Transfer ended early  " + site.Url("/data.bin") + "\n"))
        << out;
}

// A doubly gzipped answer of a few hundred bytes that decodes to 100 MB is cut while it
// is decoded: nothing of it is stored, it is listed with its reason, and the exit code
// says an address failed.
TEST_F(CliEndToEnd, ABombIsCutListedWithItsReasonAndExitsWithOne) {
    PortSite site(std::map<std::string, PortSite::Page>{
        {"/", {R"(<a href="bomb.bin">bomb</a> <a href="here.html">here</a>)"}},
        {"/here.html", {"<p>here</p>"}},
        {"/bomb.bin", {codings::DoubleGzipBomb(), "application/octet-stream", "gzip, gzip"}}});
    CliProcess cli(
        {"mirror", site.Url("/"), "--name", "Bomb", "--sites-dir", SitesDir().string(), "--quiet"});
    ASSERT_EQ(cli.Wait(), kExitAddressesFailed) << cli.Err();
    const std::string out = cli.Out();
    EXPECT_TRUE(
        Contains(out, "    -63  Answer expands beyond reason  " + site.Url("/bomb.bin") + "\n"))
        << out;
    EXPECT_EQ(site.Count("/bomb.bin"), 1);
    EXPECT_EQ(FilesBelow(SitesDir() / "Bomb" / "127.0.0.1"),
              (std::set<std::string>{"index.htm", "here.html"}));
    std::uintmax_t largest = 0;
    for (const auto& entry : fs::recursive_directory_iterator(SitesDir()))
        if (entry.is_regular_file())
            largest = std::max(largest, entry.file_size());
    EXPECT_LT(largest, 1u << 20);
}

// --max-size and --max-space count the files as stored, decoded, not the few bytes a
// compressed answer takes on the wire; so does the summary.
TEST_F(CliEndToEnd, SizeAndSpaceLimitsCountStoredBytes) {
    const std::string index = R"(<a href="big.bin">b</a> <a href="fits.bin">f</a>)";
    PortSite sized(std::map<std::string, PortSite::Page>{
        {"/", {index}},
        {"/big.bin", {codings::GzipOfRun(5 << 20), "application/octet-stream", "gzip"}},
        {"/fits.bin", {codings::GzipOfRun(600 << 10, 'f'), "application/octet-stream", "gzip"}}});
    CliProcess bySize({"mirror", sized.Url("/"), "--name", "Sized", "--sites-dir",
                       SitesDir().string(), "--max-size", "1M"});
    ASSERT_EQ(bySize.Wait(), kExitOk) << bySize.Err();
    EXPECT_TRUE(Contains(bySize.Out(), "Sized: Done, 2 files, 600.0 KB, 0 errors")) << bySize.Out();
    EXPECT_EQ(FilesBelow(SitesDir() / "Sized" / "127.0.0.1"),
              (std::set<std::string>{"index.htm", "fits.bin"}));

    PortSite spaced(std::map<std::string, PortSite::Page>{
        {"/", {R"(<a href="a.bin">a</a> <a href="b.bin">b</a> <a href="c.bin">c</a>)"}},
        {"/a.bin", {codings::GzipOfRun(400 << 10, 'a'), "application/octet-stream", "gzip"}},
        {"/b.bin", {codings::GzipOfRun(400 << 10, 'b'), "application/octet-stream", "gzip"}},
        {"/c.bin", {codings::GzipOfRun(400 << 10, 'c'), "application/octet-stream", "gzip"}}});
    CliProcess bySpace({"mirror", spaced.Url("/"), "--name", "Spaced", "--sites-dir",
                        SitesDir().string(), "--max-space", "1M", "--workers", "1", "--log",
                        "--quiet"});
    ASSERT_EQ(bySpace.Wait(), kExitStopped) << bySpace.Err();
    EXPECT_TRUE(Contains(bySpace.Out(), "Stopped: the space limit of 1048576 bytes was reached"))
        << bySpace.Out();
    std::uintmax_t stored = 0;
    for (const auto& entry : fs::recursive_directory_iterator(SitesDir() / "Spaced"))
        if (entry.is_regular_file() && entry.path().extension() == ".bin")
            stored += entry.file_size();
    EXPECT_EQ(stored, 800u << 10);
}

TEST_F(CliEndToEnd, MissingFetchesOnlyTheDeletedFilesAndTheLogSaysTheCopyIsComplete) {
    PortSite site(SmallSite());
    const std::vector<std::string> mirror = {"mirror", site.Url("/"), "--name",
                                             "Test",   "--sites-dir", SitesDir().string()};
    CliProcess first(mirror);
    ASSERT_EQ(first.Wait(), kExitOk) << first.Err();
    const fs::path host = SitesDir() / "Test" / "127.0.0.1";
    fs::remove(host / "logo.png");
    fs::remove(host / "sub" / "three.html");

    auto args = mirror;
    args.insert(args.end(), {"--missing", "--log", "--quiet"});
    CliProcess missing(args);
    ASSERT_EQ(missing.Wait(), kExitOk) << missing.Err();
    EXPECT_EQ(ReadFileText(host / "logo.png"), kLogo);
    EXPECT_TRUE(fs::is_regular_file(host / "sub" / "three.html"));
    EXPECT_EQ(site.Count("/logo.png"), 2);
    EXPECT_EQ(site.Count("/sub/three.html"), 2);
    EXPECT_EQ(site.Count("/"), 1);
    EXPECT_EQ(site.Count("/page2.html"), 1);
    const std::string out = missing.Out();
    EXPECT_TRUE(Contains(out, "   Links left to the server: 1 (other server 1)\n")) << out;
    EXPECT_TRUE(Contains(out, "   Local links whose file is missing: none\n")) << out;

    args.push_back("--fresh");
    CliProcess both(args);
    EXPECT_EQ(both.Wait(), kExitUsage);
}

TEST_F(CliEndToEnd, TheSummaryListsFailedAddressesAndChangesWritesTheChangedFiles) {
    // 22 missing pages: the summary shows the first 20 and counts the rest.
    std::string links = R"(<a href="here.html">here</a> <a href="http://localhost:{PORT}/">x</a>)";
    for (int i = 1; i <= 22; ++i)
        links += "<a href=\"missing" + std::to_string(i) + ".html\">m</a>";
    PortSite site(
        std::map<std::string, PortSite::Page>{{"/", {links}}, {"/here.html", {"<p>here</p>"}}});
    const fs::path changes = work.path() / "changes.jsonl";
    CliProcess cli({"mirror", site.Url("/"), "--name", "Broken", "--sites-dir", SitesDir().string(),
                    "--retries", "1", "--quiet", "--changes", changes.string()});
    ASSERT_EQ(cli.Wait(), kExitAddressesFailed) << cli.Err();

    const std::string out = cli.Out();
    EXPECT_TRUE(Contains(out, "\n  Files: 2 new, 0 changed, 0 unchanged, 22 failed, 1 skipped by "
                              "rules\n  Failed:\n"))
        << out;
    static const std::regex kFailedLine(
        R"(\n    404  Not Found  http://127\.0\.0\.1:\d+/missing\d+\.html)");
    EXPECT_EQ(std::distance(std::sregex_iterator(out.begin(), out.end(), kFailedLine),
                            std::sregex_iterator()),
              20)
        << out;
    EXPECT_TRUE(out.ends_with("\n    ... and 2 more (--log lists them all)\n")) << out;

    std::ifstream in(changes);
    std::map<std::string, std::map<std::string, std::string>> byUrl;
    std::string line;
    while (std::getline(in, line)) {
        auto members = ReadJsonStringObject(line);
        ASSERT_TRUE(members) << line;
        byUrl[members->at("url")] = *members;
    }
    ASSERT_EQ(byUrl.size(), 24u);
    const fs::path host = SitesDir() / "Broken" / "127.0.0.1";
    for (const auto& [path, file] : {std::pair{"/", "index.htm"}, {"/here.html", "here.html"}}) {
        const auto& entry = byUrl[site.Url(path)];
        EXPECT_EQ(entry.at("status"), "new") << path;
        EXPECT_EQ(entry.at("local_path"), (host / file).string()) << path;
        EXPECT_TRUE(fs::is_regular_file(entry.at("local_path"))) << path;
    }
    EXPECT_EQ(byUrl[site.Url("/missing7.html")].at("status"), "failed");
}

TEST_F(CliEndToEnd, CtrlCStopsTheCrawlAndPrintsTheSummary) {
    // The first page never answers until the test is over, so the crawl is surely
    // running when Ctrl+C arrives.
    PortSite site(SmallSite(), "/");
    CliProcess cli({"mirror", site.Url("/"), "--name", "Slow", "--sites-dir", SitesDir().string()});
    ASSERT_TRUE(site.WaitForRequest("/"));
    cli.Signal(SIGINT);
    EXPECT_EQ(cli.Wait(), kExitInterrupted) << cli.Err();
    const std::string out = cli.Out();
    EXPECT_TRUE(out.starts_with("Slow: Aborted, ")) << out;
    EXPECT_TRUE(Contains(out, ", 0 bytes, 0 errors in ")) << out;
    EXPECT_TRUE(Contains(cli.Err(), "Stopping")) << cli.Err();
}

TEST_F(CliEndToEnd, SigtermAndSighupStopLikeCtrlCAndLeaveNoTemporaryFile) {
    for (const auto& [signal, code] :
         {std::pair{SIGTERM, kExitTerminated}, {SIGHUP, kExitHungUp}}) {
        PortSite site({{"/", {"<a href=big.bin>b</a>"}}}, "/big.bin", true);
        CliProcess cli(
            {"mirror", site.Url("/"), "--name", "Slow", "--sites-dir", SitesDir().string()});
        ASSERT_TRUE(site.WaitForRequest("/big.bin"));
        const auto writing = [&] {
            for (const auto& entry : fs::recursive_directory_iterator(SitesDir()))
                if (entry.path().extension() == ".part")
                    return true;
            return false;
        };
        for (int i = 0; i < 200 && !writing(); ++i)
            std::this_thread::sleep_for(50ms);
        ASSERT_TRUE(writing()) << "the transfer never began";
        cli.Signal(signal);
        EXPECT_EQ(cli.Wait(), code) << cli.Err();
        EXPECT_TRUE(cli.Out().starts_with("Slow: Aborted, ")) << cli.Out();
        EXPECT_FALSE(writing());
        site.Release();
    }
}

TEST_F(CliEndToEnd, SpaceLimitStopsTheSiteWithExitThree) {
    PortSite site(SmallSite());
    CliProcess cli({"mirror", site.Url("/"), "--name", "Small", "--sites-dir", SitesDir().string(),
                    "--max-space", "1", "--log", "--quiet"});
    ASSERT_EQ(cli.Wait(), kExitStopped) << cli.Err();
    const std::string out = cli.Out();
    EXPECT_TRUE(Contains(out, "Small: Aborted")) << out;
    EXPECT_TRUE(Contains(out, "limit")) << out;
}

TEST_F(CliEndToEnd, AnUnwritableSitesFolderStopsWithExitThreeAndSaysWhy) {
    PortSite site(SmallSite());
    fs::create_directories(SitesDir());
    std::ofstream(SitesDir() / "file") << "x";
    CliProcess cli({"mirror", site.Url("/"), "--name", "Small", "--sites-dir",
                    (SitesDir() / "file" / "Sites").string()});
    ASSERT_EQ(cli.Wait(), kExitStopped) << cli.Err();
    EXPECT_TRUE(Contains(cli.Err() + cli.Out(), "Cannot write to ")) << cli.Err() << cli.Out();
    EXPECT_FALSE(site.Requested("/"));
}

TEST_F(CliEndToEnd, BadArgumentsExitWithTwo) {
    CliProcess scheme({"mirror", "ftp://127.0.0.1/", "--sites-dir", SitesDir().string()});
    EXPECT_EQ(scheme.Wait(), kExitUsage);
    EXPECT_TRUE(Contains(scheme.Err(), "http")) << scheme.Err();
    EXPECT_FALSE(fs::exists(SitesDir()));

    CliProcess nothing({});
    EXPECT_EQ(nothing.Wait(), kExitUsage);
}

TEST_F(CliEndToEnd, ACutProjectFileIsAFailureWithExitTwo) {
    const fs::path projectPath = work.path() / "project.xml";
    {
        CProject project;
        project.AddGroup(std::make_unique<CSiteGroup>("First"));
        project.AddSite(std::make_unique<CSite>("Alpha"), *project.GetGroups()[0]);
        std::string error;
        ASSERT_TRUE(project.SaveAs(projectPath, error)) << error;
    }
    std::string text = ReadFileText(projectPath);
    text.resize(text.size() - 10);
    std::ofstream(projectPath, std::ios::binary | std::ios::trunc) << text;

    CliProcess cli({"run", projectPath.string()}, work.path());
    EXPECT_EQ(cli.Wait(), kExitUsage);
    EXPECT_TRUE(Contains(cli.Err(), "Unexpected file format.")) << cli.Err();
    EXPECT_FALSE(fs::exists(work.path() / "Sites"));
}

TEST_F(CliEndToEnd, ListingADeviceIsRefusedAtOnce) {
    // Read as a file, the device would never end; the limit only guards against a hang.
    CliProcess cli({"list", "/dev/urandom"}, work.path());
    EXPECT_EQ(cli.Wait(std::chrono::seconds(30)), kExitUsage);
    EXPECT_TRUE(Contains(cli.Err(), "Not a project file")) << cli.Err();
}

TEST_F(CliEndToEnd, RunMirrorsTheChosenGroupUnderTheCurrentDirectory) {
    PortSite site(SmallSite());
    const fs::path projectPath = work.path() / "project.xml";
    {
        CProject project;
        for (const auto& [groupName, siteName, path] :
             {std::tuple{"First", "Alpha", "/page2.html"}, std::tuple{"Second", "Beta", "/"}}) {
            auto group = std::make_unique<CSiteGroup>(groupName);
            CSiteGroup& ref = *group;
            project.AddGroup(std::move(group));
            auto crawled = std::make_unique<CSite>(siteName);
            crawled->m_url = site.Url(path);
            crawled->m_useServers = true;
            crawled->m_servers = "127.0.0.1=1";
            project.AddSite(std::move(crawled), ref);
        }
        std::string error;
        ASSERT_TRUE(project.SaveAs(projectPath, error)) << error;
    }
    const std::string before = ReadFileText(projectPath);

    CliProcess cli({"run", projectPath.string(), "--group", "Second", "--quiet"}, work.path());
    ASSERT_EQ(cli.Wait(), kExitOk) << cli.Err();
    EXPECT_TRUE(fs::is_regular_file(work.path() / "Sites" / "Beta" / "127.0.0.1" / "index.htm"));
    EXPECT_FALSE(fs::exists(work.path() / "Sites" / "Alpha"));
    // One summary line and what the crawl changed.
    EXPECT_TRUE(cli.Out().starts_with("Beta: Done, 4 files")) << cli.Out();
    EXPECT_TRUE(cli.Out().ends_with(
        " K/s)\n  Files: 4 new, 0 changed, 0 unchanged, 0 failed, 1 skipped by rules\n"))
        << cli.Out();
    EXPECT_EQ(ReadFileText(projectPath), before);
}
