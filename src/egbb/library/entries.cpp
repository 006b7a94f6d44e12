// The library's two exported entries: load (solve the tables) and probe (decode and look up).
#include "egbb/library/library.h"

#if defined(_WIN32)
#define BITBASE_EXPORT extern "C" __declspec(dllexport)
#else
#define BITBASE_EXPORT extern "C" __attribute__((visibility("default")))
#endif

// Piece codes of the probe: white queen 2 .. pawn 6, black queen 8 .. pawn 12.
constexpr int WHITE_QUEEN_CODE = 2;
constexpr int BLACK_QUEEN_CODE = 8;
constexpr int CODES_PER_COLOUR = 5;

BITBASE_EXPORT void load_egbb_5men(const char* path, int cache_size, int load_type);
BITBASE_EXPORT int probe_egbb_5men(int player, int white_king, int black_king, int piece1,
                                   int square1, int piece2, int square2, int piece3,
                                   int square3);

// Every ending is solved in memory, so the directory, cache size and load type are not needed.
void load_egbb_5men(const char*, int, int) { build_bitbase_tables(); }

namespace {

bool on_board(int square) { return square >= 0 && square < 64; }

bool kings_apart(int a, int b) {
    int files = (a & 7) - (b & 7), ranks = (a >> 3) - (b >> 3);
    return files * files > 1 || ranks * ranks > 1;
}

}  // namespace

int probe_egbb_5men(int player, int white_king, int black_king, int piece1, int square1,
                    int piece2, int square2, int piece3, int square3) {
    if (!bitbase_tables_ready) return BITBASE_NOT_FOUND;
    if ((player != 0 && player != 1) || !on_board(white_king) || !on_board(black_king))
        return BITBASE_NOT_FOUND;

    // 1. Find the one extra man; a pair with piece code 0 is empty whatever its square says.
    const int pieces[3] = {piece1, piece2, piece3};
    const int squares[3] = {square1, square2, square3};
    int men = 0, code = 0, square = 0;
    for (int i = 0; i < 3; i++) {
        if (pieces[i] == 0) continue;
        men++;
        code = pieces[i];
        square = squares[i];
    }
    if (men == 0) {
        // Two bare kings: a draw when they can stand so.
        return white_king != black_king && kings_apart(white_king, black_king)
                   ? 0
                   : BITBASE_NOT_FOUND;
    }
    if (men > 1 || !on_board(square)) return BITBASE_NOT_FOUND;

    // 2. Make the man White's: a black one is mirrored across the middle of the board, with the
    // kings and the side to move exchanged. The value, seen by the side to move, stays the same.
    int ending;
    if (code >= WHITE_QUEEN_CODE && code < WHITE_QUEEN_CODE + CODES_PER_COLOUR) {
        ending = code - WHITE_QUEEN_CODE;
    } else if (code >= BLACK_QUEEN_CODE && code < BLACK_QUEEN_CODE + CODES_PER_COLOUR) {
        ending = code - BLACK_QUEEN_CODE;
        int king = white_king;
        white_king = black_king ^ 56;
        black_king = king ^ 56;
        square ^= 56;
        player = 1 - player;
    } else {
        return BITBASE_NOT_FOUND;
    }

    // 3. Look up; the table knows the illegal placements.
    uint8_t v = bitbase_table[ending][player][table_index(white_king, black_king, square)];
    if (v == TABLE_ILLEGAL) return BITBASE_NOT_FOUND;
    if (v == TABLE_DRAW) return 0;
    int score = BITBASE_WIN - (v - 1);
    return player == 0 ? score : -score;
}
