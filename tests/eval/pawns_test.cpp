// Pawn structure: doubled, isolated, backward, side-by-side, candidate and passed pawns.
#include "eval/eval_fixture.h"

namespace {

class PawnTerms : public EvalTest {
protected:
    void load(const char* fen) {
        set(fen);
        build_working_tables();
    }
    int white(const char* sq) { return pawn_terms_white(sq_of(sq)); }
    int black(const char* sq) { return pawn_terms_black(sq_of(sq)); }
    int white_eg(const char* sq) { return pawn_terms_white_endgame(sq_of(sq)); }
    int black_eg(const char* sq) { return pawn_terms_black_endgame(sq_of(sq)); }
};

TEST_F(PawnTerms, WorkingTablesHoldTheRearmostPawnPerFile) {
    load("4k3/p2p4/3p4/8/3P4/8/3P1P2/4K3 w - -");
    EXPECT_EQ(pawn_rank[WHITE][4], 6);  // d2 behind d4
    EXPECT_EQ(pawn_rank[WHITE][6], 6);
    EXPECT_EQ(pawn_rank[WHITE][1], 0);  // no white a-pawn
    EXPECT_EQ(pawn_rank[BLACK][4], 1);  // d7 behind d6
    EXPECT_EQ(pawn_rank[BLACK][1], 1);
    EXPECT_EQ(pawn_rank[BLACK][0], 7);  // sentinels
    EXPECT_EQ(pawn_rank[BLACK][9], 7);
    EXPECT_EQ(occupied_count, 8);
}

TEST_F(PawnTerms, DoubledIsolatedPawnsOnAnOpenFile) {
    load("4k3/8/8/8/3P4/8/3P4/4K3 w - -");
    // d4: doubled -10, isolated -10 twice, passed and isolated +16; d2: isolated twice, passed +10
    EXPECT_EQ(white("d4"), -10 - 20 + 16);
    EXPECT_EQ(white("d2"), -20 + 10);
    // Endgame form: doubled and isolated count double, not again for the file. d4's passed bonus:
    // 20 + (2*3 + 12 - 4/2) * 1 and a free front square 6; d2's: 20 with factor 0.
    EXPECT_EQ(white_eg("d4"), -20 - 20 + 36 + 6);
    EXPECT_EQ(white_eg("d2"), -20 + 20);
}

TEST_F(PawnTerms, PassedPawnOnTheSeventhRank) {
    load("4k3/P7/1P6/8/8/8/8/4K3 w - -");
    EXPECT_EQ(white("a7"), 10 + 6 * 10 + 20);
    load("4k3/PP6/8/8/8/8/8/4K3 w - -");
    EXPECT_EQ(white("a7"), 90);       // the a-side neighbour of the a-file is the empty sentinel
    EXPECT_EQ(white("b7"), 90 + 10);  // a pair of pawns side by side is paid once, on the h-side pawn
}

TEST_F(PawnTerms, BlackPassedPawnOnItsSeventhRank) {
    load("4k3/8/8/8/8/6p1/7p/4K3 w - -");
    EXPECT_EQ(black("h2"), 10 + 6 * 10 + 20);
}

TEST_F(PawnTerms, BackwardPawnOnItsStartSquare) {
    load("4k3/8/8/8/3P1P2/8/4P3/4K3 w - -");  // neighbours two ahead, nothing in front: not backward
    EXPECT_EQ(white("e2"), 10 + 20);
    load("4k3/8/8/8/3PpP2/8/4P3/4K3 w - -");  // a pawn two in front makes it backward
    EXPECT_EQ(white("e2"), -10);
    load("4k3/8/8/3P1P2/8/8/4P3/4K3 w - -");  // neighbours three ahead: backward regardless, open file
    EXPECT_EQ(white("e2"), -10 - 10 + 10 + 20);
}

TEST_F(PawnTerms, BackwardPawnFurtherUp) {
    load("4k3/8/8/3P1P2/4P3/8/8/4K3 w - -");  // neighbours one ahead, front square free
    EXPECT_EQ(white("e4"), 10 + 6 + 20);
    load("4k3/8/8/3PpP2/4P3/8/8/4K3 w - -");  // the same with e5 blocked
    EXPECT_EQ(white("e4"), -10);
}

TEST_F(PawnTerms, CandidatePassedPawn) {
    load("4k3/8/3p4/8/4PP2/8/8/4K3 w - -");  // one blocker (d6), one supporter (f4)
    EXPECT_EQ(white("e4"), 5 + 5 * 1);
    load("4k3/8/3p1p2/8/4PP2/8/8/4K3 w - -");  // two blockers against one supporter
    EXPECT_EQ(white("e4"), 0);
    load("4k3/8/3p4/5p2/4P3/3P4/8/4K3 w - -");  // attacked by f5, defended by d3
    EXPECT_EQ(white("e4"), 5 + 5 * 1);
}

TEST_F(PawnTerms, PassedPawnInTheEndgame) {
    load("4k3/8/8/4P3/8/8/8/4K3 w - -");
    // isolated -20; 20 + (2*2 + 12 - 5/2) * 3 = 62; free front square +18; the king stops it
    EXPECT_EQ(white_eg("e5"), -20 + 62 + 18);
}

TEST_F(PawnTerms, UnstoppablePawnFollowsTheRuleOfTheSquare) {
    load("k7/8/8/4P3/8/8/8/4K3 w - -");  // the king on a8 is outside the square
    EXPECT_EQ(white_eg("e5"), -20 + 74 + 18 + 80 * 3);
    load("k7/8/8/4P3/8/8/8/4K3 b - -");  // black to move steps into it
    EXPECT_EQ(white_eg("e5"), -20 + 74 + 18);
    load("k7/8/8/4P3/8/8/8/4K2n w - -");  // any piece can stop the pawn
    EXPECT_EQ(white_eg("e5"), -20 + 74 + 18);
    // The h8 king catches the pawn (e6 Kg7 e7 Kf7); measuring to d8 instead of the promotion
    // square would call it unstoppable.
    load("7k/8/8/4P3/8/8/8/4K3 w - -");
    EXPECT_EQ(white_eg("e5"), -20 + 68 + 18);
}

TEST_F(PawnTerms, UnstoppablePawnOnTheAFile) {
    load("7k/8/8/P7/8/8/8/4K3 w - -");
    const int white_value = white_eg("a5");
    load("4k3/8/8/8/p7/8/8/7K b - -");  // the colour-flipped twin
    EXPECT_EQ(black_eg("a4"), white_value);
    EXPECT_GT(white_value, 80 * 3);
}

TEST_F(PawnTerms, RookBehindAPassedPawn) {
    load("4k3/8/8/4P3/8/8/8/3RK3 w - -");
    const int beside = white_eg("e5");
    load("4k3/8/8/4P3/8/8/8/4RK2 w - -");
    EXPECT_EQ(white_eg("e5") - beside, 70);
}

}  // namespace
