// Board-internal step tables (knight and king targets, ray lengths, lines) and the key helpers.
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

uint64_t key_of(const Position& p);  // the key definition over any Position
void ensure_hash_keys();             // init_hash_keys once, for callers that set up before start-up did

}  // namespace board_detail
