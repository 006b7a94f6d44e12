// Move text in the three notations: xboard move lines, thinking lines and UCI.
#include "board/board_test_support.h"

namespace {

using namespace board_test;

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
        const Move* found = nullptr;
        for (int i = 0; i < n; i++)
            if (list[i].from == c.from && list[i].to == c.to && list[i].type == c.type) found = &list[i];
        ASSERT_NE(found, nullptr);
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
