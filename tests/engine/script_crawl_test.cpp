// Crawls that run their pages' scripts, with a renderer that answers from a table: what
// the pages asked for ends up in the copy, snapshots replace the server's page, and a
// stop cuts a running page short.

#include <gtest/gtest.h>

#include <condition_variable>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "engine/page_renderer.h"
#include "support/crawl_fixture.h"
#include "support/file_text.h"

namespace fs = std::filesystem;

namespace {

// What the fake browser shows; shared by every renderer the factory makes.
struct RenderTable {
    std::mutex mutex;
    std::condition_variable changed;
    std::map<std::string, CRenderedPage> pages; // by address
    std::vector<std::string> rendered;          // addresses asked, in order
    std::vector<bool> documentsWanted;
    int renderers = 0;
    bool hold = false; // Render waits until cancelled
    bool cancelled = false;
};

class TableRenderer : public IPageRenderer {
public:
    explicit TableRenderer(RenderTable& table) : m_table(table) {}
    CRenderedPage Render(const std::string& address, std::chrono::milliseconds,
                         bool wantDocument) override {
        std::unique_lock lock(m_table.mutex);
        m_table.rendered.push_back(address);
        m_table.documentsWanted.push_back(wantDocument);
        m_table.changed.notify_all();
        if (m_table.hold) {
            m_table.changed.wait(lock, [&] { return m_table.cancelled; });
            return CRenderedPage{{}, {}, false, "cancelled"};
        }
        const auto found = m_table.pages.find(address);
        return found != m_table.pages.end() ? found->second : CRenderedPage{};
    }
    void Cancel() override {
        std::lock_guard lock(m_table.mutex);
        m_table.cancelled = true;
        m_table.changed.notify_all();
    }

private:
    RenderTable& m_table;
};

class ScriptCrawl : public Crawl {
protected:
    void UseRenderer() {
        StartController();
        controller->SetPageRendererFactory([this] {
            std::lock_guard lock(table.mutex);
            ++table.renderers;
            return std::make_unique<TableRenderer>(table);
        });
    }
    std::vector<std::string> Rendered() {
        std::lock_guard lock(table.mutex);
        return table.rendered;
    }

    RenderTable table;
};

} // namespace

TEST_F(ScriptCrawl, WhatThePagesScriptsAskForIsStoredAndTheRulesStillHold) {
    server.Add("/docs/index.htm", Html("<a href=\"search.htm\">s</a><script src=s.js></script>"));
    server.Add("/docs/search.htm", Html("<p>search</p>"));
    server.Add("/docs/s.js", SiteServer::Page{"load()", "text/javascript"});
    server.Add("/docs/searchindex.js", SiteServer::Page{"index()", "text/javascript"});
    server.Add("/docs/data/list.json", SiteServer::Page{"[1,2]", "application/json"});
    server.Add("/docs/lazy.png", SiteServer::Page{"png", "image/png"});
    server.Add("/private/secret.json", SiteServer::Page{"{}", "application/json"});
    server.Start();
    table.pages[server.Url("/docs/index.htm")] = {
        {server.Url("/docs/s.js"), server.Url("/docs/data/list.json"), "data:text/plain,x",
         server.Url("/private/secret.json")},
        {},
        false,
        {}};
    table.pages[server.Url("/docs/search.htm")] = {
        {server.Url("/docs/searchindex.js"), server.Url("/docs/lazy.png")}, {}, true, {}};
    UseRenderer();
    CSite& site = MakeSite("Scripts", "/docs/index.htm");
    site.m_runScripts = true;
    site.m_pageRequisites = true;
    site.m_useDirectory = true;
    site.m_directories = "/docs/*=1";
    RunToEnd({&site});

    EXPECT_EQ(site.m_state, kSiteDone);
    EXPECT_EQ(ReadFileText(Stored(site, "docs/data/list.json")), "[1,2]");
    EXPECT_EQ(ReadFileText(Stored(site, "docs/searchindex.js")), "index()");
    EXPECT_EQ(ReadFileText(Stored(site, "docs/lazy.png")), "png");
    // The directory rule refuses what a script asks for as it refuses a link.
    EXPECT_FALSE(fs::exists(Stored(site, "private/secret.json")));
    EXPECT_EQ(server.Count("GET /private/secret.json"), 0);
    // A file both the scanner and the script found is asked once; the stored page is the
    // scanner's, not the browser's.
    EXPECT_EQ(server.Count("GET /docs/s.js"), 1);
    EXPECT_EQ(ReadFileText(Stored(site, "docs/index.htm")),
              "<a href=\"search.htm\">s</a><script src=s.js></script>");
    // Pages only: nothing the pages loaded was run as a page.
    std::vector<std::string> rendered = Rendered();
    std::sort(rendered.begin(), rendered.end());
    EXPECT_EQ(rendered, (std::vector<std::string>{server.Url("/docs/index.htm"),
                                                  server.Url("/docs/search.htm")}));
    EXPECT_EQ(table.renderers, 1);
    EXPECT_EQ(site.ScriptQueue().Done(), 2);
    EXPECT_EQ(site.ScriptQueue().Cut(), 1);
    EXPECT_NE(site.GetLog().find("The scripts of " + server.Url("/docs/search.htm") +
                                 " still ran after 5 s"),
              std::string::npos);

    // Without the setting no page is run, and what only scripts load stays out.
    CSite& plain = MakeSite("Plain", "/docs/index.htm");
    plain.m_pageRequisites = true;
    RunToEnd({&plain});
    EXPECT_EQ(Rendered().size(), 2u);
    EXPECT_TRUE(fs::exists(Stored(plain, "docs/s.js")));
    EXPECT_FALSE(fs::exists(Stored(plain, "docs/data/list.json")));
}

