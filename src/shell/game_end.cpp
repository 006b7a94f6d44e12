// Game-end adjudication after every move: mate, stalemate, repetition, fifty moves, bare material.
#include <cstdio>

#include "board/board.h"
#include "shell/shell.h"

namespace {

constexpr int KNIGHT_MATERIAL = 315;  // one knight and nothing else
constexpr int BISHOP_MATERIAL = 320;  // one bishop and nothing else
constexpr int ROOK_MATERIAL = 500;    // from here on mate can be forced

int bishop_square(int colour) {
    for (int s = 0; s < 64; s++) {
        if (game.piece[s] == BISHOP && game.color[s] == colour) return s;
    }
    return NO_SQUARE;
}

}  // namespace

int insufficient_material() {
    if (game.pawn_material[WHITE] != 0 || game.pawn_material[BLACK] != 0) return 0;
    int w = game.piece_material[WHITE];
    int b = game.piece_material[BLACK];
    if (w >= ROOK_MATERIAL || b >= ROOK_MATERIAL) return 0;
    if (w == KNIGHT_MATERIAL) return b == 0 ? 1 : 0;
    if (w == BISHOP_MATERIAL) {
        if (b == 0) return 1;
        if (b != BISHOP_MATERIAL) return 0;
        // Bishops on squares of one colour can never attack the other king's square together.
        int ws = bishop_square(WHITE);
        int bs = bishop_square(BLACK);
        if (ws == NO_SQUARE || bs == NO_SQUARE) return 0;
        return square_colour[ws] == square_colour[bs] ? 1 : 0;
    }
    if (w == 0) return 1;
    return 0;
}

void check_game_end() {
    // Draws, in the order the claims are tested.
    if (has_legal_move(game)) {
        if (repetition_count(game, MAX_GAME_PLY) == 2) {
            printf("1/2-1/2 {Draw by repetition}\n");
        } else if (game.fifty >= FIFTY_MOVE_PLIES) {
            printf("1/2-1/2 {Draw by 50 move rule}\n");
        } else if (insufficient_material() == 1) {
            printf("1/2-1/2 {Draw by insufficient material}\n");
        }
        return;
    }

    // No legal move: mate or stalemate.
    if (in_check(game, game.side)) {
        printf(game.side == WHITE ? "0-1 {Black mates}\n" : "1-0 {White mates}\n");
    } else {
        printf("1/2-1/2 {Stalemate}\n");
    }
}
