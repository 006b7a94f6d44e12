// Quick perft tier: tests/data/perft.epd within a node budget, checking walks, and the perft command.
#include <algorithm>
#include <tuple>
#include <utility>

#include "board/board_test_support.h"
#include "search/search.h"
#include "tools/tools.h"

using namespace board_test;

namespace {

// Depths counted in the quick tier: the deepest whose published count stays within this budget.
constexpr uint64_t QUICK_NODE_BUDGET = 2200000;
// Depths whose count stays within this budget are walked checking every field at every node.
constexpr uint64_t CHECKED_NODE_BUDGET = 450000;

class PerftSuite : public BoardTest {};

TEST_F(PerftSuite, QuickDepthsMatchPublishedCounts) {
    const auto cases = read_perft_suite();
    ASSERT_GE(cases.size(), 13u);
    EXPECT_EQ(std::count_if(cases.begin(), cases.end(), [](const PerftCase& c) { return c.chess960; }), 5);
    for (const auto& c : cases) {
        EXPECT_GE(c.counts.size(), 4u) << c.fen;
        setup_case(c);
        const BoardBytes root = board_of(game);
        for (size_t d = 1; d <= c.counts.size() && c.counts[d - 1] <= QUICK_NODE_BUDGET; ++d) {
            CheckingPerft walk;
            const int depth = static_cast<int>(d);
            EXPECT_EQ(c.counts[d - 1] <= CHECKED_NODE_BUDGET ? walk.run(depth) : perft(depth), c.counts[d - 1])
                << c.fen << " depth " << d;
            EXPECT_TRUE(walk.fault.empty()) << c.fen << ": " << walk.fault;
        }
        EXPECT_TRUE(same_position(root, game)) << c.fen;
        reset_engine_state();
    }
}

// A mated or stalemated side has no leaves at depth 1.
TEST_F(PerftSuite, EdgeCounts) {
    setup("rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNRw KQkq -");  // fool's mate
    EXPECT_EQ(perft(1), 0u);
    EXPECT_EQ(count_legal_moves(game), 0);
    setup("7k/5Q2/6K1/8/8/8/8/8b--");  // stalemate
    EXPECT_EQ(perft(1), 0u);
}

// At every node of a short walk, gen_captures lists exactly the captures, queen promotions and
// en-passant captures of generate_moves, with the same scores except the bad-capture mark.
struct CaptureSubsetWalk {
    std::string fault;

    void run(int depth) {
        Move all[MAX_MOVES], caps[MAX_MOVES];
        const int n = generate_moves(game, all), k = gen_captures(game, caps);
        std::vector<std::tuple<int, int, int, int>> expected, got;
        for (int i = 0; i < n; ++i) {
            const Move& m = all[i];
            if (m.type == MOVE_NORMAL && game.color[m.to] == 1 - game.side)
                expected.emplace_back(m.from, m.to, m.type, m.score > 0 ? m.score : -1);
            else if (m.type == MOVE_PROMOTE_QUEEN || m.type == MOVE_EN_PASSANT)
                expected.emplace_back(m.from, m.to, m.type, m.type == MOVE_EN_PASSANT ? 0 : m.score);
        }
        for (int i = 0; i < k; ++i) {
            got.emplace_back(caps[i].from, caps[i].to, caps[i].type, caps[i].score);
            if (i > 0 && caps[i].type != MOVE_EN_PASSANT && caps[i].from < caps[i - 1].from)
                fault = "captures out of square order";
        }
        std::sort(expected.begin(), expected.end());
        std::sort(got.begin(), got.end());
        if (expected != got) fault = "capture lists differ";
        for (int i = 0; i < n && depth > 0 && fault.empty(); ++i)
            if (make_move(game, all[i])) {
                run(depth - 1);
                unmake_move(game);
            }
    }
};

// At every node of a short walk, is_legal agrees with make_move on every generated move, and
// gives_check and key_after with the check and the key found after each move made; none of them
// changes the position. A pass there gives the key key_after_null_move foretold.
struct LegalityWalk {
    std::string fault;

