// The one game position and the rules of chess on it: types, constants and every board function.
#pragma once

#include <cstdint>

// Square: 0 = a8 .. 7 = h8, 56 = a1 .. 63 = h1; file = s & 7, row = s >> 3 (row 0 is rank 8).
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

// Variants whose rules the board knows; anything else behaves like VARIANT_OTHER.
enum VariantKind { VARIANT_NORMAL, VARIANT_FISCHERANDOM, VARIANT_OTHER };

constexpr int NO_SQUARE = -1;
constexpr int MAX_MOVES = 256;
constexpr int MAX_GAME_PLY = 4096;
constexpr int VARIANT_TEXT_SIZE = 256;

struct Move {
    int from;
    int to;
    int type;   // a MoveType
    int score;  // ordering score from the generator
};

constexpr Move NO_MOVE = {0, 0, 0, 0};

using MoveList = Move[MAX_MOVES];

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
    int game_ply;            // entries on game_history
    uint64_t hash_key;       // Zobrist key
};

struct HistoryEntry {
    int from, to, type, score;  // the move made (NO_MOVE for a null move)
    int captured;               // PieceType taken on `to`, EMPTY otherwise
    int castle;                 // state before the move
    int ep;
    int fifty;
    uint64_t hash_key;
};

// --- Globals ---------------------------------------------------------------------------------
extern Position pos;
extern HistoryEntry game_history[MAX_GAME_PLY];
extern char Variant[VARIANT_TEXT_SIZE];  // "normal", "nocastle", "fischerandom" or any word
extern int variant_kind;                  // VariantKind derived from Variant

extern uint64_t zobrist_piece[768];  // index (color * 6 + piece) * 64 + square
extern uint64_t zobrist_side[2];
extern uint64_t zobrist_ep[64];
extern uint64_t zobrist_castle[16];

extern const int piece_value[7];   // by PieceType, EMPTY 0
extern int distance[64][64];       // king-move distance
extern const int flip[64];         // vertical mirror

// --- Keys ------------------------------------------------------------------------------------
void     init_hash_keys();            // fill the Zobrist tables from the fixed generator
uint32_t random32();                  // the lagged-Fibonacci generator behind the keys
uint64_t compute_hash_key();          // key of pos from scratch

// --- Setup -----------------------------------------------------------------------------------
void set_variant(const char* name);                // store Variant and variant_kind
bool setup_position(const char* text);             // compact FEN; false = refused, pos untouched

// --- Moves -----------------------------------------------------------------------------------
int  generate_moves(Move* list);      // all pseudo-legal moves with ordering scores; returns count
int  gen_captures(Move* list);        // captures and queen promotions for quiescence
int  is_bad_capture(int from, int to);
void add_move(int from, int to, int type, Move* list, int* count);  // score as the generator does, append, ++*count
int  make_move(Move m);               // 1 made, 0 refused (pos unchanged)
void unmake_move();
int  count_legal_moves();

// --- Attacks ---------------------------------------------------------------------------------
int is_attacked(int square, int defender);  // attacked by colour 1 - defender
int in_check(int colour);
int attacked_by_non_king(int square, int defender);  // is_attacked with the attacker's king left out

// --- Checks ----------------------------------------------------------------------------------
bool position_is_ok();  // re-derives keys, counts, material and king squares from the board
