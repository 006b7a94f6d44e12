// Move text of the xboard protocol: the engine's "move" lines and the interface's move words.
#include <cstdio>
#include <cstring>

#include "shell/shell.h"

namespace {

// King destinations of castling, by side: short, then long.
constexpr int WHITE_SHORT_TO = 62;  // g1
constexpr int WHITE_LONG_TO = 58;   // c1
constexpr int BLACK_SHORT_TO = 6;   // g8
constexpr int BLACK_LONG_TO = 2;    // c8

bool on_board(int square) { return square >= 0 && square < 64; }

// Square text to Square; the caller has checked the letter and the digit.
int square_from_text(const char* text) { return (text[0] - 'a') + 8 * ('8' - text[1]); }

bool is_file_letter(char c) { return c >= 'a' && c <= 'h'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

char promotion_letter(int type) {
    switch (type) {
        case MOVE_PROMOTE_QUEEN: return 'q';
        case MOVE_PROMOTE_ROOK: return 'r';
        case MOVE_PROMOTE_BISHOP: return 'b';
        case MOVE_PROMOTE_KNIGHT: return 'n';
        default: return ' ';
    }
}

bool is_short_castle_target(int to) { return to == WHITE_SHORT_TO || to == BLACK_SHORT_TO; }

void format_move(char* text, int size, int from, int to, int type) {
    if (strcmp(Variant, "fischerandom") == 0 && type == MOVE_CASTLE) {
        snprintf(text, size, "%s", is_short_castle_target(to) ? "O-O" : "O-O-O");
        return;
    }
    snprintf(text, size, "%c%c%c%c%c", 'a' + (from & 7), '8' - ((from >> 3) & 7), 'a' + (to & 7),
             '8' - ((to >> 3) & 7), promotion_letter(type));
}

void print_move(int from, int to, int type) {
    char text[16];
    format_move(text, sizeof text, from, to, type);
    printf("move %s\n", text);
}

int move_type_from_text(int from, int to, const char* text) {
    // An off-board square (rank digit 0 or 9) has no piece to look at.
    if (!on_board(from) || !on_board(to)) return 0;
    int r = 0;
    if (strcmp(Variant, "normal") == 0 && pos.piece[from] == KING &&
        (strncmp(text, "e1", 2) == 0 || strncmp(text, "e8", 2) == 0) &&
        (strncmp(text + 2, "g1", 2) == 0 || strncmp(text + 2, "c1", 2) == 0 ||
         strncmp(text + 2, "g8", 2) == 0 || strncmp(text + 2, "c8", 2) == 0)) {
        r = MOVE_CASTLE;
    }
    if (pos.piece[from] != PAWN) return r;
    if (pos.ep != NO_SQUARE && to == pos.ep) return MOVE_EN_PASSANT;
    if ((text[1] == '2' && text[3] == '4') || (text[1] == '7' && text[3] == '5')) {
        return MOVE_DOUBLE_PUSH;
    }
    if (to >= 8 && to <= 55) return r;
    switch (text[4]) {
        case 'Q': case 'q': return MOVE_PROMOTE_QUEEN;
        case 'R': case 'r': return MOVE_PROMOTE_ROOK;
        case 'B': case 'b': return MOVE_PROMOTE_BISHOP;
        case 'N': case 'n': return MOVE_PROMOTE_KNIGHT;
        default: return r;
    }
}

void parse_user_move(const char* word) {
    int from = 0;
    int to = 0;
    int type = MOVE_NORMAL;
    if (strcmp(word, "O-O") == 0 || strcmp(word, "O-O-O") == 0) {
        bool is_short = strcmp(word, "O-O") == 0;
        from = pos.king_square[pos.side];
        if (pos.side == WHITE) to = is_short ? WHITE_SHORT_TO : WHITE_LONG_TO;
        else to = is_short ? BLACK_SHORT_TO : BLACK_LONG_TO;
        type = MOVE_CASTLE;
    } else {
        // The length test comes first: a shorter word must not be read past its end.
        if (strlen(word) < 4 || !is_file_letter(word[0]) || !is_digit(word[1]) ||
            !is_file_letter(word[2]) || !is_digit(word[3])) {
            printf("Error (unknown command): %s\n", word);
            return;
        }
        from = square_from_text(word);
        to = square_from_text(word + 2);
        int special = move_type_from_text(from, to, word);
        if (special != 0) type = special;
    }

    // Every search needs free history entries above the game: a longer game is not played on.
    if (pos.game_ply >= GAME_PLY_LIMIT) {
        printf("Illegal move (game too long): %s\n", word);
        return;
    }

    pos.ply = 0;
    MoveList list;
    int n = generate_moves(list);
    for (int i = 0; i < n; i++) {
        if (list[i].from != from || list[i].to != to || list[i].type != type) continue;
        if (make_move(list[i]) == 0) break;
        return;
    }
    printf("Illegal move: %s\n", word);
}
