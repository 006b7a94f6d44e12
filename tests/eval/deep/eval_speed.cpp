// Evaluation speed over a fixed set of positions: prints evaluations per second, asserts only results.
#include <chrono>
#include <cstdio>

#include "eval/eval_fixture.h"

namespace {

using EvalSpeed = EvalTest;

TEST_F(EvalSpeed, EvaluationsPerSecond) {
    // Middlegames, transitions and endings, so every phase's loop is timed.
    const char* const positions[] = {
        "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -",
        "r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq -",
        "r3k2r/pppq1ppp/2npbn2/2b1p3/2B1P3/2NPBN2/PPPQ1PPP/R3K2R b kq -",
        "r2qk2r/ppp2ppp/2n5/3pP3/1b1Pn1b1/2N2N2/PP2BPPP/R1BQK2R w KQkq -",
        "r3rk2/ppq2pbQ/2p1b1p1/4p1B1/2P3P1/3P1B2/P3PPK1/1R5R w - -",
        "2r3k1/1q3ppp/p3p3/1p1n4/3P4/P2Q1N2/1P3PPP/2R3K1 w - -",
        "r5k1/pp3ppp/2n5/3p4/3P4/2N2N2/PP3PPP/R5K1 b - -",
        "8/2k5/1p1r2p1/p6p/P2R3P/6P1/5PK1/8 w - -",
        "4k3/pp1b1ppp/2p5/8/3P4/2N2P2/PP4PP/4K3 w - -",
        "8/5k2/2p5/1p1p4/1P1P4/2P5/5K2/8 w - -",
    };
    constexpr int ROUNDS = 20000;
    ev.cache.use(nullptr, 0);  // every call evaluates in full
    long long evaluations = 0, checksum = 0;
    const auto start = std::chrono::steady_clock::now();
    for (const char* fen : positions) {
        set(fen);
        const int first = evaluate(ev, -SCORE_INF, SCORE_INF);
        EXPECT_TRUE(evaluations > 0 || first == TEMPO_BONUS) << first;  // the start position is level
        for (int r = 0; r < ROUNDS; r++) {
            const int score = evaluate(ev, -SCORE_INF, SCORE_INF);
            checksum += score;
            if (score != first) {
                ADD_FAILURE() << "evaluation changed between calls: " << fen;
                break;
            }
        }
        evaluations += ROUNDS + 1;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%lld evaluations in %.3f s: %.0f evaluations per second (checksum %lld)\n", evaluations, seconds,
                seconds > 0 ? evaluations / seconds : 0.0, checksum);
}

}  // namespace
