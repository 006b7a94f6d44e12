// The per-piece loops of the three phases, with mobility and the knight, bishop, rook, queen terms.
#include <bit>
#include <cstdlib>
#include <cstring>

#include "eval/eval.h"
#include "eval/weights.h"
#include "platform/platform.h"

namespace {

// Squares as white sees them: white-oriented tables and the named squares in the rules below
// use this view.
inline int rel_sq(int colour, int sq) { return colour == WHITE ? sq : flip[sq]; }

inline bool own_piece_on(Evaluator& e, int colour, int rel, int type) {
    const int sq = rel_sq(colour, rel);  // the mirror is its own inverse
    return e.pos.piece[sq] == type && e.pos.color[sq] == colour;
}

inline int own_pawn_count(Evaluator& e, int colour) {
    const int n = e.pos.piece_count[colour][PAWN];
    return n > 8 ? 8 : n;
}

inline int enemy_king_distance(Evaluator& e, int colour, int sq) { return distance[sq][e.pos.king_square[1 - colour]]; }

inline bool on_seventh(int colour, int sq) { return (sq >> 3) == (colour == WHITE ? 1 : 6); }

// A rook's file without pawns, or with enemy pawns only.
int open_file_bonus(Evaluator& e, int colour, int sq) {
    const int x = (sq & 7) + 1;
    const bool white_none = e.pawn_rank[WHITE][x] == 0, black_none = e.pawn_rank[BLACK][x] == 7;
    const bool own_none = colour == WHITE ? white_none : black_none;
    const bool enemy_none = colour == WHITE ? black_none : white_none;
    if (!own_none) return 0;
    return enemy_none ? ROOK_OPEN_FILE : ROOK_HALF_OPEN_FILE;
}

// A rook walled in by its own uncastled king beside it on the back rank.
int rook_shut_in(Evaluator& e, int colour, int sq) {
    const int king = rel_sq(colour, e.pos.king_square[colour]);
    const int rook = rel_sq(colour, sq);
    if ((king == B1 || king == C1) && (rook == A1 || rook == B1 || rook == A2)) return ROOK_SHUT_IN;
    if ((king == F1 || king == G1) && (rook == H1 || rook == H2 || rook == G1)) return ROOK_SHUT_IN;
    return 0;
}

// The queen left home while a minor piece is still undeveloped.
int early_queen(Evaluator& e, int colour, int sq) {
    if (rel_sq(colour, sq) == D1) return 0;
    if (own_piece_on(e, colour, B1, KNIGHT) || own_piece_on(e, colour, C1, BISHOP) ||
        own_piece_on(e, colour, F1, BISHOP) || own_piece_on(e, colour, G1, KNIGHT))
        return EARLY_QUEEN;
    return 0;
}

// Paid per defending pawn where no enemy pawn on the adjacent files can ever attack the square.
int knight_outpost(Evaluator& e, int colour, int sq) {
    const int value = knight_outpost_white[rel_sq(colour, sq)];
    if (value == 0) return 0;
    const int row = sq >> 3, x = (sq & 7) + 1;
    if (colour == WHITE) {
        if (e.pawn_rank[BLACK][x - 1] < row || e.pawn_rank[BLACK][x + 1] < row) return 0;
    } else {
        if (e.pawn_rank[WHITE][x - 1] > row || e.pawn_rank[WHITE][x + 1] > row) return 0;
    }
    const int behind = colour == WHITE ? 8 : -8;  // the outpost table keeps these off the edges
    int result = 0;
    for (int s = sq + behind - 1; s <= sq + behind + 1; s += 2)
        if (e.pos.piece[s] == PAWN && e.pos.color[s] == colour) result += value;
    return result;
}

// --- Middlegame and endgame parts of each piece ----------------------------------------------

int pawn_mg(Evaluator& e, int colour, int sq) {
    const int rel = rel_sq(colour, sq);
    const int terms = colour == WHITE ? pawn_terms_white(e, sq) : pawn_terms_black(e, sq);
    return pawn_table_white[rel] + terms + (rel == D2 || rel == E2 ? UNMOVED_CENTRE_PAWN : 0);
}

int pawn_eg(Evaluator& e, int colour, int sq) {
    const int terms = colour == WHITE ? pawn_terms_white_endgame(e, sq) : pawn_terms_black_endgame(e, sq);
    return pawn_table_white[rel_sq(colour, sq)] + terms;
}

int knight_mg(Evaluator& e, int colour, int sq, int mobility) {
    const int rel = rel_sq(colour, sq);
    return knight_table_mg_white[rel] + knight_mobility[mobility] + (rel == B1 || rel == G1 ? KNIGHT_AT_HOME : 0) +
           knight_outpost(e, colour, sq) + knight_closeness[enemy_king_distance(e, colour, sq)] +
           knight_by_pawns[own_pawn_count(e, colour)];
}

int knight_eg(Evaluator& e, int colour, int sq, int mobility) {
    return knight_table_eg[sq] + knight_mobility[mobility] + knight_by_pawns[own_pawn_count(e, colour)];
}

int bishop_mg(int colour, int sq, int mobility) {
    const int rel = rel_sq(colour, sq);
    return bishop_table_mg_white[rel] + bishop_mobility[mobility] + (rel == C1 || rel == F1 ? BISHOP_AT_HOME : 0);
}

int bishop_eg(int sq, int mobility) { return bishop_table_eg[sq] + bishop_mobility[mobility]; }

int rook_mg(Evaluator& e, int colour, int sq, int mobility) {
    return rook_table[sq] + rook_mobility_mg[mobility] + (on_seventh(colour, sq) ? ROOK_ON_SEVENTH : 0) +
           open_file_bonus(e, colour, sq) + rook_shut_in(e, colour, sq) +
           rook_closeness[enemy_king_distance(e, colour, sq)] + rook_by_pawns[own_pawn_count(e, colour)];
}

int rook_eg(Evaluator& e, int colour, int sq, int mobility) {
    return rook_mobility_eg[mobility] + (on_seventh(colour, sq) ? ENDGAME_ROOK_ON_SEVENTH : 0) +
           open_file_bonus(e, colour, sq) + rook_by_pawns[own_pawn_count(e, colour)];
}

int queen_mg(Evaluator& e, int colour, int sq, int mobility) {
    return queen_table_mg_white[rel_sq(colour, sq)] + queen_mobility_mg[mobility] + early_queen(e, colour, sq) +
           queen_closeness[enemy_king_distance(e, colour, sq)] + (on_seventh(colour, sq) ? QUEEN_ON_SEVENTH : 0);
}

int queen_eg(int colour, int sq, int mobility) {
    return queen_table_eg[sq] + queen_mobility_eg[mobility] +
           (on_seventh(colour, sq) ? ENDGAME_QUEEN_ON_SEVENTH : 0);
}

}  // namespace

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

