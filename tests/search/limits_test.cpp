// What a driver may ask of one search: a node limit, a mate limit, the root's moves, a ponder hit.
#include "search/helpers.h"

namespace {

using namespace search_test;

// Every case leaves the limits as it found them: the other tests search without any.
struct Limits : testing::Test {
    void TearDown() override {
        time_control.node_limit = 0;
        time_control.mate_moves = 0;
        set_root_moves(nullptr, 0);
        poll_input = no_input;
        main_thread().nodes = 0;
        stop_search = time_check_armed = 0;
    }
};

// The search stops at the node the limit names, whether that falls before, on or between the
// regular time checks, and still returns a legal move. A level that goes on to its next step
// before it looks at the stop may enter one more node on the way out.
TEST_F(Limits, NodeLimitStopsTheSearchAtItsNode) {
    for (int64_t limit : {1, 700, MIDDLEGAME_CHECK_INTERVAL, 3 * MIDDLEGAME_CHECK_INTERVAL + 5, 100000}) {
        SCOPED_TRACE(limit);
        ASSERT_TRUE(set_up(test_position(4)));
        depth_limits(MAX_PLY);
        time_control.node_limit = limit;
        Move m = root_search(WHITE);
        EXPECT_GE(searched_nodes(), limit);
        EXPECT_LE(searched_nodes(), limit + 2);
        EXPECT_EQ(stop_search, STOP_NODES);
        EXPECT_TRUE(search_restored_the_root());
        // The first root move is not searched through within one node: the driver then picks one.
        EXPECT_TRUE(limit == 1 || is_legal_here(m)) << coord(m);
    }
}

// The check itself stops the search on the node the limit names, not one later.
TEST_F(Limits, NodeLimitStopsOnItsNode) {
    reset_search_state(main_thread());
    search_mode = MODE_THINK;  // unarmed: the clock is not looked at
    time_check_armed = 0;
    time_control.node_limit = 1000;
    for (const int64_t searched : {999, 1000, 1001}) {
        main_thread().nodes = searched;
        stop_search = STOP_NONE;
        check_time(main_thread(), 0);
        EXPECT_EQ(stop_search, searched >= 1000 ? STOP_NODES : STOP_NONE) << searched << " nodes";
    }
}

// A mate limit ends the search at the iteration that proves a mate that short; a longer mate
// does not end it, and the depth limit does.
TEST_F(Limits, MateLimitEndsTheIterations) {
    const char* mate_in_two = "7k/8/8/8/8/8/R7/1R5Kw--";
    ASSERT_TRUE(set_up(mate_in_two));
    depth_limits(MAX_PLY);
    time_control.mate_moves = 2;
    root_search(WHITE);
    const SearchThread& t = main_thread();
    EXPECT_EQ(stop_search, STOP_NONE);
    EXPECT_EQ(t.iteration_score[t.iteration], SCORE_INF - 3);
    EXPECT_LT(t.iteration, 10);
    for (int it = 1; it < t.iteration; it++) EXPECT_LT(t.iteration_score[it], SCORE_INF - 3) << it;
    ASSERT_TRUE(set_up(mate_in_two));
    depth_limits(8);
    time_control.mate_moves = 1;
    root_search(WHITE);
    EXPECT_EQ(t.iteration, 7);
}

// Restricted to all of its moves, the root searches exactly the tree it searches without a
// restriction; restricted to one, it plays that one (a restriction names the promotion piece:
// restricted to e7e8n, the root must not search e7e8q).
TEST_F(Limits, RootMovesRestrictTheSearch) {
    ASSERT_TRUE(set_up(test_position(7)));
    depth_limits(6);
    const std::string unrestricted = coord(root_search(WHITE));
    const int64_t unrestricted_nodes = searched_nodes();
    ASSERT_TRUE(set_up(test_position(7)));
    MoveList all;
    set_root_moves(all, generate_moves(game, all));
    EXPECT_EQ(coord(root_search(WHITE)), unrestricted);
    EXPECT_EQ(searched_nodes(), unrestricted_nodes);
}

TEST_F(Limits, RootMoveRestrictionKeepsThePromotionPiece) {
    ASSERT_TRUE(set_up("7k/4P3/8/8/8/8/8/K7w--"));
    const Move knight = {E7, E8, MOVE_PROMOTE_KNIGHT, 0};
    set_root_moves(&knight, 1);
    EXPECT_EQ(count_root_moves(game), 1);
    depth_limits(4);
    EXPECT_EQ(coord(root_search(WHITE)), "e7e8=n");
}

// A hit while pondering turns the search under way into a timed one: the clock starts then, and
// a deep iteration already under way is cut by the hard limit instead of running to its end.
int polls_before_hit = 0;
bool hit_after_a_while() {
    if (--polls_before_hit == 0) ponder_hit(now_ms());
    return false;
}

TEST_F(Limits, PonderHitTimesTheSearchUnderWay) {
    ASSERT_TRUE(set_up(test_position(0)));
    set_fixed_limits(-1, MAX_PLY);  // the clock is already used up once the hit comes
    search_mode = MODE_PONDER;
    polls_before_hit = 20;
    poll_input = hit_after_a_while;
    Move m = root_search(WHITE);
    EXPECT_EQ(search_mode, MODE_THINK);
    EXPECT_GE(searched_nodes(), 20 * int64_t(check_interval));
    EXPECT_LE(searched_nodes(), 21 * int64_t(check_interval));
    EXPECT_GT(main_thread().iteration, 2);
    EXPECT_TRUE(is_legal_here(m));
}

// A hit after the second iteration arms the time check at once; before it, the first two
// iterations still complete.
TEST_F(Limits, PonderHitArmsTheTimeCheckAfterTheSecondIteration) {
    for (const int iteration : {2, 3}) {
        search_mode = MODE_PONDER;
        time_check_armed = 0;
        main_thread().iteration = iteration;
        ponder_hit(now_ms());
        EXPECT_EQ(search_mode, MODE_THINK);
        EXPECT_EQ(time_check_armed, iteration == 3 ? 1 : 0) << "iteration " << iteration;
    }
}

}  // namespace