    void run(int depth) {
        const BoardBytes start = board_of(game);
        const uint64_t pass_key = key_after_null_move(game);
        make_null_move(game);
        if (game.hash_key != pass_key || game.hash_key != compute_hash_key(game)) fault = "key_after_null_move differs";
        unmake_move(game);
        if (!same_position(start, game)) fault = "a null move was not taken back";
        Move list[MAX_MOVES];
        const int n = generate_moves(game, list);
        for (int i = 0; i < n && fault.empty(); ++i) {
            const BoardBytes before = board_of(game);
            const int predicted = is_legal(game, list[i]);
            const bool check_predicted = gives_check(game, list[i]);
            const uint64_t key_predicted = key_after(game, list[i]);
            if (!same_position(before, game)) fault = "is_legal, gives_check or key_after changed the position";
            const std::string move = " (" + std::to_string(list[i].from) + "-" + std::to_string(list[i].to) + ")";
            const int made = make_move(game, list[i]);
            if (predicted != made)
                fault = "is_legal " + std::to_string(predicted) + ", make_move " + std::to_string(made) + move;
            if (!made) continue;
            if (check_predicted != (in_check(game, game.side) != 0))
                fault = "gives_check " + std::to_string(check_predicted) + " after" + move;
            if (key_predicted != game.hash_key) fault = "key_after differs from the key after" + move;
            if (depth > 1) run(depth - 1);
            unmake_move(game);
        }
    }
};

// The position as FEN's placement, side, castling bits and en-passant square, for a failure message.
std::string placement() {
    std::string text;
    for (int s = 0; s < 64; ++s) {
        if (s > 0 && s % 8 == 0) text += '/';
        text += game.piece[s] == EMPTY ? '.' : "pnbrqk"[game.piece[s]] - (game.color[s] == WHITE ? 32 : 0);
    }
    return text + (game.side == WHITE ? " w " : " b ") + std::to_string(game.castle) + " " + std::to_string(game.ep);
}

// At every node of a walk, count_legal_moves equals the moves of generate_moves that is_legal
// admits: the bitboard count stands in for that pair at perft's last ply.
struct CountWalk {
    std::string fault;
    uint64_t nodes = 0;

