// Book probing: the BookBoard and its key, the walk over the book lines, the weighted choice.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "book/book.h"

int book_misses;
int book_board[BOOK_BOARD_SIZE];
BookKey book_key;
int (*book_draw)() = std::rand;

// by candidate index; the first found weighs most
const int book_weight[BOOK_WEIGHTS] = {8, 4, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};

static const char book_piece_letters[] = "PNBRQKpnbrqk";  // BookPiece codes from 2 on

// The orthodox start: one column of ten cells per file, a to h; in each column the border,
// ranks 1 to 8, the border. White's pieces on ranks 1 and 2, Black's on 7 and 8.
const int book_start_board[BOOK_BOARD_SIZE] = {
    0, 5, 2, 1, 1, 1, 1,  8, 11, 0,  // a
    0, 3, 2, 1, 1, 1, 1,  8,  9, 0,  // b
    0, 4, 2, 1, 1, 1, 1,  8, 10, 0,  // c
    0, 6, 2, 1, 1, 1, 1,  8, 12, 0,  // d
    0, 7, 2, 1, 1, 1, 1,  8, 13, 0,  // e
    0, 4, 2, 1, 1, 1, 1,  8, 10, 0,  // f
    0, 3, 2, 1, 1, 1, 1,  8,  9, 0,  // g
    0, 5, 2, 1, 1, 1, 1,  8, 11, 0,  // h
};

static bool is_border(int cell) { return cell % 10 == 0 || cell % 10 == 9; }

static void toggle(int piece, int cell) {
    book_key.a ^= book_random1[piece * 80 + cell];
    book_key.b ^= book_random2[piece * 80 + cell];
}

BookKey compute_book_key() {
    BookKey key = {0, 0};
    for (int cell = 1; cell <= 78; cell++) {
        int piece = book_board[cell];
        if (piece < BOOK_WHITE_PAWN) continue;
        key.a ^= book_random1[piece * 80 + cell];
        key.b ^= book_random2[piece * 80 + cell];
    }
    return key;
}

static void set_start_board() {
    std::memcpy(book_board, book_start_board, sizeof book_board);
    book_key = {BOOK_START_KEY_A, BOOK_START_KEY_B};
}

void book_make_move(int from_cell, int to_cell) {
    // The book is trusted to name sensible moves, but its cells still have to exist.
    if (from_cell < 0 || from_cell >= BOOK_BOARD_SIZE || to_cell < 0 || to_cell >= BOOK_BOARD_SIZE)
        return;
    int piece = book_board[from_cell];
    int captured = book_board[to_cell];

    // The move itself, kept in the key step by step.
    toggle(piece, from_cell);
    toggle(piece, to_cell);
    book_board[to_cell] = piece;
    book_board[from_cell] = BOOK_EMPTY;
    if (captured != BOOK_EMPTY) toggle(captured, to_cell);

    // Castling: a king two files sideways brings its rook along. A hostile record may ask
    // this next to the board's edge, where there is no rook cell: then the king alone moves.
    if (piece == BOOK_WHITE_KING || piece == BOOK_BLACK_KING) {
        if (to_cell - from_cell == 20 && to_cell + 10 < BOOK_BOARD_SIZE) {
            book_board[to_cell + 10] = BOOK_EMPTY;
            book_board[to_cell - 10] = piece - 2;
            book_key = compute_book_key();
        } else if (from_cell - to_cell == 20 && to_cell - 20 >= 0) {
            book_board[to_cell - 20] = BOOK_EMPTY;
            book_board[to_cell + 10] = piece - 2;
            book_key = compute_book_key();
        }
    }

    // En passant: a pawn that went sideways onto an empty cell took the pawn beside it.
    int step = to_cell - from_cell;
    if (piece == BOOK_WHITE_PAWN && captured == BOOK_EMPTY && step != 1 && step != 2 &&
        !is_border(to_cell - 1)) {
        book_board[to_cell - 1] = BOOK_EMPTY;
        book_key = compute_book_key();
    }
    if (piece == BOOK_BLACK_PAWN && captured == BOOK_EMPTY && step != -1 && step != -2 &&
        !is_border(to_cell + 1)) {
        book_board[to_cell + 1] = BOOK_EMPTY;
        book_key = compute_book_key();
    }
}

