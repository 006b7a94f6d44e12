// Quick perft tier: every position of tests/data/perft.epd within a node budget, and checking walks.
#include "board/board_test_support.h"
#include "tools/tools.h"

using namespace board_test;

namespace {

// Depths counted in the quick tier: the deepest whose published count stays within this budget.
constexpr uint64_t QUICK_NODE_BUDGET = 2200000;
// Walks that check every field at every node stay within this budget.
constexpr uint64_t CHECKED_NODE_BUDGET = 450000;

class PerftSuite : public BoardTest {};

TEST_F(PerftSuite, DataFileHasEveryPublishedPosition) {
    auto cases = read_perft_suite();
    ASSERT_GE(cases.size(), 13u);
    int chess960 = 0;
    for (const auto& c : cases) {
        EXPECT_GE(c.counts.size(), 4u) << c.fen;
        chess960 += c.chess960;
    }
    EXPECT_EQ(chess960, 5);
}

TEST_F(PerftSuite, QuickDepthsMatchPublishedCounts) {
    for (const auto& c : read_perft_suite()) {
        setup_case(c);
        for (size_t d = 1; d <= c.counts.size() && c.counts[d - 1] <= QUICK_NODE_BUDGET; ++d)
            EXPECT_EQ(perft(static_cast<int>(d)), c.counts[d - 1]) << c.fen << " depth " << d;
        reset_engine_state();
    }
}

TEST_F(PerftSuite, EveryNodeRestoresEveryField) {
    for (const auto& c : read_perft_suite()) {
        setup_case(c);
        size_t depth = 0;
        while (depth < c.counts.size() && c.counts[depth] <= CHECKED_NODE_BUDGET) ++depth;
        CheckingPerft walk;
        const Position root = pos;
        uint64_t leaves = walk.run(static_cast<int>(depth));
        EXPECT_TRUE(walk.fault.empty()) << c.fen << ": " << walk.fault;
        EXPECT_EQ(leaves, c.counts[depth - 1]) << c.fen << " depth " << depth;
        EXPECT_TRUE(same_position(root, pos)) << c.fen;
        reset_engine_state();
    }
}

TEST_F(PerftSuite, DepthZeroIsOneLeaf) {
    setup("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNRwKQkq-");
    EXPECT_EQ(perft(0), 1u);
}

// A mated side has no leaves at depth 1; perft counts nothing below a refused move.
TEST_F(PerftSuite, MateAndStalemateHaveNoMoves) {
    setup("rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNRw KQkq -");  // fool's mate
    EXPECT_EQ(perft(1), 0u);
    EXPECT_EQ(count_legal_moves(), 0);
    setup("7k/5Q2/6K1/8/8/8/8/8b--");  // stalemate
    EXPECT_EQ(perft(1), 0u);
}

}  // namespace

namespace {

// At every node of a short walk, gen_captures lists exactly the captures, queen promotions and
// en-passant captures of generate_moves, with the same scores except the bad-capture mark.
struct CaptureSubsetWalk {
    std::string fault;

    void run(int depth) {
        if (!fault.empty()) return;
        Move all[MAX_MOVES], caps[MAX_MOVES];
        const int n = generate_moves(all);
        const int k = gen_captures(caps);
        std::vector<std::tuple<int, int, int, int>> expected, got;
        for (int i = 0; i < n; ++i) {
            const Move& m = all[i];
            const bool capture = m.type == MOVE_NORMAL && pos.color[m.to] == 1 - pos.side;
            if (capture) {
                int score = m.score > 0 ? m.score : -1;  // good captures score near 3000000, bad ones below 0
                expected.emplace_back(m.from, m.to, m.type, score);
            } else if (m.type == MOVE_PROMOTE_QUEEN) {
                expected.emplace_back(m.from, m.to, m.type, m.score);
            } else if (m.type == MOVE_EN_PASSANT) {
                expected.emplace_back(m.from, m.to, m.type, 0);
            }
        }
        for (int i = 0; i < k; ++i) got.emplace_back(caps[i].from, caps[i].to, caps[i].type, caps[i].score);
        // Origins come in the same ascending order; within one pawn the push comes first here.
        for (size_t i = 1; i < got.size(); ++i)
            if (std::get<2>(got[i]) != MOVE_EN_PASSANT && std::get<0>(got[i]) < std::get<0>(got[i - 1]))
                fault = "captures out of square order";
        std::sort(expected.begin(), expected.end());
        std::sort(got.begin(), got.end());
        if (expected != got) fault = "capture lists differ";
        if (depth == 0) return;
        for (int i = 0; i < n && fault.empty(); ++i)
            if (make_move(all[i])) {
                run(depth - 1);
                unmake_move();
            }
    }
};

TEST_F(PerftSuite, CaptureGenerationIsTheCaptureSubset) {
    for (const auto& c : read_perft_suite()) {
        setup_case(c);
        CaptureSubsetWalk walk;
        walk.run(2);
        EXPECT_TRUE(walk.fault.empty()) << c.fen << ": " << walk.fault;
        reset_engine_state();
    }
}

}  // namespace
