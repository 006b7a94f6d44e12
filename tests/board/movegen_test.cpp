// Move order, ordering scores, castling listing, captures-only order, list capacity.
#include <tuple>
#include <vector>

#include "board/board_test_support.h"

using namespace board_test;

namespace {

class MoveGen : public BoardTest {};

std::vector<Move> generated(bool captures_only = false) {
    Move list[MAX_MOVES];
    const int n = captures_only ? gen_captures(game, list) : generate_moves(game, list, &ordering_memory);
    return std::vector<Move>(list, list + n);
}

// The score of a listed move; a missing move fails the test.
int score_of(int from, int to, bool captures_only = false) {
    for (const Move& m : generated(captures_only))
        if (m.from == from && m.to == to) return m.score;
    ADD_FAILURE() << "no move " << from << "-" << to;
    return -999;
}

// The order is the search's: a change alters every node count of the bench.
TEST_F(MoveGen, StartPositionOrderAndScores) {
    setup(START);
    const auto moves = generated();
    // Pawns a..h, step before double step; b1-c3, b1-a3, g1-h3, g1-f3; then castling from the rights
    // alone, scored as the capture of what stands on the king's destination.
    const int order[22][2] = {{48, 40}, {48, 32}, {49, 41}, {49, 33}, {50, 42}, {50, 34}, {51, 43}, {51, 35},
                              {52, 44}, {52, 36}, {53, 45}, {53, 37}, {54, 46}, {54, 38}, {55, 47}, {55, 39},
                              {57, 42}, {57, 40}, {62, 47}, {62, 45}, {60, 62}, {60, 58}};
    ASSERT_EQ(moves.size(), 22u);
    for (int i = 0; i < 22; ++i)
        EXPECT_EQ(std::make_tuple(moves[i].from, moves[i].to, moves[i].score),
                  std::make_tuple(order[i][0], order[i][1], i == 20 ? 3000095 : i == 21 ? 3000195 : 0));
    EXPECT_EQ(std::make_tuple(moves[1].type, moves[20].type), std::make_tuple(int(MOVE_DOUBLE_PUSH), int(MOVE_CASTLE)));
    EXPECT_EQ(count_legal_moves(game), 20);  // both castlings are blocked
    set_variant("nocastle");
    ASSERT_TRUE(setup_position(game, "r3k2r/8/8/8/8/8/8/R3K2RwKQkq-"));
    for (const Move& m : generated()) EXPECT_NE(m.type, MOVE_CASTLE);
    setup("4k3/8/8/8/8/8/8/5KR1wG-", "fischerandom");  // king f1 castles onto its g1 rook
    EXPECT_EQ(score_of(61, 62), 3000295);
}

TEST_F(MoveGen, PromotionsInOrderWithFixedScores) {
    setup("1n2k3/2P5/8/8/8/8/8/4K3w--");
    auto moves = generated();
    // c7xb8 first, then c7-c8, each queen, rook, bishop, knight, whatever is taken.
    ASSERT_GE(moves.size(), 8u);
    const int scores[4] = {3000050, 2200000, 2100000, 2300000};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(std::make_tuple(moves[i].from, moves[i].to, moves[i].type, moves[i].score),
                  std::make_tuple(10, i < 4 ? 1 : 2, MOVE_PROMOTE_QUEEN + i % 4, scores[i % 4]));
    // Captures only: queen promotions alone, the push before the captures.
    setup("1n1rk3/2P5/8/8/8/8/8/4K3w--");
    moves = generated(true);
    ASSERT_EQ(moves.size(), 3u);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(std::make_tuple(moves[i].to, moves[i].type, moves[i].score),
                  std::make_tuple(i == 0 ? 2 : i == 1 ? 1 : 3, int(MOVE_PROMOTE_QUEEN), 3000050));
    ordering_memory.history[52][44] = 5;  // add_move scores as the generator does
    Move list[3];
    int n = 0;
    add_move(game, 52, 44, MOVE_NORMAL, list, &n, &ordering_memory);
    add_move(game, 52, 44, MOVE_PROMOTE_KNIGHT, list, &n, &ordering_memory);
    add_move(game, 52, 44, MOVE_NORMAL, list, &n);  // without ordering memory a quiet move scores 0
    EXPECT_EQ(std::make_tuple(n, list[0].score, list[1].score, list[2].score), std::make_tuple(3, 5, 2300000, 0));
}

// Quiet moves: mate killer, killer 1, killer 1 of two plies back, killer 2, killer 2 of two plies
// back, first match winning; then the history. A ply outside the tables reads no killers.
TEST_F(MoveGen, KillerAndHistoryScores) {
    setup(START);
    OrderingMemory& o = ordering_memory;
    o.history[57][42] = 77;                            // b1-c3
    o.mate_killer[0] = {52, 36, MOVE_DOUBLE_PUSH, 0};  // e2-e4
    o.killer1[0] = {62, 45, MOVE_NORMAL, 0};           // g1-f3
    o.killer2[0] = {55, 47, MOVE_NORMAL, 0};           // h2-h3
    o.killer1[2] = {62, 47, MOVE_NORMAL, 0};           // g1-h3
    o.killer2[2] = {62, 45, MOVE_NORMAL, 0};           // g1-f3 again: killer 1 of ply 0 matches first
    const int cases[][4] = {
        {0, 52, 36, 5000000}, {0, 62, 45, 2800000}, {0, 55, 47, 2600000}, {0, 57, 42, 77}, {0, 57, 40, 0},
        {2, 62, 47, 2800000}, {2, 62, 45, 2700000}, {2, 55, 47, 2500000}, {2, 52, 36, 0},
        {1, 62, 45, 0},  // one ply back is never looked at
        {MAX_PLY + 3, 57, 42, 77}, {MAX_PLY + 3, 52, 36, 0}, {-1, 57, 42, 77}, {-1, 52, 36, 0},
    };
    for (const auto& c : cases) {
        game.ply = c[0];
        EXPECT_EQ(score_of(c[1], c[2]), c[3]) << "ply " << c[0] << " move " << c[1] << "-" << c[2];
    }
}

TEST_F(MoveGen, CaptureScoresGoodAndBad) {
    const struct { const char* fen; int from, to, score, captures_score, bad; } cases[] = {
        {"4k3/p3p3/3p4/8/3Q4/8/8/4K3w--", 35, 8, 2999996, 2999996, 0},  // Qxa7, undefended
        {"4k3/p3p3/3p4/8/3Q4/8/8/4K3w--", 35, 19, -10004, -1, 1},       // Qxd6, defended by e7
        {"4k3/8/8/8/8/2p5/3p4/4K3w--", 60, 51, -10005, -1, 1},          // Kxd2, defended by c3
        {"4k3/8/8/8/8/8/p7/1K6w--", 57, 48, 2999995, 2999995, 0},       // Kxa2 from the b-file
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fen);
        setup(c.fen);
        ordering_memory.mate_killer[0] = {c.from, c.to, MOVE_NORMAL, 0};  // the mate killer does not touch a capture
        EXPECT_EQ(score_of(c.from, c.to), c.score);
        EXPECT_EQ(score_of(c.from, c.to, true), c.captures_score);
        EXPECT_EQ(is_bad_capture(game, c.from, c.to), c.bad);
    }
    // En passant is scored as a quiet move (0 in captures only) and comes last, ep + 7 before ep + 9.
    setup("4k3/8/8/3PpP2/8/8/8/4K3w-e6");
    ordering_memory.history[27][20] = 41;
    EXPECT_EQ(std::make_tuple(score_of(27, 20), score_of(27, 20, true)), std::make_tuple(41, 0));
    for (bool captures_only : {false, true}) {
        const auto moves = generated(captures_only);
        ASSERT_GE(moves.size(), 2u);
        EXPECT_EQ(std::make_tuple(moves.end()[-2].from, moves.end()[-2].type, moves.end()[-1].from, moves.end()[-1].type),
                  std::make_tuple(27, int(MOVE_EN_PASSANT), 29, int(MOVE_EN_PASSANT)));
    }
}

