// Evaluation speed over a fixed set of positions: prints evaluations per second, asserts only results.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "board/board.h"
#include "eval/eval.h"
#include "search/search.h"

namespace {

// Middlegames, transitions and endings, so every phase's loop is timed.
const char* const positions[] = {
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNRwKQkq-",
    "r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2RwKQkq-",
    "r3k2r/pppq1ppp/2npbn2/2b1p3/2B1P3/2NPBN2/PPPQ1PPP/R3K2Rbkq-",
    "r2qk2r/ppp2ppp/2n5/3pP3/1b1Pn1b1/2N2N2/PP2BPPP/R1BQK2RwKQkq-",
    "r3rk2/ppq2pbQ/2p1b1p1/4p1B1/2P3P1/3P1B2/P3PPK1/1R5Rw--",
    "2r3k1/1q3ppp/p3p3/1p1n4/3P4/P2Q1N2/1P3PPP/2R3K1w--",
    "r5k1/pp3ppp/2n5/3p4/3P4/2N2N2/PP3PPP/R5K1b--",
    "8/2k5/1p1r2p1/p6p/P2R3P/6P1/5PK1/8w--",
    "4k3/pp1b1ppp/2p5/8/3P4/2N2P2/PP4PP/4K3w--",
    "8/5k2/2p5/1p1p4/1P1P4/2P5/5K2/8w--",
};

TEST(EvalSpeed, EvaluationsPerSecond) {
    init_hash_keys();
    set_variant("normal");
    EvalCacheEntry* saved_cache = eval_cache;
    eval_cache = nullptr;  // every call evaluates in full
    lazy_eval = 0;

    constexpr int ROUNDS = 20000;
    const int count = int(sizeof positions / sizeof positions[0]);
    std::vector<int> first(count);
    long long evaluations = 0;
    long long checksum = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < count; i++) {
        ASSERT_TRUE(setup_position(positions[i])) << positions[i];
        for (int c = 0; c < 2; c++) {
            root_piece_material[c] = pos.piece_material[c];
            root_pawn_material[c] = pos.pawn_material[c];
        }
        first[i] = evaluate(-SCORE_INF, SCORE_INF);
        for (int r = 0; r < ROUNDS; r++) {
            const int score = evaluate(-SCORE_INF, SCORE_INF);
            checksum += score;
            if (score != first[i]) {
                ADD_FAILURE() << "evaluation changed between calls: " << positions[i];
                break;
            }
        }
        evaluations += ROUNDS + 1;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    eval_cache = saved_cache;

    std::printf("%lld evaluations of %d positions in %.3f s: %.0f evaluations per second (checksum %lld)\n",
                evaluations, count, seconds, seconds > 0 ? evaluations / seconds : 0.0, checksum);
    EXPECT_EQ(first[0], TEMPO_BONUS);  // the start position is level
}

}  // namespace
