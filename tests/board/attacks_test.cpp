// Attacks by pawns, leapers and sliders across board edges and blockers, out-of-range squares, in_check.
#include "board/board_test_support.h"

using namespace board_test;

namespace {

constexpr int KING_OF_DEFENDER = -2;  // as a square: ask in_check(game, defender) instead

class Attacks : public BoardTest {};

TEST_F(Attacks, IsAttackedAndInCheck) {
    const struct { const char* fen; int square, defender, expected; } cases[] = {
        {"4k3/8/8/4p3/4P3/8/8/4K3w--", 27, BLACK, 1},  // d5 by the e4 pawn
        {"4k3/8/8/4p3/4P3/8/8/4K3w--", 28, BLACK, 0},  // not straight ahead
        {"4k3/8/8/4p3/4P3/8/8/4K3w--", 43, BLACK, 0},  // nor backward (d3)
        {"4k3/8/r7/8/8/8/8/4K3w--", 15, WHITE, 0},     // rook a6: h7 is across the edge
        {"4k3/8/8/8/8/8/8/b3K3w--", 55, WHITE, 0},     // bishop a1: h2 is across the edge
        {"4k3/8/8/8/8/7n/8/4K3w--", 48, WHITE, 0},     // knight h3: a2 would need a wrap
        {"8/8/8/3k4/8/8/8/4K3w--", 36, WHITE, 1},      // e4 next to the d5 king
        {"4k3/8/8/8/r2P3K/8/8/8w--", 39, WHITE, 0},    // rook a4 blocked by the d4 pawn
        {"4k3/8/8/8/8/8/8/4K3w--", -1, WHITE, 0},      // out of range
        {"4k3/8/8/8/8/8/8/4K3w--", 64, WHITE, 0},
        {"4k3/8/8/8/8/5n2/8/4K3w--", KING_OF_DEFENDER, WHITE, 1},   // knight f3
        {"4k3/8/8/8/4q3/8/8/4K3w--", KING_OF_DEFENDER, WHITE, 1},   // queen on the file
        {"4k3/8/8/8/8/8/3p4/4K3w--", KING_OF_DEFENDER, WHITE, 1},   // pawn d2
        {"4k3/8/8/8/8/8/4p3/4K3w--", KING_OF_DEFENDER, WHITE, 0},   // pawn e2 only blocks
        {"4k3/8/8/8/3K4/8/8/b7w--", KING_OF_DEFENDER, WHITE, 1},    // bishop a1 on an open diagonal
        {"4k3/8/8/8/3K4/8/1n6/b7w--", KING_OF_DEFENDER, WHITE, 0},  // the same, blocked by its own knight
        {"4k3/4R3/8/8/8/8/8/4K3b--", KING_OF_DEFENDER, BLACK, 1},   // rook e7
        {"4k3/4R3/8/8/8/8/8/4K3b--", KING_OF_DEFENDER, WHITE, 0},
    };
    for (const auto& c : cases) {
        setup(c.fen);
        const int got = c.square == KING_OF_DEFENDER ? in_check(game, c.defender) : is_attacked(game, c.square, c.defender);
        EXPECT_EQ(got, c.expected) << c.fen << " square " << c.square;
    }
}

}  // namespace
