// Colour symmetry: a position and its colour-flipped twin score the same for the side to move.
#include <random>

#include "eval/eval_fixture.h"

namespace {

// No term looks at the side to move except the unstoppable-pawn rule, which asks whose move it
// is; the twin exchanges the side to move as well, so every term must agree exactly.
class ColourSymmetry : public EvalTest {
protected:
    int positions_checked = 0;

    void check_twin() {
        const std::string fen = position_fen(false), twin = position_fen(true);
        ASSERT_TRUE(setup_position(fen.c_str())) << fen;
        mark_root();
        const int score = eval_fresh();
        ASSERT_TRUE(setup_position(twin.c_str())) << twin;
        mark_root();
        EXPECT_EQ(eval_fresh(), score) << fen << "  against  " << twin;
        ASSERT_TRUE(setup_position(fen.c_str()));
        check_defence_test();
        positions_checked++;
    }

    // The defence test is the attack test without the king's own reach.
    void check_defence_test() {
        for (int side = BLACK; side <= WHITE; side++) {
            const int king = pos.king_square[1 - side];
            for (int sq = 0; sq < 64; sq++) {
                const int attacked = is_attacked(sq, side), defended = attacked_by_non_king(sq, side);
                EXPECT_LE(defended, attacked) << position_fen(false) << " square " << sq;
                if (distance[sq][king] > 1) {
                    EXPECT_EQ(defended, attacked) << position_fen(false) << " " << sq;
                }
            }
        }
    }

    bool play_random_move(std::mt19937& rng) {
        MoveList list;
        const int count = generate_moves(list);
        for (int tries = 0; tries < 4 * count + 8 && count > 0; tries++)
            if (make_move(list[rng() % count])) return true;
        for (int i = 0; i < count; i++)
            if (make_move(list[i])) return true;
        return false;
    }

    void random_games(const char* fen, int games, int plies, unsigned seed) {
        std::mt19937 rng(seed);
        for (int g = 0; g < games; g++) {
            set(fen);
            for (int p = 0; p < plies; p++) {
                check_twin();
                if (HasFatalFailure() || !play_random_move(rng)) break;
            }
        }
    }
};

TEST_F(ColourSymmetry, FixedPositionsOfEveryPhase) {
    for (const char* fen : {
             "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -",
             "r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq -",
             "r3k2r/pppq1ppp/2npbn2/2b1p3/2B1P3/2NPBN2/PPPQ1PPP/R3K2R b KQkq -",
             "2r3k1/1q3ppp/p3p3/1p1n4/3P4/P2Q1N2/1P3PPP/2R3K1 w - -",
             "r5k1/pp3ppp/2n5/3p4/3P4/2N2N2/PP3PPP/R5K1 b - -",
             "rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq f6",
             "4k3/p1pb4/1p6/8/8/1P1P4/P1P2B2/4K3 w - -",
             "k7/8/8/4P3/8/8/8/4K3 w - -",
             "k7/8/8/4P3/8/8/8/4K3 b - -",
             "r3k3/8/8/8/8/8/pp6/4K1NR w - -",
             "8/5pk1/6p1/8/3R4/6P1/5PK1/3r4 b - -",
             "6k1/5ppp/8/8/8/1P6/b1P5/4K3 w - -",
             "r2qk2r/ppp2ppp/2n5/3pP3/1b1Pn1b1/2N2N2/PP2BPPP/R1BQK2R w KQkq -",
         }) {
        set(fen);
        check_twin();
    }
}

TEST_F(ColourSymmetry, RandomGamesFromTheStart) {
    random_games("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -", 12, 120, 1);
    EXPECT_GT(positions_checked, 500);
}

TEST_F(ColourSymmetry, RandomGamesFromMiddlegamesAndEndgames) {
    random_games("r3k2r/pppq1ppp/2npbn2/2b1p3/2B1P3/2NPBN2/PPPQ1PPP/R3K2R w KQkq -", 6, 80, 2);
    random_games("2r3k1/1q3ppp/p3p3/1p1n4/3P4/P2Q1N2/1P3PPP/2R3K1 w - -", 6, 80, 3);
    random_games("4k3/pp1b1ppp/2p5/8/3P4/2N2P2/PP4PP/4K3 w - -", 6, 80, 4);
    random_games("8/2k5/1p1r2p1/p6p/P2R3P/6P1/5PK1/8 w - -", 6, 80, 5);
    random_games("8/5k2/2p5/1p1p4/1P1P4/2P5/5K2/8 w - -", 6, 60, 6);
    EXPECT_GT(positions_checked, 1000);
}

}  // namespace
