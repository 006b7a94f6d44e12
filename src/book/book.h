// Opening books: Rebel-format and Polyglot books, loading the files and choosing book moves.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <cstdio>

#include "board/board.h"

enum BookStatus { BOOK_OK = 0, BOOK_NO_TOURBOOK = 1, BOOK_NO_RANDOM = 2, BOOK_NO_MAINBOOK = 3, BOOK_ERROR = 4 };

extern int book_loaded;  // the book was loaded when xboard mode began
extern int book_misses;  // consecutive book steps without a candidate

int  load_book(const char* main_file, const char* tour_file);  // a BookStatus
bool load_random_tables();  // random1.bin and random2.bin from the working folder; false if either is missing
void free_book();
bool book_step(Move* move);  // the root search's book step; true with a legal move to play

// --- Files and tables ------------------------------------------------------------------------
constexpr int BOOK_RANDOM_SIZE = 1120;         // BookPiece x 80 + cell, pieces up to 13
constexpr uint32_t BOOK_START_KEY_A = 0x05035C45;  // key of the start array, fixed by the format
constexpr uint32_t BOOK_START_KEY_B = 0xF1B92B1F;
constexpr unsigned char BOOK_END_BYTE = 0xFF;  // two of them at a record's place end a book

// Record bits. From byte: origin square, last-alternative, end-of-line. To byte: target, playable.
constexpr int BOOK_SQUARE_MASK = 63;
constexpr int BOOK_LAST_ALTERNATIVE = 64;
constexpr int BOOK_END_OF_LINE = 128;
constexpr int BOOK_PLAYABLE = 64;

extern uint32_t book_random1[BOOK_RANDOM_SIZE];  // key_a entries, from random1.bin
extern uint32_t book_random2[BOOK_RANDOM_SIZE];  // key_b entries, from random2.bin
extern unsigned char* main_book;   // file bytes with the end marker; null when not loaded
extern size_t main_book_size;      // bytes in main_book, marker included
extern unsigned char* tour_book;   // file bytes with its last record replaced by the marker
extern size_t tour_book_size;

// --- Probing ---------------------------------------------------------------------------------
constexpr int BOOK_BOARD_SIZE = 80;      // 8 files of 10 cells, ranks 1..8 between two borders
constexpr int BOOK_LINE_SIZE = 200;      // deepest line a book may hold
constexpr int BOOK_MAX_CANDIDATES = 20;  // candidates kept per probe
constexpr int BOOK_WEIGHTS = 13;         // candidates from this index on weigh nothing
constexpr int BOOK_TEXT_SIZE = 80;       // room for book_position_text
constexpr int BOOK_MAX_MISSES = 3;       // misses in a row that switch the book off
constexpr int BOOK_MAX_GAME_PLY = 60;    // the book is asked only before this half-move

// BookPiece codes: border, empty, then "PNBRQKpnbrqk" from 2 on.
enum BookPiece { BOOK_BORDER = 0, BOOK_EMPTY = 1, BOOK_WHITE_PAWN = 2, BOOK_WHITE_KING = 7,
                 BOOK_BLACK_PAWN = 8, BOOK_BLACK_KING = 13 };

struct BookKey {
    uint32_t a;  // from book_random1
    uint32_t b;  // from book_random2
};

// What probe_book gives back: the chosen move as square texts ("" when none) and every candidate.
struct BookProbe {
    char from_text[3];
    char to_text[3];
    int count;
    char from_file[BOOK_MAX_CANDIDATES];
    char from_rank[BOOK_MAX_CANDIDATES];
    char to_file[BOOK_MAX_CANDIDATES];
    char to_rank[BOOK_MAX_CANDIDATES];
};

extern int book_board[BOOK_BOARD_SIZE];
extern BookKey book_key;
extern const int book_start_board[BOOK_BOARD_SIZE];
extern const int book_weight[BOOK_WEIGHTS];
extern int (*book_draw)();  // the random draw of probe_book; std::rand unless a test sets it

constexpr int book_cell_of_book_square(int s) { return (s & 7) * 10 + (s >> 3) + 1; }
constexpr int book_cell_of_square(int q) { return (q & 7) * 10 + 8 - (q >> 3); }

BookKey compute_book_key();                       // key of book_board from scratch
void book_make_move(int from_cell, int to_cell);  // plays on book_board, keeps book_key current
void book_position_text(char* text);              // placement of game and " w " / " b "
int  probe_book(const char* text, BookProbe* result);  // 0, or 3 when the text cannot be read
int  probe_book_with_draw(const char* text, int r, BookProbe* result);  // r in place of the draw
int  book_choose(int count, int r);               // index of the candidate that draw r picks