void book_position_text(char* text) {
    static const char letters[2][7] = {"pnbrqk", "PNBRQK"};  // by Color, then PieceType
    int length = 0;
    for (int row = 0; row < 8; row++) {
        int empty = 0;
        for (int file = 0; file < 8; file++) {
            int square = row * 8 + file;
            int piece = game.piece[square];
            if (piece < PAWN || piece > KING) {
                empty++;
                continue;
            }
            if (empty) text[length++] = char('0' + empty);
            empty = 0;
            text[length++] = letters[game.color[square] == WHITE][piece];
        }
        if (empty) text[length++] = char('0' + empty);
        if (row < 7) text[length++] = '/';
    }
    std::strcpy(text + length, game.side == WHITE ? " w " : " b ");
}

// Reads a position text onto book_board; the BookBoard side (0 White, 1 Black) or -1.
static int read_book_position(const char* text) {
    for (int cell = 0; cell < BOOK_BOARD_SIZE; cell++)
        book_board[cell] = is_border(cell) ? BOOK_BORDER : BOOK_EMPTY;
    int q = 0;
    const char* c = text;
    while (q < 64) {
        if (*c == '/') {
        } else if (*c >= '0' && *c <= '9') {
            q += *c - '0';
        } else if (*c && std::strchr(book_piece_letters, *c)) {
            book_board[book_cell_of_square(q)] = int(std::strchr(book_piece_letters, *c) -
                                                      book_piece_letters) + BOOK_WHITE_PAWN;
            q++;
        } else {
            return -1;
        }
        c++;
    }
    if (c[0] != ' ') return -1;
    if (c[1] == 'w') return 0;
    if (c[1] == 'b') return 1;
    return -1;
}

struct Candidates {
    int count;
    int from_cell[BOOK_MAX_CANDIDATES];
    int to_cell[BOOK_MAX_CANDIDATES];
};

// A playable move at a ply of the right colour becomes a candidate unless already found.
// Beyond the array's room further candidates are dropped: they would weigh nothing anyway.
static void examine(unsigned char from_byte, unsigned char to_byte, int ply, int side,
                    Candidates* found) {
    if (to_byte < BOOK_PLAYABLE || ply % 2 != side) return;
    int from_cell = book_cell_of_book_square(from_byte & BOOK_SQUARE_MASK);
    int to_cell = book_cell_of_book_square(to_byte & BOOK_SQUARE_MASK);
    for (int i = 0; i < found->count; i++)
        if (found->from_cell[i] == from_cell && found->to_cell[i] == to_cell) return;
    if (found->count == BOOK_MAX_CANDIDATES) return;
    found->from_cell[found->count] = from_cell;
    found->to_cell[found->count] = to_cell;
    found->count++;
}

bool walk_book_lines(const unsigned char* book, size_t size, bool tournament, BookLineVisitor visit,
                     void* context) {
    unsigned char line_from[BOOK_LINE_SIZE];
    unsigned char line_to[BOOK_LINE_SIZE];
    int n = 0;
    for (size_t offset = 0; offset + 1 < size; offset += 2) {
        unsigned char b0 = book[offset];
        unsigned char b1 = book[offset + 1];

        // End test; the tournament book's marker may also stand one byte off.
        if (b0 == BOOK_END_BYTE && b1 == BOOK_END_BYTE) return true;
        if (tournament && offset + 2 < size && b1 == BOOK_END_BYTE &&
            book[offset + 2] == BOOK_END_BYTE)
            return true;

        // A line deeper than the line array means a damaged book: the rest is unusable.
        if (n >= BOOK_LINE_SIZE) return false;
        line_from[n] = b0;
        line_to[n] = b1;
        if (b0 < BOOK_END_OF_LINE) {
            n++;
            continue;
        }
        visit(line_from, line_to, n, context);

        // Where the next record goes: an alternative to this move, or, after the last
        // alternative, to the deepest earlier move that still has alternatives to come.
        if (b0 < BOOK_END_OF_LINE + BOOK_LAST_ALTERNATIVE) continue;
        n--;
        while (n >= 0 && line_from[n] >= BOOK_LAST_ALTERNATIVE) n--;
        if (n < 0) n = 0;
    }
    return false;
}

