// Board-internal step tables (knight and king targets, ray lengths) and the inlined attack test.
#pragma once

#include <array>
#include <cstdint>

#include "board/board.h"

namespace board_detail {

// Up to eight target squares of a leaper, in the generator's order; n says how many are on the board.
struct TargetList {
    int n;
    int square[8];
};

// Ray directions by index: the bishop's four in the generator's order, then the rook's four.
enum RayDirection { RAY_UP_LEFT, RAY_UP_RIGHT, RAY_DOWN_RIGHT, RAY_DOWN_LEFT, RAY_LEFT, RAY_RIGHT, RAY_UP, RAY_DOWN };
constexpr int ray_step[8] = {-9, -7, +9, +7, -1, +1, -8, +8};

constexpr int file_of(int s) { return s & 7; }
constexpr int row_of(int s) { return s >> 3; }

// Targets of a leaper on every square, in the order of its steps; a step whose file change
// leaves the board is dropped, so nothing wraps around an edge.
constexpr std::array<TargetList, 64> make_leaper_targets(const int (&steps)[8], const int (&file_delta)[8]) {
    std::array<TargetList, 64> table{};
    for (int s = 0; s < 64; ++s) {
        TargetList list{};
        for (int k = 0; k < 8; ++k) {
            int t = s + steps[k];
            int f = file_of(s) + file_delta[k];
            if (t >= 0 && t < 64 && f >= 0 && f < 8) list.square[list.n++] = t;
        }
        table[s] = list;
    }
    return table;
}

// Knight targets in the generator's order: s-6, s-10, s-15, s-17, s+6, s+10, s+15, s+17.
constexpr int KNIGHT_STEPS[8] = {-6, -10, -15, -17, +6, +10, +15, +17};
constexpr int KNIGHT_FILE_DELTA[8] = {+2, -2, +1, -1, -2, +2, -1, +1};
constexpr std::array<TargetList, 64> make_knight_targets() {
    return make_leaper_targets(KNIGHT_STEPS, KNIGHT_FILE_DELTA);
}

// King targets in the generator's order: s-1, s+1, s-8, s+8, s-9, s-7, s+7, s+9.
constexpr int KING_STEPS[8] = {-1, +1, -8, +8, -9, -7, +7, +9};
constexpr int KING_FILE_DELTA[8] = {-1, +1, 0, 0, -1, +1, -1, +1};
constexpr std::array<TargetList, 64> make_king_targets() {
    return make_leaper_targets(KING_STEPS, KING_FILE_DELTA);
}

// Number of squares a ray runs from s in each direction before it would leave the board.
constexpr std::array<std::array<int, 8>, 64> make_ray_length() {
    std::array<std::array<int, 8>, 64> table{};
    constexpr int file_delta[8] = {-1, +1, +1, -1, -1, +1, 0, 0};
    constexpr int row_delta[8] = {-1, -1, +1, +1, 0, 0, -1, +1};
    for (int s = 0; s < 64; ++s)
        for (int d = 0; d < 8; ++d) {
            int f = file_of(s), r = row_of(s), n = 0;
            for (;;) {
                f += file_delta[d];
                r += row_delta[d];
                if (f < 0 || f > 7 || r < 0 || r > 7) break;
                ++n;
            }
            table[s][d] = n;
        }
    return table;
}

// The ray direction that leads from square a to square b, or -1 when they share no line.
constexpr std::array<std::array<int8_t, 64>, 64> make_line_direction() {
    std::array<std::array<int8_t, 64>, 64> table{};
    constexpr int file_delta[8] = {-1, +1, +1, -1, -1, +1, 0, 0};
    constexpr int row_delta[8] = {-1, -1, +1, +1, 0, 0, -1, +1};
    for (int a = 0; a < 64; ++a) {
        for (int b = 0; b < 64; ++b) table[a][b] = -1;
        for (int d = 0; d < 8; ++d) {
            int f = file_of(a) + file_delta[d], r = row_of(a) + row_delta[d];
            for (; f >= 0 && f < 8 && r >= 0 && r < 8; f += file_delta[d], r += row_delta[d])
                table[a][r * 8 + f] = static_cast<int8_t>(d);
        }
    }
    return table;
}

inline constexpr std::array<TargetList, 64> knight_targets = make_knight_targets();
inline constexpr std::array<TargetList, 64> king_targets = make_king_targets();
inline constexpr std::array<std::array<int, 8>, 64> ray_length = make_ray_length();
inline constexpr std::array<std::array<int8_t, 64>, 64> line_direction = make_line_direction();

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

namespace board_detail {

uint64_t key_of(const Position& p);  // the key definition over any Position
void ensure_hash_keys();             // init_hash_keys once, for callers that set up before start-up did

}  // namespace board_detail