namespace {

constexpr int PAWN_CACHE_ENTRIES = 2048;
constexpr size_t PAWN_CACHE_BYTES = sizeof(PawnCacheEntry) * PAWN_CACHE_ENTRIES;

// The king files that share a shelter: the queen's wing, d, e, the king's wing.
constexpr int king_file_group[8] = {0, 0, 0, 1, 2, 3, 3, 3};
constexpr int group_file[4] = {0, 3, 4, 7};


int pawn_sum_mg(Evaluator& e, int colour, uint64_t pawns) {
    int sum = 0;
    for (; pawns != 0; pawns &= pawns - 1) sum += pawn_mg(e, colour, std::countr_zero(pawns));
    return sum;
}

PawnCacheEntry& pawn_entry(Evaluator& e) {
    const uint64_t white = e.pos.men[WHITE][PAWN], black = e.pos.men[BLACK][PAWN];
    const uint64_t mixed = (white * 0x9E3779B97F4A7C15ull) ^ (black * 0xC2B2AE3D27D4EB4Full);
    PawnCacheEntry& entry = e.pawn_cache[(mixed >> 40) % PAWN_CACHE_ENTRIES];
    if (entry.pawns[WHITE] != white || entry.pawns[BLACK] != black || !entry.filled) {
        entry.pawns[WHITE] = white;
        entry.pawns[BLACK] = black;
        entry.filled = true;
        entry.has_score = entry.has_endgame = false;
        find_pawn_ranks(e, entry.rank);
    }
    return entry;
}

// The entry of the pawns on the board, with the parts asked for scored; pawn_rank must be theirs.
const PawnCacheEntry& pawn_structure(Evaluator& e, bool middlegame, bool endgame) {
    PawnCacheEntry& entry = pawn_entry(e);
    const uint64_t white = entry.pawns[WHITE], black = entry.pawns[BLACK];
    if (middlegame && !entry.has_score) {
        entry.score[WHITE] = pawn_sum_mg(e, WHITE, white);
        entry.score[BLACK] = pawn_sum_mg(e, BLACK, black);
        for (int colour = BLACK; colour <= WHITE; colour++)
            for (int group = 0; group < 4; group++) entry.shelter[colour][group] = king_shelter(e, colour, group_file[group]);
        entry.has_score = true;
    }
    if (endgame && !entry.has_endgame) {
        for (int colour = BLACK; colour <= WHITE; colour++) {
            int sum = 0;
            uint64_t passed = 0;
            for (uint64_t b = entry.pawns[colour]; b != 0; b &= b - 1) {
                const int sq = std::countr_zero(b);
                bool is_passed;
                sum += pawn_table_white[rel_sq(colour, sq)] + pawn_structure_terms_endgame(e, colour, sq, &is_passed);
                if (is_passed) passed |= uint64_t{1} << sq;
            }
            entry.endgame[colour] = sum;
            entry.passed[colour] = passed;
        }
        entry.has_endgame = true;
    }
    return entry;
}

// The sum of pawn_eg over a colour's pawns.
int pawn_sum_eg(Evaluator& e, const PawnCacheEntry& entry, int colour) {
    int sum = entry.endgame[colour];
    for (uint64_t b = entry.passed[colour]; b != 0; b &= b - 1) sum += passed_pawn_terms_endgame(e, colour, std::countr_zero(b));
    return sum;
}

inline int king_shelter_of(const Evaluator& e, const PawnCacheEntry& entry, int colour) {
    return entry.shelter[colour][king_file_group[e.pos.king_square[colour] & 7]];
}

inline uint64_t queen_attacks(int sq, uint64_t occupied) {
    return bishop_attacks(sq, occupied) | rook_attacks(sq, occupied);
}

// The empty squares among a man's attacks, which join its side's attack set.
inline int mobility_of(uint64_t attacks, uint64_t occupied, uint64_t& side_attacks) {
    side_attacks |= attacks;
    return square_count(attacks & ~occupied);
}

inline void add_score(Evaluator& e, int colour, int value) {
    if (colour == WHITE) e.white_score += value;
    else e.black_score += value;
}

}  // namespace

