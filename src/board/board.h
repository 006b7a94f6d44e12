// The one game position and the rules of chess on it: types, constants and every board function.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// Square: 0 = a8 .. 7 = h8, 56 = a1 .. 63 = h1; file = s & 7, row = s >> 3 (row 0 is rank 8).
// clang-format off
enum Square {
    A8, B8, C8, D8, E8, F8, G8, H8,
    A7, B7, C7, D7, E7, F7, G7, H7,
    A6, B6, C6, D6, E6, F6, G6, H6,
    A5, B5, C5, D5, E5, F5, G5, H5,
    A4, B4, C4, D4, E4, F4, G4, H4,
    A3, B3, C3, D3, E3, F3, G3, H3,
    A2, B2, C2, D2, E2, F2, G2, H2,
    A1, B1, C1, D1, E1, F1, G1, H1,
};
// clang-format on
enum PieceType { PAWN = 0, KNIGHT = 1, BISHOP = 2, ROOK = 3, QUEEN = 4, KING = 5, EMPTY = 6 };
enum Color { BLACK = 0, WHITE = 1 };  // EMPTY (6) marks a square without colour

enum MoveType {
    MOVE_NONE = 0,
    MOVE_NORMAL = 1,
    MOVE_CASTLE = 2,
    MOVE_EN_PASSANT = 3,
    MOVE_DOUBLE_PUSH = 4,
    MOVE_PROMOTE_QUEEN = 5,
    MOVE_PROMOTE_ROOK = 6,
    MOVE_PROMOTE_BISHOP = 7,
    MOVE_PROMOTE_KNIGHT = 8,
};

enum CastleRight {
    CASTLE_WHITE_SHORT = 1,
    CASTLE_WHITE_LONG = 2,
    CASTLE_BLACK_SHORT = 4,
    CASTLE_BLACK_LONG = 8,
};
constexpr int CASTLE_WHITE = CASTLE_WHITE_SHORT | CASTLE_WHITE_LONG;
constexpr int CASTLE_BLACK = CASTLE_BLACK_SHORT | CASTLE_BLACK_LONG;
constexpr int CASTLE_ALL = CASTLE_WHITE | CASTLE_BLACK;  // also the mask of a square no right depends on

// Variants whose rules the board knows; anything else behaves like VARIANT_OTHER.
enum VariantKind { VARIANT_NORMAL, VARIANT_FISCHERANDOM, VARIANT_OTHER };

constexpr int NO_SQUARE = -1;
constexpr int MAX_MOVES = 256;
constexpr int MAX_GAME_PLY = 4096;
constexpr int MAX_PLY = 100;  // deepest line below a search root: per-ply tables have this many rows
constexpr int FIFTY_MOVE_PLIES = 100;  // half-moves without a capture or pawn move that draw
constexpr int VARIANT_TEXT_SIZE = 256;
constexpr const char* START_POSITION = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNRwKQkq-";

constexpr bool on_board(int square) { return square >= 0 && square < 64; }
constexpr bool on_board(int row, int file) { return row >= 0 && row < 8 && file >= 0 && file < 8; }

struct Move {
    int from;
    int to;
    int type;   // a MoveType
    int score;  // ordering score from the generator
};

constexpr Move NO_MOVE = {0, 0, 0, 0};

using MoveList = Move[MAX_MOVES];

struct HistoryEntry {
    int from, to, type, score;  // the move made (NO_MOVE for a null move)
    int captured;               // PieceType taken on `to`, EMPTY otherwise
    int castle;                 // state before the move
    int ep;
    int fifty;
    uint64_t hash_key;
};

// Where a man other than the king must land to answer a check, remembered for the last position
// asked about (see make_move.cpp). Each position has its own: a memo shared between two searches
// would answer one search's question with the other's board.
struct EvasionMemo {
    uint64_t key = 0;
    int king = NO_SQUARE;
    int side = EMPTY;
    uint64_t targets = 0;
};

