// The whole way a copy whose pages need their scripts takes: quarn-cli mirrors a site with
// --run-scripts, the origin goes away, and each page of the copy, served from the site's
// folder, is run in the browser again and must work from the copy alone.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "cli/cli_process.h"
#include "cli/exit_codes.h"
#include "engine/copy_server.h"
#include "engine/render_process.h"
#include "support/script_site.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

// The text of the element with id "out" in a rendered document; empty when it has none.
std::string OutText(const std::string& document) {
    const std::string open = "<div id=\"out\">";
    const auto start = document.find(open);
    if (start == std::string::npos)
        return {};
    const auto from = start + open.size();
    return document.substr(from, document.find("</div>", from) - from);
}

} // namespace

TEST(ScriptCopy, WithRunScriptsEveryPageOfTheCopyWorksWithoutTheOrigin) {
    TempDir sites;
    {
        SiteServer origin;
        script_site::Add(origin);
        origin.Start();
        CliProcess plain({"mirror", origin.Url("/index.html"), "--name", "Plain", "--sites-dir",
                          sites.path().string()});
        ASSERT_EQ(plain.Wait(), kExitOk) << plain.Err();
        CliProcess run({"mirror", origin.Url("/index.html"), "--name", "Scripts", "--sites-dir",
                        sites.path().string(), "--run-scripts"});
        ASSERT_EQ(run.Wait(std::chrono::seconds(180)), kExitOk) << run.Err();
        // What only scripts ask for is missing from the plain copy, and in the other.
        for (const char* file : script_site::kScriptOnlyFiles) {
            EXPECT_FALSE(fs::exists(sites.path() / "Plain" / "127.0.0.1" / file)) << file;
            EXPECT_TRUE(fs::is_regular_file(sites.path() / "Scripts" / "127.0.0.1" / file))
                << file;
        }
    } // the origin stops

    CCopyServer copy;
    std::string error;
    ASSERT_TRUE(copy.Start(sites.path() / "Scripts", 0, error)) << error;
    const std::string base = "http://127.0.0.1:" + std::to_string(copy.Port()) + "/127.0.0.1/";
    CRenderProcess browser(QUARN_RENDER_PATH);
    for (std::size_t i = 0; i < std::size(script_site::kPages); ++i) {
        const std::string page = script_site::kPages[i];
        const CRenderedPage shown = browser.Render(base + page, std::chrono::seconds(10), true);
        ASSERT_TRUE(shown.failure.empty()) << page << ": " << shown.failure;
        EXPECT_EQ(OutText(shown.document), script_site::kWorked[i]) << page;
        for (const std::string& request : shown.requests)
            EXPECT_TRUE(request.starts_with(base)) << page << " asked for " << request;
    }
}
