// The project side of the command line: listing a project, choosing the sites of a run,
// and the exit code a run ends with.

#include <gtest/gtest.h>

#include <csignal>

#include "cli/exit_codes.h"
#include "cli/project_listing.h"
#include "cli/site_selection.h"
#include "model/project.h"
#include "model/site.h"

namespace {

CSite& AddSite(CProject& project, CSiteGroup& group, const std::string& name,
               const std::string& url) {
    auto site = std::make_unique<CSite>(name);
    site->m_url = url;
    CSite& ref = *site;
    project.AddSite(std::move(site), group);
    return ref;
}

CSiteGroup& AddGroup(CProject& project, const std::string& name) {
    auto group = std::make_unique<CSiteGroup>(name);
    CSiteGroup& ref = *group;
    project.AddGroup(std::move(group));
    return ref;
}

// Two groups: News (Alpha, Beta) and Tools (Gamma), and an empty group Spare.
class ProjectCommands : public ::testing::Test {
protected:
    void SetUp() override {
        CSiteGroup& news = AddGroup(project, "News");
        alpha = &AddSite(project, news, "Alpha", "http://alpha.example/");
        beta = &AddSite(project, news, "Beta", "http://beta.example/");
        CSiteGroup& tools = AddGroup(project, "Tools");
        gamma = &AddSite(project, tools, "Gamma", "http://gamma.example/");
        AddGroup(project, "Spare");
    }

    std::vector<CSite*> Select(const std::vector<std::string>& groups,
                               const std::vector<std::string>& sites) {
        std::string error;
        auto chosen = SelectSites(project, groups, sites, error);
        EXPECT_TRUE(chosen) << error;
        return chosen.value_or(std::vector<CSite*>{});
    }

    CProject project;
    CSite* alpha = nullptr;
    CSite* beta = nullptr;
    CSite* gamma = nullptr;
};

} // namespace

TEST_F(ProjectCommands, SelectsEverySiteWithoutNames) {
    EXPECT_EQ(Select({}, {}), (std::vector<CSite*>{alpha, beta, gamma}));
}

TEST_F(ProjectCommands, SelectsNamedGroupsAndSitesOnceEachInProjectOrder) {
    EXPECT_EQ(Select({"Tools"}, {}), std::vector<CSite*>{gamma});
    EXPECT_EQ(Select({}, {"Beta"}), std::vector<CSite*>{beta});
    EXPECT_EQ(Select({"Tools"}, {"Beta", "Alpha"}), (std::vector<CSite*>{alpha, beta, gamma}));
    EXPECT_EQ(Select({"News", "News"}, {"Alpha"}), (std::vector<CSite*>{alpha, beta}));
    EXPECT_EQ(Select({"Spare"}, {}), std::vector<CSite*>{});
}

TEST_F(ProjectCommands, UnknownNamesAreRefused) {
    std::string error;
    EXPECT_FALSE(SelectSites(project, {"Nope"}, {}, error));
    EXPECT_NE(error.find("'Nope'"), std::string::npos);
    EXPECT_FALSE(SelectSites(project, {"News"}, {"alpha"}, error)); // names are exact
    EXPECT_NE(error.find("'alpha'"), std::string::npos);
    // A group name is not a site name.
    EXPECT_FALSE(SelectSites(project, {}, {"Tools"}, error));
}

TEST_F(ProjectCommands, ListingShowsGroupsAndAlignedSiteRows) {
    beta->m_workers = 12;
    beta->m_useLevels = true;
    beta->m_levels = 3;
    beta->m_useServers = true;
    beta->m_servers = "beta.example=1,cdn.example=0";
    beta->m_downloadChanges = false;
    EXPECT_EQ(FormatProjectListing(project),
              "Group \"News\" (2 sites)\n"
              "  NAME   ADDRESS                WORKERS  LEVELS  SERVERS            DOWNLOAD\n"
              "  Alpha  http://alpha.example/  1        any     any                changes\n"
              "  Beta   http://beta.example/   12       3       only beta.example  all\n"
              "\n"
              "Group \"Tools\" (1 site)\n"
              "  NAME   ADDRESS                WORKERS  LEVELS  SERVERS            DOWNLOAD\n"
              "  Gamma  http://gamma.example/  1        any     any                changes\n"
              "\n"
              "Group \"Spare\" (0 sites)\n");
    EXPECT_EQ(FormatProjectListing(CProject{}), "The project has no groups.\n");
}

TEST(ServerScope, DescribesWhatTheCrawlWillAdmit) {
    CSite site("S");
    EXPECT_EQ(DescribeServerScope(site), "any");
    site.m_useServers = true;
    EXPECT_EQ(DescribeServerScope(site), "none"); // include with an empty list admits nothing
    site.m_servers = "a.example=1,b.example=0,*.c.example=1,x*y*z=1";
    EXPECT_EQ(DescribeServerScope(site), "only a.example *.c.example");
    site.m_includeServers = false;
    EXPECT_EQ(DescribeServerScope(site), "all but a.example *.c.example");
    site.m_servers = "a.example=0";
    EXPECT_EQ(DescribeServerScope(site), "any");
}

TEST(ExitCode, InterruptThenExpiredLoginThenStopThenFailedAddresses) {
    const SiteOutcome clean{kSiteDone, 0};
    const SiteOutcome failed{kSiteDone, 2};
    const SiteOutcome aborted{kSiteAborted, 0};
    const SiteOutcome notStarted{kSiteReady, 0};
    const SiteOutcome unreached{kSiteFailed, 1};
    EXPECT_EQ(ExitCodeForRun({clean, clean}, 0, false), kExitOk);
    EXPECT_EQ(ExitCodeForRun({clean, failed}, 0, false), kExitAddressesFailed);
    EXPECT_EQ(ExitCodeForRun({unreached, clean}, 0, false), kExitAddressesFailed);
    EXPECT_EQ(ExitCodeForRun({unreached, aborted}, 0, false), kExitStopped);
    EXPECT_EQ(ExitCodeForRun({failed, aborted}, 0, false), kExitStopped);
    EXPECT_EQ(ExitCodeForRun({clean, notStarted}, 0, false), kExitStopped);
    EXPECT_EQ(ExitCodeForRun({clean}, 0, true), kExitStopped);
    EXPECT_EQ(ExitCodeForRun({aborted, failed}, SIGINT, true), kExitInterrupted);
    EXPECT_EQ(ExitCodeForRun({clean}, SIGTERM, false), kExitTerminated);
    const SiteOutcome expired{kSiteAborted, 0, true};
    EXPECT_EQ(ExitCodeForRun({failed, expired, aborted}, 0, true), kExitLoginExpired);
    EXPECT_EQ(ExitCodeForRun({expired}, SIGINT, true), kExitInterrupted);
    EXPECT_EQ(kExitInterrupted, 130);
    EXPECT_EQ(kExitLoginExpired, 4);
    EXPECT_EQ(kExitUsage, 2);
}
