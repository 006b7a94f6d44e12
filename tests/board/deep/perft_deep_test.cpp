// Deep perft tier: every published count of tests/data/perft.epd, start position to depth 6.
#include "board/board_test_support.h"

using namespace board_test;

namespace {

class PerftDeep : public BoardTest {};

TEST_F(PerftDeep, EveryPublishedCount) {
    for (const auto& c : perft_suite()) {
        ASSERT_TRUE(setup_epd(c)) << c.fen;
        const auto counts = perft_counts(c);
        for (int d = 1; d <= int(counts.size()); ++d) EXPECT_EQ(perft(d), counts[d - 1]) << c.fen << " depth " << d;
        reset_engine_state();
    }
}

}  // namespace
