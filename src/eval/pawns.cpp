// Pawn structure: doubled, isolated, backward, side-by-side, passed and candidate passed pawns.
#include "eval/eval.h"
#include "eval/weights.h"

namespace {

// One set of rules serves both colours by reading rows from the pawn owner's side: relative row 0
// is its promotion rank and relative row 7 its own back rank, as the board's rows are for white.

inline int is_pawn_of(Evaluator& e, int sq, int colour) { return e.pos.piece[sq] == PAWN && e.pos.color[sq] == colour; }

// Relative row of the owner's rearmost pawn on file index x (file + 1); 0 when it has none there.
inline int own_rear(Evaluator& e, int colour, int x) {
    return colour == WHITE ? e.pawn_rank[WHITE][x] : 7 - e.pawn_rank[BLACK][x];
}

// Relative row of the enemy's rearmost pawn on file index x; 7 when it has none there.
inline int enemy_rear(Evaluator& e, int colour, int x) {
    return colour == WHITE ? e.pawn_rank[BLACK][x] : 7 - e.pawn_rank[WHITE][x];
}

inline int absolute_row(int colour, int rel_row) { return colour == WHITE ? rel_row : 7 - rel_row; }

// The pieces of one pawn's situation that every term reads.
struct PawnView {
    int colour, sq, rsq;  // rsq: the square as white would see it, for the white-oriented tables
    int file, rr, fwd;    // rr: relative row; fwd: square step toward promotion
    int left, right, own; // own rearmost pawns on the a-side file, the h-side file and this file
    int pf;               // passed factor by the pawn's own rank
    bool isolated, open, passed;
};

PawnView view_pawn(Evaluator& e, int colour, int sq) {
    PawnView v;
    v.colour = colour;
    v.sq = sq;
    v.rsq = colour == WHITE ? sq : flip[sq];
    v.file = sq & 7;
    v.rr = colour == WHITE ? sq >> 3 : 7 - (sq >> 3);
    v.fwd = colour == WHITE ? -8 : 8;
    const int x = v.file + 1;
    v.left = own_rear(e, colour, x - 1);
    v.right = own_rear(e, colour, x + 1);
    v.own = own_rear(e, colour, x);
    v.pf = passed_factor[8 - v.rr];
    v.isolated = v.left == 0 && v.right == 0;
    v.open = enemy_rear(e, colour, x) > v.rr;
    v.passed = v.open && enemy_rear(e, colour, x - 1) >= v.rr && enemy_rear(e, colour, x + 1) >= v.rr;
    return v;
}

bool holds_pawn(Evaluator& e, int sq) { return e.pos.piece[sq] == PAWN; }

// Every own pawn on the adjacent files is ahead, and the pawn cannot safely catch up.
bool is_backward(Evaluator& e, const PawnView& v) {
    if (v.isolated || v.left >= v.rr || v.right >= v.rr) return false;
    if (v.rr == 6) {  // still on its start rank, so it could step two squares
        if (v.left < 4 && v.right < 4) return true;
        if (v.left == 4 || v.right == 4)
            return holds_pawn(e, v.sq + v.fwd) || holds_pawn(e, v.sq + 2 * v.fwd);
        return false;
    }
    if (v.left < v.rr - 1 && v.right < v.rr - 1) return true;
    if (v.left == v.rr - 1 || v.right == v.rr - 1) return holds_pawn(e, v.sq + v.fwd);
    return false;
}

// An open pawn that is not passed yet but has the numbers to force its way through.
int candidate_bonus(Evaluator& e, const PawnView& v, int bonus) {
    const int enemy = 1 - v.colour;
    int attackers = 0, defenders = 0;
    if (v.file > 0) {
        attackers += is_pawn_of(e, v.sq + v.fwd - 1, enemy);
        defenders += is_pawn_of(e, v.sq - v.fwd - 1, v.colour);
    }
    if (v.file < 7) {
        attackers += is_pawn_of(e, v.sq + v.fwd + 1, enemy);
        defenders += is_pawn_of(e, v.sq - v.fwd + 1, v.colour);
    }
    if (attackers > defenders) return 0;

    int blockers = 0, supporters = 0;
    for (int file = v.file - 1; file <= v.file + 1; file += 2) {
        if (file < 0 || file > 7) continue;
        for (int rel = 0; rel < 8; rel++) {
            const int sq = absolute_row(v.colour, rel) * 8 + file;
            if (rel <= v.rr - 2) blockers += is_pawn_of(e, sq, enemy);
            if (rel >= v.rr) supporters += is_pawn_of(e, sq, v.colour);
        }
    }
    return supporters >= blockers ? bonus : 0;
}

int side_by_side(const PawnView& v) { return v.left == v.own ? side_by_side_white[v.rsq] : 0; }

// A pawn on its first or last rank cannot arise in a game; it gets no structure terms rather than
// letting the front-square tests step off the board.
bool unplayable(const PawnView& v) { return v.rr == 0 || v.rr == 7; }

int pawn_terms_middlegame(Evaluator& e, int colour, int sq) {
    const PawnView v = view_pawn(e, colour, sq);
    if (unplayable(v)) return 0;
    int result = 0;

    if (v.own > v.rr) result = -doubled_penalty[v.rsq];  // a friendly pawn stands behind this one
    if (v.isolated) result -= isolated_penalty[v.rsq];
    const bool backward = is_backward(e, v);
    if (backward) result -= backward_penalty[v.rsq];

    if (v.open) {
        // The weakness counts twice on a file where no enemy pawn hides it.
        if (v.isolated) result -= isolated_penalty[v.rsq];
        if (backward) result -= backward_penalty[v.rsq];
        if (v.passed) {
            result += PASSED_BASE + PASSED_PER_FACTOR * v.pf;
            if (v.isolated) return result;
            return result + PASSED_NOT_ISOLATED + side_by_side(v);
        }
        result += candidate_bonus(e, v, CANDIDATE_BASE + CANDIDATE_PER_FACTOR * v.pf);
    }
    if (v.isolated) return result;
    return result + side_by_side(v);
}

int passed_pawn_endgame(Evaluator& e, const PawnView& v) {
    const int enemy = 1 - v.colour;
    const int front = v.sq + v.fwd;
    int result = ENDGAME_PASSED_BASE +
                 (ENEMY_KING_DISTANCE_WEIGHT * distance[front][e.pos.king_square[enemy]] + KING_DISTANCE_BASE -
                  distance[front][e.pos.king_square[v.colour]] / OWN_KING_DISTANCE_DIVISOR) * v.pf;
    if (!v.isolated) result += ENDGAME_PASSED_NOT_ISOLATED;
    if (e.pos.piece[front] == EMPTY && !is_attacked(e.pos, front, v.colour)) result += FREE_PATH_PER_FACTOR * v.pf;

    // Rule of the square against a bare king. The king must reach the promotion square itself;
    // a square one file aside would misjudge kings standing on the far side of the pawn.
    const int* count = e.pos.piece_count[enemy];
    if (count[KNIGHT] + count[BISHOP] + count[ROOK] + count[QUEEN] == 0) {
        const int promotion = v.colour == WHITE ? v.file : 56 + v.file;
        const int reach = distance[e.pos.king_square[enemy]][promotion];
        const int rows_to_go = v.rr;
        if (e.pos.side == v.colour ? reach > rows_to_go : reach - 1 > rows_to_go)
            result += UNSTOPPABLE_PER_FACTOR * v.pf;
    }

    // Own rooks behind the pawn on its file, whatever stands between.
    for (int s = v.sq - v.fwd; s >= 0 && s < 64; s -= v.fwd)
        if (e.pos.piece[s] == ROOK && e.pos.color[s] == v.colour) result += ROOK_BEHIND_PASSED_PAWN;
    return result;
}

// The endgame terms but the passed pawn's own, which read the kings and pieces too.
int pawn_structure_endgame(Evaluator& e, const PawnView& v) {
    if (unplayable(v)) return 0;
    int result = 0;

    if (v.own > v.rr) result = -ENDGAME_DOUBLED_FACTOR * doubled_penalty[v.rsq];
    if (v.isolated) result -= ENDGAME_ISOLATED_FACTOR * isolated_penalty[v.rsq];
    if (is_backward(e, v)) result -= backward_penalty[v.rsq];
    if (v.open && !v.passed)
        result += candidate_bonus(e, v, ENDGAME_CANDIDATE_BASE + ENDGAME_CANDIDATE_PER_FACTOR * v.pf);
    if (!v.isolated) result += side_by_side(v);
    return result;
}

bool passed_in_endgame(const PawnView& v) { return v.passed && !unplayable(v); }

int pawn_terms_endgame(Evaluator& e, int colour, int sq) {
    const PawnView v = view_pawn(e, colour, sq);
    return pawn_structure_endgame(e, v) + (passed_in_endgame(v) ? passed_pawn_endgame(e, v) : 0);
}

}  // namespace

int pawn_terms_white(Evaluator& e, int sq) { return pawn_terms_middlegame(e, WHITE, sq); }
int pawn_terms_black(Evaluator& e, int sq) { return pawn_terms_middlegame(e, BLACK, sq); }
int pawn_terms_white_endgame(Evaluator& e, int sq) { return pawn_terms_endgame(e, WHITE, sq); }
int pawn_terms_black_endgame(Evaluator& e, int sq) { return pawn_terms_endgame(e, BLACK, sq); }

int pawn_structure_terms_endgame(Evaluator& e, int colour, int sq, bool* passed) {
    const PawnView v = view_pawn(e, colour, sq);
    *passed = passed_in_endgame(v);
    return pawn_structure_endgame(e, v);
}

int passed_pawn_terms_endgame(Evaluator& e, int colour, int sq) { return passed_pawn_endgame(e, view_pawn(e, colour, sq)); }
