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
        for (size_t d = 1; d <= counts.size() && counts[d - 1] <= QUICK_NODE_BUDGET; ++d) {
            InvariantWalk walk;
            const int depth = static_cast<int>(d);
            EXPECT_EQ(counts[d - 1] <= CHECKED_NODE_BUDGET ? walk.run(depth) : perft(depth), counts[d - 1])
                << c.fen << " depth " << d;
            EXPECT_EQ(walk.fault, "") << c.fen << " depth " << d;
        }
        EXPECT_TRUE(same_position(root, game)) << c.fen;
        reset_engine_state();
    }
}

// En passant that uncovers a rank or a diagonal or takes a checking pawn; checks by pawns and
// knights, double and discovered checks (by a pawn, a king, a knight, castling's rook, en
// passant); promotions out of and into check; pins on every kind of line; castling out of,
// through and into attack in both variants, a Chess960 king or rook already on its castling
// square; castling rights that the variant without castling ignores; mate and stalemate.
TEST_F(PerftSuite, InvariantsHoldOnTheHardCases) {
    const struct { const char* fen; const char* variant; int depth; } cases[] = {
        {"8/8/8/8/k2Pp2Q/8/8/3K4 b - d3", "normal", 4},
        {"8/8/8/8/k1pP3Q/8/8/4K3 b - d3", "normal", 4},
        {"8/8/1k6/2b5/2pP4/8/5K2/8 b - d3", "normal", 4},
        {"8/8/8/2k5/3Pp3/8/8/4K2B b - d3", "normal", 4},
        {"3k4/3p4/8/K1P4r/8/8/8/8 b - -", "normal", 4},
        {"8/8/4k3/8/2p5/8/B2P2K1/8 w - -", "normal", 4},
        {"2K2r2/4P3/8/8/8/8/8/3k4 w - -", "normal", 4},
        {"8/8/1P2K3/8/2n5/1q6/8/5k2 b - -", "normal", 4},
        {"4k3/4r3/8/8/4B3/2n5/8/1r2K2R w K -", "normal", 3},
        {"r3k2r/8/3Q4/8/8/5q2/8/R3K2R b KQkq -", "normal", 3},
        {"r3k2r/1b4bq/8/8/8/8/7B/R3K2R w KQkq -", "normal", 3},
        {"4k3/8/8/4P3/8/8/8/4RK2 w - -", "normal", 3},
        {"7k/8/8/8/3K4/8/1B6/8 w - -", "normal", 3},
        {"k7/8/8/8/N7/8/8/Q4K2 w - -", "normal", 3},
        {"5k2/8/8/8/8/8/8/4K2R w K -", "normal", 3},
        {"3k4/1P6/8/8/8/8/8/4K3 w - -", "normal", 3},
        {"8/8/8/k2pP2Q/8/8/8/4K3 w - d6", "normal", 3},
        {"8/2k5/8/3pP3/8/8/6B1/4K3 w - d6", "normal", 3},
        {"rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq -", "normal", 1},  // mated
        {"7k/5Q2/6K1/8/8/8/8/8 b - -", "normal", 1},                                 // stalemated
        {"r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -", "nocastle", 3},
        {"1r2k1r1/8/8/8/8/8/8/1R2K1R1 w GBgb -", "fischerandom", 3},
        {"rk5r/8/8/8/8/8/8/RK5R w HAha -", "fischerandom", 3},
        {"1rk3r1/8/8/8/8/8/8/1RK3R1 w GBgb -", "fischerandom", 3},
        {"4rkr1/8/8/8/8/8/8/4RKR1 w GEge -", "fischerandom", 3},
        {"2r3kr/8/8/8/8/8/8/1R4KR w HBh -", "fischerandom", 3},
        {"1q2k3/8/8/8/8/8/8/RR2K3 w B -", "fischerandom", 3},
        {"5k2/8/8/8/8/8/8/1R2K1R1 w GB -", "fischerandom", 3},
    };
    for (const auto& c : cases) {
        setup(c.fen, c.variant);
        InvariantWalk walk;
        const uint64_t leaves = walk.run(c.depth);
        EXPECT_EQ(walk.fault, "") << c.fen;
        EXPECT_EQ(leaves == 0, c.depth == 1) << c.fen;
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
