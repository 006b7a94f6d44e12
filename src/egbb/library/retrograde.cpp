// Retrograde analysis of the three-men endings, solved in memory when the library is loaded.
#include <algorithm>
#include <bit>

#include "egbb/library/library.h"

uint8_t bitbase_table[TABLE_COUNT][2][TABLE_SIZE];
int bitbase_tables_ready;

namespace {

uint64_t king_reach[64];
uint64_t knight_reach[64];

// Work space of the solver, static so that loading never fails on memory. Each list holds
// every position at most once.
struct Seed {
    int distance;  // plies to mate of the lost Black position reached by promoting
    int index;
};

uint8_t open_moves[TABLE_SIZE];  // Black's legal moves not yet known to lose
int lost[TABLE_SIZE];            // Black positions lost at the current distance
int won[TABLE_SIZE];             // White positions won at the current distance plus one
Seed seeds[TABLE_SIZE];

constexpr uint64_t bit(int square) { return uint64_t{1} << square; }

int square_at(int file, int rank) {
    return file < 0 || file > 7 || rank < 0 || rank > 7 ? -1 : rank * 8 + file;
}

void init_reach() {
    static const int king_steps[8][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1},
                                         {1, 1}, {1, -1}, {-1, 1}, {-1, -1}};
    static const int knight_jumps[8][2] = {{1, 2}, {2, 1}, {2, -1}, {1, -2},
                                           {-1, -2}, {-2, -1}, {-2, 1}, {-1, 2}};
    for (int s = 0; s < 64; s++) {
        king_reach[s] = knight_reach[s] = 0;
        for (int i = 0; i < 8; i++) {
            int k = square_at((s & 7) + king_steps[i][0], (s >> 3) + king_steps[i][1]);
            int n = square_at((s & 7) + knight_jumps[i][0], (s >> 3) + knight_jumps[i][1]);
            if (k >= 0) king_reach[s] |= bit(k);
            if (n >= 0) knight_reach[s] |= bit(n);
        }
    }
}

// Squares a slider reaches from `from` along the given directions, stopping on `occupied`
// squares (which are included, as a capture or a check would be).
uint64_t slide(int from, const int (*directions)[2], int count, uint64_t occupied) {
    uint64_t reach = 0;
    for (int i = 0; i < count; i++) {
        int file = from & 7, rank = from >> 3;
        for (;;) {
            file += directions[i][0];
            rank += directions[i][1];
            int s = square_at(file, rank);
            if (s < 0) break;
            reach |= bit(s);
            if (occupied & bit(s)) break;
        }
    }
    return reach;
}

const int rook_directions[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
const int bishop_directions[4][2] = {{1, 1}, {1, -1}, {-1, 1}, {-1, -1}};
const int queen_directions[8][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1},
                                    {1, 1}, {1, -1}, {-1, 1}, {-1, -1}};

// Squares the white man of `ending` attacks from `square`.
uint64_t man_attacks(int ending, int square, uint64_t occupied) {
    switch (ending) {
    case TABLE_KQK: return slide(square, queen_directions, 8, occupied);
    case TABLE_KRK: return slide(square, rook_directions, 4, occupied);
    case TABLE_KBK: return slide(square, bishop_directions, 4, occupied);
    case TABLE_KNK: return knight_reach[square];
    default: {
        // A white pawn takes towards rank 8.
        uint64_t reach = 0;
        int left = square_at((square & 7) - 1, (square >> 3) + 1);
        int right = square_at((square & 7) + 1, (square >> 3) + 1);
        if (left >= 0) reach |= bit(left);
        if (right >= 0) reach |= bit(right);
        return reach;
    }
    }
}

// Squares the man could have come from by a quiet move of White: the reverse of its moves.
uint64_t man_unmoves(int ending, int square, uint64_t occupied) {
    if (ending != TABLE_KPK) return man_attacks(ending, square, occupied) & ~occupied;
    uint64_t from = 0;
    int rank = square >> 3;
    // A pawn on rank 2 cannot have moved there; rank 1 never holds one.
    if (rank >= 2 && !(occupied & bit(square - 8))) {
        from |= bit(square - 8);
        if (rank == 3 && !(occupied & bit(square - 16))) from |= bit(square - 16);
    }
    return from;
}

bool placement_ok(int ending, int white_king, int black_king, int man) {
    if (white_king == black_king || man == white_king || man == black_king) return false;
    if (king_reach[white_king] & bit(black_king)) return false;
    if (ending == TABLE_KPK && ((man >> 3) == 0 || (man >> 3) == 7)) return false;
    return true;
}

