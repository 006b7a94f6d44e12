// The evaluation driver: material, lazy exits, the cache, the phase term sets and the final score.
#include <bit>

#include "eval/eval.h"
#include "eval/weights.h"

int white_score, black_score;
int white_mg, black_mg, white_eg, black_eg;
int8_t pawn_rank[2][10];
int bishop_square_colour[2];
uint64_t piece_attacks[2];

namespace {

inline int count_of(int colour, int type) { return pos.piece_count[colour][type]; }
inline int minors(int colour) { return count_of(colour, KNIGHT) + count_of(colour, BISHOP); }
inline int material(int colour) { return pos.piece_material[colour] + pos.pawn_material[colour]; }
inline bool is_piece(int sq, int colour, int type) { return pos.piece[sq] == type && pos.color[sq] == colour; }

inline int for_side_to_move(int white, int black) { return pos.side == WHITE ? white - black : black - white; }

// Lazy exit on material alone: far enough outside the window that no term can bring it back.
bool lazy_exit(int alpha, int beta, int margin, int* bound) {
    if (!lazy_eval) return false;
    const int s = for_side_to_move(white_score, black_score);
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
bool cache_hit(EvalCacheEntry** slot, int* score) {
    *slot = nullptr;
    if (eval_cache == nullptr) return false;
    EvalCacheEntry* entry = ecache_slot(pos.hash_key);
    if (entry->holds(pos.hash_key)) {
        *score = entry->score();
        return true;
    }
    *slot = entry;
    return false;
}

// Centre pawns on their start squares with their way forward blocked hold back the bishops.
void blocked_centre_pawns() {
    if (is_piece(D2, WHITE, PAWN) && pos.piece[D3] != EMPTY) white_score += BLOCKED_CENTRE_PAWN;
    if (is_piece(E2, WHITE, PAWN) && pos.piece[E3] != EMPTY) white_score += BLOCKED_CENTRE_PAWN;
    if (is_piece(D7, BLACK, PAWN) && pos.piece[D6] != EMPTY) black_score += BLOCKED_CENTRE_PAWN;
    if (is_piece(E7, BLACK, PAWN) && pos.piece[E6] != EMPTY) black_score += BLOCKED_CENTRE_PAWN;
}

int total_pawns() { return count_of(WHITE, PAWN) + count_of(BLACK, PAWN); }

// Piece pairs: the bishop pair (optionally skipped per side) and redundant knight and rook pairs.
void piece_pairs(bool skip_white_pair, bool skip_black_pair) {
    int pawns = total_pawns();
    if (pawns > 16) pawns = 16;
    for (int colour = BLACK; colour <= WHITE; colour++) {
        const int enemy = 1 - colour;
        int bonus = 0;
        const bool skip = colour == WHITE ? skip_white_pair : skip_black_pair;
        if (count_of(colour, BISHOP) == 2 && !skip) {
            bonus += bishop_pair_bonus[pawns];
            if (count_of(enemy, BISHOP) == 0) {
                bonus += BISHOP_PAIR_NO_ENEMY_BISHOP;
                if (count_of(enemy, KNIGHT) == 0) bonus += BISHOP_PAIR_NO_ENEMY_MINOR;
            }
        }
        if (count_of(colour, KNIGHT) == 2) bonus += KNIGHT_PAIR;
        if (count_of(colour, ROOK) == 2) bonus += ROOK_PAIR;
        if (colour == WHITE) white_score += bonus;
        else black_score += bonus;
    }
}

// Trapped bishops: a bishop that took the rook's pawn and is shut in behind two enemy pawns.
void trapped_bishops() {
    if ((is_piece(A2, BLACK, BISHOP) || is_piece(B1, BLACK, BISHOP)) && is_piece(B3, WHITE, PAWN) &&
        is_piece(C2, WHITE, PAWN))
        black_score += TRAPPED_BISHOP;
    if ((is_piece(H2, BLACK, BISHOP) || is_piece(G1, BLACK, BISHOP)) && is_piece(G3, WHITE, PAWN) &&
        is_piece(F2, WHITE, PAWN))
        black_score += TRAPPED_BISHOP;
    if ((is_piece(A7, WHITE, BISHOP) || is_piece(B8, WHITE, BISHOP)) && is_piece(B6, BLACK, PAWN) &&
        is_piece(C7, BLACK, PAWN))
        white_score += TRAPPED_BISHOP;
    if ((is_piece(H7, WHITE, BISHOP) || is_piece(G8, WHITE, BISHOP)) && is_piece(G6, BLACK, PAWN) &&
        is_piece(F7, BLACK, PAWN))
        white_score += TRAPPED_BISHOP;
}

// Bishop and pawn colours: a lone bishop with its own pawns fixed on its colour; returns the penalty of one side.
int bishop_pawn_colours(int colour) {
    if (count_of(colour, BISHOP) != 1 || count_of(colour, PAWN) < BISHOP_PAWN_COLOUR_MIN) return 0;
    int count = 0;
    for (uint64_t pawns = pos.men[colour][PAWN]; pawns != 0; pawns &= pawns - 1)
        if (square_colour[std::countr_zero(pawns)] == bishop_square_colour[colour]) count++;
    if (count > 8) count = 8;
    return count >= BISHOP_PAWN_COLOUR_MIN ? bishop_pawn_penalty[count] : 0;
}

// Imbalance: a piece up counts for more than its material, most while the board is full. The
// bonus goes to the side with the larger lead in piece material or, leads being small, in minor
// pieces; a lone queen earns its own.
void imbalance(const Imbalance& weights, int* white, int* black) {
    const int lead = pos.piece_material[WHITE] - pos.piece_material[BLACK];
    const int magnitude = lead < 0 ? -lead : lead;
    int* ahead = lead < 0 ? black : white;
    const int minor_lead = minors(WHITE) - minors(BLACK);
    if (magnitude >= ROOK_LEAD) *ahead += weights.rook_lead;
    else if (magnitude >= MINOR_LEAD) *ahead += weights.minor_lead;
    else if (magnitude >= SMALL_LEAD) *ahead += weights.small_lead;
    else if (minor_lead >= weights.minor_count_lead) *white += weights.more_minors;
    else if (minor_lead <= -weights.minor_count_lead) *black += weights.more_minors;

    const bool white_queen = count_of(WHITE, QUEEN) > 0, black_queen = count_of(BLACK, QUEEN) > 0;
    if (white_queen && !black_queen) *white += weights.lone_queen;
    if (black_queen && !white_queen) *black += weights.lone_queen;
}

// Without pawns and queens these endings cannot be won by force, or hardly.
bool pawnless_draw() {
    if (count_of(WHITE, PAWN) + count_of(BLACK, PAWN) + count_of(WHITE, QUEEN) + count_of(BLACK, QUEEN) != 0)
        return false;
    const int wr = count_of(WHITE, ROOK), br = count_of(BLACK, ROOK);
    const int wn = count_of(WHITE, KNIGHT), bn = count_of(BLACK, KNIGHT);
    const int wb = count_of(WHITE, BISHOP), bb = count_of(BLACK, BISHOP);
    const int wm = wn + wb, bm = bn + bb;
    if (wr + br == 0 && wb + bb == 0 && wn <= 2 && bn <= 2) return true;
    if (wr + br == 0 && wn + bn == 0 && wb - bb <= 1 && bb - wb <= 1) return true;
    if (wr == 1 && br == 1 && wm <= 1 && bm <= 1) return true;
    if (wr == 1 && wm == 0 && br == 0 && bm == 2) return true;
    if (br == 1 && bm == 0 && wr == 0 && wm == 2) return true;
    return false;
}

// Trade-down, the score for the side to move with its tempo, and the store into the cache.
int final_score(EvalCacheEntry* slot) {
    const int wp = pos.piece_material[WHITE], bp = pos.piece_material[BLACK];
    if (bp < wp) {
        // Ahead in pieces: trading pieces helps, trading pawns does not.
        if (bp < root_piece_material[BLACK])
            white_score += (root_piece_material[BLACK] - bp) / TRADE_DOWN_DIVISOR;
        if (pos.pawn_material[WHITE] < root_pawn_material[WHITE]) black_score += PAWN_TRADE;
    } else if (wp < bp) {
        if (wp < root_piece_material[WHITE])
            black_score += (root_piece_material[WHITE] - wp) / TRADE_DOWN_DIVISOR;
        if (pos.pawn_material[BLACK] < root_pawn_material[BLACK]) white_score += PAWN_TRADE;
    }
    const int score = for_side_to_move(white_score, black_score) + TEMPO_BONUS;
    if (slot != nullptr) slot->store(pos.hash_key, score);
    return score;
}

int evaluate_middlegame(int alpha, int beta) {
    // Material, and the lazy exit on it.
    white_score = material(WHITE);
    black_score = material(BLACK);
    int result;
    if (lazy_exit(alpha, beta, LAZY_MARGIN_MIDDLEGAME, &result)) return result;

    EvalCacheEntry* slot;
    if (cache_hit(&slot, &result)) return result;
    reset_working_tables();

    piece_terms_middlegame();
    blocked_centre_pawns();
    piece_pairs(false, false);
    trapped_bishops();
    imbalance(MIDDLEGAME_IMBALANCE, &white_score, &black_score);
    king_attack_terms();
    return final_score(slot);
}

int evaluate_transition(int alpha, int beta, int total_material) {
    white_score = material(WHITE);
    black_score = material(BLACK);
    int result;
    if (lazy_exit(alpha, beta, LAZY_MARGIN_TRANSITION, &result)) return result;

    EvalCacheEntry* slot;
    if (cache_hit(&slot, &result)) return result;
    reset_working_tables();

    // Both phases' totals start from material; the loop adds to each.
    white_mg = white_eg = white_score;
    black_mg = black_eg = black_score;
    piece_terms_transition();

    // Middlegame-only terms, gathered in the running totals and moved to the middlegame totals.
    white_score = black_score = 0;
    blocked_centre_pawns();
    imbalance(MIDDLEGAME_IMBALANCE, &white_score, &black_score);
    king_attack_terms();
    white_mg += white_score;
    black_mg += black_score;

    // Endgame-only terms.
    white_eg += bishop_pawn_colours(WHITE);
    black_eg += bishop_pawn_colours(BLACK);
    imbalance(ENDGAME_IMBALANCE, &white_eg, &black_eg);

    // Blend linearly by material: all middlegame at the upper bound, all endgame at the lower.
    const int t = total_material;
    const int span = MIDDLEGAME_MATERIAL - ENDGAME_MATERIAL;
    white_score = ((MIDDLEGAME_MATERIAL - t) * white_eg + (t - ENDGAME_MATERIAL) * white_mg) / span;
    black_score = ((MIDDLEGAME_MATERIAL - t) * black_eg + (t - ENDGAME_MATERIAL) * black_mg) / span;

    piece_pairs(false, false);
    trapped_bishops();
    return final_score(slot);
}

int evaluate_endgame() {
    // Pawnless draws come before the cache: they cost less than a probe.
    if (pawnless_draw()) return 0;

    int result;
    EvalCacheEntry* slot;
    if (cache_hit(&slot, &result)) return result;
    white_score = material(WHITE);
    black_score = material(BLACK);
    reset_working_tables();

    piece_terms_endgame();

    // Bishop endings: opposite colours draw easily, same colours with balanced pawns often.
    const bool no_other_pieces = count_of(WHITE, KNIGHT) + count_of(BLACK, KNIGHT) + count_of(WHITE, ROOK) +
                                     count_of(BLACK, ROOK) + count_of(WHITE, QUEEN) + count_of(BLACK, QUEEN) ==
                                 0;
    if (no_other_pieces && count_of(WHITE, BISHOP) == 1 && count_of(BLACK, BISHOP) == 1) {
        const int d = for_side_to_move(white_score, black_score);
        const int pawns = total_pawns();
        const int pawn_gap = count_of(WHITE, PAWN) - count_of(BLACK, PAWN);
        if (bishop_square_colour[WHITE] != bishop_square_colour[BLACK])
            return d * pawns / OPPOSITE_BISHOPS_PAWN_SCALE;
        if (pawn_gap <= 1 && pawn_gap >= -1) return d * pawns / SAME_BISHOPS_PAWN_SCALE;
    }

    white_score += bishop_pawn_colours(WHITE);
    black_score += bishop_pawn_colours(BLACK);

    // Two bishops against two knights alone: the pair wins nothing there.
    const int wp = pos.piece_material[WHITE], bp = pos.piece_material[BLACK];
    piece_pairs(wp == TWO_BISHOPS_MATERIAL && bp == TWO_KNIGHTS_MATERIAL,
                bp == TWO_BISHOPS_MATERIAL && wp == TWO_KNIGHTS_MATERIAL);

    // Pawns are what wins an ending.
    for (int colour = BLACK; colour <= WHITE; colour++) {
        const int pawns = count_of(colour, PAWN);
        const int penalty = pawns == 0 ? NO_PAWN_LEFT : pawns == 1 ? ONE_PAWN_LEFT : 0;
        if (colour == WHITE) white_score += penalty;
        else black_score += penalty;
    }

    trapped_bishops();
    imbalance(ENDGAME_IMBALANCE, &white_score, &black_score);

    // Rook endings with little left: drawish, or dead drawn for the side with the extra piece.
    if (count_of(WHITE, QUEEN) + count_of(BLACK, QUEEN) == 0 && count_of(WHITE, ROOK) == 1 &&
        count_of(BLACK, ROOK) == 1) {
        const int wpn = count_of(WHITE, PAWN), bpn = count_of(BLACK, PAWN);
        const int wm = minors(WHITE), bm = minors(BLACK);
        if ((wpn == 1 && bpn == 1 && wm <= 1 && bm <= 1) || (wpn == 1 && bpn == 0 && wm <= 1 && bm == 1) ||
            (wpn == 0 && bpn == 1 && wm == 1 && bm <= 1)) {
            white_score /= DRAWISH_ROOK_ENDING_DIVISOR;
            black_score /= DRAWISH_ROOK_ENDING_DIVISOR;
        } else if (wpn == 0 && (bpn == 2 || bpn == 3) && wm == 1 && bm == 0 && white_score > black_score) {
            return 0;
        } else if ((wpn == 2 || wpn == 3) && bpn == 0 && wm == 0 && bm == 1 && black_score > white_score) {
            return 0;
        }
    }
    return final_score(slot);
}

}  // namespace

// The rearmost pawn of each colour per file, from the pawn sets.
void find_pawn_ranks(int8_t rank[2][10]) {
    // White's rearmost pawn on a file is its highest row there, black's its lowest.
    rank[WHITE][0] = rank[WHITE][9] = 0;
    rank[BLACK][0] = rank[BLACK][9] = 7;
    for (int file = 0; file < 8; file++) {
        const uint64_t white = pos.men[WHITE][PAWN] & (FILE_A_SQUARES << file);
        const uint64_t black = pos.men[BLACK][PAWN] & (FILE_A_SQUARES << file);
        rank[WHITE][file + 1] = static_cast<int8_t>(white ? (63 - std::countl_zero(white)) >> 3 : 0);
        rank[BLACK][file + 1] = static_cast<int8_t>(black ? std::countr_zero(black) >> 3 : 7);
    }
}

void build_working_tables() {
    bishop_square_colour[WHITE] = bishop_square_colour[BLACK] = 0;
    find_pawn_ranks(pawn_rank);
}

int evaluate(int alpha, int beta) {
    const int total_material = material(WHITE) + material(BLACK);
    if (total_material > MIDDLEGAME_MATERIAL) return evaluate_middlegame(alpha, beta);
    if (total_material >= ENDGAME_MATERIAL) return evaluate_transition(alpha, beta, total_material);
    return evaluate_endgame();
}
