// Shared set-up for the search tests: small tables, quiet input, moves by text, position snapshots.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "board/board.h"
#include "platform/platform.h"
#include "search/search.h"
#include "shell/shell.h"
#include "tools/tools.h"

namespace search_test {

// The search polls standard input once its time check is armed; the tests decide what it sees.
inline bool no_input() { return false; }
inline bool input_waits() { return true; }

inline void use_small_tables() {
    poll_input = no_input;
    static bool allocated = false;
    if (!allocated) {
        init_hash_keys();
        hash_entries = 1 << 16;
        ecache_entries = MIN_ECACHE_ENTRIES;
        alloc_tables();
        allocated = true;
    }
    clear_tables();
}

// A null text sets up the benchmark position.
inline bool set_up(const char* text) {
    use_small_tables();
    set_variant("normal");
    if (text ? !setup_position(game, text) : !bench_prepare()) return false;
    game.ply = 0;  // as the root search leaves it, so snapshots compare
    clear_tables();
    return true;
}

// Iterations up to depth - 1 plies, no clock, thinking mode.
inline void depth_limits(int depth) {
    set_fixed_limits(NO_TIME_LIMIT_MS, depth);
    search_mode = MODE_THINK;
}

// Coordinates as the thinking line prints them: "e2e4", "b7b8=q"; the empty move reads "a8a8".
inline std::string coord(Move m) {
    char text[MOVE_TEXT_SIZE];
    format_move(game, text, m, NOTATION_THINKING);
    return text;
}

// The move of that text here, made; false if there is none or it leaves the king in check.
inline bool make_text(const std::string& text) {
    Move list[MAX_MOVES];
    const int n = generate_moves(game, list);
    for (int i = 0; i < n; i++)
        if (coord(list[i]) == text) return make_move(game, list[i]);
    return false;
}

// Plays the moves (without counting them as search plies); false at the first refusal.
inline bool play(const std::vector<const char*>& moves) {
    for (const char* text : moves)
        if (!make_text(text)) return false;
    game.ply = 0;
    return true;
}

inline bool is_legal_here(Move m) {
    if (!make_text(coord(m))) return false;
    unmake_move(game);
    return true;
}

// The search works on the main thread's copy of the game: after it that copy must be the game
// again, every move taken back.
inline bool search_restored_the_root() {
    const Position& searched = main_thread().pos;
    return memcmp(&searched, &game, POSITION_BOARD_BYTES) == 0 &&
           memcmp(searched.history, game.history, game.game_ply * sizeof(HistoryEntry)) == 0;
}

// Searches to the depth and checks the final score, the move (unless null), and that a mate once found keeps
// its distance in every later iteration.
inline void expect_search(int depth, int score, const char* best) {
    depth_limits(depth);
    Move m = root_search(EMPTY);
    EXPECT_EQ(main_thread().iteration_score[depth - 1], score);
    EXPECT_TRUE(!best || coord(m) == best) << coord(m);
    for (int it = 1; it < depth && score > MATE_BOUND; it++)
        EXPECT_TRUE(main_thread().iteration_score[it] <= MATE_BOUND || main_thread().iteration_score[it] == score) << "iteration " << it;
}

}  // namespace search_test
