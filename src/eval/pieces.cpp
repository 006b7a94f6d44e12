// The per-piece loops of the three phases, with mobility and the knight, bishop, rook, queen terms.
#include <bit>
#include <cstring>

#include "eval/eval.h"
#include "eval/weights.h"

namespace {

// Squares as white sees them: white-oriented tables and the named squares in the rules below
// use this view.
inline int rel_sq(int colour, int sq) { return colour == WHITE ? sq : flip[sq]; }

inline bool own_piece_on(int colour, int rel, int type) {
    const int sq = rel_sq(colour, rel);  // the mirror is its own inverse
    return pos.piece[sq] == type && pos.color[sq] == colour;
}

inline int own_pawn_count(int colour) {
    const int n = pos.piece_count[colour][PAWN];
    return n > 8 ? 8 : n;
}

inline int enemy_king_distance(int colour, int sq) { return distance[sq][pos.king_square[1 - colour]]; }

inline bool on_seventh(int colour, int sq) { return (sq >> 3) == (colour == WHITE ? 1 : 6); }

// A rook's file without pawns, or with enemy pawns only.
int open_file_bonus(int colour, int sq) {
    const int x = (sq & 7) + 1;
    const bool white_none = pawn_rank[WHITE][x] == 0, black_none = pawn_rank[BLACK][x] == 7;
    const bool own_none = colour == WHITE ? white_none : black_none;
    const bool enemy_none = colour == WHITE ? black_none : white_none;
    if (!own_none) return 0;
    return enemy_none ? ROOK_OPEN_FILE : ROOK_HALF_OPEN_FILE;
}

// A rook walled in by its own uncastled king beside it on the back rank.
int rook_shut_in(int colour, int sq) {
    const int king = rel_sq(colour, pos.king_square[colour]);
    const int rook = rel_sq(colour, sq);
    if ((king == B1 || king == C1) && (rook == A1 || rook == B1 || rook == A2)) return ROOK_SHUT_IN;
    if ((king == F1 || king == G1) && (rook == H1 || rook == H2 || rook == G1)) return ROOK_SHUT_IN;
    return 0;
}

// The queen left home while a minor piece is still undeveloped.
int early_queen(int colour, int sq) {
    if (rel_sq(colour, sq) == D1) return 0;
    if (own_piece_on(colour, B1, KNIGHT) || own_piece_on(colour, C1, BISHOP) ||
        own_piece_on(colour, F1, BISHOP) || own_piece_on(colour, G1, KNIGHT))
        return EARLY_QUEEN;
    return 0;
}

// Paid per defending pawn where no enemy pawn on the adjacent files can ever attack the square.
int knight_outpost(int colour, int sq) {
    const int value = knight_outpost_white[rel_sq(colour, sq)];
    if (value == 0) return 0;
    const int row = sq >> 3, x = (sq & 7) + 1;
    if (colour == WHITE) {
        if (pawn_rank[BLACK][x - 1] < row || pawn_rank[BLACK][x + 1] < row) return 0;
    } else {
        if (pawn_rank[WHITE][x - 1] > row || pawn_rank[WHITE][x + 1] > row) return 0;
    }
    const int behind = colour == WHITE ? 8 : -8;  // the outpost table keeps these off the edges
    int result = 0;
    for (int s = sq + behind - 1; s <= sq + behind + 1; s += 2)
        if (pos.piece[s] == PAWN && pos.color[s] == colour) result += value;
    return result;
}

// --- Middlegame and endgame parts of each piece ----------------------------------------------

int pawn_mg(int colour, int sq) {
    const int rel = rel_sq(colour, sq);
    const int terms = colour == WHITE ? pawn_terms_white(sq) : pawn_terms_black(sq);
    return pawn_table_white[rel] + terms + (rel == D2 || rel == E2 ? UNMOVED_CENTRE_PAWN : 0);
}

int pawn_eg(int colour, int sq) {
    const int terms = colour == WHITE ? pawn_terms_white_endgame(sq) : pawn_terms_black_endgame(sq);
    return pawn_table_white[rel_sq(colour, sq)] + terms;
}

int knight_mg(int colour, int sq, int mobility) {
    const int rel = rel_sq(colour, sq);
    return knight_table_mg_white[rel] + knight_mobility[mobility] + (rel == B1 || rel == G1 ? KNIGHT_AT_HOME : 0) +
           knight_outpost(colour, sq) + knight_closeness[enemy_king_distance(colour, sq)] +
           knight_by_pawns[own_pawn_count(colour)];
}

int knight_eg(int colour, int sq, int mobility) {
    return knight_table_eg[sq] + knight_mobility[mobility] + knight_by_pawns[own_pawn_count(colour)];
}

int bishop_mg(int colour, int sq, int mobility) {
    const int rel = rel_sq(colour, sq);
    return bishop_table_mg_white[rel] + bishop_mobility[mobility] + (rel == C1 || rel == F1 ? BISHOP_AT_HOME : 0);
}

int bishop_eg(int sq, int mobility) { return bishop_table_eg[sq] + bishop_mobility[mobility]; }

int rook_mg(int colour, int sq, int mobility) {
    return rook_table[sq] + rook_mobility_mg[mobility] + (on_seventh(colour, sq) ? ROOK_ON_SEVENTH : 0) +
           open_file_bonus(colour, sq) + rook_shut_in(colour, sq) +
           rook_closeness[enemy_king_distance(colour, sq)] + rook_by_pawns[own_pawn_count(colour)];
}

int rook_eg(int colour, int sq, int mobility) {
    return rook_mobility_eg[mobility] + (on_seventh(colour, sq) ? ENDGAME_ROOK_ON_SEVENTH : 0) +
           open_file_bonus(colour, sq) + rook_by_pawns[own_pawn_count(colour)];
}

int queen_mg(int colour, int sq, int mobility) {
    return queen_table_mg_white[rel_sq(colour, sq)] + queen_mobility_mg[mobility] + early_queen(colour, sq) +
           queen_closeness[enemy_king_distance(colour, sq)] + (on_seventh(colour, sq) ? QUEEN_ON_SEVENTH : 0);
}

int queen_eg(int colour, int sq, int mobility) {
    return queen_table_eg[sq] + queen_mobility_eg[mobility] +
           (on_seventh(colour, sq) ? ENDGAME_QUEEN_ON_SEVENTH : 0);
}

// The rearmost pawns, the middlegame pawn terms, the kings' shelters and the endgame pawn terms
// but a passed pawn's own read nothing but the pawns, so a structure seen before is looked up, not
// scored again. An entry holds both colours' pawns in full, so a hit is always right; each phase's
// part is scored when first asked for.
struct PawnCacheEntry {
    uint64_t pawns[2];   // by Color
    int score[2];        // the sum of pawn_mg over that colour's pawns
    int endgame[2];      // the sum of pawn_eg over them, without the passed pawns' own terms
    uint64_t passed[2];  // the pawns whose own endgame terms are left to each evaluation
    int shelter[2][4];   // king_shelter by Color and king_file_group, with the middlegame sums
    int8_t rank[2][10];  // pawn_rank of these pawns, found with them
    bool filled;         // the entry holds the ranks of its pawns
    bool has_score, has_endgame;
};

// The king files that share a shelter: the queen's wing, d, e, the king's wing.
constexpr int king_file_group[8] = {0, 0, 0, 1, 2, 3, 3, 3};
constexpr int group_file[4] = {0, 3, 4, 7};

constexpr int PAWN_CACHE_ENTRIES = 2048;
// Zeroed at start-up without a page touched: no entry is filled, so even a position without pawns
// misses at first and finds its rearmost pawns.
PawnCacheEntry pawn_cache[PAWN_CACHE_ENTRIES];

int pawn_sum_mg(int colour, uint64_t pawns) {
    int sum = 0;
    for (; pawns != 0; pawns &= pawns - 1) sum += pawn_mg(colour, std::countr_zero(pawns));
    return sum;
}

PawnCacheEntry& pawn_entry() {
    const uint64_t white = pos.men[WHITE][PAWN], black = pos.men[BLACK][PAWN];
    const uint64_t mixed = (white * 0x9E3779B97F4A7C15ull) ^ (black * 0xC2B2AE3D27D4EB4Full);
    PawnCacheEntry& e = pawn_cache[(mixed >> 40) % PAWN_CACHE_ENTRIES];
    if (e.pawns[WHITE] != white || e.pawns[BLACK] != black || !e.filled) {
        e.pawns[WHITE] = white;
        e.pawns[BLACK] = black;
        e.filled = true;
        e.has_score = e.has_endgame = false;
        find_pawn_ranks(e.rank);
    }
    return e;
}

// The entry of the pawns on the board, with the parts asked for scored; pawn_rank must be theirs.
const PawnCacheEntry& pawn_structure(bool middlegame, bool endgame) {
    PawnCacheEntry& e = pawn_entry();
    const uint64_t white = e.pawns[WHITE], black = e.pawns[BLACK];
    if (middlegame && !e.has_score) {
        e.score[WHITE] = pawn_sum_mg(WHITE, white);
        e.score[BLACK] = pawn_sum_mg(BLACK, black);
        for (int colour = BLACK; colour <= WHITE; colour++)
            for (int group = 0; group < 4; group++) e.shelter[colour][group] = king_shelter(colour, group_file[group]);
        e.has_score = true;
    }
    if (endgame && !e.has_endgame) {
        for (int colour = BLACK; colour <= WHITE; colour++) {
            int sum = 0;
            uint64_t passed = 0;
            for (uint64_t b = e.pawns[colour]; b != 0; b &= b - 1) {
                const int sq = std::countr_zero(b);
                bool is_passed;
                sum += pawn_table_white[rel_sq(colour, sq)] + pawn_structure_terms_endgame(colour, sq, &is_passed);
                if (is_passed) passed |= uint64_t{1} << sq;
            }
            e.endgame[colour] = sum;
            e.passed[colour] = passed;
        }
        e.has_endgame = true;
    }
    return e;
}

// The sum of pawn_eg over a colour's pawns.
int pawn_sum_eg(const PawnCacheEntry& e, int colour) {
    int sum = e.endgame[colour];
    for (uint64_t b = e.passed[colour]; b != 0; b &= b - 1) sum += passed_pawn_terms_endgame(colour, std::countr_zero(b));
    return sum;
}

inline int king_shelter_of(const PawnCacheEntry& e, int colour) {
    return e.shelter[colour][king_file_group[pos.king_square[colour] & 7]];
}

inline uint64_t queen_attacks(int sq, uint64_t occupied) {
    return bishop_attacks(sq, occupied) | rook_attacks(sq, occupied);
}

// The empty squares among a man's attacks, which join its side's attack set.
inline int mobility_of(uint64_t attacks, uint64_t occupied, uint64_t& side_attacks) {
    side_attacks |= attacks;
    return square_count(attacks & ~occupied);
}

inline void add_score(int colour, int value) {
    if (colour == WHITE) white_score += value;
    else black_score += value;
}

}  // namespace

