// Position setup from compact FEN, with the variant it is read in and the refusals.
#include <cstring>

#include "board/attacks.h"
#include "board/board.h"

using board_detail::square_attacked;

void set_variant(const char* name) {
    if (name == nullptr) name = "";
    std::strncpy(Variant, name, VARIANT_TEXT_SIZE - 1);
    Variant[VARIANT_TEXT_SIZE - 1] = '\0';
    if (std::strcmp(Variant, "normal") == 0)
        variant_kind = VARIANT_NORMAL;
    else if (std::strcmp(Variant, "fischerandom") == 0)
        variant_kind = VARIANT_FISCHERANDOM;
    else
        variant_kind = VARIANT_OTHER;
}

namespace {

// Castling rights in castle_rook order: white short, white long, black short, black long.
constexpr int right_bit[4] = {CASTLE_WHITE_SHORT, CASTLE_WHITE_LONG, CASTLE_BLACK_SHORT, CASTLE_BLACK_LONG};
constexpr int corner_rook[4] = {H1, A1, H8, A8};

int piece_of_letter(char letter) {
    switch (letter | 0x20) {  // lower case
        case 'p': return PAWN;
        case 'n': return KNIGHT;
        case 'b': return BISHOP;
        case 'r': return ROOK;
        case 'q': return QUEEN;
        case 'k': return KING;
        default: return EMPTY;
    }
}

bool is_letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Blanks between fields are skipped, so that a FEN with its usual spaces reads like the compact one.
const char* skip_blanks(const char* text) {
    while (*text == ' ' || *text == '\t') ++text;
    return text;
}

// The placement, into p; returns the text after it, or nullptr to refuse the text.
// Squares run continuously from a8; a rank ends after eight squares, and a "/" may stand only
// there. A piece or a digit that would run past the end of a rank, a letter that names no piece,
// too few squares, or one more placement character once 64 squares are filled: refused.
const char* read_placement(Position& p, const char* text) {
    int s = 0;
    while (s < 64) {
        char c = *text;
        if (c == '\0') return nullptr;  // fewer than 64 squares
        ++text;
        if (c >= '1' && c <= '8') {
            int n = c - '0';
            if ((s & 7) + n > 8) return nullptr;  // the rank would run over eight squares
            for (int i = 0; i < n; ++i, ++s) {
                p.piece[s] = EMPTY;
                p.color[s] = EMPTY;
            }
        } else if (c == '/') {
            if (s == 0 || (s & 7) != 0) return nullptr;  // a short rank
        } else if (c == '0' || c == '9') {
            return nullptr;
        } else if (is_letter(c)) {
            int type = piece_of_letter(c);
            if (type == EMPTY) return nullptr;  // no piece letter
            int colour = (c >= 'a') ? BLACK : WHITE;
            p.piece[s] = type;
            p.color[s] = colour;
            if (type == KING)
                p.king_square[colour] = s;
            else
                ++p.piece_count[colour][type];
            ++s;
        }
        // Anything else (a space, say) is skipped, as the setup grammar reads it.
    }
    // A ninth rank or a longer eighth: more than 64 squares. "b" here is the side, not a bishop.
    char next = *skip_blanks(text);
    if (next == '/' || (next >= '0' && next <= '9')) return nullptr;
    if (next != 'w' && next != 'b' && is_letter(next) && piece_of_letter(next) != EMPTY) return nullptr;
    return text;
}

// The outermost rook of `colour` on its back rank on one side of its king (X-FEN's K and Q).
int outermost_rook(const Position& p, int colour, bool short_side) {
    int king = p.king_square[colour];
    int first = colour == WHITE ? A1 : A8;
    if (short_side) {
        for (int s = first + 7; s > king; --s)
            if (p.piece[s] == ROOK && p.color[s] == colour) return s;
    } else {
        for (int s = first; s < king; ++s)
            if (p.piece[s] == ROOK && p.color[s] == colour) return s;
    }
    return NO_SQUARE;
}

// The castling field; returns the text after it.
const char* read_castling(Position& p, const char* text) {
    text = skip_blanks(text);
    p.castle = 0;
    if (variant_kind != VARIANT_FISCHERANDOM) {
        for (;; ++text) {
            int right;
            switch (*text) {
                case 'K': right = 0; break;
                case 'Q': right = 1; break;
                case 'k': right = 2; break;
                case 'q': right = 3; break;
                default: right = -1; break;
            }
            if (right < 0) break;
            p.castle |= right_bit[right];
            p.castle_rook[right] = corner_rook[right];
        }
    } else {
        // Chess960 reads both notations: file letters ("HAha") name the rook's file, and K, Q,
        // k, q (X-FEN, "OO") the outermost rook of the back rank on that side of the king.
        for (;; ++text) {
            const char c = *text;
            int right = -1, rook = NO_SQUARE;
            if (c == 'K' || c == 'Q' || c == 'k' || c == 'q') {
                const int colour = (c == 'K' || c == 'Q') ? WHITE : BLACK;
                const bool short_side = c == 'K' || c == 'k';
                right = (colour == WHITE ? 0 : 2) + (short_side ? 0 : 1);
                rook = outermost_rook(p, colour, short_side);
            } else if ((c >= 'A' && c <= 'H') || (c >= 'a' && c <= 'h')) {
                // A file letter followed by a rank digit is the en-passant square, not a right.
                if (text[1] >= '1' && text[1] <= '8') break;
                const int colour = c <= 'H' ? WHITE : BLACK;
                const int file = c <= 'H' ? c - 'A' : c - 'a';
                const int king_file = p.king_square[colour] & 7;
                if (file == king_file) continue;  // names no side
                right = (colour == WHITE ? 0 : 2) + (file > king_file ? 0 : 1);
                rook = (colour == WHITE ? A1 : A8) + file;
            } else {
                break;
            }
            if (rook == NO_SQUARE) continue;  // nothing to castle with
            p.castle |= right_bit[right];
            p.castle_rook[right] = rook;
        }
    }
    if (*text == '-') ++text;
    return skip_blanks(text);
}

// Drop every right whose king is not on its start square or whose rook is not where the right
// says: castling such a right would conjure a rook out of nothing.
void drop_impossible_rights(Position& p) {
    for (int right = 0; right < 4; ++right) {
        if (!(p.castle & right_bit[right])) continue;
        int colour = right < 2 ? WHITE : BLACK;
        int king = p.king_square[colour];
        int back_row = colour == WHITE ? 7 : 0;
        int rook = p.castle_rook[right];
        bool short_side = (right & 1) == 0;
        bool ok;
        if (variant_kind == VARIANT_FISCHERANDOM)
            ok = (king >> 3) == back_row && (short_side ? rook > king : rook < king);
        else
            ok = king == (colour == WHITE ? E1 : E8);
        ok = ok && rook >= 0 && rook < 64 && (rook >> 3) == back_row && p.piece[rook] == ROOK &&
             p.color[rook] == colour;
        if (!ok) p.castle &= ~right_bit[right];
    }
    // Rights that are not held keep a harmless rook square and no mask of their own.
    for (int right = 0; right < 4; ++right)
        if (!(p.castle & right_bit[right])) p.castle_rook[right] = corner_rook[right];
}

// An en-passant square counts only behind a pawn that can just have made a double step
// (the square and the one the pawn came from empty); any other square would let a capture take
// a pawn that is not there.
int read_ep(const Position& p, const char* text) {
    if (!is_square_text(text)) return NO_SQUARE;
    int ep = square_from_text(text);
    int passed_row = p.side == WHITE ? 2 : 5;
    if ((ep >> 3) != passed_row) return NO_SQUARE;
    int pawn = p.side == WHITE ? ep + 8 : ep - 8;
    int origin = p.side == WHITE ? ep - 8 : ep + 8;
    if (p.piece[pawn] != PAWN || p.color[pawn] != 1 - p.side) return NO_SQUARE;
    if (p.piece[ep] != EMPTY || p.piece[origin] != EMPTY) return NO_SQUARE;
    return ep;
}

}  // namespace