namespace {

struct BookSearch {
    BookKey target;
    int side;
    Candidates* found;
};

// Replays one closed line from the start, matching the key before every half-move.
void look_in_line(const unsigned char* from, const unsigned char* to, int last, void* context) {
    const BookSearch* search = static_cast<const BookSearch*>(context);
    set_start_board();
    for (int j = 0; j <= last; j++) {
        if (book_key.a == search->target.a && book_key.b == search->target.b) {
            examine(from[j], to[j], j, search->side, search->found);
            return;
        }
        book_make_move(book_cell_of_book_square(from[j] & BOOK_SQUARE_MASK),
                       book_cell_of_book_square(to[j] & BOOK_SQUARE_MASK));
    }
}

}  // namespace

static void scan_book(const unsigned char* book, size_t size, bool tournament, BookKey target,
                      int side, Candidates* found) {
    BookSearch search = {target, side, found};
    walk_book_lines(book, size, tournament, look_in_line, &search);
}

int book_choose(int count, int r) {
    if (count <= 0) return -1;
    r %= 64;
    for (int i = 0;; i = (i + 1) % count) {
        r -= i < BOOK_WEIGHTS ? book_weight[i] : 0;
        if (r <= 0) return i;
    }
}

static void write_square_text(char* text, int cell) {
    text[0] = char('a' + cell / 10);
    text[1] = char('0' + cell % 10);
    text[2] = '\0';
}

int probe_book_with_draw(const char* text, int r, BookProbe* result) {
    result->from_text[0] = '\0';
    result->to_text[0] = '\0';
    result->count = 0;

    int side = read_book_position(text);
    if (side < 0) return 3;
    BookKey target = compute_book_key();

    Candidates found;
    found.count = 0;
    if (tour_book) scan_book(tour_book, tour_book_size, true, target, side, &found);
    if (found.count == 0 && main_book)
        scan_book(main_book, main_book_size, false, target, side, &found);
    if (found.count == 0) return 0;

    for (int i = 0; i < found.count; i++) {
        result->from_file[i] = char('a' + found.from_cell[i] / 10);
        result->from_rank[i] = char('0' + found.from_cell[i] % 10);
        result->to_file[i] = char('a' + found.to_cell[i] / 10);
        result->to_rank[i] = char('0' + found.to_cell[i] % 10);
    }
    int chosen = book_choose(found.count, r);
    write_square_text(result->from_text, found.from_cell[chosen]);
    write_square_text(result->to_text, found.to_cell[chosen]);
    result->count = found.count;
    return 0;
}

int probe_book(const char* text, BookProbe* result) {
    int r = book_draw() % 9999;
    if (r < 0) r = -r;  // a test's draw may be negative; the library's never is
    return probe_book_with_draw(text, r, result);
}

// The Rebel book's part of the book step.
static bool rebel_book_step(Move* move) {
    if (std::strcmp(Variant, "normal") != 0 || !book_loaded ||
        book_misses >= BOOK_MAX_MISSES || game.game_ply >= BOOK_MAX_GAME_PLY)
        return false;

    // 1. Ask the book about the current position.
    char text[BOOK_TEXT_SIZE];
    book_position_text(text);
    BookProbe probe;
    probe_book(text, &probe);

    // 2. Count the misses in a row.
    if (probe.count == 0)
        book_misses++;
    else
        book_misses = 0;

    // 3. The move text and the squares and kind it names.
    if (!probe.from_text[0]) return false;
    char move_text[8];
    std::snprintf(move_text, sizeof move_text, "%s%s", probe.from_text, probe.to_text);
    int from = square_from_text(probe.from_text);
    int to = square_from_text(probe.to_text);
    int type = move_type_from_text(game, from, to, move_text);
    if (type == 0) type = MOVE_NORMAL;

    // 4. Play it only as the generator knows it, and only if it is legal.
    const Move m = find_legal_move(game, from, to, type);
    if (m.from == 0 && m.to == 0) return false;
    *move = m;
    return true;
}

// The Rebel book first, as without a Polyglot book; then the Polyglot book, in normal chess only.
bool book_step(Move* move) {
    if (rebel_book_step(move)) return true;
    return std::strcmp(Variant, "normal") == 0 && polyglot_step(game, move);
}