TEST_F(ScriptCrawl, ASnapshotStoresThePageAsShownWithItsLinksRewrittenAndFollowed) {
    server.Add("/index.htm", Html("<ul id=list></ul><script src=fill.js></script>"));
    SiteServer::Page fill{"fill()", "text/javascript"};
    fill.headers.emplace("Last-Modified", kOldDate);
    server.Add("/fill.js", fill);
    server.Add("/item.htm", Html("<p>item</p>"));
    server.HonourConditions();
    server.Start();
    const std::string shown = "<!DOCTYPE html>\n<html><head></head><body><ul id=\"list\">"
                              "<li><a href=\"" +
                              server.Url("/item.htm") +
                              "\">item</a></li></ul><script src=\"fill.js\"></script></body>"
                              "</html>";
    table.pages[server.Url("/index.htm")] = {{server.Url("/fill.js")}, shown, false, {}};
    UseRenderer();
    CSite& site = MakeSite("Snapshot", "/index.htm");
    site.m_snapshotPages = true;
    site.m_pageRequisites = true;
    RunToEnd({&site});

    EXPECT_EQ(ReadFileText(Stored(site, "index.htm")),
              "<!DOCTYPE html>\n<html><head></head><body><ul id=\"list\"><li><a "
              "href=\"item.htm\">item</a></li></ul><script src=\"fill.js\"></script></body>"
              "</html>");
    EXPECT_EQ(ReadFileText(Stored(site, "item.htm")), "<p>item</p>");
    EXPECT_EQ(ReadFileText(Stored(site, "fill.js")), "fill()");
    {
        std::lock_guard lock(table.mutex);
        ASSERT_FALSE(table.documentsWanted.empty());
        EXPECT_TRUE(table.documentsWanted.front());
    }

    // The update asks the server whether the page changed rather than taking it again:
    // the snapshot kept what the server said of the page.
    RunToEnd({&site});
    EXPECT_EQ(server.Bodies(), 3);
    EXPECT_NE(ReadFileText(Stored(site, "index.htm")).find("href=\"item.htm\""), std::string::npos);
}

TEST_F(ScriptCrawl, AStopCutsARunningPageShortAndAMissingRunnerOnlyCostsTheScripts) {
    server.Add("/index.htm", Html("<p>slow scripts</p>"));
    server.Start();
    table.hold = true;
    UseRenderer();
    CSite& site = MakeSite("Held", "/index.htm");
    site.m_runScripts = true;
    const int before = ui.Get([&] { return ui.runsEnded; });
    controller->Post(WM_START_SITE, Param(site), kStartUpdate);
    {
        std::unique_lock lock(table.mutex);
        ASSERT_TRUE(table.changed.wait_for(lock, std::chrono::seconds(30),
                                           [&] { return !table.rendered.empty(); }));
    }
    // Only the runner holds the crawl open.
    EXPECT_EQ(site.m_state, kSiteQuarning);
    controller->Post(WM_STOP_SITE, Param(site));
    ASSERT_TRUE(ui.WaitForRunsEnded(before + 1));
    EXPECT_TRUE(table.cancelled);
    EXPECT_EQ(site.m_state, kSiteAborted);
    EXPECT_TRUE(fs::exists(Stored(site, "index.htm")));
    EXPECT_EQ(site.GetLog().find("Could not run the scripts"), std::string::npos);

    // No renderer at all: the pages are stored, and the log says why no script ran.
    controller->SetPageRendererFactory({});
    CSite& bare = MakeSite("Bare", "/index.htm");
    bare.m_runScripts = true;
    RunToEnd({&bare});
    EXPECT_EQ(bare.m_state, kSiteDone);
    EXPECT_TRUE(fs::exists(Stored(bare, "index.htm")));
    EXPECT_NE(bare.GetLog().find("Scripts are not run"), std::string::npos);
    EXPECT_EQ(bare.ScriptQueue().Done(), 0);
}
