// The evaluation driver: material, lazy exits, the cache, the phase term sets and the final score.
#include <bit>

#include "eval/eval.h"
#include "eval/weights.h"

namespace {

inline int count_of(Evaluator& e, int colour, int type) { return e.pos.piece_count[colour][type]; }
inline int minors(Evaluator& e, int colour) { return count_of(e, colour, KNIGHT) + count_of(e, colour, BISHOP); }
inline int material(Evaluator& e, int colour) { return e.pos.piece_material[colour] + e.pos.pawn_material[colour]; }
inline bool is_piece(Evaluator& e, int sq, int colour, int type) { return e.pos.piece[sq] == type && e.pos.color[sq] == colour; }

inline int for_side_to_move(Evaluator& e, int white, int black) { return e.pos.side == WHITE ? white - black : black - white; }

// Lazy exit on material alone: far enough outside the window that no term can bring it back.
bool lazy_exit(Evaluator& e, int alpha, int beta, int margin, int* bound) {
    if (!e.lazy_eval) return false;
    const int s = for_side_to_move(e, e.white_score, e.black_score);
    if (s - margin >= beta) {
        *bound = beta;
        return true;
    }
    if (s + margin <= alpha) {
        *bound = alpha;
        return true;
    }
    return false;
}

// A hit reports the stored score; a miss gives the slot the final score will replace (none when
// no cache has been allocated, so a lone evaluation still works).
bool cache_hit(Evaluator& e, EvalCacheEntry** slot, int* score) {
    *slot = nullptr;
    if (!e.cache.present()) return false;
    EvalCacheEntry* entry = e.cache.slot(e.pos.hash_key);
    if (entry->holds(e.pos.hash_key)) {
        *score = entry->score();
        return true;
    }
    *slot = entry;
    return false;
}

// Centre pawns on their start squares with their way forward blocked hold back the bishops.
void blocked_centre_pawns(Evaluator& e) {
    if (is_piece(e, D2, WHITE, PAWN) && e.pos.piece[D3] != EMPTY) e.white_score += BLOCKED_CENTRE_PAWN;
    if (is_piece(e, E2, WHITE, PAWN) && e.pos.piece[E3] != EMPTY) e.white_score += BLOCKED_CENTRE_PAWN;
    if (is_piece(e, D7, BLACK, PAWN) && e.pos.piece[D6] != EMPTY) e.black_score += BLOCKED_CENTRE_PAWN;
    if (is_piece(e, E7, BLACK, PAWN) && e.pos.piece[E6] != EMPTY) e.black_score += BLOCKED_CENTRE_PAWN;
}

int total_pawns(Evaluator& e) { return count_of(e, WHITE, PAWN) + count_of(e, BLACK, PAWN); }

// Piece pairs: the bishop pair (optionally skipped per side) and redundant knight and rook pairs.
void piece_pairs(Evaluator& e, bool skip_white_pair, bool skip_black_pair) {
    int pawns = total_pawns(e);
    if (pawns > 16) pawns = 16;
    for (int colour = BLACK; colour <= WHITE; colour++) {
        const int enemy = 1 - colour;
        int bonus = 0;
        const bool skip = colour == WHITE ? skip_white_pair : skip_black_pair;
        if (count_of(e, colour, BISHOP) == 2 && !skip) {
            bonus += bishop_pair_bonus[pawns];
            if (count_of(e, enemy, BISHOP) == 0) {
                bonus += BISHOP_PAIR_NO_ENEMY_BISHOP;
                if (count_of(e, enemy, KNIGHT) == 0) bonus += BISHOP_PAIR_NO_ENEMY_MINOR;
            }
        }
        if (count_of(e, colour, KNIGHT) == 2) bonus += KNIGHT_PAIR;
        if (count_of(e, colour, ROOK) == 2) bonus += ROOK_PAIR;
        if (colour == WHITE) e.white_score += bonus;
        else e.black_score += bonus;
    }
}

// Trapped bishops: a bishop that took the rook's pawn and is shut in behind two enemy pawns.
void trapped_bishops(Evaluator& e) {
    if ((is_piece(e, A2, BLACK, BISHOP) || is_piece(e, B1, BLACK, BISHOP)) && is_piece(e, B3, WHITE, PAWN) &&
        is_piece(e, C2, WHITE, PAWN))
        e.black_score += TRAPPED_BISHOP;
    if ((is_piece(e, H2, BLACK, BISHOP) || is_piece(e, G1, BLACK, BISHOP)) && is_piece(e, G3, WHITE, PAWN) &&
        is_piece(e, F2, WHITE, PAWN))
        e.black_score += TRAPPED_BISHOP;
    if ((is_piece(e, A7, WHITE, BISHOP) || is_piece(e, B8, WHITE, BISHOP)) && is_piece(e, B6, BLACK, PAWN) &&
        is_piece(e, C7, BLACK, PAWN))
        e.white_score += TRAPPED_BISHOP;
    if ((is_piece(e, H7, WHITE, BISHOP) || is_piece(e, G8, WHITE, BISHOP)) && is_piece(e, G6, BLACK, PAWN) &&
        is_piece(e, F7, BLACK, PAWN))
        e.white_score += TRAPPED_BISHOP;
}

// Bishop and pawn colours: a lone bishop with its own pawns fixed on its colour; returns the penalty of one side.
int bishop_pawn_colours(Evaluator& e, int colour) {
    if (count_of(e, colour, BISHOP) != 1 || count_of(e, colour, PAWN) < BISHOP_PAWN_COLOUR_MIN) return 0;
    int count = 0;
    for (uint64_t pawns = e.pos.men[colour][PAWN]; pawns != 0; pawns &= pawns - 1)
        if (square_colour[std::countr_zero(pawns)] == e.bishop_square_colour[colour]) count++;
    if (count > 8) count = 8;
    return count >= BISHOP_PAWN_COLOUR_MIN ? bishop_pawn_penalty[count] : 0;
}

// Imbalance: a piece up counts for more than its material, most while the board is full. The
// bonus goes to the side with the larger lead in piece material or, leads being small, in minor
// pieces; a lone queen earns its own.
void imbalance(Evaluator& e, const Imbalance& weights, int* white, int* black) {
    const int lead = e.pos.piece_material[WHITE] - e.pos.piece_material[BLACK];
    const int magnitude = lead < 0 ? -lead : lead;
    int* ahead = lead < 0 ? black : white;
    const int minor_lead = minors(e, WHITE) - minors(e, BLACK);
    if (magnitude >= ROOK_LEAD) *ahead += weights.rook_lead;
    else if (magnitude >= MINOR_LEAD) *ahead += weights.minor_lead;
    else if (magnitude >= SMALL_LEAD) *ahead += weights.small_lead;
    else if (minor_lead >= weights.minor_count_lead) *white += weights.more_minors;
    else if (minor_lead <= -weights.minor_count_lead) *black += weights.more_minors;

    const bool white_queen = count_of(e, WHITE, QUEEN) > 0, black_queen = count_of(e, BLACK, QUEEN) > 0;
    if (white_queen && !black_queen) *white += weights.lone_queen;
    if (black_queen && !white_queen) *black += weights.lone_queen;
}

// Without pawns and queens these endings cannot be won by force, or hardly.
bool pawnless_draw(Evaluator& e) {
    if (count_of(e, WHITE, PAWN) + count_of(e, BLACK, PAWN) + count_of(e, WHITE, QUEEN) + count_of(e, BLACK, QUEEN) != 0)
        return false;
    const int wr = count_of(e, WHITE, ROOK), br = count_of(e, BLACK, ROOK);
    const int wn = count_of(e, WHITE, KNIGHT), bn = count_of(e, BLACK, KNIGHT);
    const int wb = count_of(e, WHITE, BISHOP), bb = count_of(e, BLACK, BISHOP);
    const int wm = wn + wb, bm = bn + bb;
    if (wr + br == 0 && wb + bb == 0 && wn <= 2 && bn <= 2) return true;
    if (wr + br == 0 && wn + bn == 0 && wb - bb <= 1 && bb - wb <= 1) return true;
    if (wr == 1 && br == 1 && wm <= 1 && bm <= 1) return true;
    if (wr == 1 && wm == 0 && br == 0 && bm == 2) return true;
    if (br == 1 && bm == 0 && wr == 0 && wm == 2) return true;
    return false;
}

// Trade-down, the score for the side to move with its tempo, and the store into the cache.
int final_score(Evaluator& e, EvalCacheEntry* slot) {
    const int wp = e.pos.piece_material[WHITE], bp = e.pos.piece_material[BLACK];
    if (bp < wp) {
        // Ahead in pieces: trading pieces helps, trading pawns does not.
        if (bp < e.root_piece_material[BLACK])
            e.white_score += (e.root_piece_material[BLACK] - bp) / TRADE_DOWN_DIVISOR;
        if (e.pos.pawn_material[WHITE] < e.root_pawn_material[WHITE]) e.black_score += PAWN_TRADE;
    } else if (wp < bp) {
        if (wp < e.root_piece_material[WHITE])
            e.black_score += (e.root_piece_material[WHITE] - wp) / TRADE_DOWN_DIVISOR;
        if (e.pos.pawn_material[BLACK] < e.root_pawn_material[BLACK]) e.white_score += PAWN_TRADE;
    }
    const int score = for_side_to_move(e, e.white_score, e.black_score) + TEMPO_BONUS;
    if (slot != nullptr) slot->store(e.pos.hash_key, score);
    return score;
}

int evaluate_middlegame(Evaluator& e, int alpha, int beta) {
    // Material, and the lazy exit on it.
    e.white_score = material(e, WHITE);
    e.black_score = material(e, BLACK);
    int result;
    if (lazy_exit(e, alpha, beta, LAZY_MARGIN_MIDDLEGAME, &result)) return result;

    EvalCacheEntry* slot;
    if (cache_hit(e, &slot, &result)) return result;
    reset_working_tables(e);

    piece_terms_middlegame(e);
    blocked_centre_pawns(e);
    piece_pairs(e, false, false);
    trapped_bishops(e);
    imbalance(e, MIDDLEGAME_IMBALANCE, &e.white_score, &e.black_score);
    king_attack_terms(e);
    return final_score(e, slot);
}

int evaluate_transition(Evaluator& e, int alpha, int beta, int total_material) {
    e.white_score = material(e, WHITE);
    e.black_score = material(e, BLACK);
    int result;
    if (lazy_exit(e, alpha, beta, LAZY_MARGIN_TRANSITION, &result)) return result;

    EvalCacheEntry* slot;
    if (cache_hit(e, &slot, &result)) return result;
    reset_working_tables(e);

    // Both phases' totals start from material; the loop adds to each.
    e.white_mg = e.white_eg = e.white_score;
    e.black_mg = e.black_eg = e.black_score;
    piece_terms_transition(e);

    // Middlegame-only terms, gathered in the running totals and moved to the middlegame totals.
    e.white_score = e.black_score = 0;
    blocked_centre_pawns(e);
    imbalance(e, MIDDLEGAME_IMBALANCE, &e.white_score, &e.black_score);
    king_attack_terms(e);
    e.white_mg += e.white_score;
    e.black_mg += e.black_score;

    // Endgame-only terms.
    e.white_eg += bishop_pawn_colours(e, WHITE);
    e.black_eg += bishop_pawn_colours(e, BLACK);
    imbalance(e, ENDGAME_IMBALANCE, &e.white_eg, &e.black_eg);

    // Blend linearly by material: all middlegame at the upper bound, all endgame at the lower.
    const int t = total_material;
    const int span = MIDDLEGAME_MATERIAL - ENDGAME_MATERIAL;
    e.white_score = ((MIDDLEGAME_MATERIAL - t) * e.white_eg + (t - ENDGAME_MATERIAL) * e.white_mg) / span;
    e.black_score = ((MIDDLEGAME_MATERIAL - t) * e.black_eg + (t - ENDGAME_MATERIAL) * e.black_mg) / span;

    piece_pairs(e, false, false);
    trapped_bishops(e);
    return final_score(e, slot);
}

int evaluate_endgame(Evaluator& e) {
    // Pawnless draws come before the cache: they cost less than a probe.
    if (pawnless_draw(e)) return 0;

    int result;
    EvalCacheEntry* slot;
    if (cache_hit(e, &slot, &result)) return result;
    e.white_score = material(e, WHITE);
    e.black_score = material(e, BLACK);
    reset_working_tables(e);

    piece_terms_endgame(e);

    // Bishop endings: opposite colours draw easily, same colours with balanced pawns often.
    const bool no_other_pieces = count_of(e, WHITE, KNIGHT) + count_of(e, BLACK, KNIGHT) + count_of(e, WHITE, ROOK) +
                                     count_of(e, BLACK, ROOK) + count_of(e, WHITE, QUEEN) + count_of(e, BLACK, QUEEN) ==
                                 0;
    if (no_other_pieces && count_of(e, WHITE, BISHOP) == 1 && count_of(e, BLACK, BISHOP) == 1) {
        const int d = for_side_to_move(e, e.white_score, e.black_score);
        const int pawns = total_pawns(e);
        const int pawn_gap = count_of(e, WHITE, PAWN) - count_of(e, BLACK, PAWN);
        if (e.bishop_square_colour[WHITE] != e.bishop_square_colour[BLACK])
            return d * pawns / OPPOSITE_BISHOPS_PAWN_SCALE;
        if (pawn_gap <= 1 && pawn_gap >= -1) return d * pawns / SAME_BISHOPS_PAWN_SCALE;
    }

    e.white_score += bishop_pawn_colours(e, WHITE);
    e.black_score += bishop_pawn_colours(e, BLACK);

    // Two bishops against two knights alone: the pair wins nothing there.
    const int wp = e.pos.piece_material[WHITE], bp = e.pos.piece_material[BLACK];
    piece_pairs(e, wp == TWO_BISHOPS_MATERIAL && bp == TWO_KNIGHTS_MATERIAL,
                bp == TWO_BISHOPS_MATERIAL && wp == TWO_KNIGHTS_MATERIAL);

    // Pawns are what wins an ending.
    for (int colour = BLACK; colour <= WHITE; colour++) {
        const int pawns = count_of(e, colour, PAWN);
        const int penalty = pawns == 0 ? NO_PAWN_LEFT : pawns == 1 ? ONE_PAWN_LEFT : 0;
        if (colour == WHITE) e.white_score += penalty;
        else e.black_score += penalty;
    }

    trapped_bishops(e);
    imbalance(e, ENDGAME_IMBALANCE, &e.white_score, &e.black_score);

    // Rook endings with little left: drawish, or dead drawn for the side with the extra piece.
    if (count_of(e, WHITE, QUEEN) + count_of(e, BLACK, QUEEN) == 0 && count_of(e, WHITE, ROOK) == 1 &&
        count_of(e, BLACK, ROOK) == 1) {
        const int wpn = count_of(e, WHITE, PAWN), bpn = count_of(e, BLACK, PAWN);
        const int wm = minors(e, WHITE), bm = minors(e, BLACK);
        if ((wpn == 1 && bpn == 1 && wm <= 1 && bm <= 1) || (wpn == 1 && bpn == 0 && wm <= 1 && bm == 1) ||
            (wpn == 0 && bpn == 1 && wm == 1 && bm <= 1)) {
            e.white_score /= DRAWISH_ROOK_ENDING_DIVISOR;
            e.black_score /= DRAWISH_ROOK_ENDING_DIVISOR;
        } else if (wpn == 0 && (bpn == 2 || bpn == 3) && wm == 1 && bm == 0 && e.white_score > e.black_score) {
            return 0;
        } else if ((wpn == 2 || wpn == 3) && bpn == 0 && wm == 0 && bm == 1 && e.black_score > e.white_score) {
            return 0;
        }
    }
    return final_score(e, slot);
}

}  // namespace

