// The static evaluation by game phase: driver, material, pawns, king safety, piece terms, tables.
#pragma once

#include "board/board.h"

constexpr int TEMPO_BONUS = 10;            // for the side to move, in every stored score
constexpr int LAZY_MARGIN_MIDDLEGAME = 300;
constexpr int LAZY_MARGIN_TRANSITION = 500;
constexpr int FULL_PIECE_MATERIAL = 3220;  // one side's pieces at the start; scales the king shelter
constexpr int KING_ATTACK_MAX_COUNT = 26;  // largest king-zone count the attack rules can reach

// --- Inputs and working state ----------------------------------------------------------------
extern int lazy_eval;  // set by the root search: lazy exits allowed
extern int white_score, black_score;
extern int white_mg, black_mg, white_eg, black_eg;
extern int occupied_squares[64];     // occupied squares in ascending order, a8 first
extern int occupied_count;
extern int pawn_rank[2][10];         // by Color and file + 1: row of that colour's rearmost pawn
extern int bishop_square_colour[2];  // square_colour of the last bishop visited, by Color

// --- Driver ----------------------------------------------------------------------------------
int  evaluate(int alpha, int beta);  // score for the side to move
void build_working_tables();         // occupied_squares and pawn_rank from the board

// --- Pawn structure (pawns.cpp): the structure score of the pawn on sq for its own side ------
int pawn_terms_white(int sq);
int pawn_terms_black(int sq);
int pawn_terms_white_endgame(int sq);
int pawn_terms_black_endgame(int sq);

// --- King safety (king_safety.cpp) -----------------------------------------------------------
void king_attack_terms();                    // king-zone attacks, paid to the attacker
int  king_terms_middlegame(int colour);      // square value, wing bonus, shelter and storm
int  king_terms_endgame(int colour);         // the endgame square value

// --- Piece terms and the per-piece loops (pieces.cpp) ----------------------------------------
void piece_terms_middlegame();
void piece_terms_transition();
void piece_terms_endgame();
int  square_terms_middlegame(int sq);  // the middlegame-loop terms of the piece on sq, for its owner
int  square_terms_endgame(int sq);     // the endgame-loop terms of the piece on sq, for its owner
int  knight_mobility_count(int sq);  // empty squares reached, for each piece kind
int  bishop_mobility_count(int sq);
int  rook_mobility_count(int sq);
int  queen_mobility(int sq);

// --- Tables (tables.cpp); *_white tables are read by black at flip[sq] -----------------------
extern const int square_colour[64];
extern const int bishop_pair_bonus[17];
extern const int bishop_pawn_penalty[9];
extern const int pawn_table_white[64];
extern const int doubled_penalty[64];
extern const int isolated_penalty[64];
extern const int backward_penalty[64];
extern const int side_by_side_white[64];
extern const int passed_factor[9];
extern const int king_zone_base_white[64];
extern const int king_attack_table[KING_ATTACK_MAX_COUNT + 1];
extern const int king_table_mg_white[64];
extern const int king_table_eg[64];
extern const int knight_table_mg_white[64];
extern const int knight_table_eg[64];
extern const int bishop_table_mg_white[64];
extern const int bishop_table_eg[64];
extern const int rook_table[64];
extern const int queen_table_mg_white[64];
extern const int queen_table_eg[64];
extern const int knight_outpost_white[64];
extern const int knight_mobility[9];
extern const int bishop_mobility[14];
extern const int rook_mobility_mg[15];
extern const int rook_mobility_eg[15];
extern const int queen_mobility_mg[28];
extern const int queen_mobility_eg[28];
extern const int knight_closeness[8];
extern const int rook_closeness[8];
extern const int queen_closeness[8];
extern const int knight_by_pawns[9];
extern const int rook_by_pawns[9];
