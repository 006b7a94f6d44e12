// The slow tier: the benchmark's mate in 7, after its first exchange, found at its exact distance.
#include <gtest/gtest.h>

#include "search/helpers.h"
#include "tools/tools.h"

namespace {

using namespace search_test;

// After 1. Qxg7+ Kxg7 White mates in six: eleven plies from the new root, starting 2. Rh7+.
TEST(DeepSearch, BenchMateInSixAfterTheSacrifice) {
    use_small_tables();
    ASSERT_TRUE(bench_prepare());
    pos.ply = 0;
    for (const char* text : {"h7g7", "f8g7"}) {
        Move m;
        ASSERT_TRUE(find_move(text, &m)) << text;
        ASSERT_EQ(make_move(m), 1) << text;
    }
    pos.ply = 0;
    depth_limits(19);
    Move m = root_search();
    EXPECT_EQ(iteration_score[18], SCORE_INF - 11);
    EXPECT_EQ(m.from, 63);  // h1
    EXPECT_EQ(m.to, 15);    // h7
    // Once found, the mate keeps its distance in every later iteration.
    for (int it = 1; it <= 18; it++) {
        if (iteration_score[it] > MATE_BOUND) {
            EXPECT_EQ(iteration_score[it], SCORE_INF - 11) << it;
        }
    }
}

}  // namespace
