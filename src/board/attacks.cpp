// Attack and check detection: is a square attacked by a colour, is a king in check.
#include "board/board.h"
#include "board/attacks.h"

int is_attacked(const Position& pos, int square, int defender) {
    if (square < 0 || square > 63) return 0;
    return board_detail::square_attacked(pos, square, defender);
}

int attacked_by_non_king(const Position& pos, int square, int defender) {
    if (square < 0 || square > 63) return 0;
    return board_detail::square_attacked<false>(pos, square, defender);
}

int in_check(const Position& pos, int colour) {
    return is_attacked(pos, pos.king_square[colour], colour);
}

uint64_t knight_attacks(int square) { return board_detail::knight_mask[square]; }
uint64_t bishop_attacks(int square, uint64_t occupied) { return board_detail::diagonal_attacks(square, occupied); }
uint64_t rook_attacks(int square, uint64_t occupied) { return board_detail::line_attacks(square, occupied); }