// A position and the moves that led to it. The board functions take the position they work on:
// the game has one, and every search thread its own copy.
struct Position {
    int piece[64];           // PieceType per square, EMPTY where empty
    int color[64];           // Color per square, EMPTY exactly where piece is EMPTY
    int side;                // side to move
    int king_square[2];      // by Color
    int piece_count[2][5];   // by Color, then PAWN..QUEEN
    int piece_material[2];   // knights, bishops, rooks and queens, by Color
    int pawn_material[2];    // 100 per pawn, by Color
    int castle;              // CastleRight bit set
    int castle_rook[4];      // rook start squares: white short, white long, black short, black long
    int castle_mask[64];     // castle &= castle_mask[from] & castle_mask[to] after ordinary moves
    int ep;                  // en-passant target square or NO_SQUARE
    int fifty;               // half-moves since the last capture or pawn move
    int ply;                 // distance from the search root
    int game_ply;            // entries on history
    uint64_t hash_key;       // Zobrist key
    // The same board as bit sets, bit s for square s, kept beside the mailbox so that loops over
    // men and attack tests touch only occupied squares.
    uint64_t occupied[2];    // by Color
    uint64_t men[2][6];      // by Color, then PAWN..KING
    // Below the board: what the moves left behind. Compare two boards up to here (BOARD_BYTES).
    HistoryEntry history[MAX_GAME_PLY];  // the game's moves, the search's included, for unmake and repetitions
    mutable EvasionMemo evasion;         // a cache of make_move and is_legal, not part of the state
};
// The bytes of a Position that make up the board and its counters, history and caches left out.
constexpr size_t POSITION_BOARD_BYTES = offsetof(Position, history);

// What the generator scores quiet moves by: killer moves per ply (compared by from and to) and
// history counters by from and to. The search owns and updates it; the generator only reads it.
struct OrderingMemory {
    Move killer1[MAX_PLY];
    Move killer2[MAX_PLY];
    Move mate_killer[MAX_PLY];
    int history[64][64];
    int history_max;  // the largest counter, for the search's reduction rule
};

// --- Globals ---------------------------------------------------------------------------------
extern Position game;  // the game the drivers play; a search works on its own copy
extern char Variant[VARIANT_TEXT_SIZE];  // "normal", "nocastle", "fischerandom" or any word
extern int variant_kind;                  // VariantKind derived from Variant

extern uint64_t zobrist_piece[768];  // index (color * 6 + piece) * 64 + square
extern uint64_t zobrist_side[2];
extern uint64_t zobrist_ep[64];
extern uint64_t zobrist_castle[16];

extern const int piece_value[7];       // by PieceType, EMPTY 0
extern const std::array<std::array<int, 64>, 64> distance;  // king-move distance
extern const int flip[64];             // vertical mirror
extern const int square_colour[64];    // 1 on dark squares, a1 among them

// --- Keys ------------------------------------------------------------------------------------
void     init_hash_keys();            // fill the Zobrist tables from the fixed generator
uint32_t random32();                  // the lagged-Fibonacci generator behind the keys
uint64_t compute_hash_key(const Position& pos);          // key of pos from scratch
inline uint64_t piece_key(int colour, int type, int s) {  // a man of colour and type on square s
    return zobrist_piece[(colour * 6 + type) * 64 + s];
}

// --- Setup -----------------------------------------------------------------------------------
void set_variant(const char* name);     // store Variant and variant_kind
bool setup_position(Position& pos, const char* text);  // compact FEN; false = refused, pos untouched. Sets up the
                                        // position only: what a new game resets is the caller's

// --- Moves -----------------------------------------------------------------------------------
// The generators score quiet moves by `ordering` at pos.ply; without it they score them 0, which
// changes no move and no order of the list.
constexpr int SCORE_BAD_CAPTURE_MARK = -1;  // gen_captures' score for a losing capture
int  generate_moves(const Position& pos, Move* list, const OrderingMemory* ordering = nullptr);  // all pseudo-legal moves
int  gen_captures(const Position& pos, Move* list);        // captures and queen promotions for quiescence
int  is_bad_capture(const Position& pos, int from, int to);
void add_move(const Position& pos, int from, int to, int type, Move* list, int* count,  // score as the generator does,
              const OrderingMemory* ordering = nullptr);          // append, ++*count
