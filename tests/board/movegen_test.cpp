// Move generation: castling by variant, the ordering scores as ranks, list capacity; and move text in
// the three notations. The order of the list is part of the tree and is held by the bench and
// broad signatures.
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
int score_of(int from, int to, int type = -1, bool captures_only = false) {
    for (const Move& m : generated(captures_only))
        if (m.from == from && m.to == to && (type < 0 || m.type == type)) return m.score;
    ADD_FAILURE() << "no move " << from << "-" << to;
    return -999;
}

TEST_F(MoveGen, CastlingIsListedByVariant) {
    setup("r3k2r/8/8/8/8/8/8/R3K2RwKQkq-", "nocastle");
    for (const Move& m : generated()) EXPECT_NE(m.type, MOVE_CASTLE);
    setup("r3k2r/8/8/8/8/8/8/R3K2RwKQkq-");
    EXPECT_GT(score_of(60, 62, MOVE_CASTLE), -999);
    setup("4k3/8/8/8/8/8/8/5KR1wG-", "fischerandom");  // king f1 castles onto its g1 rook
    EXPECT_GT(score_of(61, 62, MOVE_CASTLE), -999);
}

// Quiet moves rank mate killer, killer 1, killer 1 of two plies back, killer 2, killer 2 of two
// plies back, then by history, then the rest; one ply back and plies outside the tables read no
// killers. Good captures rank above the killers, bad ones below every quiet move.
TEST_F(MoveGen, OrderingScoresRankEachKindOfMove) {
    setup(START_POSITION);
    OrderingMemory& o = ordering_memory;
    o.history[57][42] = 77;                            // b1-c3
    o.mate_killer[0] = {52, 36, MOVE_DOUBLE_PUSH, 0};  // e2-e4
    o.killer1[0] = {62, 45, MOVE_NORMAL, 0};           // g1-f3
    o.killer2[0] = {55, 47, MOVE_NORMAL, 0};           // h2-h3
    o.killer1[2] = {62, 47, MOVE_NORMAL, 0};           // g1-h3
    o.killer2[2] = {62, 45, MOVE_NORMAL, 0};           // g1-f3 again: killer 1 of ply 0 matches first
    const int plain = score_of(57, 40);                // b1-a3
    game.ply = 0;
    EXPECT_GT(score_of(52, 36), score_of(62, 45));
    EXPECT_GT(score_of(62, 45), score_of(55, 47));
    EXPECT_GT(score_of(55, 47), score_of(57, 42));
    EXPECT_EQ(score_of(57, 42), 77);
    game.ply = 2;
    const int killer1_here = score_of(62, 47), killer1_back = score_of(62, 45), killer2_back = score_of(55, 47);
    EXPECT_GT(killer1_here, killer1_back);
    EXPECT_GT(killer1_back, killer2_back);
    EXPECT_GT(killer2_back, score_of(57, 42));
    EXPECT_EQ(score_of(52, 36), plain);  // the mate killer of ply 0 is not looked at
    game.ply = 0;
    const int killer1 = score_of(62, 45);
    EXPECT_LT(killer1_back, killer1);  // a killer of this ply beats the one of two plies back
    EXPECT_GT(killer2_back, 0);
    game.ply = 1;
    EXPECT_EQ(score_of(62, 45), plain);  // one ply back is never looked at
    for (int ply : {MAX_PLY + 3, -1}) {
        game.ply = ply;
        EXPECT_EQ(std::make_pair(score_of(52, 36), score_of(57, 42)), std::make_pair(plain, 77)) << ply;
    }
    game.ply = 0;

    // Qxa7 undefended, Qxd6 defended by e7; the mate killer does not touch a capture.
    setup("4k3/p3p3/3p4/8/3Q4/8/8/4K3w--");
    const int good = score_of(35, 8), bad = score_of(35, 19), quiet = score_of(35, 43);
    o.mate_killer[0] = {35, 8, MOVE_NORMAL, 0};
    EXPECT_EQ(score_of(35, 8), good);
    EXPECT_GT(good, killer1);
    EXPECT_LT(bad, quiet);
    EXPECT_TRUE(is_bad_capture(game, 35, 19));
    EXPECT_FALSE(is_bad_capture(game, 35, 8));
    EXPECT_LT(score_of(35, 19, -1, true), score_of(35, 8, -1, true));
    setup("4k3/8/8/8/8/2p5/3p4/4K3w--");  // Kxd2, defended by c3
    EXPECT_TRUE(is_bad_capture(game, 60, 51));
    EXPECT_LT(score_of(60, 51), 0);

    // Promotions: the queen first, then knight, rook, bishop; en passant ranks as a quiet move.
    setup("4k3/2P5/8/8/8/8/8/4K3w--");
    EXPECT_GT(score_of(10, 2, MOVE_PROMOTE_QUEEN), score_of(10, 2, MOVE_PROMOTE_KNIGHT));
    EXPECT_GT(score_of(10, 2, MOVE_PROMOTE_KNIGHT), score_of(10, 2, MOVE_PROMOTE_ROOK));
    EXPECT_GT(score_of(10, 2, MOVE_PROMOTE_ROOK), score_of(10, 2, MOVE_PROMOTE_BISHOP));
    setup("4k3/8/8/3PpP2/8/8/8/4K3w-e6");
    o.history[27][20] = 41;
    EXPECT_EQ(score_of(27, 20, MOVE_EN_PASSANT), 41);
}

