// The evaluation corpus: positions of random games from the test starts, each with its exact score.
//
// Every line of tests/data/eval_corpus.epd is evaluated with the full window, lazy exits off and no
// cache, with the root material of the game's start position (given on the line, so the trade-down
// term is exercised). The score must match to the centipawn: a refactoring or a speed change that
// moves one evaluation is caught here. When a change is meant to alter the evaluation, rewrite the
// scores (the positions stay) with:
//   eval_tests --gtest_also_run_disabled_tests --gtest_filter=EvalCorpus.DISABLED_Write
// which, without a corpus file, first plays the games that make the positions.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "board/board.h"
#include "eval/eval.h"
#include "search/search.h"
#include "tools/tools.h"

namespace {

const std::string CORPUS_FILE = std::string(TOLVANE_TEST_DATA) + "/eval_corpus.epd";

struct CorpusLine {
    std::string fen;            // placement and side; castling and en passant do not evaluate
    int root[4];                // white pieces, white pawns, black pieces, black pawns
    int score;
};

std::string placement_and_side() {
    static const char letters[2][7] = {"pnbrqk", "PNBRQK"};
    std::string text;
    for (int row = 0; row < 8; row++) {
        int empty = 0;
        for (int file = 0; file < 8; file++) {
            const int s = row * 8 + file;
            if (game.piece[s] == EMPTY) {
                empty++;
                continue;
            }
            if (empty) text += char('0' + empty);
            empty = 0;
            text += letters[game.color[s]][game.piece[s]];
        }
        if (empty) text += char('0' + empty);
        if (row < 7) text += '/';
    }
    return text + (game.side == WHITE ? " w" : " b");
}

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

TEST(EvalCorpus, EveryScoreAsRecorded) {
    init_hash_keys();
    const auto corpus = read_corpus();
    ASSERT_GE(corpus.size(), 3000u) << CORPUS_FILE;
    int by_phase[3] = {0, 0, 0}, by_side[2] = {0, 0}, wrong = 0;
    for (const CorpusLine& c : corpus) {
        ASSERT_TRUE(set_line(c)) << c.fen;
        by_phase[phase_of_position()]++;
        by_side[game.side]++;
        const int score = corpus_eval(c.root);
        if (score != c.score && ++wrong <= 10) ADD_FAILURE() << c.fen << ": " << score << ", recorded " << c.score;
    }
    EXPECT_EQ(wrong, 0) << "evaluations that moved";
    // The corpus covers every phase and both sides to move.
    for (int n : by_phase) EXPECT_GE(n, 300);
    for (int n : by_side) EXPECT_GE(n, 1000);
}

// Pawn structures met before are looked up, not scored again: the corpus backwards, twice (the
// second pass meets every structure again), must give the recorded scores.
TEST(EvalCorpus, SameScoresInAnyOrder) {
    init_hash_keys();
    auto corpus = read_corpus();
    ASSERT_GE(corpus.size(), 3000u) << CORPUS_FILE;
    int wrong = 0;
    for (int pass = 0; pass < 2; pass++) {
        for (auto it = corpus.rbegin(); it != corpus.rend(); ++it) {
            ASSERT_TRUE(set_line(*it)) << it->fen;
            const int score = corpus_eval(it->root);
            if (score != it->score && ++wrong <= 10) ADD_FAILURE() << it->fen << ": " << score << ", recorded " << it->score;
        }
    }
    EXPECT_EQ(wrong, 0) << "evaluations that moved";
}

// --- Writing the corpus -------------------------------------------------------------------------

// A fixed generator, so the corpus is the same on every machine.
uint32_t next_random(uint64_t* state) {
    *state = *state * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<uint32_t>(*state >> 33);
}

std::vector<Move> legal_moves() {
    Move list[MAX_MOVES];
    std::vector<Move> legal;
    const int n = generate_moves(game, list);
    for (int i = 0; i < n; i++)
        if (make_move(game, list[i])) {
            unmake_move(game);
            legal.push_back(list[i]);
        }
    return legal;
}

// Seeded random games from the start position and the test positions; every fifth position is kept.
std::vector<CorpusLine> play_corpus_games() {
    constexpr int GAMES_PER_START = 6;
    constexpr int MAX_GAME_LENGTH = 240;
    constexpr int KEEP_EVERY = 5;
    std::vector<std::string> starts = {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNRwKQkq-"};
    for (int i = 0; i < TEST_POSITION_COUNT; i++) starts.push_back(test_position(i));
    std::vector<CorpusLine> lines;
    uint64_t state = 20240611;
    for (const std::string& start : starts) {
        for (int g = 0; g < GAMES_PER_START; g++) {
            set_variant("normal");
            if (!setup_position(game, start.c_str())) continue;
            CorpusLine c = {"", {game.piece_material[WHITE], game.pawn_material[WHITE], game.piece_material[BLACK],
                                 game.pawn_material[BLACK]}, 0};
            for (int ply = 0; ply < MAX_GAME_LENGTH && game.fifty < 100; ply++) {
                const auto moves = legal_moves();
                if (moves.empty()) break;
                make_move(game, moves[next_random(&state) % moves.size()]);
                if (ply % KEEP_EVERY != KEEP_EVERY - 1) continue;
                c.fen = placement_and_side();
                lines.push_back(c);
            }
        }
    }
    return lines;
}

TEST(EvalCorpus, DISABLED_Write) {
    init_hash_keys();
    std::vector<CorpusLine> corpus = read_corpus();
    if (corpus.empty()) corpus = play_corpus_games();
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
