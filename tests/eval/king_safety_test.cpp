// King safety: the king-zone attack term, wing bonus, shelter and storm.
#include "eval/eval_fixture.h"

namespace {

class KingSafety : public EvalTest {
protected:
    void load(const char* fen) {
        set(fen);
        build_working_tables();
        white_score = black_score = 0;
    }
};

TEST_F(KingSafety, ShelterFadesWithTheEnemyPieces) {
    load("rnbq1rk1/pppppppp/2bn4/8/8/6P1/PPPPPP1P/RNBQ1RK1 w - -");
    // table 50, wing bonus 40 (h1 is empty), shelter 0 - 10 + 0 / 2 at full enemy material
    EXPECT_EQ(king_terms_middlegame(WHITE), 50 + 40 - 10);
    load("4qrk1/pppppppp/8/8/6n1/6P1/PPPPPP1P/RNBQ1RK1 w - -");  // black: 1765 piece material
    EXPECT_EQ(king_terms_middlegame(WHITE), 50 + 40 - 5);
}

TEST_F(KingSafety, ShelterReadsMissingAndAdvancedPawns) {
    load("rnbq1rk1/pppppppp/2bn4/8/6P1/8/PPPPP2P/RNBQ1RK1 w - -");
    // h: 0; g: advanced -20; f: no pawn -25, halved to -12 (truncated)
    EXPECT_EQ(king_terms_middlegame(WHITE), 50 + 40 - 20 - 12);
    load("rnbq1rk1/pppppp1p/2bn4/8/6p1/8/PPPPPPPP/RNBQ1RK1 w - -");  // storm pawn on g4
    EXPECT_EQ(king_terms_middlegame(WHITE), 50 + 40 - 5);
}

TEST_F(KingSafety, CentralKingBehindItsPawnsHasNoShelterTerm) {
    load("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -");
    EXPECT_EQ(king_terms_middlegame(WHITE), 10);
    EXPECT_EQ(king_terms_middlegame(BLACK), 10);
    load("rnbqkbnr/ppp2ppp/8/8/8/8/PPP2PPP/RNBQKBNR w KQkq -");  // d- and e-files open
    EXPECT_EQ(king_terms_middlegame(WHITE), 10 - 20);
}

TEST_F(KingSafety, WingBonusNeedsTheCornerRookGone) {
    load("rnbq1rk1/pppppppp/8/8/8/8/PPPPPPPP/RNBQ2KR w - -");  // rook still on h1
    EXPECT_EQ(king_terms_middlegame(WHITE), 50);
    load("rnbq1rk1/pppppppp/8/8/8/8/PPPPPPPP/RNBQ2KB w - -");  // any own piece counts too
    EXPECT_EQ(king_terms_middlegame(WHITE), 50);
    load("r1bq1rk1/pppppppp/8/8/8/8/PPPPPPPP/RNBQ2Kn w - -");  // an enemy minor does not
    EXPECT_EQ(king_terms_middlegame(WHITE), 50 + 40);
}

TEST_F(KingSafety, UnmovedPawnsGiveAnEmptyKingZone) {
    load("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQ1RK1 w kq -");
    king_attack_terms();
    EXPECT_EQ(white_score, 0);
    EXPECT_EQ(black_score, 0);
}

TEST_F(KingSafety, ZoneTermNeedsQueenAndTwoPieces) {
    load("r2qk3/8/8/8/8/8/8/4K3 w - -");
    king_attack_terms();
    EXPECT_EQ(black_score, 0);  // queen and one rook only
    load("r2qk3/8/8/8/8/8/8/n3K3 w - -");
    king_attack_terms();
    EXPECT_GT(black_score, 0);
}

TEST_F(KingSafety, CheckAddsFiftyToTheTableValue) {
    load("r2qk3/8/8/8/8/7n/5PPP/6K1 w - -");
    // f2 is attacked (+1) and has no defender but the king (+1): table 2, and the knight checks
    king_attack_terms();
    EXPECT_EQ(black_score, 2 + 50);
    EXPECT_EQ(white_score, 0);  // white has no queen
}

}  // namespace
