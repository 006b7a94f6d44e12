// Search results that catch real faults: mate distances, draws, bounds, restored positions, stops.
#include <regex>

#include "search/helpers.h"
#include "eval/eval.h"

namespace {

using namespace search_test;

// Mates at their exact distance; mated and stalemated roots keep the empty move. The bench row
// is the benchmark's mate in 7 after 1. Qxg7+ Kxg7 2. Rh7+ Kxh7: a mate in 5 (the slow tier has more).
TEST(Search, MatesAndTerminalRoots) {
    const struct { const char* fen; std::vector<const char*> moves; int depth, score; const char* best; } cases[] = {
        {"6k1/5ppp/8/8/8/8/8/R5K1w--", {}, 5, SCORE_INF - 1, "a1a8"},
        {"7k/8/8/8/8/8/R7/1R5Kw--", {}, 6, SCORE_INF - 3, nullptr},
        {nullptr, {"h7g7", "f8g7", "h1h7", "g7h7"}, 20, SCORE_INF - 9, "g5f6"},
        {"7k/6Q1/6K1/8/8/8/8/8b--", {}, 4, -SCORE_INF, "a8a8"},
        {"7k/5Q2/6K1/8/8/8/8/8b--", {}, 4, 0, "a8a8"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fen ? c.fen : "bench");
        ASSERT_TRUE(set_up(c.fen));
        ASSERT_TRUE(play(c.moves));
        expect_search(c.depth, c.score, c.best);
    }
}

// Below the root: a repetition (knights out and back) and the fifty-move rule unless the side is
// mated score exactly (a stalemate below the root is the stalemated root's case, one ply on).
TEST(Search, DrawScoresBelowTheRoot) {
    const struct { const char* fen; std::vector<const char*> moves; int fifty, expected; } cases[] = {
        {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNRwKQkq-", {"g1f3", "g8f6", "f3g1", "f6g8"}, 0, 0},
        {"6k1/8/8/8/8/8/8/QQ4K1b--", {}, 100, 0},
        {"7k/6Q1/6K1/8/8/8/8/8b--", {}, 100, 1 - SCORE_INF},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fen);
        ASSERT_TRUE(set_up(c.fen));
        ASSERT_TRUE(play(c.moves));
        SearchThread& t = main_thread();
        t.pos = game;
        reset_search_state(t);
        check_interval = MIDDLEGAME_CHECK_INTERVAL;
        t.pos.ply = 1;
        t.pos.fifty += c.fifty;
        EXPECT_EQ(search(t, -SCORE_INF, SCORE_INF, 12), c.expected);
        if (!c.moves.empty()) {
            EXPECT_EQ(quiesce(t, -500, 500), 0);
            EXPECT_EQ(t.pv_length[1], 1);  // no line is left behind by the early return
        }
    }
}

// A driver may take the thinking output: the search then prints nothing of its own, and the
// driver sees every new best root move as a line of legal moves from the root, the last one
// being the move returned with its score. The position comes back exactly.
std::pair<int, std::string> last_seen;
void check_line(const SearchThread& t, int score) {
    last_seen = {score, coord(t.pv[0][0])};
    int made = 0;
    while (made < t.pv_length[0] && coord(t.pv[0][made]) != "a8a8" && make_text(coord(t.pv[0][made]))) made++;
    EXPECT_TRUE(made > 0 && (made == t.pv_length[0] || coord(t.pv[0][made]) == "a8a8")) << "illegal move " << made;
    while (made-- > 0) unmake_move(game);
}

TEST(Search, EveryLineShownIsLegalAndThePositionComesBack) {
    show_thinking = check_line;
    for (int i = 0; i < TEST_POSITION_COUNT; i += 3) {
        SCOPED_TRACE(testing::Message() << "test position " << i + 1);
        ASSERT_TRUE(set_up(test_position(i)));
        depth_limits(7);
        last_seen = {};
        testing::internal::CaptureStdout();
        Move m = root_search(EMPTY);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
        EXPECT_EQ(last_seen, std::make_pair(main_thread().iteration_score[6], coord(m)));
        EXPECT_TRUE(search_restored_the_root());
        EXPECT_TRUE(is_legal_here(m));
        EXPECT_TRUE(position_is_ok(game));
    }
    show_thinking = print_thinking;
}

// Armed after iteration 2, the first check stops the search at once. A middlegame is checked
// every MIDDLEGAME_CHECK_INTERVAL nodes; a short move time is checked as often as an endgame.
TEST(Search, StoppedSearchReturnsBestMoveSoFar) {
    for (const bool time_is_up : {true, false}) {
        SCOPED_TRACE(time_is_up ? "no time left" : "input waiting");
        ASSERT_TRUE(set_up(test_position(0)));
        depth_limits(MAX_PLY);
        time_control.hard_limit_ms = time_is_up ? 0 : NO_TIME_LIMIT_MS;  // the soft limit never ends an iteration
        poll_input = time_is_up ? no_input : input_waits;
        Move m = root_search(EMPTY);
        poll_input = no_input;
        EXPECT_EQ(stop_search, time_is_up ? STOP_TIME : STOP_INPUT);
        EXPECT_EQ(searched_nodes() % (time_is_up ? ENDGAME_CHECK_INTERVAL : MIDDLEGAME_CHECK_INTERVAL), 0);
        EXPECT_LE(searched_nodes(), MIDDLEGAME_CHECK_INTERVAL - (time_is_up ? 1 : 0));
        EXPECT_GE(main_thread().iteration, 3);
        EXPECT_EQ(coord(m), coord(main_thread().pv[0][0]));
        EXPECT_TRUE(search_restored_the_root());
        EXPECT_TRUE(is_legal_here(m));
    }
}

// Depth 1 runs no iteration; a single legal move is played after four iterations.
TEST(Search, IterationLimits) {
    ASSERT_TRUE(set_up("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNRwKQkq-"));
    depth_limits(1);
    EXPECT_EQ(coord(root_search(EMPTY)), "a8a8");
    EXPECT_EQ(searched_nodes(), 0);
    depth_limits(2);
    EXPECT_TRUE(is_legal_here(root_search(EMPTY)));
    EXPECT_EQ(main_thread().iteration, 1);

    ASSERT_TRUE(set_up("6k1/8/8/8/8/8/7P/r6Kw--"));
    depth_limits(MAX_PLY);
    EXPECT_EQ(coord(root_search(EMPTY)), "h1g2");
    EXPECT_EQ(main_thread().iteration, 4);
}

// Near the end of the history stack the search treats the last free entries as its horizon; deep
// in the tree the per-ply tables end, and nothing is written past their last row.
TEST(Search, TheStacksEndAtAHorizon) {
    ASSERT_TRUE(set_up(test_position(4)));
    depth_limits(7);
    for (int game_ply : {MAX_GAME_PLY - 3, MAX_GAME_PLY}) {
        game.game_ply = game_ply;
        Move m = root_search(EMPTY);
        EXPECT_TRUE(search_restored_the_root());
        EXPECT_TRUE(game_ply == MAX_GAME_PLY ? coord(m) == "a8a8" : is_legal_here(m)) << coord(m);
    }
    game.game_ply = 0;
    SearchThread& t = main_thread();
    t.pos = game;
    reset_search_state(t);
    t.pos.ply = game.ply = MAX_PLY - 4;
    search(t, -SCORE_INF, SCORE_INF, 40);
    EXPECT_TRUE(search_restored_the_root());
    for (int p = 0; p < MAX_PLY; p++) EXPECT_LE(t.pv_length[p], MAX_PLY);
    t.pos.ply = MAX_PLY - 1;
    EXPECT_EQ(quiesce(t, -SCORE_INF, SCORE_INF), evaluate(t.eval, -SCORE_INF, SCORE_INF));
    EXPECT_EQ(search(t, -SCORE_INF, SCORE_INF, 40), evaluate(t.eval, -SCORE_INF, SCORE_INF));
    update_pv(t, {52, 36, MOVE_DOUBLE_PUSH, 0});  // the last row has no child row to copy
    EXPECT_EQ(t.pv_length[MAX_PLY - 1], MAX_PLY);
    game.ply = 0;
}

// The thinking line: iteration, score, time, nodes, then each move in thinking notation (its
// castling texts are the notation tests' concern) and a space; an empty move ends it, an empty
// line prints nothing; pondering shows the engine's view; an hour's analysis passes 2^31 nodes,
// and a long one 2^32.
TEST(Thinking, LineFormat) {
    const Move e2e4 = {52, 36, MOVE_DOUBLE_PUSH, 0}, e7e5 = {12, 28, MOVE_DOUBLE_PUSH, 0};
    const struct { int mode; std::vector<Move> line; int score; int64_t nodes; const char* printed; } cases[] = {
        {MODE_THINK, {e2e4, e7e5, {9, 1, MOVE_PROMOTE_QUEEN, 0}, {14, 6, MOVE_PROMOTE_KNIGHT, 0}}, 35, 4096,
         "7 35 \\d+ 4096 e2e4 e7e5 b7b8=q g7g8=n \n"},
        {MODE_THINK, {e2e4, NO_MOVE, e7e5}, 0, 4096, "7 0 \\d+ 4096 e2e4 \n"},
        {MODE_THINK, {}, 0, 4096, ""},
        {MODE_PONDER, {e2e4}, -120, 4096, "7 120 \\d+ 4096 e2e4 \n"},
        {MODE_ANALYZE, {e2e4}, 0, 5000000000, "7 0 \\d+ 5000000000 e2e4 \n"},
    };
    const int saved_mode = search_mode;
    SearchThread& t = main_thread();
    reset_search_state(t);
    for (const auto& c : cases) {
        search_mode = c.mode;
        t.iteration = 7;
        t.nodes = c.nodes;
        search_start_ms = now_ms();
        std::copy(c.line.begin(), c.line.end(), t.pv[0]);
        t.pv_length[0] = int(c.line.size());
        testing::internal::CaptureStdout();
        print_thinking(t, c.score);
        const std::string out = testing::internal::GetCapturedStdout();
        EXPECT_TRUE(std::regex_match(out, std::regex(c.printed))) << out;
    }
    search_mode = saved_mode;
}

}  // namespace
