// The evaluation corpus: positions of random games from the test starts, each with its exact score.
//
// Every line of tests/data/eval_corpus.epd is evaluated with the full window, lazy exits off and no
// cache, with the root material of the game's start position (given on the line, so the trade-down
// term is exercised). The score must match to the centipawn: a refactoring or a speed change that
// moves one evaluation is caught here. When a change is meant to alter the evaluation, rewrite the
// scores (the positions stay) with:
//   eval_tests --gtest_also_run_disabled_tests --gtest_filter=EvalCorpus.DISABLED_Write
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "board/board.h"
#include "eval/eval.h"
#include "tools/tools.h"

namespace {

const std::string CORPUS_FILE = std::string(TOLVANE_TEST_DATA) + "/eval_corpus.epd";

struct CorpusLine {
    std::string fen;            // placement and side; castling and en passant do not evaluate
    int root[4];                // white pieces, white pawns, black pieces, black pawns
    int score;
};

// The stated settings: full window, no lazy exits, no cache, the given root material.
int corpus_eval(const int root[4]) {
    static Evaluator ev(game);  // without a cache
    ev.lazy_eval = 0;
    ev.root_piece_material[WHITE] = root[0];
    ev.root_pawn_material[WHITE] = root[1];
    ev.root_piece_material[BLACK] = root[2];
    ev.root_pawn_material[BLACK] = root[3];
    return evaluate(ev, -SCORE_INF, SCORE_INF);
}

bool set_line(const CorpusLine& c) {
    set_variant("normal");
    return setup_position(game, (c.fen + " - -").c_str());
}

std::vector<CorpusLine> read_corpus() {
    std::vector<CorpusLine> lines;
    for (const EpdLine& line : read_epd(CORPUS_FILE)) {
        CorpusLine c;
        c.fen = line.fen.substr(0, line.fen.find(' ', line.fen.find(' ') + 1));
        const std::string* root = line.operation("root");
        std::istringstream fields(root ? *root : "");
        fields >> c.root[0] >> c.root[1] >> c.root[2] >> c.root[3];
        c.score = int(line.number("eval", 0));
        lines.push_back(c);
    }
    return lines;
}

int phase_of_position() {
    const int total = game.piece_material[WHITE] + game.piece_material[BLACK] + game.pawn_material[WHITE] +
                      game.pawn_material[BLACK];
    return total > MIDDLEGAME_MATERIAL ? 0 : total >= ENDGAME_MATERIAL ? 1 : 2;
}

// The scores that differ from the recorded ones over the lines, the first few reported.
template <class Lines>
int wrong_scores(const Lines& lines) {
    int wrong = 0;
    for (const CorpusLine& c : lines) {
        EXPECT_TRUE(set_line(c)) << c.fen;
        const int score = corpus_eval(c.root);
        if (score != c.score && ++wrong <= 10) ADD_FAILURE() << c.fen << ": " << score << ", recorded " << c.score;
    }
    return wrong;
}

TEST(EvalCorpus, EveryScoreAsRecorded) {
    init_hash_keys();
    const auto corpus = read_corpus();
    ASSERT_GE(corpus.size(), 3000u) << CORPUS_FILE;
    EXPECT_EQ(wrong_scores(corpus), 0) << "evaluations that moved";
    // The corpus covers every phase and both sides to move.
    int by_phase[3] = {0, 0, 0}, by_side[2] = {0, 0};
    for (const CorpusLine& c : corpus) {
        set_line(c);
        by_phase[phase_of_position()]++;
        by_side[game.side]++;
    }
    for (int n : by_phase) EXPECT_GE(n, 300);
    for (int n : by_side) EXPECT_GE(n, 1000);
}

// Pawn structures met before are looked up, not scored again: the corpus backwards, twice (the
// second pass meets every structure again), must give the recorded scores.
TEST(EvalCorpus, SameScoresInAnyOrder) {
    init_hash_keys();
    const auto corpus = read_corpus();
    ASSERT_GE(corpus.size(), 3000u) << CORPUS_FILE;
    const std::vector<CorpusLine> backwards(corpus.rbegin(), corpus.rend());
    EXPECT_EQ(wrong_scores(backwards) + wrong_scores(backwards), 0) << "evaluations that moved";
}

TEST(EvalCorpus, DISABLED_Write) {
    init_hash_keys();
    const std::vector<CorpusLine> corpus = read_corpus();
    ASSERT_FALSE(corpus.empty()) << CORPUS_FILE;
    std::ofstream out(CORPUS_FILE);
    out << "# Evaluation corpus: placement, side ;root white pieces, white pawns, black pieces, black pawns\n"
           "# ;eval the score for the side to move, with the full window, lazy exits off and no cache.\n"
           "# Positions of seeded random games from the start position and the test positions.\n";
    for (const CorpusLine& c : corpus) {
        ASSERT_TRUE(set_line(c)) << c.fen;
        out << c.fen << " ;root " << c.root[0] << ' ' << c.root[1] << ' ' << c.root[2] << ' ' << c.root[3]
            << " ;eval " << corpus_eval(c.root) << '\n';
    }
}

}  // namespace
