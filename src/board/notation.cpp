// Move text: squares and moves as the protocol and the thinking lines write them.
#include <cstdio>
#include <cstring>

#include "board/board.h"

namespace {

bool is_short_castle_target(int to) { return to == G1 || to == G8; }

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

bool is_square_text(const char* text) {
    return text[0] >= 'a' && text[0] <= 'h' && text[1] >= '1' && text[1] <= '8';
}

int square_from_text(const char* text) { return (text[0] - 'a') + 8 * ('8' - text[1]); }

void format_move(const Position& pos, char* text, Move m, MoveNotation notation) {
    int to = m.to;
    if (variant_kind == VARIANT_FISCHERANDOM && m.type == MOVE_CASTLE) {
        if (notation != NOTATION_UCI) {
            std::snprintf(text, MOVE_TEXT_SIZE, "%s", is_short_castle_target(m.to) ? "O-O" : "O-O-O");
            return;
        }
        // The king takes its own rook: the only text that cannot be mistaken for a king's step.
        const int white = (m.from >> 3) == 7;
        to = pos.castle_rook[(white ? 0 : 2) + (is_short_castle_target(m.to) ? 0 : 1)];
    }
    const char from_file = char('a' + (m.from & 7)), from_rank = char('8' - ((m.from >> 3) & 7));
    const char to_file = char('a' + (to & 7)), to_rank = char('8' - ((to >> 3) & 7));
    const char promotion = promotion_letter(m.type);
    if (notation == NOTATION_UCI && promotion == ' ')
        std::snprintf(text, MOVE_TEXT_SIZE, "%c%c%c%c", from_file, from_rank, to_file, to_rank);
    else if (notation == NOTATION_UCI || notation == NOTATION_MOVE_LINE)
        std::snprintf(text, MOVE_TEXT_SIZE, "%c%c%c%c%c", from_file, from_rank, to_file, to_rank, promotion);
    else if (promotion != ' ')
        std::snprintf(text, MOVE_TEXT_SIZE, "%c%c%c%c=%c", from_file, from_rank, to_file, to_rank, promotion);
    else
        std::snprintf(text, MOVE_TEXT_SIZE, "%c%c%c%c", from_file, from_rank, to_file, to_rank);
}

int move_type_from_text(const Position& pos, int from, int to, const char* text) {
    // An off-board square (rank digit 0 or 9) has no piece to look at.
    if (!on_board(from) || !on_board(to)) return 0;
    int r = 0;
    if (variant_kind == VARIANT_NORMAL && pos.piece[from] == KING &&
        (std::strncmp(text, "e1", 2) == 0 || std::strncmp(text, "e8", 2) == 0) &&
        (std::strncmp(text + 2, "g1", 2) == 0 || std::strncmp(text + 2, "c1", 2) == 0 ||
         std::strncmp(text + 2, "g8", 2) == 0 || std::strncmp(text + 2, "c8", 2) == 0)) {
        r = MOVE_CASTLE;
    }
    if (pos.piece[from] != PAWN) return r;
    if (pos.ep != NO_SQUARE && to == pos.ep) return MOVE_EN_PASSANT;
    if ((text[1] == '2' && text[3] == '4') || (text[1] == '7' && text[3] == '5')) {
        return MOVE_DOUBLE_PUSH;
    }
    if (to >= A7 && to <= H2) return r;
    switch (text[4]) {
        case 'Q': case 'q': return MOVE_PROMOTE_QUEEN;
        case 'R': case 'r': return MOVE_PROMOTE_ROOK;
        case 'B': case 'b': return MOVE_PROMOTE_BISHOP;
        case 'N': case 'n': return MOVE_PROMOTE_KNIGHT;
        default: return r;
    }
}
