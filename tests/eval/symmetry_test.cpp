// Colour symmetry: a position and its colour-flipped twin score the same for the side to move.
#include <random>
#include <vector>

#include "eval/eval_fixture.h"

namespace {

// Only the unstoppable-pawn rule asks whose move it is, and the twin exchanges the side to move
// too, so every term must agree exactly. Random games are replayed move for move, mirrored.
class ColourSymmetry : public EvalTest {
protected:
    int positions_checked = 0;

    void replay(const std::string& fen, const std::vector<Move>& moves, bool mirror) {
        set(mirror ? mirror_fen(fen) : fen);
        for (Move m : moves) {
            if (mirror) m = {flip[m.from], flip[m.to], m.type, 0};
            ASSERT_EQ(make_move(game, m), 1);
        }
        mark_root();
    }

    void check_twin(const std::string& fen, const std::vector<Move>& moves) {
        replay(fen, moves, true);
        const int twin = eval_fresh();
        replay(fen, moves, false);
        EXPECT_EQ(eval_fresh(), twin) << fen << " after " << moves.size() << " plies";
        // The defence test is the attack test without the king's own reach.
        for (int side = BLACK; side <= WHITE; side++)
            for (int sq = 0; sq < 64; sq++) {
                const int attacked = is_attacked(game, sq, side), defended = attacked_by_non_king(game, sq, side);
                const bool near_king = distance[sq][game.king_square[1 - side]] <= 1;
                EXPECT_TRUE(defended == attacked || (near_king && defended < attacked)) << fen << " " << sq;
            }
        positions_checked++;
    }

    void random_games(const char* fen, int games, int plies, unsigned seed) {
        std::mt19937 rng(seed);
        for (int g = 0; g < games; g++) {
            std::vector<Move> moves;
            for (int p = 0; p < plies && !HasFailure(); p++) {
                check_twin(fen, moves);
                MoveList list;
                const int count = generate_moves(game, list);
                std::vector<Move> legal;
                for (int i = 0; i < count; i++)
                    if (make_move(game, list[i])) legal.push_back(list[i]), unmake_move(game);
                if (legal.empty()) break;
                moves.push_back(legal[rng() % legal.size()]);
            }
        }
    }
};

TEST_F(ColourSymmetry, FixedPositionsOfEveryPhase) {
    for (const char* fen : {
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
        check_twin(fen, {});
}

// Without pawns every file is open to both sides: the pawn structure's entry for no pawns must say
// so from the program's start, before any other structure has passed through the cache.
TEST_F(ColourSymmetry, NoPawnsFromTheStart) {
    for (const char* fen : {
             "r1bqkb1r/8/2n2n2/8/8/2N2N2/8/R1BQKB1R w KQkq -",
             "2r2rk1/8/3q4/8/8/4Q3/8/1R3RK1 b - -",
             "6k1/8/8/3r4/8/8/8/R5K1 w - -",
         })
        check_twin(fen, {});
}

TEST_F(ColourSymmetry, RandomGamesOfEveryPhase) {
    random_games("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -", 12, 120, 1);
    random_games("r3k2r/pppq1ppp/2npbn2/2b1p3/2B1P3/2NPBN2/PPPQ1PPP/R3K2R w KQkq -", 6, 80, 2);
    random_games("2r3k1/1q3ppp/p3p3/1p1n4/3P4/P2Q1N2/1P3PPP/2R3K1 w - -", 6, 80, 3);
    random_games("4k3/pp1b1ppp/2p5/8/3P4/2N2P2/PP4PP/4K3 w - -", 6, 80, 4);
    random_games("8/2k5/1p1r2p1/p6p/P2R3P/6P1/5PK1/8 w - -", 6, 80, 5);
    random_games("8/5k2/2p5/1p1p4/1P1P4/2P5/5K2/8 w - -", 6, 60, 6);
    EXPECT_GT(positions_checked, 1500);
}

}  // namespace