TEST_F(MoveGen, MostMovesOfAnyPositionFitTheList) {
    setup("R6R/3Q4/1Q4Q1/4Q3/2Q4Q/Q4Q2/pp1Q4/kBNN1KB1w--");
    EXPECT_EQ(count_legal_moves(game), 218);
    Move list[MAX_MOVES];
    EXPECT_LE(generate_moves(game, list), MAX_MOVES);
}

// xboard move lines, thinking lines and UCI.
class Notation : public BoardTest {};

TEST_F(Notation, EachNotationWritesTheMovesItsProtocolReads) {
    const struct { const char *fen, *variant; int from, to, type; const char *move_line, *thinking, *uci; } cases[] = {
        {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq -", "normal", E1, G1, MOVE_CASTLE, "e1g1 ", "e1g1", "e1g1"},
        {"r3k2r/8/8/8/8/8/8/R3K2R b KQkq -", "normal", E8, C8, MOVE_CASTLE, "e8c8 ", "e8c8", "e8c8"},
        {"7k/4P3/8/8/8/8/8/K7 w - -", "normal", E7, E8, MOVE_PROMOTE_QUEEN, "e7e8q", "e7e8=q", "e7e8q"},
        {"7k/4P3/8/8/8/8/8/K7 w - -", "normal", E7, E8, MOVE_PROMOTE_KNIGHT, "e7e8n", "e7e8=n", "e7e8n"},
        {"7k/4P3/8/8/8/8/8/K7 w - -", "normal", A1, B2, MOVE_NORMAL, "a1b2 ", "a1b2", "a1b2"},
        // Chess960: the king takes its own rook, wherever king and rooks stand, in both notations
        // of the castling rights.
        {"1r3kr1/pppppppp/8/8/8/8/PPPPPPPP/1R3KR1 w KQkq -", "fischerandom", F1, G1, MOVE_CASTLE, "O-O", "O-O", "f1g1"},
        {"1r3kr1/pppppppp/8/8/8/8/PPPPPPPP/1R3KR1 w KQkq -", "fischerandom", F1, C1, MOVE_CASTLE, "O-O-O", "O-O-O", "f1b1"},
        {"1r3kr1/pppppppp/8/8/8/8/PPPPPPPP/1R3KR1 b GBgb -", "fischerandom", F8, G8, MOVE_CASTLE, "O-O", "O-O", "f8g8"},
        {"1r3kr1/pppppppp/8/8/8/8/PPPPPPPP/1R3KR1 b GBgb -", "fischerandom", F8, C8, MOVE_CASTLE, "O-O-O", "O-O-O", "f8b8"},
        {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq -", "fischerandom", E1, G1, MOVE_CASTLE, "O-O", "O-O", "e1h1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.fen) + " " + c.uci);
        setup(c.fen, c.variant);
        MoveList list;
        const int n = generate_moves(game, list);
        const Move* found =
            std::find_if(list, list + n, [&](const Move& m) { return m.from == c.from && m.to == c.to && m.type == c.type; });
        ASSERT_NE(found, list + n);
        const std::pair<MoveNotation, const char*> notations[] = {
            {NOTATION_MOVE_LINE, c.move_line}, {NOTATION_THINKING, c.thinking}, {NOTATION_UCI, c.uci}};
        for (const auto& [notation, expected] : notations) {
            char text[MOVE_TEXT_SIZE];
            format_move(game, text, *found, notation);
            EXPECT_STREQ(text, expected);
        }
    }
}

}  // namespace
