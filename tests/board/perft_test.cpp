// The published perft counts within a node budget, the invariant walk over them and over positions
// made for the hard cases, and the perft command.
#include "board/board_test_support.h"
#include "search/search.h"

using namespace board_test;

namespace {

// Depths counted in the quick tier: the deepest whose published count stays within this budget.
constexpr uint64_t QUICK_NODE_BUDGET = 2200000;
// Depths whose count stays within this budget are counted by the invariant walk.
constexpr uint64_t CHECKED_NODE_BUDGET = 450000;

class PerftSuite : public BoardTest {};

TEST_F(PerftSuite, QuickDepthsMatchPublishedCounts) {
    const auto cases = perft_suite();
    ASSERT_GE(cases.size(), 13u);
    EXPECT_EQ(std::count_if(cases.begin(), cases.end(), [](const EpdLine& c) { return c.chess960; }), 5);
    for (const auto& c : cases) {
        const auto counts = perft_counts(c);
        EXPECT_GE(counts.size(), 4u) << c.fen;
        ASSERT_TRUE(setup_epd(c)) << c.fen;
        const BoardBytes root = board_of(game);
        for (int d = 1; d <= int(counts.size()) && counts[d - 1] <= QUICK_NODE_BUDGET; ++d) {
            InvariantWalk walk;
            EXPECT_EQ(counts[d - 1] <= CHECKED_NODE_BUDGET ? walk.run(d) : perft(d), counts[d - 1])
                << c.fen << " depth " << d;
            EXPECT_EQ(walk.fault, "") << c.fen << " depth " << d;
        }
        EXPECT_TRUE(same_position(root, game)) << c.fen;
        reset_engine_state();
    }
}

// The walk over positions made for the hard cases (tests/board/walk_cases.txt); a depth of 1
// marks a mate or a stalemate, with no leaf.
TEST_F(PerftSuite, InvariantsHoldOnTheHardCases) {
    for (const auto& c : read_cases("board/walk_cases.txt")) {
        setup(c[0], c[1]);
        InvariantWalk walk;
        const int depth = std::stoi(c[2]);
        EXPECT_EQ(walk.run(depth) == 0, depth == 1) << c[0];
        EXPECT_EQ(walk.fault, "") << c[0];
        reset_engine_state();
    }
}

std::string run_command(const char* line) {
    testing::internal::CaptureStdout();
    perft_command(line);
    std::fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

// The console command: exact output, the missing-number case, and the state it leaves.
TEST_F(PerftSuite, CommandOutputAndState) {
    const std::string header = "variante = normal\nPerformance Test\nPly\tSeconds\tNodes\n";
    const std::string usage = "Usage: perft <depth>\n";
    const std::pair<const char*, std::string> cases[] = {
        {"perft 0", header + "0:\t0\t1\n"},
        {"perft 3", header + "0:\t0\t1\n1:\t0\t20\n2:\t0\t400\n3:\t0\t8902\n"},
        {"perft -1", header},
        {"perft", usage},
        {"perft x", usage},
    };
    for (const auto& [line, expected] : cases) EXPECT_EQ(run_command(line), expected) << '"' << line << '"';
    // Whatever came before, perft counts from the orthodox start position.
    setup("4k3/8/8/8/8/8/8/4K3w--", "fischerandom");
    search_start_ms = -12345;
    run_command("perft 1");
    EXPECT_EQ(variant_kind, VARIANT_NORMAL);
    const uint64_t after = game.hash_key;
    setup(START_POSITION);
    EXPECT_EQ(after, game.hash_key);
    EXPECT_EQ(game.game_ply, 0);
    EXPECT_NE(search_start_ms, -12345);
}

}  // namespace
