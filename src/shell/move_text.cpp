// The xboard move lines: the engine's "move" lines and the interface's move words.
#include <cstdio>
#include <cstring>

#include "shell/shell.h"

namespace {

bool is_file_letter(char c) { return c >= 'a' && c <= 'h'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

void print_move(Move m) {
    char text[MOVE_TEXT_SIZE];
    format_move(game, text, m, NOTATION_MOVE_LINE);
    printf("move %s\n", text);
}

namespace {

// The squares and kind a coordinate word ("e2e4", "e7e8q", "O-O") names; false when it names none.
bool read_move_word(const char* word, int* from, int* to, int* type) {
    *type = MOVE_NORMAL;
    if (strcmp(word, "O-O") == 0 || strcmp(word, "O-O-O") == 0) {
        bool is_short = strcmp(word, "O-O") == 0;
        *from = game.king_square[game.side];
        if (game.side == WHITE) *to = is_short ? G1 : C1;
        else *to = is_short ? G8 : C8;
        *type = MOVE_CASTLE;
        return true;
    }
    // The length test comes first: a shorter word must not be read past its end.
    if (strlen(word) < 4 || !is_file_letter(word[0]) || !is_digit(word[1]) ||
        !is_file_letter(word[2]) || !is_digit(word[3])) {
        return false;
    }
    *from = square_from_text(word);
    *to = square_from_text(word + 2);
    int special = move_type_from_text(game, *from, *to, word);
    if (special != 0) *type = special;
    return true;
}

// The legal move of the game position with these squares and kind, or NO_MOVE.
Move find_game_move(int from, int to, int type) {
    game.ply = 0;
    return find_legal_move(game, from, to, type);
}

}  // namespace

bool read_user_move(const char* word, Move* move) {
    int from = 0, to = 0, type = MOVE_NORMAL;
    if (!read_move_word(word, &from, &to, &type)) return false;
    *move = find_game_move(from, to, type);
    return true;
}

void parse_user_move(const char* word) {
    int from = 0, to = 0, type = MOVE_NORMAL;
    if (!read_move_word(word, &from, &to, &type)) {
        printf("Error (unknown command): %s\n", word);
        return;
    }
    // Every search needs free history entries above the game: a longer game is not played on.
    if (game.game_ply >= GAME_PLY_LIMIT) {
        printf("Illegal move (game too long): %s\n", word);
        return;
    }
    const Move m = find_game_move(from, to, type);
    if ((m.from != 0 || m.to != 0) && make_move(game, m) != 0) return;
    printf("Illegal move: %s\n", word);
}
