// The console's perft command, its exact output, and the missing-number case.
#include "board/board_test_support.h"
#include "tools/tools.h"

using namespace board_test;

namespace {

class PerftCommand : public BoardTest {};

std::string run(const char* line) {
    testing::internal::CaptureStdout();
    perft_command(line);
    std::fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

const char* HEADER = "variante = normal\nPerformance Test\nPly\tSeconds\tNodes\n";

TEST_F(PerftCommand, DepthZero) {
    EXPECT_EQ(run("perft 0"), std::string(HEADER) + "0:\t0\t1\n");
}

TEST_F(PerftCommand, DepthFourCountsEveryDepth) {
    EXPECT_EQ(run("perft 4"), std::string(HEADER) + "0:\t0\t1\n1:\t0\t20\n2:\t0\t400\n3:\t0\t8902\n4:\t0\t197281\n");
}

TEST_F(PerftCommand, NegativeDepthPrintsHeadersOnly) {
    EXPECT_EQ(run("perft -1"), HEADER);
}

TEST_F(PerftCommand, MissingNumberPrintsUsage) {
    EXPECT_EQ(run("perft"), "Usage: perft <depth>\n");
    EXPECT_EQ(run("perft x"), "Usage: perft <depth>\n");
    EXPECT_EQ(run(""), "Usage: perft <depth>\n");
}

TEST_F(PerftCommand, SetsNormalVariantAndStartPosition) {
    set_variant("fischerandom");
    ASSERT_TRUE(setup_position("4k3/8/8/8/8/8/8/4K3w--"));
    search_start_ms = -12345;
    run("perft 1");
    EXPECT_STREQ(Variant, "normal");
    EXPECT_EQ(variant_kind, VARIANT_NORMAL);
    EXPECT_EQ(pos.hash_key, 0x1d0b07bbcf64539dULL);
    EXPECT_EQ(pos.game_ply, 0);
    EXPECT_NE(search_start_ms, -12345);
}

}  // namespace
