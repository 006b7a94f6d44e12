// The evaluation corpus: positions of random games from the test starts, each with its exact score.
//
// Every line of tests/data/eval_corpus.epd is evaluated with the full window, lazy exits off and no
// cache, with the root material of the game's start position (given on the line, so the trade-down
// term is exercised). The score must match to the centipawn: a refactoring or a speed change that
// moves one evaluation is caught here. When a change is meant to alter the evaluation, rewrite the
// scores (the positions stay) with:
//   eval_tests --gtest_also_run_disabled_tests --gtest_filter=EvalCorpus.DISABLED_Write
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "board/board.h"
#include "eval/eval.h"
#include "tools/tools.h"

namespace {

const std::string CORPUS_FILE = std::string(TOLVANE_TEST_DATA) + "/eval_corpus.epd";

// The stated settings: full window, no lazy exits, no cache, the line's root material (white
// pieces, white pawns, black pieces, black pawns).
int corpus_eval(const EpdLine& line) {
    static Evaluator ev(game);  // without a cache
    const std::string* root = line.operation("root");
    std::istringstream fields(root ? *root : "");
    fields >> ev.root_piece_material[WHITE] >> ev.root_pawn_material[WHITE] >> ev.root_piece_material[BLACK] >>
        ev.root_pawn_material[BLACK];
    ev.lazy_eval = 0;
    return evaluate(ev, -SCORE_INF, SCORE_INF);
}

// Pawn structures met before are looked up, not scored again: the corpus in order and then
// backwards (the second pass meets every structure again) must give the recorded scores.
TEST(EvalCorpus, EveryScoreAsRecordedInEitherOrder) {
    init_hash_keys();
    std::vector<EpdLine> corpus = read_epd(CORPUS_FILE);
    ASSERT_GE(corpus.size(), 3000u) << CORPUS_FILE;
    int wrong = 0;
    for (int pass = 0; pass < 2; pass++, std::reverse(corpus.begin(), corpus.end()))
        for (const EpdLine& line : corpus) {
            ASSERT_TRUE(setup_epd(line)) << line.fen;
            const int score = corpus_eval(line), recorded = int(line.number("eval", 0));
            if (score != recorded && ++wrong <= 10) ADD_FAILURE() << line.fen << ": " << score << ", recorded " << recorded;
        }
    EXPECT_EQ(wrong, 0) << "evaluations that moved";
}

TEST(EvalCorpus, DISABLED_Write) {
    init_hash_keys();
    const std::vector<EpdLine> corpus = read_epd(CORPUS_FILE);
    ASSERT_FALSE(corpus.empty()) << CORPUS_FILE;
    std::ofstream out(CORPUS_FILE);
    out << "# Evaluation corpus: placement, side ;root white pieces, white pawns, black pieces, black pawns\n"
           "# ;eval the score for the side to move, with the full window, lazy exits off and no cache.\n"
           "# Positions of seeded random games from the start position and the test positions.\n";
    for (const EpdLine& line : corpus) {
        ASSERT_TRUE(setup_epd(line)) << line.fen;
        out << line.fen.substr(0, line.fen.find(' ', line.fen.find(' ') + 1)) << " ;root " << *line.operation("root")
            << " ;eval " << corpus_eval(line) << '\n';
    }
}

}  // namespace