// --- Writing books (the book maker and the tests) -------------------------------------------
void make_random_tables(uint32_t seed, uint32_t* table1, uint32_t* table2);  // start key exact
bool write_random_files(const char* name1, const char* name2, uint32_t seed);
void set_book_start_position();  // the engine's board at the normal start, where book lines begin
void book_tree_clear();  // empty tree; sets up the start position to check lines on
bool book_tree_add_line(const char* text, char* message, size_t message_size);  // false: refused
int  book_tree_child(int parent, int from, int to, bool playable);  // node of parent's move, made when new
int  book_tree_records();                                       // records the tree will write
size_t book_tree_encode(unsigned char* out, size_t capacity);   // bytes needed, end record too
bool write_book_file(const char* file_name);
// Every closed line of a book, in order, as its records 0..last; true when the end marker was met,
// false at the buffer's end without one or at a line deeper than the line array.
using BookLineVisitor = void (*)(const unsigned char* from, const unsigned char* to, int last, void* context);
bool walk_book_lines(const unsigned char* book, size_t size, bool tournament, BookLineVisitor visit,
                     void* context);
bool print_book_lines(const unsigned char* book, size_t size);  // one text line per book line

// --- Reading game collections (PGN) ----------------------------------------------------------
constexpr int PGN_WORD_SIZE = 64;         // longer move words are cut, and then unreadable
constexpr int PGN_TAG_VALUE_SIZE = 128;   // longer tag values are cut
constexpr int PGN_BUFFER_SIZE = 1 << 16;  // bytes read from the file at a time

enum PgnResult { PGN_WHITE_WINS, PGN_BLACK_WINS, PGN_DRAW, PGN_UNKNOWN };

// The tags a book needs; the others are read and dropped.
struct PgnTags {
    char fen[PGN_TAG_VALUE_SIZE];      // empty when the game has no FEN tag
    char set_up[PGN_TAG_VALUE_SIZE];
    char variant[PGN_TAG_VALUE_SIZE];
    int white_elo;                     // 0 when missing or not a number
    int black_elo;
    int result;                        // PgnResult of the Result tag
};

// Streams PGN text one game at a time: its tag pairs, then the words of its main line. Comments,
// variations, move numbers, annotations, escape lines and a byte order mark are passed over.
class PgnReader {
public:
    PgnReader(std::FILE* file, const char* name);  // name is used in messages
    bool next_game(PgnTags* tags);                 // the rest of the current game is skipped; false at the end
    bool next_move(char* word, int* line);         // the next move word (PGN_WORD_SIZE); false at the game's end
    int  termination() const { return termination_; }  // PgnResult of the marker that ended the game
    bool read_failed() const { return read_failed_; }
    const char* name() const { return name_; }

private:
    int  fill();
    int  peek() { return next_ < length_ ? buffer_[next_] : fill(); }
    int  get();
    void skip_to_line_end();
    void skip_comment();
    void skip_variation();
    void read_tag(PgnTags* tags);
    int  read_word(char* word);  // returns its length

    std::FILE* file_;
    const char* name_;
    unsigned char buffer_[PGN_BUFFER_SIZE];
    size_t length_ = 0, next_ = 0;
    bool at_file_start_ = true;
    bool line_start_ = true;  // the next character opens a line: "%" there escapes the line
    int line_ = 1;
    bool in_game_ = false;    // moves of the current game may still follow
    int termination_ = PGN_UNKNOWN;
    bool read_failed_ = false;
};

// Algebraic notation on the engine's board in normal chess: SAN, long algebraic and coordinates.
enum SanStatus { SAN_OK, SAN_UNREADABLE, SAN_ILLEGAL, SAN_AMBIGUOUS };
int play_san_move(const char* word, Move* move);  // a SanStatus; SAN_OK: *move was made on game

// --- Books from game collections -------------------------------------------------------------
enum BookSides { BOOK_SIDES_WINNER, BOOK_SIDES_BOTH, BOOK_SIDES_WHITE, BOOK_SIDES_BLACK };

struct BookTallyOptions {
    int plies = 24;                 // half-moves kept from each game
    int sides = BOOK_SIDES_WINNER;  // whose moves count as recommended
    int min_elo = 0;                // both players rated at least this; 0: ratings not asked
    int min_count = 2;              // the count that makes a move playable; less is forgotten first
    size_t memory = size_t(256) << 20;  // bytes the tally may take before it forgets rare moves
};

struct BookTallyCounts {
    long games = 0;    // games read
    long used = 0;     // games whose moves entered the tally
    long skipped = 0;  // games left out whole: set-up start, variant, rating, no result, no move
    int forget_passes = 0;       // times the tally reached its memory and forgot rare moves
    uint32_t forgotten_at_most = 0;  // moves played up to this often when memory filled may be missing
};

