// The attack sets the king zone reads agree with the square-by-square attack test on the corpus.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>

#include "board/board.h"

namespace {

// Every set, the whole board and each square alone, since the sets skip the men that cannot
// reach the squares asked about.
void expect_sets_agree(const std::string& fen) {
    for (int defender = BLACK; defender <= WHITE; defender++) {
        uint64_t expected = 0;
        for (int s = 0; s < 64; s++) {
            const uint64_t square = uint64_t{1} << s;
            if (attacked_by_non_king(s, defender)) expected |= square;
            ASSERT_EQ(non_king_attacks_on(square, defender), expected & square) << fen << " square " << s;
        }
        ASSERT_EQ(non_king_attacks_on(~uint64_t{0}, defender), expected) << fen;
        const uint64_t zone = king_attacks(pos.king_square[defender]);
        ASSERT_EQ(non_king_attacks_on(zone, defender), expected & zone) << fen;
    }
}

TEST(AttackSets, AgreeWithTheSquareTestOnTheCorpus) {
    init_hash_keys();
    set_variant("normal");
    std::ifstream file(std::string(TOLVANE_TEST_DATA) + "/eval_corpus.epd");
    std::string line;
    int positions = 0;
    while (std::getline(file, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        std::string placement, side;
        fields >> placement >> side;
        const std::string fen = placement + " " + side + " - -";
        ASSERT_TRUE(setup_position(fen.c_str())) << fen;
        expect_sets_agree(fen);
        positions++;
    }
    EXPECT_GT(positions, 6000);
}

// Pawns on the edge files, sliders behind men of either colour and on the board's rim.
TEST(AttackSets, EdgesAndBlockers) {
    init_hash_keys();
    set_variant("normal");
    for (const char* fen : {"k7/P6p/8/8/8/8/p6P/K7 w - -", "7k/8/2b5/3P4/8/1Q3r2/8/K5R1 w - -",
                            "r3k2r/8/q7/3Pp2Q/8/8/8/R3K2R b - -", "4k3/8/8/8/8/8/8/4K2B w - -"}) {
        ASSERT_TRUE(setup_position(fen)) << fen;
        expect_sets_agree(fen);
    }
}

}  // namespace