bool setup_position(Position& pos, const char* text) {
    if (text == nullptr) return false;
    board_detail::ensure_hash_keys();
    // The variant may have been written as text: read it again.
    {
        char name[VARIANT_TEXT_SIZE];
        std::memcpy(name, Variant, sizeof name);
        name[VARIANT_TEXT_SIZE - 1] = '\0';
        set_variant(name);
    }

    // Everything is built in a local copy of the board; the position changes only once the text
    // is accepted. The copy keeps `side` when the text names none, and `ply`, which setup does
    // not touch. The history below the board is not needed: the new position has none.
    Position p;
    std::memcpy(static_cast<void*>(&p), &pos, POSITION_BOARD_BYTES);

    // 1. Empty counters, and castling masks that clear nothing.
    for (auto& counts : p.piece_count)
        for (int& n : counts) n = 0;
    for (int& m : p.castle_mask) m = CASTLE_ALL;
    p.king_square[WHITE] = p.king_square[BLACK] = NO_SQUARE;

    // 2. The board, then the men a game can have: one king a side, no pawn on the first or last
    // rank, at most sixteen men (more would also overrun a move list).
    const char* rest = read_placement(p, text);
    if (rest == nullptr) return false;
    int kings[2] = {0, 0};
    for (int s = 0; s < 64; ++s) {
        if (p.piece[s] == KING) ++kings[p.color[s]];
        if (p.piece[s] == PAWN && (s < 8 || s >= 56)) return false;
    }
    if (kings[WHITE] != 1 || kings[BLACK] != 1) return false;
    for (int c = BLACK; c <= WHITE; ++c) {
        int count = 1;
        for (int t = PAWN; t <= QUEEN; ++t) count += p.piece_count[c][t];
        if (count > 16 || p.piece_count[c][PAWN] > 8) return false;
    }
    board_detail::set_bitboards(p);

    // 3. The side to move; any other character leaves it as it was. The side that is not to move
    // may not be in check: its king could be taken.
    rest = skip_blanks(rest);
    if (*rest == 'w') p.side = WHITE;
    else if (*rest == 'b') p.side = BLACK;
    if (*rest != '\0') ++rest;
    if (p.side != WHITE && p.side != BLACK) p.side = WHITE;
    if (square_attacked(p, p.king_square[1 - p.side], 1 - p.side)) return false;

    // 4. Castling rights and their rooks, then the ones that cannot be.
    rest = read_castling(p, rest);
    drop_impossible_rights(p);

    // 5. Castling masks: a king's square clears both its rights, a rook's square its own. Where
    // squares coincide the later value stands.
    p.castle_mask[p.king_square[WHITE]] = CASTLE_ALL & ~CASTLE_WHITE;
    p.castle_mask[p.king_square[BLACK]] = CASTLE_ALL & ~CASTLE_BLACK;
    constexpr int mask_order[4] = {1, 0, 3, 2};  // white long, white short, black long, black short
    for (int right : mask_order)
        if (p.castle & right_bit[right]) p.castle_mask[p.castle_rook[right]] = CASTLE_ALL & ~right_bit[right];

    // 6. En passant.
    p.ep = read_ep(p, rest);

    // 7. Material and counters.
    for (int c = BLACK; c <= WHITE; ++c) {
        p.piece_material[c] = piece_value[KNIGHT] * p.piece_count[c][KNIGHT] +
                              piece_value[BISHOP] * p.piece_count[c][BISHOP] +
                              piece_value[ROOK] * p.piece_count[c][ROOK] +
                              piece_value[QUEEN] * p.piece_count[c][QUEEN];
        p.pawn_material[c] = piece_value[PAWN] * p.piece_count[c][PAWN];
    }
    p.fifty = 0;
    p.game_ply = 0;

    // 8. The key, then the commit: from here on nothing can refuse.
    p.hash_key = board_detail::key_of(p);
    std::memcpy(static_cast<void*>(&pos), &p, POSITION_BOARD_BYTES);
    return true;
}
