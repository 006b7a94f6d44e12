// Temporary stand-ins until the evaluation is written; delete each as the real one lands.
#include "eval/eval.h"

int lazy_eval;
int white_score, black_score;
int white_mg, black_mg, white_eg, black_eg;

// Material only, so the search can be built and tested before the full evaluation.
int evaluate(int, int) {
    int s = pos.side;
    return pos.piece_material[s] + pos.pawn_material[s] - pos.piece_material[1 - s] -
           pos.pawn_material[1 - s];
}