// The generators' order written as plain square-by-square walks over the mailbox: the men a8
// first; a pawn's capture toward the a-file, toward the h-file, its step, its double step; a
// knight's and a king's steps in their fixed orders; a slider's rays in their fixed order, each
// outward up to the first man. Castling and en passant follow the men and are left out.
using Listed = std::tuple<int, int, int>;  // from, to, type

std::vector<Listed> walked_moves(bool captures_only) {
    struct Step { int rows, files; };
    const Step knight[8] = {{-1, 2}, {-1, -2}, {-2, 1}, {-2, -1}, {1, -2}, {1, 2}, {2, -1}, {2, 1}};
    const Step king[8] = {{0, -1}, {0, 1}, {-1, 0}, {1, 0}, {-1, -1}, {-1, 1}, {1, -1}, {1, 1}};
    const Step rays[8] = {{-1, -1}, {-1, 1}, {1, 1}, {1, -1}, {0, -1}, {0, 1}, {-1, 0}, {1, 0}};
    const int me = game.side, opp = 1 - me;
    std::vector<Listed> out;
    auto add = [&](int from, int r, int f, bool promotes) {
        const int to = r * 8 + f;
        if (!promotes) return out.emplace_back(from, to, int(MOVE_NORMAL)), void();
        for (int type = MOVE_PROMOTE_QUEEN; type <= (captures_only ? MOVE_PROMOTE_QUEEN : MOVE_PROMOTE_KNIGHT); ++type)
            out.emplace_back(from, to, type);
    };
    auto colour_at = [](int r, int f) { return on_board(r, f) ? game.color[r * 8 + f] : -1; };
    for (int s = 0; s < 64; ++s) {
        if (game.color[s] != me) continue;
        const int r = s / 8, f = s % 8;
        switch (game.piece[s]) {
            case PAWN: {
                const int ahead = me == WHITE ? r - 1 : r + 1;
                const bool promotes = ahead == 0 || ahead == 7;
                const bool push = colour_at(ahead, f) == EMPTY;
                if (captures_only && promotes && push) add(s, ahead, f, true);
                for (int side : {-1, 1})
                    if (colour_at(ahead, f + side) == opp) add(s, ahead, f + side, promotes);
                if (captures_only || !push) break;
                add(s, ahead, f, promotes);
                const int two = me == WHITE ? 4 : 3;
                if (r == (me == WHITE ? 6 : 1) && colour_at(two, f) == EMPTY)
                    out.emplace_back(s, two * 8 + f, int(MOVE_DOUBLE_PUSH));
                break;
            }
            case KNIGHT:
            case KING:
                for (const Step& step : game.piece[s] == KNIGHT ? knight : king) {
                    const int c = colour_at(r + step.rows, f + step.files);
                    if (c == opp || (c == EMPTY && !captures_only)) add(s, r + step.rows, f + step.files, false);
                }
                break;
            default:
                for (int d = game.piece[s] == ROOK ? 4 : 0; d < (game.piece[s] == BISHOP ? 4 : 8); ++d)
                    for (int tr = r + rays[d].rows, tf = f + rays[d].files; on_board(tr, tf);
                         tr += rays[d].rows, tf += rays[d].files) {
                        const int c = colour_at(tr, tf);
                        if (c == opp || (c == EMPTY && !captures_only)) add(s, tr, tf, false);
                        if (c != EMPTY) break;
                    }
                break;
        }
    }
    return out;
}

