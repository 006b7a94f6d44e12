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
    const int step = ray_step[d];
    const int slider = d >= RAY_LEFT ? ROOK : BISHOP;
    int t = king;
    for (int n = ray_length[king][d]; n > 0; --n) {
        t += step;
        if (p.color[t] == EMPTY) continue;
        return p.color[t] != defender && (p.piece[t] == slider || p.piece[t] == QUEEN);
    }
    return 0;
}

// On any Position: is `s` attacked by colour 1 - defender? Returns at the first attacker.
// With KingCounts false the attacker's king is left out (is the square held by its men).
template <bool KingCounts = true>
inline int square_attacked(const Position& p, int s, int defender) {
    const int a = 1 - defender;
    const int* piece = p.piece;
    const int* color = p.color;
    const auto& len = ray_length[s];

    // Knights, only when the attacker has any.
    if (p.piece_count[a][KNIGHT]) {
        const TargetList& k = knight_targets[s];
        for (int i = 0; i < k.n; ++i) {
            int t = k.square[i];
            if (piece[t] == KNIGHT && color[t] == a) return 1;
        }
    }

    // The four lines: a rook, queen or (adjacent) king of the attacker.
    const bool line_sliders = p.piece_count[a][ROOK] + p.piece_count[a][QUEEN] != 0;
    for (int d = RAY_LEFT; d <= RAY_DOWN; ++d) {
        int n = len[d];
        if (n == 0) continue;
        const int step = ray_step[d];
        int t = s + step;
        if (color[t] != EMPTY) {
            if (color[t] == a && (piece[t] == ROOK || piece[t] == QUEEN || (KingCounts && piece[t] == KING)))
                return 1;
            continue;
        }
        if (!line_sliders) continue;
        while (--n > 0) {
            t += step;
            if (color[t] != EMPTY) {
                if (color[t] == a && (piece[t] == ROOK || piece[t] == QUEEN)) return 1;
                break;
            }
        }
    }

    // The four diagonals: a bishop, queen, (adjacent) king or a pawn capturing toward s.
    const bool diagonal_sliders = p.piece_count[a][BISHOP] + p.piece_count[a][QUEEN] != 0;
    for (int d = RAY_UP_LEFT; d <= RAY_DOWN_LEFT; ++d) {
        int n = len[d];
        if (n == 0) continue;
        const int step = ray_step[d];
        int t = s + step;
        if (color[t] != EMPTY) {
            if (color[t] == a) {
                int pc = piece[t];
                if (pc == BISHOP || pc == QUEEN || (KingCounts && pc == KING)) return 1;
                // A white pawn captures upward (it stands below s: +7, +9), a black one downward.
                if (pc == PAWN && ((a == WHITE) == (step > 0))) return 1;
            }
            continue;
        }
        if (!diagonal_sliders) continue;
        while (--n > 0) {
            t += step;
            if (color[t] != EMPTY) {
                if (color[t] == a && (piece[t] == BISHOP || piece[t] == QUEEN)) return 1;
                break;
            }
        }
    }
    return 0;
}

}  // namespace board_detail
