// Shared set-up for the evaluation tests: positions from FEN text, a private cache, colour mirroring.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <sstream>
#include <string>

#include "board/board.h"
#include "eval/eval.h"
#include "eval/weights.h"
#include "search/search.h"

// The colour-flipped twin of a standard FEN: ranks mirrored, colours, side, rights and en passant exchanged.
inline std::string mirror_fen(const std::string& fen) {
    std::istringstream in(fen);
    std::string board, side, castle, ep, rank, out, rights;
    in >> board >> side >> castle >> ep;
    std::istringstream ranks(board);
    while (std::getline(ranks, rank, '/')) out = rank + (out.empty() ? "" : "/") + out;
    for (char& c : out) c = islower(c) ? toupper(c) : tolower(c);
    for (char& c : castle) c = islower(c) ? toupper(c) : tolower(c);
    for (char c : std::string("KQkq"))
        if (castle.find(c) != std::string::npos) rights += c;
    if (ep != "-") ep[1] = char('9' - ep[1] + '0');
    return out + (side == "w" ? " b " : " w ") + (rights.empty() ? "-" : rights) + " " + ep;
}

// Every evaluation test starts from a clean private cache, no lazy exits and the root material
// of the position under test (as when a search starts there).
class EvalTest : public ::testing::Test {
protected:
    static constexpr uint32_t CACHE_ENTRIES = MIN_ECACHE_ENTRIES;
    EvalCacheEntry cache[CACHE_ENTRIES];
    Evaluator ev{game};

    void SetUp() override {
        init_hash_keys();
        ev.cache.use(cache, CACHE_ENTRIES);
        std::memset(cache, 0, sizeof cache);
        ev.lazy_eval = 0;
        set_variant("normal");
    }

    // Sets up the position as a search root with its working tables; fails the test on a refusal.
    void set(const std::string& fen) {
        ASSERT_TRUE(setup_position(game, fen.c_str())) << fen;
        for (int c = 0; c < 2; c++) {
            ev.root_piece_material[c] = game.piece_material[c];
            ev.root_pawn_material[c] = game.pawn_material[c];
        }
        build_working_tables(ev);
    }
    // Full-window evaluation that bypasses any cached score.
    int eval_fresh() {
        std::memset(cache, 0, sizeof cache);
        return evaluate(ev, -SCORE_INF, SCORE_INF);
    }
    EvalCacheEntry& slot() { return cache[game.hash_key % CACHE_ENTRIES]; }
};

// Square from its text, "a8" = 0 .. "h1" = 63.
inline int sq_of(const char* text) { return ('8' - text[1]) * 8 + (text[0] - 'a'); }
