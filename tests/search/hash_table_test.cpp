// The tables' sizes, the store and replacement rule and the conversion of mate scores.
#include <random>
#include <tuple>

#include "search/helpers.h"
#include "search/parameters.h"

namespace {

using namespace search_test;

// More megabytes give more slots, up to the largest size without overflow; a size that would
// give no slot, or wrap in 32 bits, falls back to the default.
TEST(TableSizes, MegabytesToEntries) {
    EXPECT_EQ(hash_entries_for_mb(32), DEFAULT_HASH_ENTRIES);
    EXPECT_EQ(ecache_entries_for_mb(4), DEFAULT_ECACHE_ENTRIES);
    EXPECT_LT(hash_entries_for_mb(1), hash_entries_for_mb(2));
    EXPECT_LT(hash_entries_for_mb(MAX_TABLE_MEGABYTES - 1), hash_entries_for_mb(MAX_TABLE_MEGABYTES));
    if (sizeof(void*) >= 8) {
        EXPECT_LT(hash_entries_for_mb(MAX_TABLE_MEGABYTES), hash_entries_for_mb(65536));
    }
    for (int mb : {0, -1, -4096, MAX_HASH_MB + 1, 2147483647}) {
        EXPECT_FALSE(hash_megabytes_valid(mb)) << mb;
        EXPECT_EQ(hash_entries_for_mb(mb), DEFAULT_HASH_ENTRIES) << mb;
    }
    for (int mb : {0, -1, MAX_TABLE_MEGABYTES + 1, 2147483647}) EXPECT_EQ(ecache_entries_for_mb(mb), DEFAULT_ECACHE_ENTRIES) << mb;
}

// The slot a key maps to is key % slots for every key and table size: the tables' contents, and
// so the search, depend on it.
TEST(TableSizes, SlotIndexIsTheRemainder) {
    const uint32_t sizes[] = {1, 2, 3, 7, 1u << 14, DEFAULT_ECACHE_ENTRIES, DEFAULT_HASH_ENTRIES,
                              hash_entries_for_mb(MAX_TABLE_MEGABYTES), ecache_entries_for_mb(MAX_TABLE_MEGABYTES),
                              0x7fffffffu, 0xffffffffu};
    std::mt19937_64 random(0x9e3779b97f4a7c15ull);
    for (const uint32_t slots : sizes) {
        const SlotIndex index(slots);
        std::vector<uint64_t> keys = {0, 1, slots - 1ull, slots, slots + 1ull, ~0ull, ~0ull - 1, 1ull << 63,
                                      (~0ull / slots) * slots, (~0ull / slots) * slots - 1};
        for (int i = 0; i < 20000; i++) keys.push_back(random());
        for (const uint64_t key : keys) ASSERT_EQ(index.of(key), key % slots) << key << " % " << slots;
    }
}

// A slot keeps each field whole up to its limits: the deepest entry of the longest game, a bound
// beyond the mate scores stored at the deepest ply, every flag and every square. A shallower
// store leaves a deeper entry of another position in place; one as deep replaces it.
TEST(HashTable, StoreKeepsEveryFieldAndTheDeeperEntry) {
    use_small_tables();
    const struct { int flag, depth, score, from, to; } cases[] = {
        {HASH_EXACT, MAX_GAME_PLY + MAX_PLY * ONE_PLY, SCORE_INF + MAX_PLY, 63, 0},
        {HASH_UPPER, 0, -SCORE_INF - MAX_PLY, 0, 63},
        {HASH_LOWER, 1, 0, 63, 63},
        {HASH_LOWER, 24, -1, 12, 28},
    };
    game.ply = 0;
    TranspositionEntry e;
    for (const auto& c : cases) {
        game.hash_key = 0xfedcba9876543210ull + c.depth;
        hash_store(game, c.flag, c.depth, c.score, {c.from, c.to, MOVE_NORMAL, 0});
        ASSERT_TRUE(hash_probe(game, &e));
        EXPECT_EQ(std::tie(e.key, e.flag, e.depth, e.score, e.best_move.from, e.best_move.to),
                  std::tie(game.hash_key, c.flag, c.depth, c.score, c.from, c.to));
    }
    uint64_t deeper = game.hash_key;
    game.hash_key = deeper + hash_entries;  // another position on the same slot
    hash_store(game, HASH_EXACT, 20, 10, NO_MOVE);
    EXPECT_FALSE(hash_probe(game, &e));
    std::swap(game.hash_key, deeper);
    EXPECT_TRUE(hash_probe(game, &e) && e.depth == 24);
    std::swap(game.hash_key, deeper);
    hash_store(game, HASH_EXACT, 24, 10, NO_MOVE);
    ASSERT_TRUE(hash_probe(game, &e));
    EXPECT_EQ(e.score, 10);
    clear_tables();
}

// A mate found 5 plies below the root is stored relative to its node and read back at ply 3;
// up to the bound scores are not mates and stay as they are.
TEST(HashTable, MateScoresAreStoredRelativeToTheNode) {
    use_small_tables();
    game.hash_key = 0x123456789abcdef1ull;
    for (int sign : {1, -1}) {
        game.ply = 5;
        hash_store(game, HASH_EXACT, 40, sign * 32710, NO_MOVE);
        TranspositionEntry e;
        ASSERT_TRUE(hash_probe(game, &e));
        EXPECT_EQ(e.score, sign * 32715);
        game.ply = 3;
        EXPECT_EQ(score_from_hash(game, e.score), sign * 32712);
    }
    game.ply = 7;
    EXPECT_EQ(score_to_hash(game, MATE_BOUND), MATE_BOUND);
    EXPECT_EQ(score_to_hash(game, -MATE_BOUND), -MATE_BOUND);
    EXPECT_EQ(score_to_hash(game, MATE_BOUND + 1), MATE_BOUND + 8);
    EXPECT_EQ(score_from_hash(game, MATE_BOUND), MATE_BOUND);
    game.ply = 0;
}

// How full the table is, as an interface is told: none, some, all of a sample in permille. A new
// size gives a new, empty table; a size out of range changes nothing.
TEST(HashTable, FullnessAndResize) {
    use_small_tables();
    EXPECT_EQ(hash_full_permill(), 0);
    for (uint32_t i = 0; i < hash_entries; i += 4) hash_table[i].check = 1;
    const int quarter = hash_full_permill();
    EXPECT_GT(quarter, 0);
    EXPECT_LT(quarter, 1000);
    for (uint32_t i = 0; i < hash_entries; i++) hash_table[i].check = 1;
    EXPECT_EQ(hash_full_permill(), 1000);
    EXPECT_FALSE(resize_hash_table(0));
    EXPECT_FALSE(resize_hash_table(MAX_HASH_MB + 1));
    EXPECT_EQ(hash_entries, 1u << 16);
    ASSERT_TRUE(resize_hash_table(2));
    EXPECT_EQ(std::make_pair(hash_mb, hash_entries), std::make_pair(2, hash_entries_for_mb(2)));
    EXPECT_EQ(hash_full_permill(), 0);
    hash_entries = 1 << 16;  // back to the small table the other cases expect
    alloc_tables();
}

}  // namespace
