// Search results that catch real faults: mate distances, draws, bounds, restored positions, stops.
#include <sstream>

#include "search/helpers.h"
#include "eval/eval.h"

namespace {

using namespace search_test;

// Mates at their exact distance; mated and stalemated roots keep the empty move. The bench row
// is the benchmark's mate in 7 after 1. Qxg7+ Kxg7 2. Rh7+ Kxh7: a mate in 5 (the slow tier has more).
TEST(Search, MatesAndTerminalRoots) {
    struct Case {
        const char* fen;
        std::vector<const char*> moves;
        int depth, score;
        const char* best;
    } cases[] = {
        {"6k1/5ppp/8/8/8/8/8/R5K1w--", {}, 5, SCORE_INF - 1, "a1a8"},
        {"7k/8/8/8/8/8/R7/1R5Kw--", {}, 6, SCORE_INF - 3, nullptr},
        {nullptr, {"h7g7", "f8g7", "h1h7", "g7h7"}, 20, SCORE_INF - 9, "g5f6"},
        {"7k/6Q1/6K1/8/8/8/8/8b--", {}, 4, -SCORE_INF, "a8a8"},
        {"7k/5Q2/6K1/8/8/8/8/8b--", {}, 4, 0, "a8a8"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fen ? c.fen : "bench");
        ASSERT_TRUE(set_up(c.fen));
        ASSERT_TRUE(play(c.moves));
        expect_search(c.depth, c.score, c.best);
    }
}

// Below the root: a repetition (knights out and back), the fifty-move rule unless the side is
// mated, and stalemate all score exactly.
TEST(Search, DrawScoresBelowTheRoot) {
    struct Case {
        const char* fen;
        std::vector<const char*> moves;
        int fifty, expected;
    } cases[] = {
        {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNRwKQkq-", {"g1f3", "g8f6", "f3g1", "f6g8"}, 0, 0},
        {"6k1/8/8/8/8/8/8/QQ4K1b--", {}, 100, 0},
        {"7k/6Q1/6K1/8/8/8/8/8b--", {}, 100, 1 - SCORE_INF},
        {"7k/5Q2/6K1/8/8/8/8/8b--", {}, 0, 0},
    };
    for (const Case& c : cases) {
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

// The position comes back exactly, the move is legal, and every thinking line is a sequence of
// legal moves from the root.
TEST(Search, PositionRestoredAndEveryPrintedLineLegal) {
    int lines = 0;
    for (int i = 0; i < TEST_POSITION_COUNT; i += 3) {
        SCOPED_TRACE(testing::Message() << "test position " << i + 1);
        ASSERT_TRUE(set_up(test_position(i)));
        depth_limits(7);
        testing::internal::CaptureStdout();
        Move m = root_search(EMPTY);
        std::istringstream text(testing::internal::GetCapturedStdout());
        EXPECT_TRUE(search_restored_the_root());
        EXPECT_TRUE(is_legal_here(m));
        EXPECT_TRUE(position_is_ok(game));
        for (std::string line; std::getline(text, line); lines++) {
            std::istringstream words(line);
            int numbers[4];
            for (int& n : numbers) words >> n;
            ASSERT_FALSE(words.fail()) << line;
            int made = 0;
            for (std::string word; words >> word; made++) {
                Move move;
                ASSERT_TRUE(find_move(word, &move)) << line;
                ASSERT_EQ(make_move(game, move), 1) << line;
            }
            EXPECT_GT(made, 0) << line;
            while (made-- > 0) unmake_move(game);
        }
    }
    EXPECT_GT(lines, 10);
}

// Armed after iteration 2, the first check stops the search at once. A middlegame is checked
// every MIDDLEGAME_CHECK_INTERVAL nodes; a short move time is checked as often as an endgame.
TEST(Search, StoppedSearchReturnsBestMoveSoFar) {
    for (const bool time_is_up : {true, false}) {
        SCOPED_TRACE(time_is_up ? "no time left" : "input waiting");
        ASSERT_TRUE(set_up(test_position(0)));
        const int hard_limit = time_is_up ? 0 : NO_TIME_LIMIT_MS;
        time_control = {0, 0, 0, 0, NO_TIME_LIMIT_MS, NO_TIME_LIMIT_MS, NO_TIME_LIMIT_MS, hard_limit, MAX_PLY, 0, 0};
        search_mode = MODE_THINK;
        poll_input = time_is_up ? no_input : input_waits;
        Move m = root_search(EMPTY);
        poll_input = no_input;
        EXPECT_EQ(stop_search, time_is_up ? STOP_TIME : STOP_INPUT);
        if (time_is_up) {
            EXPECT_EQ(searched_nodes() % ENDGAME_CHECK_INTERVAL, 0);
            EXPECT_LT(searched_nodes(), MIDDLEGAME_CHECK_INTERVAL);
        } else {
            EXPECT_EQ(searched_nodes(), MIDDLEGAME_CHECK_INTERVAL);
        }
        EXPECT_GE(main_thread().iteration, 3);
        EXPECT_EQ(coord(m), coord(main_thread().pv[0][0]));
        EXPECT_NE(coord(m), "a8a8");
        EXPECT_TRUE(search_restored_the_root());
        EXPECT_TRUE(is_legal_here(m));
    }
}

// A driver may take the thinking output: the search then prints nothing of its own, and the
// driver sees every new best root move, the last one being the move returned.
std::vector<std::pair<int, std::string>> seen_thinking;
void record_thinking(const SearchThread& t, int score) { seen_thinking.push_back({score, coord(t.pv[0][0])}); }

TEST(Search, ThinkingGoesWhereTheDriverSays) {
    ASSERT_TRUE(set_up(test_position(2)));
    depth_limits(6);
    seen_thinking.clear();
    show_thinking = record_thinking;
    testing::internal::CaptureStdout();
    const Move m = root_search(EMPTY);
    const std::string printed = testing::internal::GetCapturedStdout();
    show_thinking = print_thinking;
    EXPECT_EQ(printed, "");
    ASSERT_FALSE(seen_thinking.empty());
    EXPECT_EQ(seen_thinking.back().second, coord(m));
    EXPECT_EQ(seen_thinking.back().first, main_thread().iteration_score[5]);
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

// Near the end of the history stack the search treats the last free entries as its horizon.
TEST(Search, FullHistoryStackIsAHorizon) {
    ASSERT_TRUE(set_up(test_position(2)));
    depth_limits(7);
    for (int game_ply : {MAX_GAME_PLY - 3, MAX_GAME_PLY}) {
        game.game_ply = game_ply;
        Move m = root_search(EMPTY);
        EXPECT_TRUE(search_restored_the_root());
        EXPECT_TRUE(game_ply == MAX_GAME_PLY ? coord(m) == "a8a8" : is_legal_here(m)) << coord(m);
    }
    game.game_ply = 0;
}

// Deep in the tree the per-ply tables end: nothing is written past their last row.
TEST(Search, LastPlyHandsOverToEvaluation) {
    ASSERT_TRUE(set_up(test_position(4)));
    SearchThread& t = main_thread();
    t.pos = game;
    reset_search_state(t);
    check_interval = MIDDLEGAME_CHECK_INTERVAL;
    t.pos.ply = MAX_PLY - 4;
    game.ply = t.pos.ply;
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

// The thinking line: iteration, score, time, nodes, then each move and a space; an empty move
// ends it; Chess960 castles by name; pondering shows the engine's view.
std::string thinking(int mode, const char* variant, const std::vector<Move>& line, int score,
                     int64_t node_count = 4096) {
    search_mode = mode;
    set_variant(variant);
    SearchThread& t = main_thread();
    t.iteration = 7;
    t.nodes = node_count;
    search_start_ms = now_ms();
    std::copy(line.begin(), line.end(), t.pv[0]);
    t.pv_length[0] = int(line.size());
    testing::internal::CaptureStdout();
    print_thinking(t, score);
    return testing::internal::GetCapturedStdout();
}

TEST(Thinking, LineFormat) {
    const Move e2e4 = {52, 36, MOVE_DOUBLE_PUSH, 0}, e7e5 = {12, 28, MOVE_DOUBLE_PUSH, 0};
    const Move castles[] = {{60, 62, MOVE_CASTLE, 0}, {4, 2, MOVE_CASTLE, 0}};
    const int saved_mode = search_mode;
    reset_search_state(main_thread());
    std::string out = thinking(MODE_THINK, "normal",
                               {e2e4, e7e5, {9, 1, MOVE_PROMOTE_QUEEN, 0}, {14, 6, MOVE_PROMOTE_KNIGHT, 0}}, 35);
    EXPECT_TRUE(out.starts_with("7 35 ") && out.ends_with(" 4096 e2e4 e7e5 b7b8=q g7g8=n \n")) << out;
    out = thinking(MODE_THINK, "normal", {e2e4, NO_MOVE, e7e5}, 0);
    EXPECT_TRUE(out.ends_with(" 4096 e2e4 \n")) << out;
    EXPECT_EQ(thinking(MODE_THINK, "normal", {}, 0), "");
    out = thinking(MODE_THINK, "normal", {castles[0], castles[1]}, 0);
    EXPECT_TRUE(out.ends_with(" e1g1 e8c8 \n")) << out;
    out = thinking(MODE_THINK, "fischerandom", {castles[0], castles[1]}, 0);
    EXPECT_TRUE(out.ends_with(" O-O O-O-O \n")) << out;
    out = thinking(MODE_PONDER, "normal", {e2e4}, -120);
    EXPECT_TRUE(out.starts_with("7 120 ")) << out;
    // An hour's analysis passes 2^31 nodes, and a long one 2^32.
    out = thinking(MODE_ANALYZE, "normal", {e2e4}, 0, 5000000000);
    EXPECT_TRUE(out.ends_with(" 5000000000 e2e4 \n")) << out;
    search_mode = saved_mode;
    set_variant("normal");
}

}  // namespace
