// Shared set-up for the search tests: tables, quiet limits and snapshots of the position.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "board/board.h"
#include "platform/platform.h"
#include "search/search.h"
#include "shell/shell.h"

namespace search_test {

// The search polls standard input once its time check is armed; the tests decide what it sees.
inline bool no_input() { return false; }
inline bool input_waits() { return true; }

// Small tables keep the tests quick; each test starts from cleared ones.
inline void use_small_tables() {
    poll_input = no_input;  // whatever the test runner connected to standard input
    static bool allocated = false;
    if (!allocated) {
        init_hash_keys();
        hash_entries = 1 << 16;
        ecache_entries = 1 << 14;
        alloc_tables();
        allocated = true;
    }
    clear_tables();
}

inline bool set_up(const char* text) {
    use_small_tables();
    set_variant("normal");
    if (!setup_position(text)) return false;
    pos.ply = 0;  // as the root search leaves it, so snapshots compare
    clear_tables();
    return true;
}

// Iterations up to depth - 1 plies, no clock, thinking mode.
inline void depth_limits(int depth) {
    set_fixed_limits(NO_TIME_LIMIT_MS, depth);
    search_mode = MODE_THINK;
}


struct Snapshot {
    Position position;
    std::vector<HistoryEntry> history;
};

inline Snapshot take_snapshot() {
    Snapshot s;
    s.position = pos;
    s.history.assign(game_history, game_history + pos.game_ply);
    return s;
}

inline bool same_as(const Snapshot& s) {
    if (memcmp(&s.position, &pos, sizeof(Position)) != 0) return false;
    if (static_cast<int>(s.history.size()) != pos.game_ply) return false;
    for (size_t i = 0; i < s.history.size(); i++) {
        const HistoryEntry& a = s.history[i];
        const HistoryEntry& b = game_history[i];
        if (a.from != b.from || a.to != b.to || a.type != b.type || a.score != b.score ||
            a.captured != b.captured || a.castle != b.castle || a.ep != b.ep ||
            a.fifty != b.fifty || a.hash_key != b.hash_key) {
            return false;
        }
    }
    return true;
}

// Finds the generated legal move with these squares (and promotion letter, if any).
inline bool find_move(const std::string& text, Move* out) {
    if (text.size() < 4) return false;
    int from = (text[0] - 'a') + 8 * (8 - (text[1] - '0'));
    int to = (text[2] - 'a') + 8 * (8 - (text[3] - '0'));
    int promotion = 0;
    if (text.size() >= 6 && text[4] == '=') {
        switch (text[5]) {
            case 'q': promotion = MOVE_PROMOTE_QUEEN; break;
            case 'r': promotion = MOVE_PROMOTE_ROOK; break;
            case 'b': promotion = MOVE_PROMOTE_BISHOP; break;
            case 'n': promotion = MOVE_PROMOTE_KNIGHT; break;
            default: return false;
        }
    }
    Move list[MAX_MOVES];
    int n = generate_moves(list);
    for (int i = 0; i < n; i++) {
        if (list[i].from != from || list[i].to != to) continue;
        if (promotion != 0 && list[i].type != promotion) continue;
        if (promotion == 0 && list[i].type >= MOVE_PROMOTE_QUEEN) continue;
        *out = list[i];
        return true;
    }
    return false;
}

}  // namespace search_test
