// The game position and the board globals, the Zobrist keys with their generator, the repetition scan and
// the consistency check.
#include <array>
#include <cstring>

#include "board/board.h"
#include "board/geometry.h"

Position game;
char Variant[VARIANT_TEXT_SIZE] = "normal";
int variant_kind = VARIANT_NORMAL;

uint64_t zobrist_piece[768];
uint64_t zobrist_side[2];
uint64_t zobrist_ep[64];
uint64_t zobrist_castle[16];

const int piece_value[7] = {100, 315, 320, 500, 950, 32767, 0};  // by PieceType, EMPTY last

namespace {

constexpr std::array<std::array<int, 64>, 64> make_distance() {
    std::array<std::array<int, 64>, 64> table{};
    for (int a = 0; a < 64; ++a)
        for (int b = 0; b < 64; ++b) {
            const int files = board_detail::file_of(a) - board_detail::file_of(b);
            const int rows = board_detail::row_of(a) - board_detail::row_of(b);
            const int df = files < 0 ? -files : files, dr = rows < 0 ? -rows : rows;
            table[a][b] = df > dr ? df : dr;
        }
    return table;
}

}  // namespace

void board_detail::set_bitboards(Position& p) {
    for (int c = BLACK; c <= WHITE; ++c) {
        p.occupied[c] = 0;
        for (uint64_t& b : p.men[c]) b = 0;
    }
    for (int s = 0; s < 64; ++s) {
        if (p.piece[s] == EMPTY) continue;
        p.occupied[p.color[s]] |= bit(s);
        p.men[p.color[s]][p.piece[s]] |= bit(s);
    }
}

// Filled when the program is built, so it is ready before any position is set up.
constexpr std::array<std::array<int, 64>, 64> distance = make_distance();

// Vertical mirror, rank 8 first: a8 (0) reads a1 (56); the table is its own inverse.
const int flip[64] = {
    56, 57, 58, 59, 60, 61, 62, 63,
    48, 49, 50, 51, 52, 53, 54, 55,
    40, 41, 42, 43, 44, 45, 46, 47,
    32, 33, 34, 35, 36, 37, 38, 39,
    24, 25, 26, 27, 28, 29, 30, 31,
    16, 17, 18, 19, 20, 21, 22, 23,
     8,  9, 10, 11, 12, 13, 14, 15,
     0,  1,  2,  3,  4,  5,  6,  7,
};

// 1 on dark squares (a1 among them), 0 on light squares (a8, h1).
const int square_colour[64] = {
    0, 1, 0, 1, 0, 1, 0, 1,
    1, 0, 1, 0, 1, 0, 1, 0,
    0, 1, 0, 1, 0, 1, 0, 1,
    1, 0, 1, 0, 1, 0, 1, 0,
    0, 1, 0, 1, 0, 1, 0, 1,
    1, 0, 1, 0, 1, 0, 1, 0,
    0, 1, 0, 1, 0, 1, 0, 1,
    1, 0, 1, 0, 1, 0, 1, 0,
};

// --- The key generator ---------------------------------------------------------------------------

namespace {

// The lagged-Fibonacci seed, y[0] .. y[54].
constexpr uint32_t seed_table[55] = {
    0x5414d5f4, 0xb3935330, 0xd0773e27, 0xac62a182, 0x5db20c92, 0xc1e618ac, 0xd003926a,
    0x171fa3b3, 0x9ad12101, 0x762172c1, 0xbc5d9dc3, 0x07b72a70, 0x6e5ac890, 0xf7be54d1,
    0x0d6332fa, 0x56ba8fbe, 0xeba585ec, 0x571421c5, 0x96b3c079, 0x12eb9b92, 0xc07c0978,
    0x0700c5bd, 0x31a43513, 0x74eba4aa, 0x4ec55db5, 0x2c91c2e9, 0x208771f6, 0x304ee204,
    0x1e004673, 0xf3ac22f9, 0xa8561feb, 0xded13435, 0xd03e7513, 0xdae66bc2, 0x01c20be1,
    0x46638997, 0xfb26ce62, 0x01f87fc3, 0xc0016099, 0x44429270, 0xb04f4481, 0xf31b8ad7,
    0x86dd7a46, 0x03e72091, 0x96a22589, 0x74dcb7d4, 0x12d0fc03, 0x474a16e8, 0x2ff5717c,
    0x54bded92, 0x783a9487, 0xe767978c, 0x3052d5cd, 0x16eca191, 0x8eaf6d15,
};

struct Generator {
    uint32_t y[55];
    int j, k;
    bool started;
};
Generator generator;

void reset_generator() {
    std::memcpy(generator.y, seed_table, sizeof generator.y);
    generator.j = 23;
    generator.k = 54;
    generator.started = true;
}

uint64_t random64() {
    uint64_t high = random32();
    return (high << 32) | random32();
}

bool keys_ready = false;

}  // namespace

uint32_t random32() {
    if (!generator.started) reset_generator();
    Generator& g = generator;
    g.y[g.k] += g.y[g.j];
    uint32_t result = g.y[g.k];
    if (--g.j < 0) g.j = 54;
    if (--g.k < 0) g.k = 54;
    return result;
}

