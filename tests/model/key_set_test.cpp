// The flat set of key hashes the crawl keeps of addresses that ended.

#include <gtest/gtest.h>

#include <cstdint>

#include "model/key_set.h"

TEST(KeySet, HoldsEveryKeyOnceThroughItsGrowthAndNothingElse) {
    CKeySet set;
    EXPECT_FALSE(set.Contains(0));
    // 0 and 1 share a slot value; both are taken as one key, which a 64-bit hash makes
    // as rare as any other collision.
    set.Insert(0);
    EXPECT_TRUE(set.Contains(0));
    EXPECT_TRUE(set.Contains(1));
    std::uint64_t key = 12345;
    for (int i = 0; i < 100000; ++i) {
        key = key * 6364136223846793005ull + 1442695040888963407ull;
        set.Insert(key);
        set.Insert(key); // again: no second entry
    }
    EXPECT_EQ(set.Size(), 100001u);
    key = 12345;
    for (int i = 0; i < 100000; ++i) {
        key = key * 6364136223846793005ull + 1442695040888963407ull;
        ASSERT_TRUE(set.Contains(key)) << i;
        ASSERT_FALSE(set.Contains(key ^ 0x8000000000000000ull)) << i;
    }
    set.Clear();
    EXPECT_EQ(set.Size(), 0u);
    EXPECT_FALSE(set.Contains(key));
}