void reset_working_tables() {
    bishop_square_colour[WHITE] = bishop_square_colour[BLACK] = 0;
    std::memcpy(pawn_rank, pawn_entry().rank, sizeof pawn_rank);
}

// Mobility counts the empty squares a piece reaches: its attacks without the men they end on.
int knight_mobility_count(int sq) { return square_count(knight_attacks(sq) & ~all_men(pos)); }

int bishop_mobility_count(int sq) {
    const uint64_t occupied = all_men(pos);
    return square_count(bishop_attacks(sq, occupied) & ~occupied);
}

int rook_mobility_count(int sq) {
    const uint64_t occupied = all_men(pos);
    return square_count(rook_attacks(sq, occupied) & ~occupied);
}

int queen_mobility(int sq) {
    const uint64_t occupied = all_men(pos);
    return square_count(queen_attacks(sq, occupied) & ~occupied);
}

int square_terms_middlegame(int sq) {
    const int colour = pos.color[sq];
    switch (pos.piece[sq]) {
    case PAWN:   return pawn_mg(colour, sq);
    case KNIGHT: return knight_mg(colour, sq, knight_mobility_count(sq));
    case BISHOP: return bishop_mg(colour, sq, bishop_mobility_count(sq));
    case ROOK:   return rook_mg(colour, sq, rook_mobility_count(sq));
    case QUEEN:  return queen_mg(colour, sq, queen_mobility(sq));
    case KING:   return king_terms_middlegame(colour);
    default:     return 0;
    }
}

