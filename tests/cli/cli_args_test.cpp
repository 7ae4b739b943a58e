// The command line run in process: arguments that must be refused before any crawl
// starts, --version, and the list command on a project file.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "cli/cli_app.h"
#include "cli/exit_codes.h"
#include "model/project.h"
#include "model/site.h"
#include "support/temp_dir.h"

namespace {

struct CliResult {
    int code = -1;
    std::string out;
    std::string err;
};

CliResult RunCliCaptured(std::vector<std::string> args) {
    std::ostringstream out;
    std::ostringstream err;
    CliResult result;
    result.code = RunCli(args, out, err);
    result.out = out.str();
    result.err = err.str();
    return result;
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

} // namespace

TEST(CliArguments, BadInputExitsWithTwoAndSaysWhy) {
    struct Case {
        std::vector<std::string> args;
        const char* message; // part of what stderr must say
    };
    const Case cases[] = {
        {{}, "subcommand"},
        {{"fetch"}, "fetch"},
        {{"mirror"}, "URL"},
        {{"mirror", "ftp://example.com/"}, "http"},
        {{"mirror", "http://"}, "server"},
        {{"mirror", "example.com", "--workers", "0"}, "--workers"},
        {{"mirror", "example.com", "--workers=1000"}, "--workers"},
        {{"mirror", "example.com", "--levels", "x"}, "--levels"},
        {{"mirror", "example.com", "--retries", "-1"}, "--retries"},
        {{"mirror", "example.com", "--connect-timeout", "0"}, "--connect-timeout"},
        {{"mirror", "example.com", "--max-time", "0"}, "--max-time"},
        {{"mirror", "example.com", "--max-size", "lots"}, "--max-size"},
        {{"mirror", "example.com", "--servers", "a*b*c"}, "a*b*c"},
        {{"mirror", "example.com", "--span-hosts", "--servers", "a"}, "--span-hosts"},
        {{"mirror", "example.com", "--include-files", "--exclude-files", "--files", "a"},
         "--exclude-files"},
        {{"mirror", "example.com", "--name", ".."}, "--name"},
        {{"mirror", "example.com", "--classic-names", "--exclude-urls", " ,"}, "no pattern"},
        {{"mirror", "example.com", "--unknown"}, "--unknown"},
        {{"mirror", "example.com", "--header", "No colon"}, "--header"},
        {{"mirror", "example.com", "--header", "Bad name: x"}, "--header"},
        {{"mirror", "example.com", "--header", "X-A: b\r\nHost: evil"}, "--header"},
        {{"mirror", "example.com", "--cookies", "/no/such/cookies.txt"}, "/no/such/cookies.txt"},
        {{"mirror", "example.com", "--run-scripts", "--script-time", "0"}, "1 to 600"},
        {{"mirror", "example.com", "--snapshot", "--script-time=601"}, "1 to 600"},
        {{"run", "sites.xml", "--script-time", "5s"}, "--script-time"},
        {{"run"}, "PROJECT"},
        {{"list", "a.xml", "b.xml"}, "b.xml"},
    };
    for (const auto& c : cases) {
        const auto result = RunCliCaptured(c.args);
        std::string line;
        for (const auto& arg : c.args)
            line += arg + " ";
        EXPECT_EQ(result.code, kExitUsage) << line;
        EXPECT_TRUE(Contains(result.err, c.message)) << line << "\n" << result.err;
    }
}

TEST(CliArguments, VersionAndHelpGoToStandardOutput) {
    auto result = RunCliCaptured({"--version"});
    EXPECT_EQ(result.code, kExitOk);
    EXPECT_TRUE(result.out.starts_with("quarn-cli ")) << result.out;
    EXPECT_NE(result.out.find_first_of("0123456789"), std::string::npos);

    result = RunCliCaptured({"mirror", "--help"});
    EXPECT_EQ(result.code, kExitOk);
    // The help names the default server scope and how to change it.
    EXPECT_TRUE(Contains(result.out, "--span-hosts")) << result.out;
    EXPECT_TRUE(Contains(result.out, "HOST=1")) << result.out;
    EXPECT_TRUE(result.err.empty());
    for (const char* command : {"mirror", "run"})
        EXPECT_TRUE(Contains(RunCliCaptured({command, "--help"}).out, "--snapshot")) << command;
}

class CliProject : public ::testing::Test {
protected:
    void SetUp() override {
        CProject project;
        auto group = std::make_unique<CSiteGroup>("Daily");
        CSiteGroup& daily = *group;
        project.AddGroup(std::move(group));
        auto site = std::make_unique<CSite>("Example");
        site->m_url = "http://www.example.com/";
        site->m_workers = 4;
        project.AddSite(std::move(site), daily);
        std::string error;
        ASSERT_TRUE(project.SaveAs(projectPath, error)) << error;
    }

    TempDir dir;
    std::filesystem::path projectPath = dir.path() / "sites.xml";
};

TEST_F(CliProject, ListPrintsGroupsAndSites) {
    const auto result = RunCliCaptured({"list", projectPath.string()});
    EXPECT_EQ(result.code, kExitOk) << result.err;
    EXPECT_TRUE(Contains(result.out, "Group \"Daily\" (1 site)")) << result.out;
    EXPECT_TRUE(Contains(result.out, "Example  http://www.example.com/  4")) << result.out;
}

TEST_F(CliProject, UnreadableProjectOrUnknownNamesExitWithTwo) {
    const auto missing = (dir.path() / "missing.xml").string();
    for (const char* command : {"list", "run"}) {
        const auto result = RunCliCaptured({command, missing});
        EXPECT_EQ(result.code, kExitUsage) << command;
        EXPECT_TRUE(Contains(result.err, "missing.xml")) << result.err;
    }

    auto result =
        RunCliCaptured({"run", projectPath.string(), "--group", "Daily", "--group", "Weekly"});
    EXPECT_EQ(result.code, kExitUsage);
    EXPECT_TRUE(Contains(result.err, "'Weekly'")) << result.err;
    result = RunCliCaptured({"run", projectPath.string(), "--site", "Other"});
    EXPECT_EQ(result.code, kExitUsage);
    EXPECT_TRUE(Contains(result.err, "'Other'")) << result.err;
}
