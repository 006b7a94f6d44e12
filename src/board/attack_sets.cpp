// Attack sets of pawns and kings: every square they attack in one bit set, for whole-board attack maps.
#include "board/board.h"
#include "board/geometry.h"

// White's pawns capture toward row 0, black's toward row 7; none off the edges.
uint64_t pawn_attacks(uint64_t pawns, int colour) {
    return colour == WHITE ? ((pawns & ~FILE_A_SQUARES) >> 9) | ((pawns & ~FILE_H_SQUARES) >> 7)
                           : ((pawns & ~FILE_A_SQUARES) << 7) | ((pawns & ~FILE_H_SQUARES) << 9);
}

uint64_t king_attacks(int square) { return board_detail::king_mask[square]; }
