// Attacks by pawns, leapers and sliders, board edges, blockers, and in_check.
#include "board/board_test_support.h"

using namespace board_test;

namespace {

class Attacks : public BoardTest {};

TEST_F(Attacks, PawnsAttackDiagonallyForward) {
    setup("4k3/8/8/4p3/4P3/8/8/4K3w--");
    EXPECT_EQ(is_attacked(27, BLACK), 1);  // d5 by the e4 pawn
    EXPECT_EQ(is_attacked(29, BLACK), 1);  // f5
    EXPECT_EQ(is_attacked(28, BLACK), 0);  // not straight ahead
    EXPECT_EQ(is_attacked(43, BLACK), 0);  // nor backward (d3)
    EXPECT_EQ(is_attacked(35, WHITE), 1);  // d4 by the e5 pawn
    EXPECT_EQ(is_attacked(37, WHITE), 1);  // f4
    EXPECT_EQ(is_attacked(19, WHITE), 0);  // d6 is behind it
}

TEST_F(Attacks, NoAttackAcrossTheBoardEdge) {
    setup("4k3/8/r7/8/8/8/8/4K3w--");  // rook a6
    EXPECT_EQ(is_attacked(15, WHITE), 0);  // h7: the s+1 line from h7 ends at once
    EXPECT_EQ(is_attacked(23, WHITE), 1);  // h6 along the rank
    setup("4k3/8/8/8/8/8/8/b3K3w--");      // bishop a1
    EXPECT_EQ(is_attacked(55, WHITE), 0);  // h2 is not next to a1 across the edge
    EXPECT_EQ(is_attacked(7, WHITE), 1);   // h8 along the long diagonal
    setup("4k3/8/8/8/8/7n/8/4K3w--");      // knight h3
    EXPECT_EQ(is_attacked(48, WHITE), 0);  // a2 would need a wrap
    EXPECT_EQ(is_attacked(53, WHITE), 1);  // f2
}

TEST_F(Attacks, KingsAttackTheirNeighbours) {
    setup("8/8/8/3k4/8/8/8/4K3w--");
    EXPECT_EQ(is_attacked(36, WHITE), 1);  // e4 next to d5
    EXPECT_EQ(is_attacked(51, BLACK), 1);  // d2 next to e1
    EXPECT_EQ(is_attacked(44, WHITE), 0);  // e3 two away
    // So a king can never step next to the other king.
    setup("8/8/8/8/3k4/8/4K3/8w--");
    Move list[MAX_MOVES];
    int n = generate_moves(list);
    for (int i = 0; i < n; ++i)
        if (make_move(list[i])) {
            EXPECT_GT(distance[pos.king_square[WHITE]][pos.king_square[BLACK]], 1);
            unmake_move();
        }
}

TEST_F(Attacks, BlockersEndLines) {
    setup("4k3/8/8/8/r2P3K/8/8/8w--");  // rook a4, own pawn d4 between it and the king h4
    EXPECT_EQ(is_attacked(39, WHITE), 0);
    EXPECT_EQ(is_attacked(34, WHITE), 1);  // c4
    EXPECT_EQ(in_check(WHITE), 0);
    setup("4k3/8/8/8/3K4/8/1n6/b7w--");  // bishop a1, its own knight b2 on the diagonal
    EXPECT_EQ(is_attacked(35, WHITE), 0);
    EXPECT_EQ(in_check(WHITE), 0);
    setup("4k3/8/8/8/3K4/8/8/b7w--");
    EXPECT_EQ(in_check(WHITE), 1);
}

TEST_F(Attacks, EveryPieceKind) {
    setup("4k3/8/8/8/8/8/8/4K3w--");
    EXPECT_EQ(in_check(WHITE), 0);
    setup("4k3/8/8/8/8/5n2/8/4K3w--");  // knight f3
    EXPECT_EQ(in_check(WHITE), 1);
    setup("4k3/8/8/8/4q3/8/8/4K3w--");  // queen on the file
    EXPECT_EQ(in_check(WHITE), 1);
    setup("4k3/8/8/q7/8/8/8/4K3w--");   // queen on the diagonal
    EXPECT_EQ(in_check(WHITE), 1);
    setup("4k3/8/8/8/8/8/3p4/4K3w--");  // pawn d2
    EXPECT_EQ(in_check(WHITE), 1);
    setup("4k3/8/8/8/8/8/4p3/4K3w--");  // pawn e2 only blocks
    EXPECT_EQ(in_check(WHITE), 0);
    setup("4k3/4R3/8/8/8/8/8/4K3b--");  // black king checked by the e7 rook
    EXPECT_EQ(in_check(BLACK), 1);
    EXPECT_EQ(in_check(WHITE), 0);
}

TEST_F(Attacks, OutOfRangeSquareIsNeverAttacked) {
    setup("4k3/8/8/8/8/8/8/4K3w--");
    EXPECT_EQ(is_attacked(-1, WHITE), 0);
    EXPECT_EQ(is_attacked(64, WHITE), 0);
}

}  // namespace
