// Inner interface of our bitbase library: the three-men tables and their retrograde solver.
#pragma once

#include <cstdint>

// Squares here are the library's own numbering: a1 = 0, b1 = 1, ..., h8 = 63 (rank = s >> 3).
// The extra man always belongs to White inside the tables; a black one is handled by mirroring.
enum TableEnding { TABLE_KQK, TABLE_KRK, TABLE_KBK, TABLE_KNK, TABLE_KPK, TABLE_COUNT };

constexpr int TABLE_SIZE = 64 * 64 * 64;  // index: white king << 12 | black king << 6 | man
constexpr uint8_t TABLE_DRAW = 0;         // also "not won" while solving
constexpr uint8_t TABLE_ILLEGAL = 255;
constexpr int BITBASE_WIN = 30000;        // a win in d plies is BITBASE_WIN - d, a loss its negation
constexpr int BITBASE_NOT_FOUND = 99999;  // not a three-men position, or not a legal one
// Any other entry is the distance to mate in plies plus one: a win for White to move,
// a loss for Black to move.

// [ending][side to move: 0 White (the stronger side), 1 Black][index]
extern uint8_t bitbase_table[TABLE_COUNT][2][TABLE_SIZE];
extern int bitbase_tables_ready;

constexpr int table_index(int white_king, int black_king, int man) {
    return (white_king << 12) | (black_king << 6) | man;
}

void build_bitbase_tables();  // solves every ending once; later calls do nothing