// The rearmost pawn of each colour per file, from the pawn sets.
void find_pawn_ranks(Evaluator& e, int8_t rank[2][10]) {
    // White's rearmost pawn on a file is its highest row there, black's its lowest.
    rank[WHITE][0] = rank[WHITE][9] = 0;
    rank[BLACK][0] = rank[BLACK][9] = 7;
    for (int file = 0; file < 8; file++) {
        const uint64_t white = e.pos.men[WHITE][PAWN] & (FILE_A_SQUARES << file);
        const uint64_t black = e.pos.men[BLACK][PAWN] & (FILE_A_SQUARES << file);
        rank[WHITE][file + 1] = static_cast<int8_t>(white ? (63 - std::countl_zero(white)) >> 3 : 0);
        rank[BLACK][file + 1] = static_cast<int8_t>(black ? std::countr_zero(black) >> 3 : 7);
    }
}

void build_working_tables(Evaluator& e) {
    e.bishop_square_colour[WHITE] = e.bishop_square_colour[BLACK] = 0;
    find_pawn_ranks(e, e.pawn_rank);
}

int evaluate(Evaluator& e, int alpha, int beta) {
    const int total_material = material(e, WHITE) + material(e, BLACK);
    if (total_material > MIDDLEGAME_MATERIAL) return evaluate_middlegame(e, alpha, beta);
    if (total_material >= ENDGAME_MATERIAL) return evaluate_transition(e, alpha, beta, total_material);
    return evaluate_endgame(e);
}
