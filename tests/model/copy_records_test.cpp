// The records kept beside a copy: what survives saving and loading, and what a damaged
// file or a replaced record leaves.

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "model/copy_records.h"
#include "support/temp_dir.h"

namespace {

CCopyRecord Record(std::int64_t ticks, std::int64_t lastModified, std::string etag,
                   CopyKind kind = CopyKind::Other) {
    CCopyRecord record;
    record.fileTicks = ticks;
    record.lastModified = lastModified;
    record.etag = std::move(etag);
    record.kind = kind;
    return record;
}

} // namespace

// Thousands of records (more than are kept unsorted), some replaced, read back after a
// save: the latest of each, the tag only where there is no date.
TEST(CopyRecords, TheLatestRecordOfEveryFileSurvivesSavingAndLoading) {
    TempDir dir;
    const auto file = dir.path() / kCopyRecordsFile;
    CCopyRecords records;
    records.Open(file);
    for (int i = 0; i < 3000; ++i)
        records.Put("/h/" + std::to_string(i), Record(i, 1000 + i, "\"t\"", CopyKind::Page));
    for (int i = 0; i < 3000; i += 7)
        records.Put("/h/" + std::to_string(i), Record(-i, 0, "W/\"x" + std::to_string(i) + "\"",
                                                      CopyKind::StyleSheet));
    ASSERT_FALSE(records.Close());

    CCopyRecords loaded;
    loaded.Open(file);
    EXPECT_EQ(loaded.Size(), 3000u);
    for (const int i : {0, 1, 7, 1500, 2999}) {
        const auto record = loaded.Find("/h/" + std::to_string(i));
        ASSERT_TRUE(record) << i;
        if (i % 7 == 0) {
            EXPECT_EQ(record->fileTicks, -i);
            EXPECT_EQ(record->lastModified, 0);
            EXPECT_EQ(record->etag, "W/\"x" + std::to_string(i) + "\"");
            EXPECT_EQ(record->kind, CopyKind::StyleSheet);
        } else {
            EXPECT_EQ(record->fileTicks, i);
            EXPECT_EQ(record->lastModified, 1000 + i);
            EXPECT_EQ(record->etag, "");
            EXPECT_EQ(record->kind, CopyKind::Page);
        }
    }
    EXPECT_FALSE(loaded.Find("/h/3000"));
}

TEST(CopyRecords, RecordsOfAnUnclosedRunStayButUnreadableLinesAndTagsAreLeftOut) {
    TempDir dir;
    const auto file = dir.path() / kCopyRecordsFile;
    {
        // Never closed, as when the program is killed: the lines written stay.
        CCopyRecords records;
        records.Open(file);
        records.Put("/a", Record(5, 0, "\"bad\ntag\""));
        records.Put("/b", Record(6, 0, "\"good\""));
    }
    std::ofstream(file, std::ios::app) << "zz h 1 2\nabc q 1 2 x\n12 h x 2\n12 h 1\n\n";

    CCopyRecords loaded;
    loaded.Open(file);
    EXPECT_EQ(loaded.Size(), 2u);
    EXPECT_EQ(loaded.Find("/a")->etag, "");
    EXPECT_EQ(loaded.Find("/b")->etag, "\"good\"");
    // Nothing added since: nothing is written.
    std::filesystem::remove(file);
    EXPECT_FALSE(loaded.Close());
    EXPECT_FALSE(std::filesystem::exists(file));
}
