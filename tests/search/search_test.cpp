// Search results that catch real faults: mate distances, draws, bounds, restored positions, stops.
#include <gtest/gtest.h>

#include <sstream>

#include "search/helpers.h"
#include "eval/eval.h"
#include "tools/tools.h"

namespace {

using namespace search_test;

bool is_legal_here(Move m) {
    Move list[MAX_MOVES];
    int n = generate_moves(list);
    for (int i = 0; i < n; i++) {
        if (list[i].from == m.from && list[i].to == m.to && list[i].type == m.type) {
            if (!make_move(list[i])) return false;
            unmake_move();
            return true;
        }
    }
    return false;
}

TEST(Search, MateInOneAndTwoAtTheRightDistance) {
    ASSERT_TRUE(set_up("6k1/5ppp/8/8/8/8/8/R5K1w--"));
    depth_limits(5);
    Move m = root_search();
    EXPECT_EQ(m.from, 56);  // a1
    EXPECT_EQ(m.to, 0);     // a8
    EXPECT_EQ(iteration_score[4], SCORE_INF - 1);

    ASSERT_TRUE(set_up("7k/8/8/8/8/8/R7/1R5Kw--"));
    depth_limits(6);
    root_search();
    EXPECT_EQ(iteration_score[5], SCORE_INF - 3);
}

// The benchmark's mate in 7 after its first four plies (1. Qxg7+ Kxg7 2. Rh7+ Kxh7): a mate in 5,
// nine plies from the new root. The whole mate is the slow tier's.
TEST(Search, BenchMateFoundAtItsDistance) {
    use_small_tables();
    ASSERT_TRUE(bench_prepare());
    pos.ply = 0;
    for (const char* text : {"h7g7", "f8g7", "h1h7", "g7h7"}) {
        Move m;
        ASSERT_TRUE(find_move(text, &m)) << text;
        ASSERT_EQ(make_move(m), 1) << text;
    }
    pos.ply = 0;
    depth_limits(20);
    Move m = root_search();
    EXPECT_EQ(iteration_score[19], SCORE_INF - 9);
    EXPECT_EQ(m.from, 30);  // g5
    EXPECT_EQ(m.to, 21);    // f6
    for (int it = 1; it <= 19; it++) {
        if (iteration_score[it] > MATE_BOUND) {
            EXPECT_EQ(iteration_score[it], SCORE_INF - 9) << it;
        }
    }
}

TEST(Search, MatedAndStalematedRoots) {
    // Black to move, mated: the root keeps the empty move.
    ASSERT_TRUE(set_up("7k/6Q1/6K1/8/8/8/8/8b--"));
    depth_limits(4);
    Move m = root_search();
    EXPECT_EQ(m.from, 0);
    EXPECT_EQ(m.to, 0);
    EXPECT_EQ(iteration_score[1], -SCORE_INF);
    EXPECT_EQ(iteration_score[3], -SCORE_INF);

    // Black to move, stalemated.
    ASSERT_TRUE(set_up("7k/5Q2/6K1/8/8/8/8/8b--"));
    m = root_search();
    EXPECT_EQ(m.from, 0);
    EXPECT_EQ(m.to, 0);
    EXPECT_EQ(iteration_score[3], 0);
    EXPECT_EQ(search(-SCORE_INF, SCORE_INF, 12), 0);
}

// A winning side must not stalemate: Qf7 would, anything sensible mates or keeps winning.
TEST(Search, AvoidsStalemateWhenWinning) {
    ASSERT_TRUE(set_up("7k/8/6K1/8/8/8/8/5Q2w--"));
    depth_limits(6);
    Move m = root_search();
    EXPECT_FALSE(m.from == 61 && m.to == 13);  // f1f7 stalemates
    EXPECT_GT(iteration_score[5], MATE_BOUND);
}

// Knights out and back: the start position again, which must score as a draw below the root.
TEST(Search, RepetitionScoresZero) {
    ASSERT_TRUE(set_up("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNRwKQkq-"));
    const char* moves[] = {"g1f3", "g8f6", "f3g1", "f6g8"};
    for (const char* text : moves) {
        Move m;
        ASSERT_TRUE(find_move(text, &m)) << text;
        ASSERT_EQ(make_move(m), 1) << text;
    }
    reset_search_state();
    check_interval = MIDDLEGAME_CHECK_INTERVAL;
    int saved_ply = pos.ply;
    pos.ply = 1;  // below the root, where repetitions count
    EXPECT_EQ(search(-500, 500, 12), 0);
    EXPECT_EQ(quiesce(-500, 500), 0);
    EXPECT_EQ(pv_length[1], 1);  // no line is left behind by the early return
    pos.ply = saved_ply;
}

TEST(Search, FiftyMoveRuleDrawsUnlessMated) {
    ASSERT_TRUE(set_up("6k1/8/8/8/8/8/8/QQ4K1b--"));  // Black hopelessly lost
    reset_search_state();
    check_interval = MIDDLEGAME_CHECK_INTERVAL;
    int saved_ply = pos.ply;
    pos.ply = 1;
    pos.fifty = 100;
    EXPECT_EQ(search(-500, 500, 8), 0);
    // A mate on the hundredth half-move stands.
    ASSERT_TRUE(set_up("7k/6Q1/6K1/8/8/8/8/8b--"));
    pos.ply = 1;
    pos.fifty = 100;
    EXPECT_EQ(search(-SCORE_INF, SCORE_INF, 8), 1 - SCORE_INF);
    pos.ply = saved_ply;
    pos.fifty = 0;
}

TEST(Search, PositionExactlyRestoredAfterEverySearch) {
    for (int i = 0; i < TEST_POSITION_COUNT; i += 3) {
        ASSERT_TRUE(set_up(test_position(i)));
        Snapshot before = take_snapshot();
        depth_limits(6);
        Move m = root_search();
        EXPECT_TRUE(same_as(before)) << "test position " << i + 1;
        EXPECT_TRUE(is_legal_here(m)) << "test position " << i + 1;
        EXPECT_TRUE(position_is_ok());
    }
}

// Every thinking line must show a sequence of legal moves from the root.
TEST(Search, EveryPrintedLineIsLegal) {
    int lines = 0;
    for (int i = 0; i < TEST_POSITION_COUNT; i += 4) {
        ASSERT_TRUE(set_up(test_position(i)));
        depth_limits(8);
        testing::internal::CaptureStdout();
        root_search();
        std::string out = testing::internal::GetCapturedStdout();
        std::istringstream text(out);
        std::string line;
        while (std::getline(text, line)) {
            std::istringstream words(line);
            int numbers[4];
            for (int& n : numbers) words >> n;
            ASSERT_FALSE(words.fail()) << line;
            std::string word;
            int made = 0;
            while (words >> word) {
                Move m;
                ASSERT_TRUE(find_move(word, &m)) << "position " << i + 1 << ": " << line;
                ASSERT_EQ(make_move(m), 1) << "position " << i + 1 << ": " << line;
                made++;
            }
            EXPECT_GT(made, 0) << line;
            while (made-- > 0) unmake_move();
            lines++;
        }
    }
    EXPECT_GT(lines, 10);
}

TEST(Search, StoppedSearchReturnsBestMoveSoFar) {
    ASSERT_TRUE(set_up(test_position(0)));
    Snapshot before = take_snapshot();
    // Armed after iteration 2, the check at the first interval stops the search at once.
    time_control.move_time_ms = NO_TIME_LIMIT_MS;
    time_control.soft_limit_ms = NO_TIME_LIMIT_MS;
    time_control.extended_limit_ms = NO_TIME_LIMIT_MS;
    time_control.hard_limit_ms = 0;
    time_control.max_depth = MAX_PLY;
    search_mode = MODE_THINK;
    int saved_side = engine_side;
    Move m = root_search();
    engine_side = saved_side;
    EXPECT_EQ(stop_search, 1);
    EXPECT_EQ(nodes, MIDDLEGAME_CHECK_INTERVAL);
    EXPECT_GE(iteration, 3);
    EXPECT_EQ(m.from, pv[0][0].from);
    EXPECT_EQ(m.to, pv[0][0].to);
    EXPECT_FALSE(m.from == 0 && m.to == 0);
    EXPECT_TRUE(same_as(before));
    EXPECT_TRUE(is_legal_here(m));
}

TEST(Search, IterationLimits) {
    ASSERT_TRUE(set_up("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNRwKQkq-"));
    depth_limits(1);
    Move m = root_search();
    EXPECT_EQ(m.from, 0);
    EXPECT_EQ(m.to, 0);
    EXPECT_EQ(nodes, 0);

    depth_limits(2);
    m = root_search();
    EXPECT_EQ(iteration, 1);
    EXPECT_TRUE(is_legal_here(m));
}

// One legal move: four iterations give a line and a score, then the engine plays.
TEST(Search, SingleLegalMoveEndsAfterFourIterations) {
    ASSERT_TRUE(set_up("6k1/8/8/8/8/8/7P/r6Kw--"));
    depth_limits(MAX_PLY);
    Move m = root_search();
    EXPECT_EQ(iteration, 4);
    EXPECT_EQ(m.from, 63);  // h1
    EXPECT_EQ(m.to, 54);    // g2
}

// Near the end of the history stack the search treats the last free entries as its horizon.
TEST(Search, FullHistoryStackIsAHorizon) {
    ASSERT_TRUE(set_up(test_position(2)));
    pos.game_ply = MAX_GAME_PLY - 3;
    Snapshot before = take_snapshot();
    depth_limits(7);
    Move m = root_search();
    EXPECT_TRUE(same_as(before));
    EXPECT_TRUE(is_legal_here(m));

    pos.game_ply = MAX_GAME_PLY;
    before = take_snapshot();
    m = root_search();
    EXPECT_TRUE(same_as(before));
    EXPECT_EQ(m.from, 0);
    EXPECT_EQ(m.to, 0);
    pos.game_ply = 0;
}

// Deep in the tree the per-ply tables end: nothing is written past their last row.
TEST(Search, LastPlyHandsOverToEvaluation) {
    ASSERT_TRUE(set_up(test_position(4)));
    reset_search_state();
    check_interval = MIDDLEGAME_CHECK_INTERVAL;
    Snapshot before = take_snapshot();
    pos.ply = MAX_PLY - 4;
    Snapshot deep = take_snapshot();
    search(-SCORE_INF, SCORE_INF, 40);
    EXPECT_TRUE(same_as(deep));
    for (int p = 0; p < MAX_PLY; p++) EXPECT_LE(pv_length[p], MAX_PLY);
    pos.ply = MAX_PLY - 1;
    EXPECT_EQ(quiesce(-SCORE_INF, SCORE_INF), evaluate(-SCORE_INF, SCORE_INF));
    EXPECT_EQ(search(-SCORE_INF, SCORE_INF, 40), evaluate(-SCORE_INF, SCORE_INF));
    pos.ply = before.position.ply;
}

TEST(SearchState, UpdatePvCopiesTheChildLine) {
    int saved_ply = pos.ply;
    reset_search_state();
    Move a = {52, 36, MOVE_DOUBLE_PUSH, 0};
    Move b = {12, 28, MOVE_DOUBLE_PUSH, 0};
    Move c = {62, 45, MOVE_NORMAL, 0};
    pv[4][4] = b;
    pv[4][5] = c;
    pv_length[4] = 6;
    pos.ply = 3;
    update_pv(a);
    EXPECT_EQ(pv_length[3], 6);
    EXPECT_EQ(pv[3][3].from, 52);
    EXPECT_EQ(pv[3][4].from, 12);
    EXPECT_EQ(pv[3][5].from, 62);
    // A child that found nothing leaves the move alone.
    pv_length[4] = 4;
    update_pv(c);
    EXPECT_EQ(pv_length[3], 4);
    // The last row has no child row.
    pos.ply = MAX_PLY - 1;
    update_pv(a);
    EXPECT_EQ(pv_length[MAX_PLY - 1], MAX_PLY);
    pos.ply = saved_ply;
}

}  // namespace
