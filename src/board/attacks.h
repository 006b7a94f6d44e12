// The attack test on any Position, inlined where the board's hot paths need it.
#pragma once

#include "board/board.h"
#include "board/geometry.h"

namespace board_detail {

// Does an enemy slider reach `king` along the ray through `through`, now that `through` may have
// been left empty? Only a rook or queen on a rank or file, a bishop or queen on a diagonal, can
// be uncovered; anything nearer would have attacked the king before.
inline int discovered_attack(const Position& p, int king, int through, int defender) {
    const int d = line_direction[king][through];
    if (d < 0) return 0;
    const int t = first_blocker(king, d, p.occupied[WHITE] | p.occupied[BLACK]);
    if (t == NO_SQUARE) return 0;
    const int a = 1 - defender;
    const uint64_t sliders = p.men[a][QUEEN] | (d >= RAY_LEFT ? p.men[a][ROOK] : p.men[a][BISHOP]);
    return (sliders & bit(t)) != 0;
}

// On any Position: is `s` attacked by colour 1 - defender? Leapers and pawns are looked up
// where they would stand; a slider only when it stands on a line through s of its kind, and then
// it attacks when it is the first man on that ray from s.
// With KingCounts false the attacker's king is left out (is the square held by its men).
template <bool KingCounts = true>
inline int square_attacked(const Position& p, int s, int defender) {
    const int a = 1 - defender;
    const uint64_t* men = p.men[a];
    if (knight_mask[s] & men[KNIGHT]) return 1;
    // A pawn of the attacker takes on s from where a defender's pawn on s would take.
    if (pawn_attack_mask[defender][s] & men[PAWN]) return 1;
    if (KingCounts && (king_mask[s] & men[KING])) return 1;
    const uint64_t sliders = ((men[ROOK] | men[QUEEN]) & line_reach[s]) |
                             ((men[BISHOP] | men[QUEEN]) & diagonal_reach[s]);
    if (sliders == 0) return 0;
    const uint64_t occupied = p.occupied[WHITE] | p.occupied[BLACK];
    for (uint64_t b = sliders; b != 0; b &= b - 1) {
        const int t = std::countr_zero(b);
        const int d = line_direction[s][t];
        // The ray from s up to and including t holds no man but the slider.
        if ((ray_mask[s][d] & ~ray_mask[t][d] & occupied) == bit(t)) return 1;
    }
    return 0;
}

// On any Position: the men of colour 1 - defender that attack `s`, found as square_attacked
// finds the first of them.
inline uint64_t attackers_of(const Position& p, int s, int defender) {
    const int a = 1 - defender;
    const uint64_t* men = p.men[a];
    uint64_t found = (knight_mask[s] & men[KNIGHT]) | (pawn_attack_mask[defender][s] & men[PAWN]) |
                     (king_mask[s] & men[KING]);
    const uint64_t sliders = ((men[ROOK] | men[QUEEN]) & line_reach[s]) |
                             ((men[BISHOP] | men[QUEEN]) & diagonal_reach[s]);
    const uint64_t occupied = p.occupied[WHITE] | p.occupied[BLACK];
    for (uint64_t b = sliders; b != 0; b &= b - 1) {
        const int t = std::countr_zero(b);
        const int d = line_direction[s][t];
        if ((ray_mask[s][d] & ~ray_mask[t][d] & occupied) == bit(t)) found |= bit(t);
    }
    return found;
}

}  // namespace board_detail
