// The attack sets the piece loops leave for the king zone agree with the square-by-square attack test.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "board/board.h"
#include "eval/eval.h"
#include "tools/tools.h"

namespace {

// After each phase's loop: the pieces' sets and the pawns' captures of each colour are exactly
// the squares attacked_by_non_king finds for that colour.
void expect_sets_agree(const std::string& fen) {
    static Evaluator ev(game);
    build_working_tables(ev);
    for (void (*loop)(Evaluator&) : {piece_terms_middlegame, piece_terms_transition, piece_terms_endgame}) {
        ev.piece_attacks[WHITE] = ev.piece_attacks[BLACK] = ~uint64_t{0};  // stale sets would show
        loop(ev);
        for (int colour = BLACK; colour <= WHITE; colour++) {
            const uint64_t set = ev.piece_attacks[colour] | pawn_attacks(game.men[colour][PAWN], colour);
            for (int s = 0; s < 64; s++)
                ASSERT_EQ((set >> s) & 1, uint64_t(attacked_by_non_king(game, s, 1 - colour) != 0))
                    << fen << " colour " << colour << " square " << s;
        }
    }
}

// The corpus, then pawns on the edge files, sliders behind men of either colour and on the board's rim.
TEST(AttackSets, AgreeWithTheSquareTest) {
    init_hash_keys();
    std::vector<EpdLine> lines = read_epd(std::string(TOLVANE_TEST_DATA) + "/eval_corpus.epd");
    ASSERT_GT(lines.size(), 6000u);
    for (const char* fen : {"k7/P6p/8/8/8/8/p6P/K7 w - -", "7k/8/2b5/3P4/8/1Q3r2/8/K5R1 w - -",
                            "r3k2r/8/q7/3Pp2Q/8/8/8/R3K2R b - -", "4k3/8/8/8/8/8/8/4K2B w - -"})
        lines.push_back(EpdLine{fen, false, {}});
    for (const EpdLine& line : lines) {
        ASSERT_TRUE(setup_epd(line)) << line.fen;
        expect_sets_agree(line.fen);
    }
}

}  // namespace
