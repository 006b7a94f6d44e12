// The tables' sizes, the store and replacement rule and the conversion of mate scores.
#include "search/helpers.h"

namespace {

using namespace search_test;

// A size that would give no slot, or wrap in 32 bits, falls back to the default.
TEST(TableSizes, MegabytesToEntries) {
    EXPECT_EQ(hash_entries_for_mb(64), 1677721u);
    EXPECT_EQ(hash_entries_for_mb(32), DEFAULT_HASH_ENTRIES);
    EXPECT_EQ(ecache_entries_for_mb(8), 524288u);
    EXPECT_EQ(ecache_entries_for_mb(4), DEFAULT_ECACHE_ENTRIES);
    EXPECT_EQ(hash_entries_for_mb(MAX_TABLE_MEGABYTES), 4095u * 1048576u / 40u);
    EXPECT_TRUE(table_megabytes_valid(1));
    EXPECT_TRUE(table_megabytes_valid(MAX_TABLE_MEGABYTES));
    for (int mb : {0, -1, -4096, 4096, 8192, 2147483647}) {
        EXPECT_FALSE(table_megabytes_valid(mb)) << mb;
        EXPECT_EQ(hash_entries_for_mb(mb), DEFAULT_HASH_ENTRIES) << mb;
        EXPECT_EQ(ecache_entries_for_mb(mb), DEFAULT_ECACHE_ENTRIES) << mb;
    }
}

// A mate found 5 plies below the root is stored relative to its node and read back at ply 3.
TEST(HashTable, MateScoresAreStoredRelativeToTheNode) {
    use_small_tables();
    pos.hash_key = 0x123456789abcdef1ull;
    for (int sign : {1, -1}) {
        pos.ply = 5;
        hash_store(HASH_EXACT, 40, sign * 32710, NO_MOVE);
        TranspositionEntry e;
        ASSERT_TRUE(hash_probe(&e));
        EXPECT_EQ(e.score, sign * 32715);
        pos.ply = 3;
        EXPECT_EQ(score_from_hash(e.score), sign * 32712);
    }
    pos.ply = 7;  // up to the bound scores are not mates and stay as they are
    EXPECT_EQ(score_to_hash(-32700), -32700);
    EXPECT_EQ(score_to_hash(MATE_BOUND), MATE_BOUND);
    EXPECT_EQ(score_to_hash(MATE_BOUND + 1), MATE_BOUND + 8);
    EXPECT_EQ(score_from_hash(MATE_BOUND), MATE_BOUND);
    pos.ply = 0;
}

TEST(HashTable, ShallowerStoreNeverReplacesDeeperEntry) {
    use_small_tables();
    pos.ply = 0;
    pos.hash_key = 1000;
    hash_store(HASH_LOWER, 24, 50, {52, 36, MOVE_DOUBLE_PUSH, 0});
    pos.hash_key = 1000 + hash_entries;  // another position on the same slot
    hash_store(HASH_EXACT, 20, 10, NO_MOVE);
    TranspositionEntry e;
    EXPECT_FALSE(hash_probe(&e));
    pos.hash_key = 1000;
    ASSERT_TRUE(hash_probe(&e));
    EXPECT_EQ(e.depth, 24);
    EXPECT_EQ(e.best_move.from, 52);
    pos.hash_key = 1000 + hash_entries;  // equal depth replaces
    hash_store(HASH_EXACT, 24, 10, NO_MOVE);
    ASSERT_TRUE(hash_probe(&e));
    EXPECT_EQ(e.score, 10);
    clear_tables();
}

// How full the table is, as an interface is told: used slots among the first thousand.
TEST(HashTable, FullnessIsSampledFromTheStart) {
    use_small_tables();
    EXPECT_EQ(hash_full_permill(), 0);
    for (int i = 0; i < 250; i++) hash_table[i].key = 1;
    hash_table[5000].key = 1;  // beyond the sample
    EXPECT_EQ(hash_full_permill(), 250);
    clear_tables();
}

// A new size gives a new, empty table; a size out of range changes nothing.
TEST(HashTable, ResizeKeepsTheTableOnRefusal) {
    use_small_tables();
    EXPECT_FALSE(resize_hash_table(0));
    EXPECT_FALSE(resize_hash_table(MAX_TABLE_MEGABYTES + 1));
    EXPECT_EQ(hash_entries, 1u << 16);
    pos.hash_key = 42;
    hash_store(HASH_EXACT, 8, 17, NO_MOVE);
    ASSERT_TRUE(resize_hash_table(2));
    EXPECT_EQ(hash_mb, 2);
    EXPECT_EQ(hash_entries, hash_entries_for_mb(2));
    TranspositionEntry entry;
    EXPECT_FALSE(hash_probe(&entry));
    // Back to the small table the other cases expect.
    hash_entries = 1 << 16;
    alloc_tables();
}

}  // namespace
