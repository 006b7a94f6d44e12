// Shared set-up for the evaluation tests: positions from FEN text, a private cache, colour mirroring.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "board/board.h"
#include "eval/eval.h"
#include "search/search.h"

// Standard FEN (spaces, optional move counters) to the engine's compact form.
inline std::string compact_fen(const std::string& fen) {
    std::string out;
    int field = 0;
    for (char c : fen) {
        if (c == ' ') {
            if (++field >= 4) break;
            continue;
        }
        out += c;
    }
    return out;
}

// The compact FEN of the current position; with `mirror`, of its colour-flipped twin
// (ranks mirrored, colours, side to move, castling rights and en-passant square exchanged).
inline std::string position_fen(bool mirror) {
    static const char letters[] = "pnbrqk";
    std::string out;
    for (int row = 0; row < 8; row++) {
        int empty = 0;
        for (int file = 0; file < 8; file++) {
            int sq = row * 8 + file;
            if (mirror) sq = flip[sq];
            if (pos.piece[sq] == EMPTY) {
                empty++;
                continue;
            }
            if (empty) out += char('0' + empty);
            empty = 0;
            const int colour = mirror ? 1 - pos.color[sq] : pos.color[sq];
            const char c = letters[pos.piece[sq]];
            out += colour == WHITE ? char(c - 'a' + 'A') : c;
        }
        if (empty) out += char('0' + empty);
        if (row < 7) out += '/';
    }
    const int side = mirror ? 1 - pos.side : pos.side;
    out += side == WHITE ? 'w' : 'b';
    int castle = pos.castle;
    if (mirror) castle = ((castle & 3) << 2) | ((castle >> 2) & 3);
    std::string rights;
    if (castle & CASTLE_WHITE_SHORT) rights += 'K';
    if (castle & CASTLE_WHITE_LONG) rights += 'Q';
    if (castle & CASTLE_BLACK_SHORT) rights += 'k';
    if (castle & CASTLE_BLACK_LONG) rights += 'q';
    out += rights.empty() ? "-" : rights;
    if (pos.ep == NO_SQUARE) {
        out += '-';
    } else {
        const int ep = mirror ? flip[pos.ep] : pos.ep;
        out += char('a' + (ep & 7));
        out += char('8' - (ep >> 3));
    }
    return out;
}

// Every evaluation test starts from a clean private cache, no lazy exits and the root material
// of the position under test (as when a search starts there).
class EvalTest : public ::testing::Test {
protected:
    static constexpr uint32_t CACHE_ENTRIES = 4096;
    EvalCacheEntry cache[CACHE_ENTRIES];
    EvalCacheEntry* saved_cache = nullptr;
    uint32_t saved_entries = 0;

    void SetUp() override {
        static bool keys_ready = false;
        if (!keys_ready) init_hash_keys();
        keys_ready = true;
        saved_cache = eval_cache;
        saved_entries = ecache_entries;
        eval_cache = cache;
        ecache_entries = CACHE_ENTRIES;
        std::memset(cache, 0, sizeof cache);
        lazy_eval = 0;
        set_variant("normal");
    }

    void TearDown() override {
        eval_cache = saved_cache;
        ecache_entries = saved_entries;
    }

    // Sets up the position and makes it the search root; fails the test on a refused text.
    void set(const std::string& fen) {
        ASSERT_TRUE(setup_position(compact_fen(fen).c_str())) << fen;
        mark_root();
    }

    static void mark_root() {
        for (int c = 0; c < 2; c++) {
            root_piece_material[c] = pos.piece_material[c];
            root_pawn_material[c] = pos.pawn_material[c];
        }
    }

    // Full-window evaluation that bypasses any cached score.
    int eval_fresh() {
        std::memset(cache, 0, sizeof cache);
        return evaluate(-SCORE_INF, SCORE_INF);
    }

    EvalCacheEntry& slot() { return cache[pos.hash_key % CACHE_ENTRIES]; }
};

// Square from its text, "a8" = 0 .. "h1" = 63.
inline int sq_of(const char* text) { return ('8' - text[1]) * 8 + (text[0] - 'a'); }
