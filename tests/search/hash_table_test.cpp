// The tables' sizes, the store and probe rules and the conversion of mate scores.
#include <gtest/gtest.h>

#include "search/helpers.h"

namespace {

using namespace search_test;

TEST(TableSizes, MegabytesToEntries) {
    EXPECT_EQ(hash_entries_for_mb(64), 1677721u);
    EXPECT_EQ(hash_entries_for_mb(32), DEFAULT_HASH_ENTRIES);
    EXPECT_EQ(ecache_entries_for_mb(8), 524288u);
    EXPECT_EQ(ecache_entries_for_mb(4), DEFAULT_ECACHE_ENTRIES);
    EXPECT_EQ(hash_entries_for_mb(1), 26214u);
    EXPECT_EQ(hash_entries_for_mb(MAX_TABLE_MEGABYTES), 4095u * 1048576u / 40u);
}

// A size that would give no slot, or wrap in 32 bits, falls back to the default.
TEST(TableSizes, UnusableSizesKeepTheDefault) {
    for (int mb : {0, -1, -4096, 4096, 8192, 2147483647}) {
        EXPECT_FALSE(table_megabytes_valid(mb)) << mb;
        EXPECT_EQ(hash_entries_for_mb(mb), DEFAULT_HASH_ENTRIES) << mb;
        EXPECT_EQ(ecache_entries_for_mb(mb), DEFAULT_ECACHE_ENTRIES) << mb;
    }
    EXPECT_TRUE(table_megabytes_valid(1));
    EXPECT_TRUE(table_megabytes_valid(MAX_TABLE_MEGABYTES));
}

class HashTable : public ::testing::Test {
  protected:
    void SetUp() override {
        use_small_tables();
        saved_ply = pos.ply;
        saved_key = pos.hash_key;
        saved_null_depth = null_depth;
    }
    void TearDown() override {
        pos.ply = saved_ply;
        pos.hash_key = saved_key;
        null_depth = saved_null_depth;
        clear_tables();
    }
    int saved_ply = 0;
    uint64_t saved_key = 0;
    int saved_null_depth = 0;
};

TEST_F(HashTable, MateScoreStoredAtOnePlyReadsRightAtAnother) {
    pos.hash_key = 0x123456789abcdef1ull;
    pos.ply = 5;
    hash_store(HASH_EXACT, 40, 32710, NO_MOVE);
    TranspositionEntry e;
    ASSERT_TRUE(hash_probe(&e));
    EXPECT_EQ(e.score, 32715);
    pos.ply = 3;
    EXPECT_EQ(score_from_hash(e.score), 32712);

    // Being mated works the same way, mirrored.
    pos.ply = 5;
    hash_store(HASH_EXACT, 41, -32710, NO_MOVE);
    ASSERT_TRUE(hash_probe(&e));
    EXPECT_EQ(e.score, -32715);
    pos.ply = 3;
    EXPECT_EQ(score_from_hash(e.score), -32712);
}

TEST_F(HashTable, OrdinaryScoresAreStoredUnchanged) {
    pos.ply = 7;
    EXPECT_EQ(score_to_hash(-32700), -32700);
    EXPECT_EQ(score_to_hash(MATE_BOUND), MATE_BOUND);
    EXPECT_EQ(score_to_hash(MATE_BOUND + 1), MATE_BOUND + 8);
    EXPECT_EQ(score_to_hash(0), 0);
    EXPECT_EQ(score_from_hash(MATE_BOUND), MATE_BOUND);
}

TEST_F(HashTable, ShallowerStoreNeverReplacesDeeperEntry) {
    pos.ply = 0;
    pos.hash_key = 1000;
    Move m = {52, 36, MOVE_DOUBLE_PUSH, 0};
    hash_store(HASH_LOWER, 24, 50, m);
    // Another position on the same slot.
    pos.hash_key = 1000 + hash_entries;
    hash_store(HASH_EXACT, 20, 10, NO_MOVE);
    TranspositionEntry e;
    EXPECT_FALSE(hash_probe(&e));
    pos.hash_key = 1000;
    ASSERT_TRUE(hash_probe(&e));
    EXPECT_EQ(e.depth, 24);
    EXPECT_EQ(e.best_move.from, 52);
    // Equal depth replaces.
    pos.hash_key = 1000 + hash_entries;
    hash_store(HASH_EXACT, 24, 10, NO_MOVE);
    ASSERT_TRUE(hash_probe(&e));
    EXPECT_EQ(e.score, 10);
}

TEST_F(HashTable, ClearedTableHitsOnlyTheZeroKey) {
    clear_tables();
    TranspositionEntry e;
    pos.hash_key = 0;
    ASSERT_TRUE(hash_probe(&e));
    EXPECT_EQ(e.depth, 0);
    EXPECT_EQ(e.flag, HASH_EXACT);
    pos.hash_key = 77;
    EXPECT_FALSE(hash_probe(&e));
}

TEST_F(HashTable, ProbeHashMoveGivesMoveAndNullPermission) {
    pos.ply = 0;
    pos.hash_key = 4242;
    HashMoveProbe miss = probe_hash_move(10, 0);
    EXPECT_EQ(miss.flag, HASH_NONE);
    EXPECT_EQ(miss.null_ok, 1);
    EXPECT_EQ(miss.score, SCORE_INF);

    Move m = {12, 28, MOVE_DOUBLE_PUSH, 77};
    hash_store(HASH_UPPER, 30, -40, m);
    null_depth = 20;
    HashMoveProbe hit = probe_hash_move(31, 0);
    EXPECT_EQ(hit.move.from, 12);
    EXPECT_EQ(hit.move.to, 28);
    EXPECT_EQ(hit.move.score, 77);
    EXPECT_EQ(hit.null_ok, 0);      // upper bound below beta, deep enough for a null search
    EXPECT_EQ(hit.flag, HASH_NONE); // too shallow for the wanted depth
    EXPECT_EQ(hit.score, SCORE_INF);

    hit = probe_hash_move(30, 0);
    EXPECT_EQ(hit.flag, HASH_UPPER);
    EXPECT_EQ(hit.score, -40);

    EXPECT_EQ(probe_hash_move(30, -50).null_ok, 1);  // score not below beta
    null_depth = 31;
    EXPECT_EQ(probe_hash_move(30, 0).null_ok, 1);    // shallower than the null search
}

}  // namespace