// The pawn cache comes zeroed without a page touched: no entry is filled, so even a position
// without pawns misses at first and finds its rearmost pawns.
Evaluator::Evaluator(const Position& position)
    : pos(position), pawn_cache(static_cast<PawnCacheEntry*>(table_memory_alloc(PAWN_CACHE_BYTES))) {
    if (pawn_cache == nullptr) std::abort();  // a few hundred kilobytes: nothing could run without them
}

Evaluator::~Evaluator() { table_memory_free(pawn_cache, PAWN_CACHE_BYTES); }

size_t pawn_cache_bytes() { return PAWN_CACHE_BYTES; }

void reset_working_tables(Evaluator& e) {
    e.bishop_square_colour[WHITE] = e.bishop_square_colour[BLACK] = 0;
    std::memcpy(e.pawn_rank, pawn_entry(e).rank, sizeof e.pawn_rank);
}

// Mobility counts the empty squares a piece reaches: its attacks without the men they end on.
int knight_mobility_count(Evaluator& e, int sq) { return square_count(knight_attacks(sq) & ~all_men(e.pos)); }

int bishop_mobility_count(Evaluator& e, int sq) {
    const uint64_t occupied = all_men(e.pos);
    return square_count(bishop_attacks(sq, occupied) & ~occupied);
}

