// The slow tier: the benchmark's mate in 7, after its first exchange, found at its exact distance.
#include "search/helpers.h"

namespace {

using namespace search_test;

// After 1. Qxg7+ Kxg7 White mates in six: eleven plies from the new root, starting 2. Rh7+.
TEST(DeepSearch, BenchMateInSixAfterTheSacrifice) {
    ASSERT_TRUE(set_up(nullptr));
    ASSERT_TRUE(play({"h7g7", "f8g7"}));
    expect_search(19, SCORE_INF - 11, "h1h7");
}

}  // namespace