int square_terms_endgame(int sq) {
    const int colour = pos.color[sq];
    switch (pos.piece[sq]) {
    case PAWN:   return pawn_eg(colour, sq);
    case KNIGHT: return knight_eg(colour, sq, knight_mobility_count(sq));
    case BISHOP: return bishop_eg(sq, bishop_mobility_count(sq));
    case ROOK:   return rook_eg(colour, sq, rook_mobility_count(sq));
    case QUEEN:  return queen_eg(colour, sq, queen_mobility(sq));
    case KING:   return king_terms_endgame(colour);
    default:     return 0;
    }
}

// The loops visit each colour's men kind by kind in ascending square order, so the last bishop
// seen is the one on the highest square. Each man's attacks are found once, for its mobility and
// for the king zone.
void piece_terms_middlegame() {
    const PawnCacheEntry& pawns = pawn_structure(true, false);
    white_score += pawns.score[WHITE];
    black_score += pawns.score[BLACK];
    for (int colour = BLACK; colour <= WHITE; colour++) {
        const uint64_t* men = pos.men[colour];
        const uint64_t occupied = all_men(pos);
        uint64_t attacked = 0;
        int sum = 0;
        for (uint64_t b = men[KNIGHT]; b != 0; b &= b - 1) {
            const int sq = std::countr_zero(b);
            sum += knight_mg(colour, sq, mobility_of(knight_attacks(sq), occupied, attacked));
        }
        for (uint64_t b = men[BISHOP]; b != 0; b &= b - 1) {
            const int sq = std::countr_zero(b);
            sum += bishop_mg(colour, sq, mobility_of(bishop_attacks(sq, occupied), occupied, attacked));
        }
        for (uint64_t b = men[ROOK]; b != 0; b &= b - 1) {
            const int sq = std::countr_zero(b);
            sum += rook_mg(colour, sq, mobility_of(rook_attacks(sq, occupied), occupied, attacked));
        }
        for (uint64_t b = men[QUEEN]; b != 0; b &= b - 1) {
            const int sq = std::countr_zero(b);
            sum += queen_mg(colour, sq, mobility_of(queen_attacks(sq, occupied), occupied, attacked));
        }
        if (men[KING] != 0) sum += king_terms_middlegame(colour, king_shelter_of(pawns, colour));
        piece_attacks[colour] = attacked;
        add_score(colour, sum);
    }
}

