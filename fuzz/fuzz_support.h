// What every harness shares: a stop with a message when a check fails, and a board snapshot.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "board/board.h"

// A failed check is a finding: libFuzzer keeps the case that made it.
#define FUZZ_CHECK(condition)                                                              \
    do {                                                                                   \
        if (!(condition)) {                                                                \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                  \
        }                                                                                  \
    } while (0)

// The board as the game sees it, without the history below it; ply is the search's own and left out.
struct BoardBytes {
    unsigned char bytes[POSITION_BOARD_BYTES];
};
inline BoardBytes board_of(const Position& p) {
    BoardBytes b;
    std::memcpy(b.bytes, &p, sizeof b.bytes);
    std::memset(b.bytes + offsetof(Position, ply), 0, sizeof p.ply);
    return b;
}
inline bool same_position(const Position& a, const BoardBytes& b) {
    const BoardBytes x = board_of(a);
    return std::memcmp(x.bytes, b.bytes, sizeof x.bytes) == 0;
}

// perft with every make and unmake checked: the board re-derives, and unmake restores it exactly.
inline unsigned long checked_perft(int depth) {
    if (depth == 0) return 1;
    MoveList list;
    const int n = generate_moves(game, list);
    unsigned long leaves = 0;
    const BoardBytes before = board_of(game);
    for (int i = 0; i < n; i++) {
        if (!make_move(game, list[i])) {
            FUZZ_CHECK(same_position(game, before));  // a refused move changes nothing
            continue;
        }
        FUZZ_CHECK(position_is_ok(game));
        leaves += checked_perft(depth - 1);
        unmake_move(game);
        FUZZ_CHECK(position_is_ok(game));
        FUZZ_CHECK(same_position(game, before));
    }
    return leaves;
}