// The keys are a fixed sequence: every call restarts the generator, so a second call changes nothing.
void init_hash_keys() {
    reset_generator();
    for (uint64_t& key : zobrist_piece) key = random64();
    zobrist_side[WHITE] = random64();
    zobrist_side[BLACK] = random64();
    for (uint64_t& key : zobrist_ep) key = random64();
    for (uint64_t& key : zobrist_castle) key = random64();
    keys_ready = true;
}

void board_detail::ensure_hash_keys() {
    if (!keys_ready) init_hash_keys();
}

uint64_t board_detail::key_of(const Position& p) {
    uint64_t key = 0;
    for (int s = 0; s < 64; ++s)
        if (p.piece[s] != EMPTY) key ^= piece_key(p.color[s], p.piece[s], s);
    key ^= zobrist_side[p.side];
    key ^= zobrist_castle[p.castle & 15];
    if (p.ep != NO_SQUARE) key ^= zobrist_ep[p.ep];
    return key;
}

uint64_t compute_hash_key(const Position& pos) {
    return board_detail::key_of(pos);
}

// --- Repetitions ---------------------------------------------------------------------------------

// Only positions since the last capture or pawn move can repeat; a fifty counter larger than the
// recorded game must not reach below the history.
int repetition_count(const Position& pos, int enough) {
    int start = pos.game_ply - pos.fifty;
    if (start < 0) start = 0;
    const int end = pos.game_ply < MAX_GAME_PLY ? pos.game_ply : MAX_GAME_PLY;
    int count = 0;
    for (int i = start; i < end; i++)
        if (pos.history[i].hash_key == pos.hash_key && ++count >= enough) break;
    return count;
}

// --- Consistency check ---------------------------------------------------------------------------

// Re-derives everything that the incremental code keeps from the board alone; false on the first
// disagreement. Slow on purpose: for tests and debugging, never the search.
bool position_is_ok(const Position& pos) {
    const Position& p = pos;
    if (p.side != WHITE && p.side != BLACK) return false;

    int count[2][6] = {};
    int kings[2] = {0, 0};
    int king_at[2] = {NO_SQUARE, NO_SQUARE};
    for (int s = 0; s < 64; ++s) {
        int pc = p.piece[s], c = p.color[s];
        if (pc == EMPTY || c == EMPTY) {
            if (pc != c) return false;  // EMPTY in one array exactly where in the other
            continue;
        }
        if (pc < PAWN || pc > KING || (c != WHITE && c != BLACK)) return false;
        if (pc == PAWN && (s < 8 || s >= 56)) return false;
        if (pc == KING) {
            ++kings[c];
            king_at[c] = s;
        } else {
            ++count[c][pc];
        }
    }
    for (int c = BLACK; c <= WHITE; ++c) {
        if (kings[c] != 1 || p.king_square[c] != king_at[c]) return false;
        for (int t = PAWN; t <= QUEEN; ++t)
            if (p.piece_count[c][t] != count[c][t]) return false;
        int material = 0;
        for (int t = KNIGHT; t <= QUEEN; ++t) material += piece_value[t] * count[c][t];
        if (p.piece_material[c] != material) return false;
        if (p.pawn_material[c] != piece_value[PAWN] * count[c][PAWN]) return false;
    }

    // Every castling right still has its king on the back rank and its rook on castle_rook.
    if (p.castle < 0 || p.castle > 15) return false;
    for (int right = 0; right < 4; ++right) {
        if (!(p.castle & (1 << right))) continue;
        int c = right < 2 ? WHITE : BLACK;
        int back_row = c == WHITE ? 7 : 0;
        int r = p.castle_rook[right];
        if (r < 0 || r > 63 || (r >> 3) != back_row) return false;
        if (p.piece[r] != ROOK || p.color[r] != c) return false;
        if ((p.king_square[c] >> 3) != back_row) return false;
        bool short_side = (right & 1) == 0;
        if (short_side ? r < p.king_square[c] : r > p.king_square[c]) return false;
    }

    // The en-passant square lies behind a pawn of the side that just moved.
    if (p.ep != NO_SQUARE) {
        if (p.ep < 0 || p.ep > 63) return false;
        int passed_row = p.side == WHITE ? 2 : 5;
        int pawn_square = p.side == WHITE ? p.ep + 8 : p.ep - 8;
        if ((p.ep >> 3) != passed_row) return false;
        if (p.piece[pawn_square] != PAWN || p.color[pawn_square] != 1 - p.side) return false;
    }

    if (p.fifty < 0 || p.game_ply < 0 || p.game_ply > MAX_GAME_PLY) return false;

    // The bitboards show the mailbox's board.
    uint64_t occupied[2] = {}, men[2][6] = {};
    for (int s = 0; s < 64; ++s) {
        if (p.piece[s] == EMPTY) continue;
        occupied[p.color[s]] |= board_detail::bit(s);
        men[p.color[s]][p.piece[s]] |= board_detail::bit(s);
    }
    for (int c = BLACK; c <= WHITE; ++c) {
        if (p.occupied[c] != occupied[c]) return false;
        for (int t = PAWN; t <= KING; ++t)
            if (p.men[c][t] != men[c][t]) return false;
    }
    return p.hash_key == compute_hash_key(pos);
}
