// Piece terms and mobility: knights, bishops, rooks and queens in the per-piece loops.
#include "eval/eval_fixture.h"

namespace {

class PieceTerms : public EvalTest {
protected:
    void load(const char* fen) {
        set(fen);
        build_working_tables();
    }
};

TEST_F(PieceTerms, StartPositionKnightScoresMinus31InTheMiddlegame) {
    load("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -");
    // table -40, two empty targets +2, undeveloped -5, king far away 0, eight own pawns +12
    EXPECT_EQ(square_terms_middlegame(sq_of("b1")), -31);
    EXPECT_EQ(square_terms_middlegame(sq_of("g1")), -31);
    EXPECT_EQ(square_terms_middlegame(sq_of("b8")), -31);  // black reads the mirrored table
    EXPECT_EQ(square_terms_middlegame(sq_of("g8")), -31);
}

TEST_F(PieceTerms, MobilityCountsOnlyEmptySquaresUpToTheFirstPiece) {
    load("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -");
    EXPECT_EQ(knight_mobility_count(sq_of("b1")), 2);
    EXPECT_EQ(bishop_mobility_count(sq_of("c1")), 0);
    EXPECT_EQ(rook_mobility_count(sq_of("a1")), 0);
    EXPECT_EQ(queen_mobility(sq_of("d1")), 0);

    load("4k3/8/8/8/3Q4/8/8/4K3 w - -");
    EXPECT_EQ(queen_mobility(sq_of("d4")), 27);
    EXPECT_EQ(knight_mobility_count(sq_of("h8")), 2);  // corner: no wrap to the a-file
    EXPECT_EQ(rook_mobility_count(sq_of("h4")), 10);   // the row stops at the queen; no wrap
}

TEST_F(PieceTerms, QueenMobilitySaturatesAndEndgameQueenReadsItsOwnTable) {
    load("4k3/8/8/8/3Q4/8/8/4K3 w - -");
    // 27 empty squares: 16 in the middlegame (+1 closeness at distance 4), 30 in the endgame
    EXPECT_EQ(square_terms_middlegame(sq_of("d4")), 0 + 16 + 1);
    EXPECT_EQ(square_terms_endgame(sq_of("d4")), 8 + 30);
}

TEST_F(PieceTerms, EarlyQueenIsChargedWhileMinorPiecesWait) {
    load("rnbqkbnr/pppppppp/8/8/8/5Q2/PPPPPPPP/RNB1KBNR w KQkq -");
    // 15 empty squares (+16), knight still on b1 (-10), no closeness at distance 5
    EXPECT_EQ(square_terms_middlegame(sq_of("f3")), 16 - 10);
    load("rnbqkbnr/pppppppp/8/8/8/5Q2/PPPPPPPP/R3K2R w KQkq -");
    EXPECT_EQ(square_terms_middlegame(sq_of("f3")), 16);
}

TEST_F(PieceTerms, BlockedBishopHasNoMobility) {
    load("4k3/8/8/2p1p3/3B4/2P1P3/8/4K3 w - -");
    EXPECT_EQ(bishop_mobility_count(sq_of("d4")), 0);
    EXPECT_EQ(square_terms_middlegame(sq_of("d4")), 8 - 20);
    EXPECT_EQ(square_terms_endgame(sq_of("d4")), 6 - 20);
}

TEST_F(PieceTerms, SeventhRankRookOnOpenFileInTheEndgame) {
    load("4k3/R7/8/8/8/8/8/4K3 w - -");
    // mobility 14 (+59), seventh rank +40, open file +15, no pawns +15, no square value
    EXPECT_EQ(square_terms_endgame(sq_of("a7")), 59 + 40 + 15 + 15);
    load("4k3/8/8/8/8/8/r7/4K3 b - -");
    EXPECT_EQ(square_terms_endgame(sq_of("a2")), 59 + 40 + 15 + 15);
}

TEST_F(PieceTerms, OpenAndHalfOpenFiles) {
    load("4k3/p7/8/8/8/8/1P6/R3K3 w - -");
    // a-file: only a black pawn, so half-open (+10); mobility 5 up to a7 and 3 along the rank
    EXPECT_EQ(square_terms_endgame(sq_of("a1")), rook_mobility_eg[8] + 10 + rook_by_pawns[1]);
    load("4k3/p7/8/8/8/8/P7/R3K3 w - -");
    EXPECT_EQ(square_terms_endgame(sq_of("a1")), rook_mobility_eg[3] + rook_by_pawns[1]);
}

TEST_F(PieceTerms, RookShutInByItsOwnKing) {
    load("4k3/8/8/8/8/8/5PPP/6KR w - -");
    // table -6, no mobility -12, shut in -70, three own pawns +6
    EXPECT_EQ(square_terms_middlegame(sq_of("h1")), -6 - 12 - 70 + 6);
    load("6kr/5ppp/8/8/8/8/8/4K3 b - -");
    EXPECT_EQ(square_terms_middlegame(sq_of("h8")), -6 - 12 - 70 + 6);
    load("4k3/8/8/8/8/8/5PPP/5RK1 w - -");  // castled: the rook is free
    EXPECT_GT(square_terms_middlegame(sq_of("f1")), -30);
}

TEST_F(PieceTerms, KnightOutpostNeedsDefendersAndNoChasingPawn) {
    load("4k3/8/8/3N4/2P1P3/8/8/4K3 w - -");
    // table 20, 8 targets +25, outpost 10 + 10, closeness at 3 +2, two pawns -12
    EXPECT_EQ(square_terms_middlegame(sq_of("d5")), 20 + 25 + 20 + 2 - 12);
    load("4k3/2p5/8/3N4/2P1P3/8/8/4K3 w - -");  // c7 can chase it; c7 also takes a target
    EXPECT_EQ(square_terms_middlegame(sq_of("d5")), 20 + 24 + 0 + 2 - 12);
    load("4k3/8/8/3N4/2P5/8/8/4K3 w - -");  // one defender
    EXPECT_EQ(square_terms_middlegame(sq_of("d5")), 20 + 25 + 10 + 2 - 16);
    load("4k3/8/8/2p1p3/3n4/8/8/4K3 b - -");  // black, mirrored
    EXPECT_EQ(square_terms_middlegame(sq_of("d4")), 20 + 25 + 20 + 2 - 12);
    load("4k3/8/8/2p1p3/3n4/8/2P5/4K3 b - -");  // white c2 can still reach c3; it takes a target
    EXPECT_EQ(square_terms_middlegame(sq_of("d4")), 20 + 24 + 0 + 2 - 12);
}

}  // namespace
