// Moves in algebraic notation, found among the legal moves of the engine's board and played there.
#include <cstring>

#include "board/geometry.h"
#include "book/book.h"

using namespace board_detail;

namespace {

constexpr int ANY = -1;

// What a move word says: the man, what is known of its square, where it goes, and how.
struct SanWord {
    int piece = PAWN;     // ANY: coordinates, whatever stands on the from square
    int from_file = ANY;  // 0 = a
    int from_rank = ANY;  // row as in Square: 0 = rank 8
    int to = NO_SQUARE;
    int promotion = 0;    // a MoveType, 0 for none
    int castle_file = ANY;  // the king's destination file of O-O (6) or O-O-O (2)
};

int piece_of_letter(char c) {
    switch (c) {
        case 'P': return PAWN;
        case 'N': return KNIGHT;
        case 'B': return BISHOP;
        case 'R': return ROOK;
        case 'Q': return QUEEN;
        case 'K': return KING;
        default: return EMPTY;
    }
}

int promotion_of_letter(char c) {
    switch (c | 0x20) {
        case 'q': return MOVE_PROMOTE_QUEEN;
        case 'r': return MOVE_PROMOTE_ROOK;
        case 'b': return MOVE_PROMOTE_BISHOP;
        case 'n': return MOVE_PROMOTE_KNIGHT;
        default: return 0;
    }
}

bool is_file(char c) { return c >= 'a' && c <= 'h'; }
bool is_rank(char c) { return c >= '1' && c <= '8'; }

// Reads "Nbd7", "R1e2", "Qh4xe1", "exd5", "e8=Q", "e8Q", "O-O", "0-0-0", "Ng1-f3", "e7e8q", each
// with any check, mate or annotation marks after it.
bool read_san(const char* word, SanWord* san) {
    char text[PGN_WORD_SIZE];
    int length = int(std::strlen(word));
    if (length >= PGN_WORD_SIZE) return false;
    std::memcpy(text, word, size_t(length) + 1);
    while (length > 0 && (text[length - 1] == '+' || text[length - 1] == '#' || text[length - 1] == '!' ||
                          text[length - 1] == '?'))
        length--;
    text[length] = '\0';

    if (text[0] == 'O' || text[0] == '0') {
        if (std::strcmp(text, "O-O") == 0 || std::strcmp(text, "0-0") == 0) san->castle_file = 6;
        if (std::strcmp(text, "O-O-O") == 0 || std::strcmp(text, "0-0-0") == 0) san->castle_file = 2;
        return san->castle_file != ANY;
    }

    if (length >= 3 && promotion_of_letter(text[length - 1]) &&
        (text[length - 2] == '=' || is_rank(text[length - 2]))) {
        san->promotion = promotion_of_letter(text[length - 1]);
        length -= text[length - 2] == '=' ? 2 : 1;
    }
    if (length < 2 || !is_square_text(text + length - 2)) return false;
    san->to = square_from_text(text + length - 2);
    length -= 2;

    int i = 0;
    if (i < length && piece_of_letter(text[i]) != EMPTY) san->piece = piece_of_letter(text[i++]);
    else if (length >= 2 && is_file(text[0]) && is_rank(text[1])) san->piece = ANY;
    if (i < length && is_file(text[i])) san->from_file = text[i++] - 'a';
    if (i < length && is_rank(text[i])) san->from_rank = '8' - text[i++];
    bool capture = i < length && text[i] == 'x';
    if (i < length && (capture || text[i] == '-' || text[i] == ':')) i++;
    if (i != length) return false;

    // A pawn stays on its file unless it captures, and then the file it came from is named.
    if (san->piece == PAWN && san->from_file == ANY) {
        if (capture) return false;
        san->from_file = san->to & 7;
    }
    return true;
}

bool is_man(int square, int piece, int colour) { return game.piece[square] == piece && game.color[square] == colour; }

void add(Move* list, int* n, int from, int to, int type) { list[(*n)++] = Move{from, to, type, 0}; }

// A pawn's move onto the last row is one of four promotions.
void add_pawn_move(Move* list, int* n, int from, int to, int type) {
    if (to >= 8 && to < 56) {
        add(list, n, from, to, type);
        return;
    }
    for (int promotion = MOVE_PROMOTE_QUEEN; promotion <= MOVE_PROMOTE_KNIGHT; promotion++) add(list, n, from, to, promotion);
}

// The moves of the side to move that bring a man the word allows to its square by the rules of
// movement, as the generator would list them; whether they leave the king in check is for
// make_move. Looking back from the one target square costs a fraction of a full generation,
// which matters when every move of a large collection is read.
int moves_to(const SanWord& san, Move* list) {
    const Position& p = game;
    const int me = p.side;
    int n = 0;
    // Castling by the rights alone, as the generator lists it; make_move checks the path.
    static const int castle_right[2][2] = {{CASTLE_BLACK_LONG, CASTLE_BLACK_SHORT}, {CASTLE_WHITE_LONG, CASTLE_WHITE_SHORT}};
    const int home = me == WHITE ? 56 : 0;
    for (int wing = 0; wing < 2; wing++) {
        const int king_to = home + (wing ? 6 : 2);
        const bool asked = san.castle_file != ANY ? san.castle_file == (king_to & 7) : san.piece == ANY && san.to == king_to;
        if (asked && (p.castle & castle_right[me][wing])) add(list, &n, p.king_square[me], king_to, MOVE_CASTLE);
    }
    if (san.castle_file != ANY) return n;

    const int to = san.to;
    if (p.color[to] == me) return n;
    const bool any = san.piece == ANY;
    if (any || san.piece == PAWN) {
        const int back = me == WHITE ? 8 : -8;  // from the target toward the pawn's side
        const int from = to + back;
        if (p.color[to] == EMPTY && from >= 0 && from < 64) {
            if (is_man(from, PAWN, me))
                add_pawn_move(list, &n, from, to, MOVE_NORMAL);
            else if (p.color[from] == EMPTY && row_of(to) == (me == WHITE ? 4 : 3) && is_man(from + back, PAWN, me))
                add(list, &n, from + back, to, MOVE_DOUBLE_PUSH);
        }
        if ((p.color[to] == 1 - me || to == p.ep) && from >= 0 && from < 64) {
            const int type = to == p.ep ? MOVE_EN_PASSANT : MOVE_NORMAL;
            if (file_of(to) > 0 && is_man(from - 1, PAWN, me)) add_pawn_move(list, &n, from - 1, to, type);
            if (file_of(to) < 7 && is_man(from + 1, PAWN, me)) add_pawn_move(list, &n, from + 1, to, type);
        }
    }
    if (any || san.piece == KNIGHT) {
        const TargetList& from = knight_targets[to];
        for (int i = 0; i < from.n; i++)
            if (is_man(from.square[i], KNIGHT, me)) add(list, &n, from.square[i], to, MOVE_NORMAL);
    }
    if (any || san.piece == KING) {
        const TargetList& from = king_targets[to];
        for (int i = 0; i < from.n; i++)
            if (is_man(from.square[i], KING, me)) add(list, &n, from.square[i], to, MOVE_NORMAL);
    }
    // Sliders: along each line from the target, the first man met.
    for (int d = RAY_UP_LEFT; d <= RAY_DOWN; d++) {
        const int slider = d < RAY_LEFT ? BISHOP : ROOK;
        if (!any && san.piece != slider && san.piece != QUEEN) continue;
        int s = to;
        for (int i = ray_length[to][d]; i > 0; i--) {
            s += ray_step[d];
            if (p.color[s] == EMPTY) continue;
            if (p.color[s] == me && (p.piece[s] == QUEEN ? any || san.piece == QUEEN : p.piece[s] == slider && (any || san.piece == slider)))
                add(list, &n, s, to, MOVE_NORMAL);
            break;
        }
    }
    return n;
}

bool matches(const SanWord& san, const Move& m) {
    if (san.from_file != ANY && (m.from & 7) != san.from_file) return false;
    if (san.from_rank != ANY && (m.from >> 3) != san.from_rank) return false;
    if (m.type >= MOVE_PROMOTE_QUEEN) return m.type == san.promotion;
    return san.promotion == 0;
}

}  // namespace

int play_san_move(const char* word, Move* move) {
    SanWord san;
    if (!read_san(word, &san)) return SAN_UNREADABLE;

    MoveList list;
    int n = moves_to(san, list);
    int found[MAX_MOVES], count = 0;
    for (int i = 0; i < n; i++)
        if (matches(san, list[i])) found[count++] = i;

    // One candidate is the common case: playing it is the legality test.
    if (count == 1) {
        if (!make_move(game, list[found[0]])) return SAN_ILLEGAL;
        *move = list[found[0]];
        return SAN_OK;
    }
    int legal = -1;
    for (int k = 0; k < count; k++) {
        if (!make_move(game, list[found[k]])) continue;
        unmake_move(game);
        if (legal >= 0) return SAN_AMBIGUOUS;
        legal = found[k];
    }
    if (legal < 0) return SAN_ILLEGAL;
    make_move(game, list[legal]);
    *move = list[legal];
    return SAN_OK;
}