int  make_move(Position& pos, Move m);               // 1 made, 0 refused (pos unchanged)
int  is_legal(Position& pos, Move m);                // 1 when make_move would admit m; pos unchanged
void unmake_move(Position& pos);
void make_null_move(Position& pos);                // the side to move passes; unmake_move takes it back
int  count_legal_moves(Position& pos);             // what generate_moves lists and make_move admits, counted
Move first_legal_move(Position& pos);              // in generation order; NO_MOVE when there is none
Move find_legal_move(Position& pos, int from, int to, int type);  // the generated move of these squares and kind if legal; else NO_MOVE
bool has_legal_move(Position& pos);
int  repetition_count(const Position& pos, int enough);    // earlier occurrences of pos since the last irreversible
                                      // move; the scan stops once `enough` are found
bool gives_check(Position& pos, Move m);             // whether the move, once made, leaves the opponent in
                                      // check; either answer for a move make_move would refuse
uint64_t key_after(Position& pos, Move m);           // pos.hash_key once the move is made; any key for a move
                                      // make_move would refuse
uint64_t key_after_null_move(const Position& pos);       // pos.hash_key once make_null_move has passed

// --- Move text -------------------------------------------------------------------------------
// How a move is written: the xboard move lines ("e7e8q", "e2e4 " with a blank for no
// promotion) or thinking lines ("e7e8=q", "e2e4"), where castling in fischerandom is O-O or
// O-O-O; or UCI's long algebraic ("e7e8q", "e2e4"), where it is the king taking its own rook.
enum MoveNotation { NOTATION_MOVE_LINE, NOTATION_THINKING, NOTATION_UCI };
constexpr int MOVE_TEXT_SIZE = 8;

void format_move(const Position& pos, char* text, Move m, MoveNotation notation);  // text of MOVE_TEXT_SIZE at least
char promotion_letter(int type);                    // q, r, b, n, or a blank for other kinds
bool is_square_text(const char* text);              // a file letter a..h, then a rank digit 1..8
int  square_from_text(const char* text);            // "a8" = 0 .. "h1" = 63; checked by the caller
int  move_type_from_text(const Position& pos, int from, int to, const char* text);  // the kind a coordinate move has
                                                               // here; 0 for an ordinary one

// --- Attacks ---------------------------------------------------------------------------------
int is_attacked(const Position& pos, int square, int defender);  // attacked by colour 1 - defender
int in_check(const Position& pos, int colour);
int attacked_by_non_king(const Position& pos, int square, int defender);  // is_attacked with the attacker's king left out

// --- Bitboards --------------------------------------------------------------------------------
constexpr uint64_t FILE_A_SQUARES = 0x0101010101010101ull;  // shifted left by f: the squares of file f
constexpr uint64_t FILE_H_SQUARES = FILE_A_SQUARES << 7;
uint64_t knight_attacks(int square);                     // squares a knight on square reaches
uint64_t king_attacks(int square);                       // squares a king on square reaches
uint64_t pawn_attacks(uint64_t pawns, int colour);       // squares those pawns of colour capture on
uint64_t bishop_attacks(int square, uint64_t occupied);  // up to and including the first man
uint64_t rook_attacks(int square, uint64_t occupied);    // on each line
inline uint64_t all_men(const Position& p) { return p.occupied[WHITE] | p.occupied[BLACK]; }
// Squares in a set. Written out because the default build targets processors without a count
// instruction, where the library's call would cost more than these few steps.
inline int square_count(uint64_t b) {
    b -= (b >> 1) & 0x5555555555555555ull;
    b = (b & 0x3333333333333333ull) + ((b >> 2) & 0x3333333333333333ull);
    b = (b + (b >> 4)) & 0x0F0F0F0F0F0F0F0Full;
    return static_cast<int>((b * 0x0101010101010101ull) >> 56);
}

// --- Checks ----------------------------------------------------------------------------------
bool position_is_ok(const Position& pos);  // re-derives keys, counts, material and king squares from the board
