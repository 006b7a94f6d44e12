// The static evaluation by game phase: driver, material, pawns, king safety, piece terms, tables.
#pragma once

#include "board/board.h"

extern int lazy_eval;  // set by the root search: lazy exits allowed
extern int white_score, black_score;
extern int white_mg, black_mg, white_eg, black_eg;

int evaluate(int alpha, int beta);  // score for the side to move
