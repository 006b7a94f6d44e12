// Attack sets: which of many squares a colour's men attack, found at once rather than square by square.
#include <bit>

#include "board/board.h"
#include "board/geometry.h"

namespace {

using namespace board_detail;

constexpr uint64_t FILE_A = 0x0101010101010101ull;
constexpr uint64_t FILE_H = FILE_A << 7;

// Where a colour's pawns capture: white's toward row 0, black's toward row 7; none off the edges.
uint64_t pawn_captures(uint64_t pawns, int colour) {
    return colour == WHITE ? ((pawns & ~FILE_A) >> 9) | ((pawns & ~FILE_H) >> 7)
                           : ((pawns & ~FILE_A) << 7) | ((pawns & ~FILE_H) << 9);
}

// What the sliders reach along the rays first..last: a slider on no such line through the squares,
// and a ray that never meets them, are passed over.
template <int First, int Last>
uint64_t slider_attacks_on(uint64_t sliders, const std::array<uint64_t, 64>& reach, uint64_t squares,
                           uint64_t occupied) {
    uint64_t hit = 0;
    for (; sliders != 0; sliders &= sliders - 1) {
        const int s = std::countr_zero(sliders);
        if ((reach[s] & squares) == 0) continue;
        for (int d = First; d <= Last; d++)
            if (ray_mask[s][d] & squares) hit |= ray_attacks(s, d, occupied);
    }
    return hit;
}

}  // namespace

uint64_t non_king_attacks_on(uint64_t squares, int defender) {
    const int attacker = 1 - defender;
    const uint64_t* men = pos.men[attacker];
    const uint64_t occupied = all_men(pos);
    uint64_t hit = pawn_captures(men[PAWN], attacker);
    for (uint64_t b = men[KNIGHT]; b != 0; b &= b - 1) hit |= knight_mask[std::countr_zero(b)];
    hit |= slider_attacks_on<RAY_UP_LEFT, RAY_DOWN_LEFT>(men[BISHOP] | men[QUEEN], diagonal_reach, squares, occupied);
    hit |= slider_attacks_on<RAY_LEFT, RAY_DOWN>(men[ROOK] | men[QUEEN], line_reach, squares, occupied);
    return hit & squares;
}

uint64_t king_attacks(int square) { return king_mask[square]; }