// At every node of a short walk both generators list the men's moves exactly in the walks' order,
// and generate_moves scores each as add_move does.
struct OrderWalk {
    std::string fault;

    void run(int depth) {
        for (bool captures_only : {false, true}) {
            Move list[MAX_MOVES];
            const int n = captures_only ? gen_captures(game, list) : generate_moves(game, list, &ordering_memory);
            std::vector<Listed> listed;
            for (int i = 0; i < n; ++i) {
                const Move& m = list[i];
                if (m.type == MOVE_CASTLE || m.type == MOVE_EN_PASSANT) continue;
                listed.emplace_back(m.from, m.to, m.type);
                Move scored[1];
                int k = 0;
                add_move(game, m.from, m.to, m.type, scored, &k, &ordering_memory);
                if (!captures_only && scored[0].score != m.score) fault = "score differs from add_move's";
            }
            if (listed != walked_moves(captures_only)) fault = captures_only ? "capture order differs" : "move order differs";
        }
        Move list[MAX_MOVES];
        const int n = generate_moves(game, list);
        for (int i = 0; i < n && depth > 0 && fault.empty(); ++i)
            if (make_move(game, list[i])) {
                run(depth - 1);
                unmake_move(game);
            }
    }
};

TEST_F(MoveGen, OrderOfTheSquareBySquareWalks) {
    // Distinct history counters, and killers on every ply that some of these positions have.
    for (int from = 0; from < 64; ++from)
        for (int to = 0; to < 64; ++to) ordering_memory.history[from][to] = from * 64 + to + 1;
    for (int ply = 0; ply < MAX_PLY; ++ply) {
        ordering_memory.mate_killer[ply] = {62, 45, MOVE_NORMAL, 0};
        ordering_memory.killer1[ply] = {ply % 2 ? 1 : 57, ply % 2 ? 18 : 42, MOVE_NORMAL, 0};
        ordering_memory.killer2[ply] = {ply % 2 ? 12 : 52, ply % 2 ? 28 : 36, MOVE_DOUBLE_PUSH, 0};
    }
    for (const auto& c : read_perft_suite()) {
        setup_case(c);
        OrderWalk walk;
        walk.run(c.counts.size() >= 3 && c.counts[2] <= 100000 ? 2 : 1);
        EXPECT_TRUE(walk.fault.empty()) << c.fen << ": " << walk.fault;
    }
    // Men on every edge and in the corners, sliders with long open rays, promotions both ways.
    for (const char* fen : {"R6R/3Q4/1Q4Q1/4Q3/2Q4Q/Q4Q2/pp1Q4/kBNN1KB1w--", "n1n4k/1P3P2/8/N6N/1q4q1/8/1p3p2/NK5Nw--",
                            "n1n4k/1P3P2/8/N6N/1q4q1/8/1p3p2/NK5Nb--", "b5kr/1q6/8/4b3/3B4/8/5Q2/R5KBw--"}) {
        setup(fen);
        OrderWalk walk;
        walk.run(2);
        EXPECT_TRUE(walk.fault.empty()) << fen << ": " << walk.fault;
    }
}

TEST_F(MoveGen, MostMovesOfAnyPositionFitTheList) {
    setup("R6R/3Q4/1Q4Q1/4Q3/2Q4Q/Q4Q2/pp1Q4/kBNN1KB1w--");
    EXPECT_EQ(count_legal_moves(game), 218);
    Move list[MAX_MOVES];
    EXPECT_LE(generate_moves(game, list), MAX_MOVES);
}

}  // namespace