int rook_mobility_count(Evaluator& e, int sq) {
    const uint64_t occupied = all_men(e.pos);
    return square_count(rook_attacks(sq, occupied) & ~occupied);
}

int queen_mobility(Evaluator& e, int sq) {
    const uint64_t occupied = all_men(e.pos);
    return square_count(queen_attacks(sq, occupied) & ~occupied);
}

int square_terms_middlegame(Evaluator& e, int sq) {
    const int colour = e.pos.color[sq];
    switch (e.pos.piece[sq]) {
    case PAWN:   return pawn_mg(e, colour, sq);
    case KNIGHT: return knight_mg(e, colour, sq, knight_mobility_count(e, sq));
    case BISHOP: return bishop_mg(colour, sq, bishop_mobility_count(e, sq));
    case ROOK:   return rook_mg(e, colour, sq, rook_mobility_count(e, sq));
    case QUEEN:  return queen_mg(e, colour, sq, queen_mobility(e, sq));
    case KING:   return king_terms_middlegame(e, colour);
    default:     return 0;
    }
}

int square_terms_endgame(Evaluator& e, int sq) {
    const int colour = e.pos.color[sq];
    switch (e.pos.piece[sq]) {
    case PAWN:   return pawn_eg(e, colour, sq);
    case KNIGHT: return knight_eg(e, colour, sq, knight_mobility_count(e, sq));
    case BISHOP: return bishop_eg(sq, bishop_mobility_count(e, sq));
    case ROOK:   return rook_eg(e, colour, sq, rook_mobility_count(e, sq));
    case QUEEN:  return queen_eg(colour, sq, queen_mobility(e, sq));
    case KING:   return king_terms_endgame(e, colour);
    default:     return 0;
    }
}

// The loops visit each colour's men kind by kind in ascending square order, so the last bishop
// seen is the one on the highest square. Each man's attacks are found once, for its mobility and
// for the king zone.
void piece_terms_middlegame(Evaluator& e) {
    const PawnCacheEntry& pawns = pawn_structure(e, true, false);
    e.white_score += pawns.score[WHITE];
    e.black_score += pawns.score[BLACK];
    for (int colour = BLACK; colour <= WHITE; colour++) {
        const uint64_t* men = e.pos.men[colour];
        const uint64_t occupied = all_men(e.pos);
        uint64_t attacked = 0;
        int sum = 0;
        for (uint64_t b = men[KNIGHT]; b != 0; b &= b - 1) {
            const int sq = std::countr_zero(b);
            sum += knight_mg(e, colour, sq, mobility_of(knight_attacks(sq), occupied, attacked));
        }
        for (uint64_t b = men[BISHOP]; b != 0; b &= b - 1) {
            const int sq = std::countr_zero(b);
            sum += bishop_mg(colour, sq, mobility_of(bishop_attacks(sq, occupied), occupied, attacked));
        }
        for (uint64_t b = men[ROOK]; b != 0; b &= b - 1) {
            const int sq = std::countr_zero(b);
            sum += rook_mg(e, colour, sq, mobility_of(rook_attacks(sq, occupied), occupied, attacked));
        }
        for (uint64_t b = men[QUEEN]; b != 0; b &= b - 1) {
            const int sq = std::countr_zero(b);
            sum += queen_mg(e, colour, sq, mobility_of(queen_attacks(sq, occupied), occupied, attacked));
        }
        if (men[KING] != 0) sum += king_terms_middlegame(e, colour, king_shelter_of(e, pawns, colour));
        e.piece_attacks[colour] = attacked;
        add_score(e, colour, sum);
    }
}

