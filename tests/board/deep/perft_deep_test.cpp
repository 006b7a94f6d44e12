// Deep perft tier: every published count of tests/data/perft.epd, start position to depth 6.
#include "board/board_test_support.h"

using namespace board_test;

namespace {

class PerftDeep : public BoardTest {};

TEST_F(PerftDeep, EveryPublishedCount) {
    const auto cases = perft_suite();
    ASSERT_GE(cases.size(), 13u);
    for (const auto& c : cases) {
        ASSERT_TRUE(setup_epd(c)) << c.fen;
        const auto counts = perft_counts(c);
        for (size_t d = 1; d <= counts.size(); ++d)
            EXPECT_EQ(perft(static_cast<int>(d)), counts[d - 1]) << c.fen << " depth " << d;
        reset_engine_state();
    }
}

}  // namespace
