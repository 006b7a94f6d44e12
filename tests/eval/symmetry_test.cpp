// Colour symmetry: a position and its colour-flipped twin score the same for the side to move.
#include "eval/eval_fixture.h"
#include "tools/tools.h"

namespace {

// Only the unstoppable-pawn rule asks whose move it is, and the twin exchanges the side to move
// too, so every term must agree exactly.
class ColourSymmetry : public EvalTest {
protected:
    int positions_checked = 0;

    void check_twin(const std::string& fen) {
        set(mirror_fen(fen));
        const int twin = eval_fresh();
        set(fen);
        EXPECT_EQ(eval_fresh(), twin) << fen;
        // The defence test is the attack test without the king's own reach.
        for (int side = BLACK; side <= WHITE; side++)
            for (int sq = 0; sq < 64; sq++) {
                const int attacked = is_attacked(game, sq, side), defended = attacked_by_non_king(game, sq, side);
                const bool near_king = distance[sq][game.king_square[1 - side]] <= 1;
                EXPECT_TRUE(defended == attacked || (near_king && defended < attacked)) << fen << " " << sq;
            }
        positions_checked++;
    }
};

// Without pawns every file is open to both sides: the pawn structure's entry for no pawns must say
// so from the program's start, before any other structure has passed through the cache, so the
// pawnless positions come first.
TEST_F(ColourSymmetry, FixedPositionsOfEveryPhase) {
    for (const char* fen : {
             "r1bqkb1r/8/2n2n2/8/8/2N2N2/8/R1BQKB1R w KQkq -",
             "2r2rk1/8/3q4/8/8/4Q3/8/1R3RK1 b - -",
             "6k1/8/8/3r4/8/8/8/R5K1 w - -",
             "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -",
             "r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq -",
             "r5k1/pp3ppp/2n5/3p4/3P4/2N2N2/PP3PPP/R5K1 b - -",
             "rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq f6",
             "4k3/p1pb4/1p6/8/8/1P1P4/P1P2B2/4K3 w - -",
             "k7/8/8/4P3/8/8/8/4K3 w - -",
             "k7/8/8/4P3/8/8/8/4K3 b - -",
             "r3k3/8/8/8/8/8/pp6/4K1NR w - -",
             "6k1/5ppp/8/8/8/1P6/b1P5/4K3 w - -",
             "r2qk2r/ppp2ppp/2n5/3pP3/1b1Pn1b1/2N2N2/PP2BPPP/R1BQK2R w KQkq -",
         })
        check_twin(fen);
}

// The corpus: positions of random games from every phase.
TEST_F(ColourSymmetry, EveryCorpusPosition) {
    for (const EpdLine& line : read_epd(TOLVANE_TEST_DATA "/eval_corpus.epd")) {
        check_twin(line.fen.substr(0, line.fen.find(' ', line.fen.find(' ') + 1)) + " - -");
        if (HasFailure()) break;
    }
    EXPECT_GT(positions_checked, 3000);
}

}  // namespace