void piece_terms_transition(Evaluator& e) {
    const PawnCacheEntry& pawns = pawn_structure(e, true, true);
    e.white_mg += pawns.score[WHITE];
    e.black_mg += pawns.score[BLACK];
    for (int colour = BLACK; colour <= WHITE; colour++) {
        const uint64_t* men = e.pos.men[colour];
        const uint64_t occupied = all_men(e.pos);
        uint64_t attacked = 0;
        int mg = 0, eg = pawn_sum_eg(e, pawns, colour);
        for (uint64_t b = men[KNIGHT]; b != 0; b &= b - 1) {
            const int sq = std::countr_zero(b);
            const int mobility = mobility_of(knight_attacks(sq), occupied, attacked);
            mg += knight_mg(e, colour, sq, mobility);
            eg += knight_eg(e, colour, sq, mobility);
        }
        for (uint64_t b = men[BISHOP]; b != 0; b &= b - 1) {
            const int sq = std::countr_zero(b);
            const int mobility = mobility_of(bishop_attacks(sq, occupied), occupied, attacked);
            mg += bishop_mg(colour, sq, mobility);
            eg += bishop_eg(sq, mobility);
            e.bishop_square_colour[colour] = square_colour[sq];
        }
        for (uint64_t b = men[ROOK]; b != 0; b &= b - 1) {
            const int sq = std::countr_zero(b);
            const int mobility = mobility_of(rook_attacks(sq, occupied), occupied, attacked);
            mg += rook_mg(e, colour, sq, mobility);
            eg += rook_eg(e, colour, sq, mobility);
        }
        for (uint64_t b = men[QUEEN]; b != 0; b &= b - 1) {
            const int sq = std::countr_zero(b);
            const int mobility = mobility_of(queen_attacks(sq, occupied), occupied, attacked);
            mg += queen_mg(e, colour, sq, mobility);
            eg += queen_eg(colour, sq, mobility);
        }
        if (men[KING] != 0) {
            mg += king_terms_middlegame(e, colour, king_shelter_of(e, pawns, colour));
            eg += king_terms_endgame(e, colour);
        }
        e.piece_attacks[colour] = attacked;
        if (colour == WHITE) {
            e.white_mg += mg;
            e.white_eg += eg;
        } else {
            e.black_mg += mg;
            e.black_eg += eg;
        }
    }
}

void piece_terms_endgame(Evaluator& e) {
    const PawnCacheEntry& pawns = pawn_structure(e, false, true);
    for (int colour = BLACK; colour <= WHITE; colour++) {
        const uint64_t* men = e.pos.men[colour];
        const uint64_t occupied = all_men(e.pos);
        uint64_t attacked = 0;
        int sum = pawn_sum_eg(e, pawns, colour);
        for (uint64_t b = men[KNIGHT]; b != 0; b &= b - 1) {
            const int sq = std::countr_zero(b);
            sum += knight_eg(e, colour, sq, mobility_of(knight_attacks(sq), occupied, attacked));
        }
        for (uint64_t b = men[BISHOP]; b != 0; b &= b - 1) {
            const int sq = std::countr_zero(b);
            sum += bishop_eg(sq, mobility_of(bishop_attacks(sq, occupied), occupied, attacked));
            e.bishop_square_colour[colour] = square_colour[sq];
        }
        for (uint64_t b = men[ROOK]; b != 0; b &= b - 1) {
            const int sq = std::countr_zero(b);
            sum += rook_eg(e, colour, sq, mobility_of(rook_attacks(sq, occupied), occupied, attacked));
        }
        for (uint64_t b = men[QUEEN]; b != 0; b &= b - 1) {
            const int sq = std::countr_zero(b);
            sum += queen_eg(colour, sq, mobility_of(queen_attacks(sq, occupied), occupied, attacked));
        }
        if (men[KING] != 0) sum += king_terms_endgame(e, colour);
        e.piece_attacks[colour] = attacked;
        add_score(e, colour, sum);
    }
}
