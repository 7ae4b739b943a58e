#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <sstream>
#include <streambuf>

#include "model/project.h"
#include "model/xml_element.h"
#include "support/site_fixture.h"

namespace fs = std::filesystem;

namespace {
std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    EXPECT_EQ(start, text.size()) << "every line ends with CR LF";
    return lines;
}

std::string Stored(const CProject& project) {
    std::ostringstream out;
    project.Store(out);
    return out.str();
}

bool LoadText(CProject& project, const std::string& text, std::string* error = nullptr) {
    std::istringstream in(text);
    std::string ignored;
    return project.Load(in, error ? *error : ignored);
}

std::string ReadWhole(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteWhole(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// A site with every setting away from its default.
std::unique_ptr<CSite> UnusualSite() {
    auto site = std::make_unique<CSite>("Example site");
    site->m_url = "http://www.example.com/docs/?a=1&b=>2";
    site->m_id = "me";
    site->m_password = "sec ret";
    site->m_defaultDocument = "default.html";
    site->m_contentDirectory = "/data/Example";
    site->m_downloadChanges = false;
    site->m_new = false;
    site->m_workers = 7;
    site->m_connectionTimeout = -5;
    site->m_requestTimeout = 120;
    site->m_retries = 0;
    site->m_useLevels = true;
    site->m_levels = 4;
    site->m_useServers = true;
    site->m_includeServers = false;
    site->m_servers = "www.example.com=1,cdn.*=0";
    site->m_useDirectory = true;
    site->m_includeDirectories = false;
    site->m_directories = "/docs/*=1";
    site->m_useTypes = true;
    site->m_includeFiles = false;
    site->m_files = "*.zip=1";
    site->m_useSizes = true;
    site->m_fileMin = 1024;
    site->m_fileMax = 2'000'000'000;
    site->m_useSpace = true;
    site->m_spaceMax = 999'999LL * 1024 * 1024;
    site->m_useTime = true;
    site->m_timeMax = 90;
    site->m_removeLinks = true;
    site->m_userAgent = "Agent/1.0 (test)";
    site->m_pageRequisites = true;
    site->m_requisitesAnyServer = false;
    site->m_headProbe = true;
    site->m_exactNames = true;
    site->m_useUrls = true;
    site->m_urls = "*action=edit*=1,*returnto=*=0";
    site->m_useBrowserCookies = true;
    site->m_runScripts = true;
    site->m_snapshotPages = true;
    site->m_scriptTime = 12;
    site->SetStartCookies("127.0.0.1\tFALSE\t/\tFALSE\t0\tsid\tsecret\n");
    return site;
}
} // namespace

TEST(ProjectFile, OneGroupWithOneSiteIsFiftyTwoLines) {
    SitesDirScope dir;
    CProject project;
    project.AddGroup(std::make_unique<CSiteGroup>("Sites"));
    project.AddSite(std::make_unique<CSite>("Alpha"), *project.GetGroups()[0]);

    const auto lines = Lines(Stored(project));
    ASSERT_EQ(lines.size(), 52u);
    EXPECT_EQ(lines[0], "<DATA>");
    EXPECT_EQ(lines[1], "   <GROUP>");
    EXPECT_EQ(lines[2], "      <EXPANDED>TRUE</EXPANDED>");
    EXPECT_EQ(lines[3], "      <NAME>Sites</NAME>");
    EXPECT_EQ(lines[4], "      <SITE>");
    EXPECT_EQ(lines[5], "         <CONNECTION_TIMEOUT>30</CONNECTION_TIMEOUT>");
    EXPECT_EQ(lines[7], "         <DEFAULT_DOCUMENT>index.htm</DEFAULT_DOCUMENT>");
    EXPECT_EQ(lines[10], "         <EXACT_NAMES>FALSE</EXACT_NAMES>");
    EXPECT_EQ(lines[14], "         <HEAD_PROBE>FALSE</HEAD_PROBE>");
    EXPECT_EQ(lines[20], "         <NAME>Alpha</NAME>");
    EXPECT_EQ(lines[22], "         <OBEY_ROBOTS>FALSE</OBEY_ROBOTS>");
    EXPECT_EQ(lines[23], "         <WORKERS>1</WORKERS>");
    EXPECT_EQ(lines[25], "         <PAGE_REQUISITES>FALSE</PAGE_REQUISITES>");
    EXPECT_EQ(lines[26], "         <REMOVE_LINKS>FALSE</REMOVE_LINKS>");
    EXPECT_EQ(lines[28], "         <REQUISITES_ANY_SERVER>TRUE</REQUISITES_ANY_SERVER>");
    EXPECT_EQ(lines[30], "         <RUN_SCRIPTS>FALSE</RUN_SCRIPTS>");
    EXPECT_EQ(lines[31], "         <SCRIPT_TIME>5</SCRIPT_TIME>");
    EXPECT_EQ(lines[33], "         <SNAPSHOT_PAGES>FALSE</SNAPSHOT_PAGES>");
    EXPECT_EQ(lines[36], "         <URL></URL>");
    EXPECT_EQ(lines[37], "         <URLS></URLS>");
    EXPECT_EQ(lines[38], "         <USE_BROWSER_COOKIES>FALSE</USE_BROWSER_COOKIES>");
    EXPECT_EQ(lines[39], "         <USE_CONTENT_DIRECTORY>FALSE</USE_CONTENT_DIRECTORY>");
    EXPECT_EQ(lines[47], "         <USE_URLS>FALSE</USE_URLS>");
    EXPECT_EQ(lines[48], "         <USER_AGENT></USER_AGENT>");
    EXPECT_EQ(lines[49], "      </SITE>");
    EXPECT_EQ(lines[50], "   </GROUP>");
    EXPECT_EQ(lines[51], "</DATA>");
}

TEST(ProjectFile, EmptyProjectIsOneLine) {
    CProject project;
    EXPECT_EQ(Stored(project), "<DATA></DATA>\r\n");
    CProject loaded;
    EXPECT_TRUE(LoadText(loaded, Stored(project)));
    EXPECT_TRUE(loaded.GetGroups().empty());
}

TEST(ProjectFile, EverySettingSurvivesASaveAndALoad) {
    SitesDirScope dir;
    CProject project;
    project.AddGroup(std::make_unique<CSiteGroup>("Work"));
    project.AddGroup(std::make_unique<CSiteGroup>("Work"));
    project.GetGroups()[1]->m_expanded = false;
    project.AddSite(UnusualSite(), *project.GetGroups()[0]);
    project.AddSite(std::make_unique<CSite>("Plain"), *project.GetGroups()[0]);
    project.GetGroups()[0]->m_sites[1]->m_contentDirectory = "C:\\Sites\\Plain";

    const std::string text = Stored(project);
    CProject loaded;
    ASSERT_TRUE(LoadText(loaded, text));
    ASSERT_EQ(loaded.GetGroups().size(), 2u) << "groups with one name stay two groups";
    EXPECT_TRUE(loaded.GetGroups()[0]->m_expanded);
    EXPECT_FALSE(loaded.GetGroups()[1]->m_expanded);
    ASSERT_EQ(loaded.GetGroups()[0]->m_sites.size(), 2u);
    const CSite& site = *loaded.GetGroups()[0]->m_sites[0];
    EXPECT_EQ(site.m_group, loaded.GetGroups()[0].get());
    EXPECT_EQ(Stored(loaded), text);
    EXPECT_EQ(site.m_spaceMax, 999'999LL * 1024 * 1024);
    EXPECT_EQ(site.m_connectionTimeout, -5);
    EXPECT_EQ(site.m_url, "http://www.example.com/docs/?a=1&b=>2");
    EXPECT_TRUE(site.m_pageRequisites);
    EXPECT_FALSE(site.m_requisitesAnyServer);
    EXPECT_TRUE(site.m_runScripts);
    EXPECT_TRUE(site.m_snapshotPages);
    EXPECT_EQ(site.m_scriptTime, 12);
    EXPECT_TRUE(site.m_headProbe);
    EXPECT_TRUE(site.m_exactNames);
    EXPECT_TRUE(site.m_useUrls);
    EXPECT_EQ(site.m_urls, "*action=edit*=1,*returnto=*=0");
    EXPECT_TRUE(site.m_useBrowserCookies);
    EXPECT_EQ(text.find("secret"), std::string::npos) << "cookies are never saved";
    EXPECT_EQ(site.StartCookies(), "");
}

TEST(ProjectFile, HowEachSiteLastEndedSurvivesASaveAndALoad) {
    SitesDirScope dir;
    CProject project;
    project.AddGroup(std::make_unique<CSiteGroup>("Work"));
    CSiteGroup& group = *project.GetGroups()[0];
    const auto crawled = [&](const char* name, int state, std::int64_t end) -> CSite& {
        auto site = std::make_unique<CSite>(name);
        site->m_state = state;
        site->m_image = kImageSiteCrawled;
        site->m_startTime = 1'700'000'000;
        site->m_endTime = end;
        site->m_bytesTotal = std::int64_t{5} << 32; // beyond 32 bits
        site->m_filesTotal = 12;
        site->m_errorsTotal = 3;
        CSite& added = *site;
        project.AddSite(std::move(site), group);
        return added;
    };
    crawled("Done", kSiteDone, 1'700'000'100);
    crawled("Stopped", kSiteAborted, 1'700'000'050);
    crawled("Running", kSiteQuarning, 0); // saved while it ran
    project.AddSite(std::make_unique<CSite>("Never"), group);

    const std::string text = Stored(project);
    CProject loaded;
    ASSERT_TRUE(LoadText(loaded, text));
    const auto& sites = loaded.GetGroups()[0]->m_sites;
    ASSERT_EQ(sites.size(), 4u);
    for (int k = 0; k < 3; ++k) {
        SCOPED_TRACE(sites[k]->m_name);
        EXPECT_EQ(sites[k]->m_startTime, 1'700'000'000);
        EXPECT_EQ(sites[k]->m_bytesTotal, std::int64_t{5} << 32);
        EXPECT_EQ(sites[k]->m_filesTotal, 12);
        EXPECT_EQ(sites[k]->m_errorsTotal, 3);
        EXPECT_EQ(sites[k]->m_image, kImageSiteCrawled);
    }
    EXPECT_EQ(sites[0]->m_state, kSiteDone);
    EXPECT_EQ(sites[0]->m_endTime, 1'700'000'100);
    EXPECT_EQ(sites[1]->m_state, kSiteAborted);
    EXPECT_EQ(sites[2]->m_state, kSiteAborted) << "a crawl cut off by the save did not finish";
    EXPECT_EQ(sites[3]->m_state, kSiteReady);
    EXPECT_EQ(sites[3]->m_startTime, 0);
    EXPECT_EQ(sites[3]->m_image, kImageSiteNew);
    // The tree shows the ending; a site never crawled keeps its own picture.
    EXPECT_EQ(sites[0]->TreeImage(), kImageSiteDone);
    EXPECT_EQ(sites[1]->TreeImage(), kImageSiteAborted);
    EXPECT_EQ(sites[3]->TreeImage(), kImageSiteNew);

    // A site never crawled is written as before; so is a file of an earlier version read.
    CProject single;
    single.AddGroup(std::make_unique<CSiteGroup>("G"));
    single.AddSite(std::make_unique<CSite>("Never"), *single.GetGroups()[0]);
    EXPECT_EQ(Stored(single).find("CRAWL_"), std::string::npos);
    CProject older;
    ASSERT_TRUE(LoadText(older, "<DATA><GROUP><SITE><NAME>Old</NAME><CRAWL_STATE>2</CRAWL_STATE>"
                                "</SITE></GROUP></DATA>"));
    const CSite& old = *older.GetGroups()[0]->m_sites[0];
    EXPECT_EQ(old.m_state, kSiteReady) << "no start time: never crawled";
    EXPECT_EQ(old.m_image, kImageSiteNew);
}

TEST(ProjectFile, ReadingIsForgivingAboutMissingAndOddValues) {
    SitesDirScope dir;
    CProject project;
    ASSERT_TRUE(LoadText(project, "<DATA><GROUP><SITE><URL>http://h/</URL>"
                                  "<USE_LEVELS>true</USE_LEVELS><LEVELS>  -12abc</LEVELS>"
                                  "<WORKERS>99999999999</WORKERS><RETRIES>x</RETRIES>"
                                  "<UNKNOWN>1</UNKNOWN><LEVELS>3</LEVELS></SITE>"
                                  "<SITE><NAME> Beta</NAME></SITE><OTHER></OTHER></GROUP>"
                                  "<PLAIN>x</PLAIN></DATA>"));
    ASSERT_EQ(project.GetGroups().size(), 1u);
    const CSiteGroup& group = *project.GetGroups()[0];
    EXPECT_EQ(group.m_name, "Untitled");
    EXPECT_TRUE(group.m_expanded);
    ASSERT_EQ(group.m_sites.size(), 2u);
    const CSite& site = *group.m_sites[0];
    EXPECT_EQ(site.m_name, "Untitled");
    EXPECT_EQ(site.m_url, "http://h/");
    EXPECT_FALSE(site.m_useLevels) << "only TRUE is true";
    EXPECT_EQ(site.m_levels, 3) << "the later value wins";
    EXPECT_EQ(site.m_workers, 2147483647) << "out-of-range numbers are clamped";
    EXPECT_EQ(site.m_retries, 0);
    EXPECT_EQ(site.m_defaultDocument, "index.htm");
    EXPECT_FALSE(site.m_pageRequisites) << "sites saved before crawl as they did";
    EXPECT_FALSE(site.m_headProbe);
    EXPECT_FALSE(site.m_obeyRobots) << "absent: as before, robots.txt is not read";
    EXPECT_FALSE(site.m_exactNames) << "absent: files keep the names they had";
    EXPECT_FALSE(site.m_useBrowserCookies) << "absent: the crawl sends no cookies";
    EXPECT_FALSE(site.m_useUrls);
    EXPECT_EQ(site.m_urls, "");
    EXPECT_EQ(site.m_contentDirectory, (dir.path() / "Untitled").string());
    EXPECT_EQ(group.m_sites[1]->m_name, "Beta") << "leading spaces of a value are lost";
}

namespace {
// The file of a group holding one site per password.
std::string StoredWithPasswords(const std::vector<std::string>& passwords) {
    CProject project;
    project.AddGroup(std::make_unique<CSiteGroup>("g"));
    for (std::size_t i = 0; i < passwords.size(); ++i) {
        auto site = std::make_unique<CSite>("site " + std::to_string(i));
        site->m_password = passwords[i];
        site->m_contentDirectory = "/data/site"; // an empty one loads as the default
        project.AddSite(std::move(site), *project.GetGroups()[0]);
    }
    return Stored(project);
}

std::vector<std::string> LoadedPasswords(const std::string& text) {
    CProject loaded;
    std::string error;
    EXPECT_TRUE(LoadText(loaded, text, &error)) << error << "\n" << text;
    std::vector<std::string> passwords;
    for (const auto& group : loaded.GetGroups())
        for (const auto& site : group->m_sites)
            passwords.push_back(site->m_password);
    return passwords;
}
} // namespace

TEST(ProjectFile, SitesWhosePasswordsLookLikeTagsLoadBackWhole) {
    SitesDirScope dir;
    for (const std::vector<std::string>& passwords :
         {std::vector<std::string>{"<3"}, {"<a>x", "</a>"}, {"<b></b>", " x\ty\r\n"}}) {
        const std::string text = StoredWithPasswords(passwords);
        EXPECT_EQ(LoadedPasswords(text), passwords);
        CProject loaded;
        ASSERT_TRUE(LoadText(loaded, text));
        EXPECT_EQ(Stored(loaded), text);
    }
}

TEST(ProjectFile, FilesOfEarlierVersionsLoadWithTheirPlainValues) {
    SitesDirScope dir;
    // Earlier versions wrote every value plain; "&amp;" was typed, not written for "&".
    std::string text = StoredWithPasswords({"PW-1", "PW-2", "PW-3", "PW-4"});
    for (const auto& [mark, plain] : std::vector<std::pair<std::string, std::string>>{
             {"PW-1", "<a>x"}, {"PW-2", "</a>"}, {"PW-3", "<3"}, {"PW-4", "a&amp;b"}})
        text.replace(text.find(mark), mark.size(), plain);
    EXPECT_EQ(LoadedPasswords(text), (std::vector<std::string>{"<a>x", "</a>", "<3", "a&amp;b"}));
}

TEST(ProjectDocument, AFileThatLostAnEndTagIsRefused) {
    SitesDirScope dir;
    const std::string whole = StoredWithPasswords({"one", "two"});
    for (const std::string lost : {"      </SITE>\r\n", "   </GROUP>\r\n", "</PASSWORD>"}) {
        std::string text = whole;
        text.erase(text.find(lost), lost.size());
        CProject project;
        std::string error;
        EXPECT_FALSE(LoadText(project, text, &error)) << lost;
        EXPECT_TRUE(error.starts_with("Unexpected file format.\n")) << error;
    }
    // The message says what is wrong and where.
    std::string text = whole;
    text.erase(text.find("</GROUP>"));
    CProject project;
    std::string error;
    EXPECT_FALSE(LoadText(project, text, &error));
    const auto groupLine =
        1 + std::count(whole.begin(), whole.begin() + whole.find("<GROUP>"), '\n');
    EXPECT_EQ(error, "Unexpected file format.\ncut short: <GROUP> is never closed (line " +
                         std::to_string(groupLine) + ").");
}

TEST(ProjectFile, DataTextWithoutADataElementLoadsTheLastTopLevelElement) {
    CProject project;
    ASSERT_TRUE(LoadText(project, "<X>1</X><Y><NOTE>&lt;DATA&gt; <DATA></NOTE>"
                                  "<GROUP><NAME>g</NAME></GROUP></Y>"));
    ASSERT_EQ(project.GetGroups().size(), 1u);
    EXPECT_EQ(project.GetGroups()[0]->m_name, "g");
}

TEST(ProjectFile, OlderBinaryFormLoadsOnlyAnEmptyList) {
    CProject project;
    std::string error;
    EXPECT_TRUE(LoadText(project, std::string("\0\0", 2)));
    ASSERT_EQ(project.GetGroups().size(), 1u);
    EXPECT_EQ(project.GetGroups()[0]->m_name, "Sites");
    EXPECT_TRUE(project.GetGroups()[0]->m_sites.empty());

    EXPECT_TRUE(LoadText(project, std::string("\xff\xff\0\0\0\0", 6)));
    EXPECT_EQ(project.GetGroups().size(), 1u);

    for (const std::string& text : {std::string("\x01\0", 2), std::string("<data></data>"),
                                    std::string("\xff\xff\x01\0\0\0", 6), std::string("x")}) {
        error.clear();
        EXPECT_FALSE(LoadText(project, text, &error));
        EXPECT_TRUE(error.starts_with("Unexpected file format.\n")) << error;
        EXPECT_TRUE(project.GetGroups().empty()) << "a failed load leaves an empty project";
    }
    EXPECT_TRUE(LoadText(project, std::string("\0\0<data></data>", 15)));
}

TEST(ProjectDocument, EditsMarkModifiedAndAskForRefresh) {
    SitesDirScope dir;
    CProject project;
    int refreshes = 0;
    std::vector<const CSite*> removed;
    project.onRefreshSitesTree = [&] { ++refreshes; };
    project.onSiteRemoved = [&](const CSite& site) { removed.push_back(&site); };

    project.AddGroup(std::make_unique<CSiteGroup>("g"));
    CSiteGroup& group = *project.GetGroups()[0];
    project.AddSite(std::make_unique<CSite>("a"), group);
    project.AddSite(std::make_unique<CSite>("b"), group);
    EXPECT_TRUE(project.IsModified());
    EXPECT_EQ(refreshes, 3);
    EXPECT_EQ(group.m_sites[0]->m_group, &group);

    project.SetModified(false);
    const CSite* first = group.m_sites[0].get();
    project.RemoveSite(first, false);
    EXPECT_TRUE(project.IsModified());
    EXPECT_EQ(refreshes, 3);
    EXPECT_EQ(removed, std::vector<const CSite*>{first});
    ASSERT_EQ(group.m_sites.size(), 1u);

    CSiteGroup stranger("x");
    EXPECT_FALSE(project.RemoveGroup(&stranger, true));
    const CSite* second = group.m_sites[0].get();
    EXPECT_TRUE(project.RemoveGroup(&group, true));
    EXPECT_EQ(refreshes, 4);
    EXPECT_EQ(removed.back(), second) << "the status list learns of sites going with their group";
    EXPECT_TRUE(project.GetGroups().empty());
}

TEST(Project, ANewSiteNameIsMadeFreeAcrossAllGroups) {
    CProject project;
    project.AddGroup(std::make_unique<CSiteGroup>("a"));
    project.AddGroup(std::make_unique<CSiteGroup>("b"));
    project.AddSite(std::make_unique<CSite>("127001"), *project.GetGroups()[0]);
    project.AddSite(std::make_unique<CSite>("127001 (2)"), *project.GetGroups()[1]);
    const CSite* own = project.GetGroups()[0]->m_sites[0].get();
    EXPECT_TRUE(project.IsSiteNameTaken("127001"));
    EXPECT_TRUE(project.IsSiteNameTaken("127001 (2)"));
    EXPECT_FALSE(project.IsSiteNameTaken("127001", own)) << "a site does not clash with itself";
    EXPECT_EQ(project.UniqueSiteName("127001"), "127001 (3)");
    EXPECT_EQ(project.UniqueSiteName("Example"), "Example");
}

TEST(ProjectDocument, SaveAndOpenAFile) {
    SitesDirScope dir;
    const fs::path file = dir.path() / "project.xml";
    CProject project;
    EXPECT_EQ(project.GetTitle(), "Untitled");
    project.AddGroup(std::make_unique<CSiteGroup>("g"));
    project.AddSite(UnusualSite(), *project.GetGroups()[0]);
    std::string error;
    ASSERT_TRUE(project.SaveAs(file, error)) << error;
    EXPECT_FALSE(project.IsModified());
    EXPECT_EQ(project.GetTitle(), "project.xml");

    CProject opened;
    ASSERT_TRUE(opened.Open(file, error)) << error;
    EXPECT_EQ(Stored(opened), ReadWhole(file));
    EXPECT_EQ(opened.GetPath(), file);

    EXPECT_FALSE(opened.Open(dir.path() / "missing.xml", error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(Stored(opened), ReadWhole(file)) << "a failed open keeps the project in hand";
    EXPECT_EQ(opened.GetPath(), file);
}

TEST(ProjectDocument, ACutFileIsRefusedAndTheProjectInHandStays) {
    SitesDirScope dir;
    const fs::path file = dir.path() / "project.xml";
    CProject project;
    project.AddGroup(std::make_unique<CSiteGroup>("g"));
    project.AddSite(UnusualSite(), *project.GetGroups()[0]);
    std::string error;
    ASSERT_TRUE(project.SaveAs(file, error)) << error;
    const std::string whole = ReadWhole(file);

    // Ten bytes short, cut inside a tag, and cut just before the last end tag.
    const fs::path cut = dir.path() / "cut.xml";
    for (const std::size_t length :
         {whole.size() - 10, whole.find("<URL>") + 3, whole.rfind("</DATA>")}) {
        WriteWhole(cut, whole.substr(0, length));
        project.SetModified(true);
        error.clear();
        EXPECT_FALSE(project.Open(cut, error)) << length;
        // The file is named, and the damage.
        EXPECT_TRUE(error.starts_with("Unexpected file format.\n" + cut.string() + ": cut short"))
            << error;
        EXPECT_EQ(Stored(project), whole);
        EXPECT_EQ(project.GetPath(), file);
        EXPECT_TRUE(project.IsModified());
    }
}

// A stream of zero bytes without end, as a device gives.
class EndlessZeros : public std::streambuf {
protected:
    int_type underflow() override {
        setg(m_block.data(), m_block.data(), m_block.data() + m_block.size());
        return traits_type::to_int_type(m_block[0]);
    }

private:
    std::array<char, 65536> m_block{};
};

TEST(ProjectDocument, OnlyARegularFileOfAProjectsSizeIsRead) {
    SitesDirScope dir;
    const fs::path file = dir.path() / "project.xml";
    CProject project;
    project.AddGroup(std::make_unique<CSiteGroup>("kept"));
    std::string error;
    ASSERT_TRUE(project.SaveAs(file, error)) << error;

    // A pipe nobody writes to would block the open itself.
    const fs::path pipe = dir.path() / "pipe.xml";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    // Too large, though it starts like a project: refused without being read.
    const fs::path huge = dir.path() / "huge.xml";
    WriteWhole(huge, "<DATA></DATA>\r\n");
    fs::resize_file(huge, CXMLDocument::kMaxFileBytes + 1);
    for (const fs::path& path : {pipe, huge, dir.path(), fs::path("/dev/zero")}) {
        error.clear();
        EXPECT_FALSE(project.Open(path, error)) << path;
        EXPECT_EQ(error, "Not a project file") << path;
        EXPECT_EQ(project.GetPath(), file);
        ASSERT_EQ(project.GetGroups().size(), 1u);
        EXPECT_EQ(project.GetGroups()[0]->m_name, "kept");
    }

    // A stream read as a project stops after the largest file it would accept.
    EndlessZeros zeros;
    std::istream endless(&zeros);
    CProject streamed;
    EXPECT_FALSE(streamed.Load(endless, error));
    EXPECT_EQ(error, "Not a project file");
}

TEST(ProjectDocument, SavingReplacesTheFileWholeOrNotAtAll) {
    SitesDirScope dir;
    const fs::path file = dir.path() / "project.xml";
    WriteWhole(file, "old content");
    CProject project;
    project.AddGroup(std::make_unique<CSiteGroup>("g"));
    std::string error;

    // The file's place is taken by a folder: the new text cannot be put there.
    const fs::path blocked = dir.path() / "blocked.xml";
    fs::create_directories(blocked / "inside");
    project.SetModified(true);
    EXPECT_FALSE(project.SaveAs(blocked, error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(project.IsModified());
    EXPECT_TRUE(fs::is_directory(blocked / "inside"));
    EXPECT_FALSE(project.SaveAs(dir.path() / "no" / "such" / "dir.xml", error));

    ASSERT_TRUE(project.SaveAs(file, error)) << error;
    EXPECT_EQ(ReadWhole(file), Stored(project));
    // Nothing but what the test made is left beside it: no temporary files.
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir.path()))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"blocked.xml", "project.xml"}));
}