    void run(int depth) {
        Move list[MAX_MOVES];
        const int n = generate_moves(game, list);
        int legal = 0;
        for (int i = 0; i < n; ++i) legal += is_legal(game, list[i]);
        const BoardBytes before = board_of(game);
        const int counted = count_legal_moves(game);
        ++nodes;
        if (!same_position(before, game)) fault = "count_legal_moves changed the position";
        if (counted != legal) {
            fault = "counted " + std::to_string(counted) + ", legal " + std::to_string(legal) + " at " + placement();
        }
        for (int i = 0; i < n && depth > 0 && fault.empty(); ++i)
            if (make_move(game, list[i])) {
                run(depth - 1);
                unmake_move(game);
            }
    }
};

// The perft suite's trees, and positions made for the count's hard cases: en passant that uncovers
// a rank or a diagonal or takes a checking pawn, checks by pawns and knights, double checks,
// promotions out of and into check, pins on every kind of line, castling out of, through and
// into attack in both variants, a Chess960 king or rook already on its castling square, and
// castling rights that the variant without castling ignores.
TEST_F(PerftSuite, LegalMoveCountAgreesWithTheGenerator) {
    struct Walk {
        std::string fen;
        const char* variant;
        int depth;
    };
    std::vector<Walk> walks;
    for (const auto& c : read_perft_suite()) walks.push_back({c.fen, c.chess960 ? "fischerandom" : "normal", 3});
    const Walk tricky[] = {
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
        {"r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -", "nocastle", 3},
        {"1r2k1r1/8/8/8/8/8/8/1R2K1R1 w GBgb -", "fischerandom", 3},
        {"rk5r/8/8/8/8/8/8/RK5R w HAha -", "fischerandom", 3},
        {"1rk3r1/8/8/8/8/8/8/1RK3R1 w GBgb -", "fischerandom", 3},
        {"4rkr1/8/8/8/8/8/8/4RKR1 w GEge -", "fischerandom", 3},
        {"2r3kr/8/8/8/8/8/8/1R4KR w HBh -", "fischerandom", 3},
        {"1q2k3/8/8/8/8/8/8/RR2K3 w B -", "fischerandom", 3},
    };
    walks.insert(walks.end(), std::begin(tricky), std::end(tricky));
    for (const auto& w : walks) {
        set_variant(w.variant);
        ASSERT_TRUE(setup_position(game, w.fen.c_str())) << w.fen;
        CountWalk walk;
        walk.run(w.depth);
        EXPECT_TRUE(walk.fault.empty()) << w.fen << ": " << walk.fault;
        EXPECT_GT(walk.nodes, 100u) << w.fen;
        reset_engine_state();
    }
}

// The perft suite's trees, and positions made for checks: discovered by a pawn, a king and a
// knight, given by castling's rook, by promotions and by en passant uncovering a line.
TEST_F(PerftSuite, LegalityAndCheckTestsAgreeWithMakeMove) {
    for (const auto& c : read_perft_suite()) {
        setup_case(c);
        LegalityWalk walk;
        walk.run(3);
        EXPECT_TRUE(walk.fault.empty()) << c.fen << ": " << walk.fault;
        reset_engine_state();
    }
    const std::pair<const char*, const char*> checks[] = {
        {"4k3/8/8/4P3/8/8/8/4RK2 w - -", "normal"},
        {"7k/8/8/8/3K4/8/1B6/8 w - -", "normal"},
        {"k7/8/8/8/N7/8/8/Q4K2 w - -", "normal"},
        {"5k2/8/8/8/8/8/8/4K2R w K -", "normal"},
        {"3k4/1P6/8/8/8/8/8/4K3 w - -", "normal"},
        {"8/8/8/k2pP2Q/8/8/8/4K3 w - d6", "normal"},
        {"8/2k5/8/3pP3/8/8/6B1/4K3 w - d6", "normal"},
        {"5k2/8/8/8/8/8/8/1R2K1R1 w GB -", "fischerandom"},
    };
    for (const auto& [fen, variant] : checks) {
        set_variant(variant);
        ASSERT_TRUE(setup_position(game, fen)) << fen;
        LegalityWalk walk;
        walk.run(3);
        EXPECT_TRUE(walk.fault.empty()) << fen << ": " << walk.fault;
        reset_engine_state();
    }
}

TEST_F(PerftSuite, CaptureGenerationIsTheCaptureSubset) {
    for (const auto& c : read_perft_suite()) {
        setup_case(c);
        CaptureSubsetWalk walk;
        walk.run(2);
        EXPECT_TRUE(walk.fault.empty()) << c.fen << ": " << walk.fault;
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
        {"perft 4", header + "0:\t0\t1\n1:\t0\t20\n2:\t0\t400\n3:\t0\t8902\n4:\t0\t197281\n"},
        {"perft -1", header},
        {"perft", usage},
        {"perft x", usage},
        {"", usage},
    };
    for (const auto& [line, expected] : cases) EXPECT_EQ(run_command(line), expected) << '"' << line << '"';
    // Whatever came before, perft counts from the orthodox start position.
    set_variant("fischerandom");
    ASSERT_TRUE(setup_position(game, "4k3/8/8/8/8/8/8/4K3w--"));
    search_start_ms = -12345;
    run_command("perft 1");
    EXPECT_STREQ(Variant, "normal");
    EXPECT_EQ(variant_kind, VARIANT_NORMAL);
    EXPECT_EQ(game.hash_key, 0x1d0b07bbcf64539dULL);
    EXPECT_EQ(game.game_ply, 0);
    EXPECT_NE(search_start_ms, -12345);
}

}  // namespace
