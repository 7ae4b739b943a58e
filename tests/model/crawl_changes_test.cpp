// The tally and the list of what a crawl changed, and the JSON its list is written in.

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "model/crawl_changes.h"
#include "model/json_text.h"
#include "support/temp_dir.h"

namespace {

std::string Json(std::string_view text) {
    std::string out;
    AppendJsonString(out, text);
    return out;
}

std::vector<CListedChange> ReadAll(const std::filesystem::path& file) {
    std::vector<CListedChange> entries;
    EXPECT_TRUE(ReadChangeList(file, [&](CListedChange&& entry) { entries.push_back(entry); }));
    return entries;
}

} // namespace

TEST(JsonText, StringsAreEscapedAsJsonRequiresAndStayValidUtf8) {
    EXPECT_EQ(Json("plain/path?a=1&b"), "\"plain/path?a=1&b\"");
    EXPECT_EQ(Json("say \"hi\" \\ there"), R"("say \"hi\" \\ there")");
    EXPECT_EQ(Json("a\nb\rc\td"), R"("a\nb\rc\td")");
    EXPECT_EQ(Json(std::string("\x01\x1f\x7f", 3)), R"("\u0001\u001f\u007f")");
    EXPECT_EQ(Json(std::string("nul\0x", 5)), R"("nul\u0000x")");
    // UTF-8 stays as it is; a byte that is not UTF-8 becomes its Latin-1 character.
    EXPECT_EQ(Json("caf\xc3\xa9 \xf0\x9f\x98\x80"), "\"caf\xc3\xa9 \xf0\x9f\x98\x80\"");
    EXPECT_EQ(Json("caf\xe9"), "\"caf\xc3\xa9\"");
    EXPECT_EQ(Json("\xc3"), "\"\xc3\x83\"");             // cut short
    EXPECT_EQ(Json("\xed\xa0\x80"), "\"\xc3\xad\xc2\xa0\xc2\x80\""); // a surrogate
}

TEST(JsonText, AnObjectOfStringsIsReadBackAndAnythingElseRefused) {
    const auto read = ReadJsonStringObject(
        R"( {"a":"x\"y\\z\n","b" : "\u00e9\ud83d\ude00\/", "a2":""} )");
    ASSERT_TRUE(read);
    EXPECT_EQ(read->at("a"), "x\"y\\z\n");
    EXPECT_EQ(read->at("b"), "\xc3\xa9\xf0\x9f\x98\x80/");
    EXPECT_EQ(read->at("a2"), "");
    EXPECT_TRUE(ReadJsonStringObject("{}"));
    for (const char* bad : {"", "{", R"({"a":1})", R"({"a":"b",})", R"({"a":"b"} x)",
                            R"({"a":"\ud83d"})", R"({"a":"\q"})", "{\"a\":\"\n\"}",
                            R"(["a"])"})
        EXPECT_FALSE(ReadJsonStringObject(bad)) << bad;
}

TEST(CrawlChanges, CountsEveryKindListsAllButUnchangedAndCountsARefusedAddressOnce) {
    TempDir dir;
    const auto file = dir.path() / kCrawlChangesFile;
    std::ofstream(file) << "an earlier crawl's list\n";
    CCrawlChanges changes;
    changes.Begin(file);
    const std::string odd = "http://h/a \"quoted\"\\path\t\xc3\xa9.htm";
    changes.Count(FileChange::New, odd, "/sites/A/h/a \"quoted\"\\path\t\xc3\xa9.htm");
    changes.Count(FileChange::Unchanged, "http://h/same.htm", "/sites/A/h/same.htm");
    changes.Count(FileChange::Changed, "http://h/b.png", "/sites/A/h/b.png");
    changes.Count(FileChange::Failed, "http://h/gone.htm", "");
    for (const char* refused : {"http://x/1", "http://x/2", "http://x/1"})
        changes.CountSkipped(refused);
    changes.End();
    // A fetch that outlives the end is counted, not listed.
    changes.Count(FileChange::New, "http://h/late.htm", "/sites/A/h/late.htm");

    const CChangeTally tally = changes.Tally();
    EXPECT_EQ(FormatChangeTally(tally),
              "Files: 2 new, 1 changed, 1 unchanged, 1 failed, 2 skipped by rules");
    EXPECT_EQ(changes.ListFile(), file);

    const auto entries = ReadAll(file);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].change, FileChange::New);
    EXPECT_EQ(entries[0].url, odd);
    EXPECT_EQ(entries[0].localPath, "/sites/A/h/a \"quoted\"\\path\t\xc3\xa9.htm");
    EXPECT_EQ(entries[1].change, FileChange::Changed);
    EXPECT_EQ(entries[2].change, FileChange::Failed);
    EXPECT_EQ(entries[2].url, "http://h/gone.htm");

    std::ifstream in(file);
    std::string first;
    std::getline(in, first);
    EXPECT_EQ(first, R"({"url":"http://h/a \"quoted\"\\path\t)"
                     "\xc3\xa9"
                     R"(.htm","local_path":"/sites/A/h/a \"quoted\"\\path\t)"
                     "\xc3\xa9"
                     R"(.htm","status":"new"})");

    // The next crawl starts from nothing.
    changes.Begin(file);
    changes.End();
    EXPECT_EQ(FormatChangeTally(changes.Tally()),
              "Files: 0 new, 0 changed, 0 unchanged, 0 failed, 0 skipped by rules");
    EXPECT_TRUE(ReadAll(file).empty());
}

TEST(CrawlChanges, AListThatCannotBeWrittenStillCounts) {
    TempDir dir;
    CCrawlChanges changes;
    changes.Begin(dir.path() / "no such folder" / kCrawlChangesFile);
    changes.Count(FileChange::New, "http://h/", "/x");
    changes.End();
    EXPECT_TRUE(changes.ListFile().empty());
    EXPECT_EQ(changes.Tally().newFiles, 1);
}
