// The completeness tally's bounds: repeats and fragments count once, samples stay few and
// short, and a flood of distinct refused addresses stops being remembered.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/offline_check.h"

TEST(OfflineCheck, CountsEachAddressOnceAndKeepsAFewShortSamples) {
    COfflineCheck check;
    check.NoteRefused(LinkRefusal::OtherServer, "http://a/x.htm", false);
    check.NoteRefused(LinkRefusal::OtherServer, "http://a/x.htm#part", false);
    check.NoteRefused(LinkRefusal::Depth, "http://a/x.htm", false);
    check.NoteRefused(LinkRefusal::None, "http://a/admitted.htm", false);
    for (const char* address : {"http://b/", "http://c/", "http://d/"})
        check.NoteRefused(LinkRefusal::OtherServer, address, false);
    check.NoteRefused(LinkRefusal::Directory, "http://a/" + std::string(300, 'p'), false);
    check.NoteMissing(MissingReason::Failed, "http://a/gone.htm");
    EXPECT_EQ(check.RefusedCount(LinkRefusal::OtherServer), 4u);
    EXPECT_EQ(check.RefusedCount(LinkRefusal::Depth), 0u);

    const std::vector<std::string> lines = check.ReportLines();
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], "Links left to the server: 5 (other server 4, directory 1)");
    EXPECT_EQ(lines[1], "  other server:  http://a/x.htm  http://b/  http://c/  ...");
    EXPECT_EQ(lines[2], "  directory:  http://a/" + std::string(191, 'p') + "...");
    EXPECT_EQ(lines[3], "Local links whose file is missing: 1 (failed 1)");
    EXPECT_EQ(lines[4], "  failed:  http://a/gone.htm");

    check.Clear();
    EXPECT_EQ(check.ReportLines(),
              (std::vector<std::string>{"Links left to the server: none",
                                        "Local links whose file is missing: none"}));
}

TEST(OfflineCheck, StopsRememberingPastItsCapAndSaysSo) {
    COfflineCheck check;
    for (std::size_t i = 0; i <= COfflineCheck::kMaxRemembered; ++i)
        check.NoteRefused(LinkRefusal::Depth, "http://h/" + std::to_string(i), true);
    EXPECT_EQ(check.RefusedCount(LinkRefusal::Depth, true), COfflineCheck::kMaxRemembered);
    const auto lines = check.ReportLines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "Links left to the server: none");
    EXPECT_EQ(lines[1], "Links removed: " + std::to_string(COfflineCheck::kMaxRemembered) +
                            " or more (depth " + std::to_string(COfflineCheck::kMaxRemembered) +
                            ")");
}
