// Board-internal step tables (knight and king targets, ray lengths, lines) and the key helpers.
#pragma once

#include <array>
#include <bit>
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
// The same steps as file and row changes, for the tables built by walking a ray to the edge.
constexpr int ray_file_delta[8] = {-1, +1, +1, -1, -1, +1, 0, 0};
constexpr int ray_row_delta[8] = {-1, -1, +1, +1, 0, 0, -1, +1};

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
    for (int s = 0; s < 64; ++s)
        for (int d = 0; d < 8; ++d) {
            int f = file_of(s), r = row_of(s), n = 0;
            for (;;) {
                f += ray_file_delta[d];
                r += ray_row_delta[d];
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
    for (int a = 0; a < 64; ++a) {
        for (int b = 0; b < 64; ++b) table[a][b] = -1;
        for (int d = 0; d < 8; ++d) {
            int f = file_of(a) + ray_file_delta[d], r = row_of(a) + ray_row_delta[d];
            for (; f >= 0 && f < 8 && r >= 0 && r < 8; f += ray_file_delta[d], r += ray_row_delta[d])
                table[a][r * 8 + f] = static_cast<int8_t>(d);
        }
    }
    return table;
}

// --- Bitboards: bit s stands for square s, the mailbox's index (a8 = bit 0) ------------------

constexpr uint64_t bit(int s) { return uint64_t{1} << s; }

constexpr uint64_t mask_of(const TargetList& list) {
    uint64_t m = 0;
    for (int i = 0; i < list.n; ++i) m |= bit(list.square[i]);
    return m;
}

// The squares along each ray from s, s itself left out, by RayDirection.
constexpr std::array<std::array<uint64_t, 8>, 64> make_ray_mask() {
    std::array<std::array<uint64_t, 8>, 64> table{};
    for (int s = 0; s < 64; ++s)
        for (int d = 0; d < 8; ++d) {
            int f = file_of(s) + ray_file_delta[d], r = row_of(s) + ray_row_delta[d];
            for (; f >= 0 && f < 8 && r >= 0 && r < 8; f += ray_file_delta[d], r += ray_row_delta[d])
                table[s][d] |= bit(r * 8 + f);
        }
    return table;
}

// Where a pawn of each colour on s captures: white toward row 0, black toward row 7.
constexpr std::array<std::array<uint64_t, 64>, 2> make_pawn_attacks() {
    std::array<std::array<uint64_t, 64>, 2> table{};
    for (int s = 0; s < 64; ++s) {
        const int f = file_of(s), r = row_of(s);
        for (int c = BLACK; c <= WHITE; ++c) {
            const int ahead = c == WHITE ? r - 1 : r + 1;
            if (ahead < 0 || ahead > 7) continue;
            if (f > 0) table[c][s] |= bit(ahead * 8 + f - 1);
            if (f < 7) table[c][s] |= bit(ahead * 8 + f + 1);
        }
    }
    return table;
}

inline constexpr std::array<TargetList, 64> knight_targets = make_knight_targets();
inline constexpr std::array<TargetList, 64> king_targets = make_king_targets();
inline constexpr std::array<std::array<int, 8>, 64> ray_length = make_ray_length();
inline constexpr std::array<std::array<int8_t, 64>, 64> line_direction = make_line_direction();
inline constexpr std::array<std::array<uint64_t, 8>, 64> ray_mask = make_ray_mask();
inline constexpr std::array<std::array<uint64_t, 64>, 2> pawn_attack_mask = make_pawn_attacks();

constexpr std::array<uint64_t, 64> make_leaper_masks(const std::array<TargetList, 64>& targets) {
    std::array<uint64_t, 64> table{};
    for (int s = 0; s < 64; ++s) table[s] = mask_of(targets[s]);
    return table;
}
inline constexpr std::array<uint64_t, 64> knight_mask = make_leaper_masks(knight_targets);
inline constexpr std::array<uint64_t, 64> king_mask = make_leaper_masks(king_targets);

constexpr std::array<uint64_t, 64> make_reach(int first, int last) {
    std::array<uint64_t, 64> table{};
    for (int s = 0; s < 64; ++s)
        for (int d = first; d <= last; ++d) table[s] |= ray_mask[s][d];
    return table;
}
// Every square on a diagonal, or on a rank or file, through s: where a slider could attack from.
inline constexpr std::array<uint64_t, 64> diagonal_reach = make_reach(RAY_UP_LEFT, RAY_DOWN_LEFT);
inline constexpr std::array<uint64_t, 64> line_reach = make_reach(RAY_LEFT, RAY_DOWN);

// The first occupied square along ray d from s, or NO_SQUARE: the steps that raise the square
// index meet their nearest man at the lowest bit, the others at the highest.
inline int first_blocker(int s, int d, uint64_t occupied) {
    const uint64_t blockers = ray_mask[s][d] & occupied;
    if (blockers == 0) return NO_SQUARE;
    return ray_step[d] > 0 ? std::countr_zero(blockers) : 63 - std::countl_zero(blockers);
}

// The squares a slider on s reaches along ray d: up to and including the first man.
inline uint64_t ray_attacks(int s, int d, uint64_t occupied) {
    const int b = first_blocker(s, d, occupied);
    return b == NO_SQUARE ? ray_mask[s][d] : ray_mask[s][d] ^ ray_mask[b][d];
}

inline uint64_t diagonal_attacks(int s, uint64_t occupied) {
    return ray_attacks(s, RAY_UP_LEFT, occupied) | ray_attacks(s, RAY_UP_RIGHT, occupied) |
           ray_attacks(s, RAY_DOWN_RIGHT, occupied) | ray_attacks(s, RAY_DOWN_LEFT, occupied);
}

inline uint64_t line_attacks(int s, uint64_t occupied) {
    return ray_attacks(s, RAY_LEFT, occupied) | ray_attacks(s, RAY_RIGHT, occupied) |
           ray_attacks(s, RAY_UP, occupied) | ray_attacks(s, RAY_DOWN, occupied);
}

void set_bitboards(Position& p);  // the bitboards from the mailbox

uint64_t key_of(const Position& p);  // the key definition over any Position
void ensure_hash_keys();             // init_hash_keys once, for callers that set up before start-up did

}  // namespace board_detail