void piece_terms_transition() {
    const PawnCacheEntry& pawns = pawn_structure(true, true);
    white_mg += pawns.score[WHITE];
    black_mg += pawns.score[BLACK];
    for (int colour = BLACK; colour <= WHITE; colour++) {
        const uint64_t* men = pos.men[colour];
        const uint64_t occupied = all_men(pos);
        uint64_t attacked = 0;
        int mg = 0, eg = pawn_sum_eg(pawns, colour);
        for (uint64_t b = men[KNIGHT]; b != 0; b &= b - 1) {
            const int sq = std::countr_zero(b);
            const int mobility = mobility_of(knight_attacks(sq), occupied, attacked);
            mg += knight_mg(colour, sq, mobility);
            eg += knight_eg(colour, sq, mobility);
        }
        for (uint64_t b = men[BISHOP]; b != 0; b &= b - 1) {
            const int sq = std::countr_zero(b);
            const int mobility = mobility_of(bishop_attacks(sq, occupied), occupied, attacked);
            mg += bishop_mg(colour, sq, mobility);
            eg += bishop_eg(sq, mobility);
            bishop_square_colour[colour] = square_colour[sq];
        }
        for (uint64_t b = men[ROOK]; b != 0; b &= b - 1) {
            const int sq = std::countr_zero(b);
            const int mobility = mobility_of(rook_attacks(sq, occupied), occupied, attacked);
            mg += rook_mg(colour, sq, mobility);
            eg += rook_eg(colour, sq, mobility);
        }
        for (uint64_t b = men[QUEEN]; b != 0; b &= b - 1) {
            const int sq = std::countr_zero(b);
            const int mobility = mobility_of(queen_attacks(sq, occupied), occupied, attacked);
            mg += queen_mg(colour, sq, mobility);
            eg += queen_eg(colour, sq, mobility);
        }
        if (men[KING] != 0) {
            mg += king_terms_middlegame(colour, king_shelter_of(pawns, colour));
            eg += king_terms_endgame(colour);
        }
        piece_attacks[colour] = attacked;
        if (colour == WHITE) {
            white_mg += mg;
            white_eg += eg;
        } else {
            black_mg += mg;
            black_eg += eg;
        }
    }
}

void piece_terms_endgame() {
    const PawnCacheEntry& pawns = pawn_structure(false, true);
    for (int colour = BLACK; colour <= WHITE; colour++) {
        const uint64_t* men = pos.men[colour];
        const uint64_t occupied = all_men(pos);
        uint64_t attacked = 0;
        int sum = pawn_sum_eg(pawns, colour);
        for (uint64_t b = men[KNIGHT]; b != 0; b &= b - 1) {
            const int sq = std::countr_zero(b);
            sum += knight_eg(colour, sq, mobility_of(knight_attacks(sq), occupied, attacked));
        }
        for (uint64_t b = men[BISHOP]; b != 0; b &= b - 1) {
            const int sq = std::countr_zero(b);
            sum += bishop_eg(sq, mobility_of(bishop_attacks(sq, occupied), occupied, attacked));
            bishop_square_colour[colour] = square_colour[sq];
        }
        for (uint64_t b = men[ROOK]; b != 0; b &= b - 1) {
            const int sq = std::countr_zero(b);
            sum += rook_eg(colour, sq, mobility_of(rook_attacks(sq, occupied), occupied, attacked));
        }
        for (uint64_t b = men[QUEEN]; b != 0; b &= b - 1) {
            const int sq = std::countr_zero(b);
            sum += queen_eg(colour, sq, mobility_of(queen_attacks(sq, occupied), occupied, attacked));
        }
        if (men[KING] != 0) sum += king_terms_endgame(colour);
        piece_attacks[colour] = attacked;
        add_score(colour, sum);
    }
}
