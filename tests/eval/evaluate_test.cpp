// The evaluation driver: early returns, the cache, lazy exits, material blocks, endings, trade-down, tempo.
#include "eval/eval_fixture.h"

namespace {

class Evaluate : public EvalTest {
protected:
    // White's minus black's total after the endgame loop alone, for positions whose remaining
    // blocks a test accounts for by hand.
    int endgame_loop_difference() {
        ev.white_score = game.piece_material[WHITE] + game.pawn_material[WHITE];
        ev.black_score = game.piece_material[BLACK] + game.pawn_material[BLACK];
        piece_terms_endgame(ev);
        return ev.white_score - ev.black_score;
    }
    int full() { return evaluate(ev, -SCORE_INF, SCORE_INF); }
};

// Insufficient material scores zero before the cache is read; two bishops or a rook do not.
TEST_F(Evaluate, PawnlessDraws) {
    for (const char* fen : {"4k3/8/8/8/8/8/8/4K3 w - -", "4k3/8/8/8/8/8/8/3NK3 b - -", "4k3/8/8/8/8/8/8/3BK3 w - -",
                            "1n2k1n1/8/8/8/8/8/8/1N2KN2 w - -", "3rk3/8/8/8/8/8/8/3RK3 b - -",
                            "3bk3/8/8/8/8/8/8/2BBK3 w - -", "3rk3/8/8/8/8/8/8/2NRK3 w - -",
                            "2nbk3/8/8/8/8/8/8/3RK3 w - -"}) {
        set(fen);
        slot().store(game.hash_key, 777);
        EXPECT_EQ(full(), 0) << fen;
    }
    set("4k3/8/8/8/8/8/8/2B1KB2 w - -");
    EXPECT_GT(eval_fresh(), 500);
    set("4k3/8/8/8/8/8/8/3RK3 w - -");
    EXPECT_GT(eval_fresh(), 400);
}

// Bishop endings are scaled toward a draw before any other block, opposite colours most, and are
// not cached; other endings are evaluated in full and cached.
TEST_F(Evaluate, BishopEndingsScaleTowardADraw) {
    set("4k3/p1pb4/1p6/8/8/1P1P4/P1P2B2/4K3 w - -");  // opposite-coloured bishops, a pawn up
    const int ahead = endgame_loop_difference(), opposite = eval_fresh();
    EXPECT_FALSE(slot().holds(game.hash_key));
    EXPECT_GT(opposite, 0);
    EXPECT_LT(2 * opposite, ahead);
    set("4k3/p1pb4/1p6/8/8/1P1P4/P1P2B2/4K3 b - -");
    EXPECT_EQ(eval_fresh(), -opposite);  // no tempo
    set("4k3/p1p1b3/1p6/8/8/1P1P4/P1P2B2/4K3 w - -");  // same colour
    const int same_ahead = endgame_loop_difference(), same = eval_fresh();
    EXPECT_FALSE(slot().holds(game.hash_key));
    EXPECT_LT(same, same_ahead);
    EXPECT_GT(2 * same, same_ahead);
    for (const char* fen : {"4k3/p3b3/1p6/8/8/1P1P4/P1P2B2/4K3 w - -", "1n2k1n1/ppp5/8/8/8/8/PPP5/2B1KB2 w - -",
                            "4k3/8/8/8/8/1P6/b1P5/4K3 w - -"}) {
        set(fen);
        eval_fresh();
        EXPECT_TRUE(slot().holds(game.hash_key)) << fen;
    }
}

// Rook and piece against rook and pawns is drawn only for the side with the piece.
TEST_F(Evaluate, RookAndPieceAgainstRookAndPawns) {
    set("r3k3/pp5R/8/8/4N3/8/8/4K3 w - -");
    EXPECT_EQ(eval_fresh(), 0);
    set("r3k3/8/8/8/8/8/pp6/4K1NR w - -");
    EXPECT_LT(eval_fresh(), -100);
    set("4k1nr/PP6/8/8/8/8/8/R3K3 b - -");
    EXPECT_LT(eval_fresh(), -100);
}

TEST_F(Evaluate, LazyExitReturnsTheBoundWithoutACacheEntry) {
    set("r2qk3/pppp4/8/8/8/8/PPPPPPPP/R2QK3 w - -");  // 4100 in all, white 400 ahead
    ev.lazy_eval = 1;
    EXPECT_EQ(evaluate(ev, 0, 50), 50);
    EXPECT_EQ(slot().word, 0u);
    ev.lazy_eval = 0;
    const int exact = evaluate(ev, 0, 50);  // the same call without lazy exits evaluates in full
    EXPECT_TRUE(slot().holds(game.hash_key));
    EXPECT_EQ(slot().score(), exact);
    set("r2qk3/pppp4/8/8/8/8/PPPPPPPP/R2QK3 b - -");
    ev.lazy_eval = 1;
    EXPECT_EQ(evaluate(ev, -50, 0), -50);  // fail low: the alpha bound
    EXPECT_EQ(slot().word, 0u);
    set("r5k1/pp3ppp/2n5/3p4/3P4/2N2N2/PP3PPP/R5K1 w - -");  // transition: the margin widens
    EXPECT_EQ(evaluate(ev, -SCORE_INF, -200), -200);  // a knight (315) + 500 > -200
    EXPECT_NE(evaluate(ev, -SCORE_INF, 0), 0);         // 315 - 500 < 0: no exit
}

TEST_F(Evaluate, CacheHitsAndMisses) {
    set("r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq -");
    const int score = full();
    EXPECT_TRUE(slot().holds(game.hash_key));
    EXPECT_EQ(slot().score(), score);
    slot().store(game.hash_key, 1234);  // a stored score is returned as it is
    EXPECT_EQ(full(), 1234);
    slot().word = 0;  // a cleared slot: a miss, then overwritten
    EXPECT_EQ(full(), score);
    EXPECT_EQ(slot().score(), score);
    // Another key of the same slot (the next multiple of the slot count away) reads nothing of
    // this key's score, and its own evaluation takes the slot over.
    const uint64_t key = game.hash_key;
    slot().store(key, 1234);
    game.hash_key = key + CACHE_ENTRIES;
    ASSERT_EQ(&slot(), ev.cache.slot(key));
    EXPECT_EQ(full(), score);
    EXPECT_FALSE(ev.cache.slot(key)->holds(key));
    game.hash_key = key;
    EXPECT_EQ(full(), score);
    ev.cache.use(nullptr, 0);  // and the evaluation does not need a cache at all
    EXPECT_EQ(full(), score);
}

// A slot holds every score an evaluation can give and tells apart any two keys that share it;
// a cleared slot holds nothing, not even for keys whose kept bits are all zero.
TEST(EvalCacheSlot, ScoresAtTheLimitsAndKeysThatShareASlot) {
    const uint64_t keys[] = {0, 0xffff, 1ull << 16, 0x0123456789abcdefull, ~0ull};
    for (const uint64_t key : keys) {
        EXPECT_FALSE(EvalCacheEntry{0}.holds(key)) << key;
        for (const int score : {-SCORE_INF, -1, 0, SCORE_INF}) {
            EvalCacheEntry slot{0};
            slot.store(key, score);
            EXPECT_TRUE(slot.holds(key)) << key << " " << score;
            EXPECT_EQ(slot.score(), score) << key;
            EXPECT_FALSE(slot.holds(key ^ 1ull << 16)) << key;
            EXPECT_FALSE(slot.holds(key ^ 1ull << 63)) << key;
        }
        // A score the slot cannot hold empties it instead of storing another.
        for (const int score : {-32768, 32768}) {
            EvalCacheEntry slot{0};
            slot.store(key, 5);
            slot.store(key, score);
            EXPECT_FALSE(slot.holds(key)) << key << " " << score;
        }
    }

    // Keys a multiple of the slot count apart share a slot, for any count, and are told apart.
    static EvalCacheEntry table[3 * MIN_ECACHE_ENTRIES];
    EvalCache cache;
    for (const uint32_t slots : {MIN_ECACHE_ENTRIES + 1, 100003u, 3 * MIN_ECACHE_ENTRIES}) {
        cache.use(table, slots);
        const uint64_t key = 0x2545f4914f6cdd1dull, other = key + 3ull * slots;
        ASSERT_EQ(cache.slot(key), cache.slot(other)) << slots;
        cache.slot(key)->store(key, 7);
        EXPECT_FALSE(cache.slot(other)->holds(other)) << slots;
    }
}

// A cache too small to tell its keys apart is not used: a lent one is refused, an allocated one
// is given the fewest slots that can.
TEST(EvalCacheSlot, TooSmallACacheIsRefusedOrGrown) {
    static EvalCacheEntry table[MIN_ECACHE_ENTRIES];
    EvalCache cache;
    cache.use(table, MIN_ECACHE_ENTRIES - 1);
    EXPECT_FALSE(cache.present());
    cache.use(table, MIN_ECACHE_ENTRIES);
    EXPECT_EQ(cache.slot(MIN_ECACHE_ENTRIES + 5ull), &table[5]);

    ASSERT_TRUE(cache.allocate(1 << 14));
    EXPECT_EQ(cache.entries(), MIN_ECACHE_ENTRIES);
    cache.slot(MIN_ECACHE_ENTRIES - 1)->store(1, 1);  // all of it is there
}

TEST_F(Evaluate, TradeDownRewardsTradingPiecesWhenAhead) {
    set("4k3/pppp4/8/8/8/8/PPPP4/3RK3 w - -");
    const int even = eval_fresh();
    ev.root_piece_material[BLACK] = 950;  // black had a queen when the search began
    const int traded = eval_fresh();
    EXPECT_GT(traded, even);
    ev.root_pawn_material[WHITE] = game.pawn_material[WHITE] + 100;  // and white has lost a pawn since
    const int pawn_lost = eval_fresh();
    EXPECT_LT(pawn_lost, traded);
    EXPECT_GT(pawn_lost, even);
}

}  // namespace