// The tally counts, for every position of the kept plies, how often each move was played by a
// recommended side and what it scored. Positions are told apart as the probe tells them apart: by
// the placement and the side to move, so transpositions meet where the engine will see them meet.
// When it fills options.memory it forgets the moves played fewer than options.min_count times
// that lead to nothing kept, the deepest first until half is free, and more played ones only if
// all of those free less than half.
void book_tally_clear();
// The steps both tallies take with a game. Usable: a normal start, normal chess, both rated.
bool book_game_usable(const PgnTags& tags, int min_elo);
// Plays the game's moves from the start position, each checked; a bad one is reported on stderr
// and ends the checking. `keep` sees each of the first `plies` half-moves once it is played and
// returns false to see no more. The board is back at the start position afterwards.
void play_book_game(PgnReader* reader, int plies,
                    const std::function<bool(const Move& move, const char* word, int line)>& keep);
// Whose moves a game recommends under BookSides, and what a white move scored: 2 for a win, 1 for
// a draw or an unknown result, 0 for a loss (a black move scores 2 minus that).
struct BookGameScore {
    bool recommended[2];  // by Color
    int white_points;
};
BookGameScore score_book_game(const PgnReader& reader, const PgnTags& tags, int sides);
// Every game of the reader checked and counted; a fault is reported as FILE:LINE on standard error.
void book_tally_games(PgnReader* reader, const BookTallyOptions& options, BookTallyCounts* counts);
// Fills the book tree from the tally, most played moves first; a move played fewer than
// min_count times stays only where it leads to playable ones. Returns the positions with a
// playable move.
int  book_tally_to_tree(int min_count);

// --- Polyglot books --------------------------------------------------------------------------
// A Polyglot book is a file of 16-byte big-endian entries sorted by key: key, move, weight, learn.
// It is searched on disk, so a book of any size costs no memory. It is asked after the Rebel book,
// in normal chess only: its key has no room for Chess960 castling rights.
constexpr int POLYGLOT_ENTRY_BYTES = 16;
constexpr int POLYGLOT_RANDOM_SIZE = 781;   // 12 x 64 men, 4 castling rights, 8 files, the side
constexpr int POLYGLOT_MAX_ENTRIES = 256;   // entries of one key looked at: more than any position's moves
constexpr long POLYGLOT_FULL_CHECK_BYTES = 64L << 20;  // books up to this are checked whole at load

enum PolyglotStatus { POLYGLOT_OK, POLYGLOT_UNREADABLE, POLYGLOT_EMPTY, POLYGLOT_BAD_SIZE,
                      POLYGLOT_TRUNCATED, POLYGLOT_UNSORTED };

struct PolyglotEntry {
    uint64_t key;
    uint16_t move;    // to file, to row, from file, from row (3 bits each, row 0 = rank 1), promotion
    uint16_t weight;
    uint32_t learn;
};

// What open_polyglot_book found: the entries, or where the fault lies.
struct PolyglotOpening {
    int status;        // a PolyglotStatus
    long size;         // bytes of the file
    long entries;      // POLYGLOT_OK: entries in the book
    long bad_entry;    // POLYGLOT_TRUNCATED, POLYGLOT_UNSORTED: the first entry at fault
};

extern const uint64_t polyglot_random[POLYGLOT_RANDOM_SIZE];
extern bool polyglot_best_move;             // the heaviest move rather than a weighted draw
extern uint32_t (*polyglot_draw)();         // the weighted choice's draw; from std::rand unless a test sets it
extern const char* polyglot_message_prefix; // before a line printed while probing ("info string " in UCI)

uint64_t polyglot_key(const Position& p);
PolyglotOpening open_polyglot_book(const char* file_name);  // the book probed from now on
void close_polyglot_book();
bool polyglot_book_open();
// The entries of key in file order, at most capacity; -1 when the book turned out damaged (it is
// then closed, with a message).
int  polyglot_entries(uint64_t key, PolyglotEntry* out, int capacity);
// The engine's move for a book move, if it is legal in p.
bool polyglot_legal_move(Position& p, uint16_t book_move, Move* move);
// Index of the entry to play: the heaviest (first among equals) when best, else drawn in
// proportion to the weights; entries of weight 0 are never drawn. -1 when none can be.
int  polyglot_choose(const PolyglotEntry* entries, int count, bool best, uint32_t draw);
bool polyglot_step(Position& p, Move* move);  // the Polyglot part of the book step
uint16_t polyglot_move_code(Move m);                // a legal move of normal chess as the format stores it
void encode_polyglot_entry(const PolyglotEntry& entry, unsigned char* bytes);  // POLYGLOT_ENTRY_BYTES
PolyglotEntry decode_polyglot_entry(const unsigned char* bytes);

// Polyglot books from game collections: every kept move tallied by key and move, weighted as
// Polyglot's own maker weighs them (two for a win, one for a draw, from the mover's side), the
// moves played fewer than options.min_count times by a recommended side left out.
struct PolyglotWriteCounts {
    long entries = 0;   // written
    long positions = 0; // keys written
};
void polyglot_tally_clear();
void polyglot_tally_games(PgnReader* reader, const BookTallyOptions& options, BookTallyCounts* counts);
bool write_polyglot_book(const char* file_name, int min_count, PolyglotWriteCounts* counts);
