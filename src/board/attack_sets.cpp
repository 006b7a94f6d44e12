// Attack sets of pawns and kings: every square they attack in one bit set, for whole-board attack maps.
#include "board/board.h"
#include "board/geometry.h"

namespace {

constexpr uint64_t FILE_A = 0x0101010101010101ull;
constexpr uint64_t FILE_H = FILE_A << 7;

}  // namespace

// White's pawns capture toward row 0, black's toward row 7; none off the edges.
uint64_t pawn_attacks(uint64_t pawns, int colour) {
    return colour == WHITE ? ((pawns & ~FILE_A) >> 9) | ((pawns & ~FILE_H) >> 7)
                           : ((pawns & ~FILE_A) << 7) | ((pawns & ~FILE_H) << 9);
}

uint64_t king_attacks(int square) { return board_detail::king_mask[square]; }