// White positions of KPK that promote into an already solved ending, with the shortest
// mate among the four promotions. They join the search at their own distance so that every
// position keeps its shortest win.
int promotion_seeds() {
    int count = 0;
    const uint8_t* white = bitbase_table[TABLE_KPK][0];
    for (int index = 0; index < TABLE_SIZE; index++) {
        if (white[index] == TABLE_ILLEGAL) continue;
        int man = index & 63, black_king = (index >> 6) & 63, white_king = index >> 12;
        int target = man + 8;
        if ((man >> 3) != 6 || target == white_king || target == black_king) continue;
        int best = -1;
        for (int promoted = TABLE_KQK; promoted <= TABLE_KNK; promoted++) {
            uint8_t v = bitbase_table[promoted][1][table_index(white_king, black_king, target)];
            if (v == TABLE_DRAW || v == TABLE_ILLEGAL) continue;
            if (best < 0 || v - 1 < best) best = v - 1;
        }
        if (best >= 0) seeds[count++] = {best, index};
    }
    std::sort(seeds, seeds + count,
              [](const Seed& a, const Seed& b) { return a.distance < b.distance; });
    return count;
}

// Stores a distance in plies; the table keeps it plus one so that zero stays "draw".
uint8_t stored(int distance) { return static_cast<uint8_t>(distance + 1); }

void solve(int ending) {
    uint8_t* white = bitbase_table[ending][0];
    uint8_t* black = bitbase_table[ending][1];
    int lost_count = 0, won_count = 0;

    // 1. Legality, Black's move counts and the mates.
    for (int index = 0; index < TABLE_SIZE; index++) {
        int man = index & 63, black_king = (index >> 6) & 63, white_king = index >> 12;
        if (!placement_ok(ending, white_king, black_king, man)) {
            white[index] = black[index] = TABLE_ILLEGAL;
            continue;
        }
        uint64_t checks = man_attacks(ending, man, bit(white_king) | bit(black_king));
        bool black_in_check = (checks & bit(black_king)) != 0;
        // White to move with Black in check cannot arise.
        white[index] = black_in_check ? TABLE_ILLEGAL : TABLE_DRAW;
        black[index] = TABLE_DRAW;

        // The black king's own square is left empty: it cannot hide behind itself on a line.
        uint64_t guarded = king_reach[white_king] | man_attacks(ending, man, bit(white_king));
        int count = 0;
        uint64_t targets = king_reach[black_king] & ~bit(white_king);
        while (targets) {
            int to = std::countr_zero(targets);
            targets &= targets - 1;
            if (to == man) {
                if (!(king_reach[white_king] & bit(to))) count++;  // takes the man: a draw
            } else if (!(guarded & bit(to))) {
                count++;
            }
        }
        open_moves[index] = static_cast<uint8_t>(count);
        if (count == 0 && black_in_check) {
            black[index] = stored(0);
            lost[lost_count++] = index;
        }
    }

    int seed_count = ending == TABLE_KPK ? promotion_seeds() : 0;
    int next_seed = 0;

    // 2. Level by level: White wins in d + 1 from Black losses in d, and Black loses in d + 2
    // once every move of his leads to such a win.
    for (int distance = 0; lost_count > 0 || next_seed < seed_count; distance += 2) {
        won_count = 0;
        for (int i = 0; i < lost_count; i++) {
            int index = lost[i];
            int man = index & 63, black_king = (index >> 6) & 63, white_king = index >> 12;
            uint64_t occupied = bit(white_king) | bit(black_king) | bit(man);
            uint64_t from = king_reach[white_king] & ~occupied;
            while (from) {
                int s = std::countr_zero(from);
                from &= from - 1;
                int before = table_index(s, black_king, man);
                if (white[before] != TABLE_DRAW) continue;
                white[before] = stored(distance + 1);
                won[won_count++] = before;
            }
            from = man_unmoves(ending, man, bit(white_king) | bit(black_king));
            while (from) {
                int s = std::countr_zero(from);
                from &= from - 1;
                int before = table_index(white_king, black_king, s);
                if (white[before] != TABLE_DRAW) continue;
                white[before] = stored(distance + 1);
                won[won_count++] = before;
            }
        }
        for (; next_seed < seed_count && seeds[next_seed].distance <= distance; next_seed++) {
            int index = seeds[next_seed].index;
            if (white[index] != TABLE_DRAW) continue;
            white[index] = stored(distance + 1);
            won[won_count++] = index;
        }

        lost_count = 0;
        for (int i = 0; i < won_count; i++) {
            int index = won[i];
            int man = index & 63, black_king = (index >> 6) & 63, white_king = index >> 12;
            uint64_t from = king_reach[black_king] & ~(bit(white_king) | bit(man));
            while (from) {
                int s = std::countr_zero(from);
                from &= from - 1;
                int before = table_index(white_king, s, man);
                if (black[before] != TABLE_DRAW || open_moves[before] == 0) continue;
                if (--open_moves[before] == 0) {
                    black[before] = stored(distance + 2);
                    lost[lost_count++] = before;
                }
            }
        }
    }
}

}  // namespace

void build_bitbase_tables() {
    if (bitbase_tables_ready) return;
    init_reach();
    // The piece endings first: KPK promotes into them.
    for (int ending = TABLE_KQK; ending < TABLE_COUNT; ending++) solve(ending);
    bitbase_tables_ready = 1;
}
