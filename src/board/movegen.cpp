// Move generation with ordering scores and captures-only generation.
#include <bit>
#include <initializer_list>

#include "board/board.h"
#include "board/geometry.h"

using namespace board_detail;

namespace {

constexpr int SCORE_MATE_KILLER = 5000000;
constexpr int SCORE_PROMOTE_QUEEN = 3000050;
constexpr int SCORE_GOOD_CAPTURE = 3000000;  // plus 100 x victim minus attacker
constexpr int SCORE_KILLER1 = 2800000;
constexpr int SCORE_KILLER1_PLY2 = 2700000;
constexpr int SCORE_KILLER2 = 2600000;
constexpr int SCORE_KILLER2_PLY2 = 2500000;
constexpr int SCORE_PROMOTE_KNIGHT = 2300000;
constexpr int SCORE_PROMOTE_ROOK = 2200000;
constexpr int SCORE_PROMOTE_BISHOP = 2100000;
constexpr int SCORE_BAD_CAPTURE = -10000;  // plus 100 x victim minus attacker

// Room kept free before each man: a queen has at most 27 targets, and castling and en passant
// add at most four after the last man, so the list can never overrun MAX_MOVES.
constexpr int LIST_RESERVE = 32;

// The ordering memory's moves of this ply as from * 64 + to, -1 where there is none to match,
// the squares they start from, and its history counters (none: every quiet move scores 0).
struct Killers {
    int mate, k1, k1_back, k2, k2_back;
    uint64_t from_squares;
    const int (*history)[64];
};

const int no_history[64][64] = {};

int killer_key(const Move& m) {
    if (m.from < 0 || m.from > 63 || m.to < 0 || m.to > 63) return -1;
    return m.from * 64 + m.to;
}

Killers killers_of_ply(const OrderingMemory* ordering, int ply) {
    Killers k = {-1, -1, -1, -1, -1, 0, no_history};
    if (ordering == nullptr) return k;
    k.history = ordering->history;
    if (ply < 0 || ply >= MAX_PLY) return k;
    k.mate = killer_key(ordering->mate_killer[ply]);
    k.k1 = killer_key(ordering->killer1[ply]);
    k.k2 = killer_key(ordering->killer2[ply]);
    if (ply >= 2) {
        k.k1_back = killer_key(ordering->killer1[ply - 2]);
        k.k2_back = killer_key(ordering->killer2[ply - 2]);
    }
    for (const int key : {k.mate, k.k1, k.k1_back, k.k2, k.k2_back})
        if (key >= 0) k.from_squares |= bit(key / 64);
    return k;
}

// Score of a move to an empty square: the killers first match wins, else the history counter.
inline int quiet_score(const Killers& k, int from, int to) {
    int key = from * 64 + to;
    if (key == k.mate) return SCORE_MATE_KILLER;
    if (key == k.k1) return SCORE_KILLER1;
    if (key == k.k1_back) return SCORE_KILLER1_PLY2;
    if (key == k.k2) return SCORE_KILLER2;
    if (key == k.k2_back) return SCORE_KILLER2_PLY2;
    return k.history[from][to];
}

// The quiet moves of one man: most men start no killer, and their moves score by history alone.
struct QuietScores {
    const Killers& k;
    const int from;
    const int* history;
    const bool killer_from;
    QuietScores(const Killers& killers, int s)
        : k(killers), from(s), history(killers.history[s]), killer_from((killers.from_squares & bit(s)) != 0) {}
    int operator()(int to) const { return killer_from ? quiet_score(k, from, to) : history[to]; }
};

// Is `to` defended by a pawn of the opponent of `mover`? Such a pawn stands where a pawn of the
// mover on `to` would take.
inline bool pawn_defended(const Position& p, int to, int mover) {
    return (pawn_attack_mask[mover][to] & p.men[1 - mover][PAWN]) != 0;
}

// A capture is bad when the victim is worth at least 50 less than the attacker and an enemy pawn
// defends the square.
inline bool bad_capture(const Position& p, int victim, int attacker, int to, int mover) {
    return piece_value[victim] <= piece_value[attacker] - 50 && pawn_defended(p, to, mover);
}

inline int capture_score(const Position& p, int victim, int attacker, int to, int mover) {
    if (bad_capture(p, victim, attacker, to, mover)) return SCORE_BAD_CAPTURE + 100 * victim - attacker;
    return SCORE_GOOD_CAPTURE + 100 * victim - attacker;
}

inline int promotion_score(int type) {
    switch (type) {
        case MOVE_PROMOTE_QUEEN: return SCORE_PROMOTE_QUEEN;
        case MOVE_PROMOTE_ROOK: return SCORE_PROMOTE_ROOK;
        case MOVE_PROMOTE_BISHOP: return SCORE_PROMOTE_BISHOP;
        default: return SCORE_PROMOTE_KNIGHT;
    }
}

inline void put(Move* list, int& n, int from, int to, int type, int score) {
    Move& m = list[n++];
    m.from = from;
    m.to = to;
    m.type = type;
    m.score = score;
}

// The four promotions of one pawn move, queen, rook, bishop, knight, with their fixed scores.
inline void put_promotions(Move* list, int& n, int from, int to) {
    put(list, n, from, to, MOVE_PROMOTE_QUEEN, SCORE_PROMOTE_QUEEN);
    put(list, n, from, to, MOVE_PROMOTE_ROOK, SCORE_PROMOTE_ROOK);
    put(list, n, from, to, MOVE_PROMOTE_BISHOP, SCORE_PROMOTE_BISHOP);
    put(list, n, from, to, MOVE_PROMOTE_KNIGHT, SCORE_PROMOTE_KNIGHT);
}

// The squares of a set, highest first when Downward, else lowest first: a knight's targets
// below its square, then above it, come out in the order of its steps.
template <bool Downward, typename Visit>
inline void for_each_outward(uint64_t squares, Visit visit) {
    while (squares != 0) {
        const int t = Downward ? 63 - std::countl_zero(squares) : std::countr_zero(squares);
        squares ^= bit(t);
        visit(t);
    }
}

// A slider's moves along ray D: the empty squares outward, then the capture of the first man
// when it is the opponent's. Only the first man is looked up; the squares before it are counted
// by its distance, the steps between two squares on one line.
template <int D, typename Quiet, typename Capture>
inline void slide(int s, uint64_t occupied, uint64_t theirs, Quiet quiet, Capture capture) {
    const int b = first_blocker(s, D, occupied);
    int empty_squares = b == NO_SQUARE ? ray_length[s][D] : distance[s][b] - 1;
    for (int t = s + ray_step[D]; empty_squares > 0; --empty_squares, t += ray_step[D]) quiet(t);
    if (b != NO_SQUARE && (theirs & bit(b))) capture(b);
}

inline void add_scored(const Position& p, const Killers& k, int from, int to, int type, Move* list, int& n) {
    int score;
    if (type >= MOVE_PROMOTE_QUEEN && type <= MOVE_PROMOTE_KNIGHT)
        score = promotion_score(type);
    else if (p.piece[to] == EMPTY)
        score = quiet_score(k, from, to);
    else  // a Chess960 king landing on an own man is scored as the capture of that man
        score = capture_score(p, p.piece[to], p.piece[from], to, p.color[from] == EMPTY ? p.side : p.color[from]);
    put(list, n, from, to, type, score);
}

}  // namespace

int is_bad_capture(const Position& pos, int from, int to) {
    if (from < 0 || from > 63 || to < 0 || to > 63) return 0;
    const Position& p = pos;
    int mover = p.color[from] == EMPTY ? p.side : p.color[from];
    return bad_capture(p, p.piece[to], p.piece[from], to, mover) ? 1 : 0;
}

void add_move(const Position& pos, int from, int to, int type, Move* list, int* count, const OrderingMemory* ordering) {
    Killers k = killers_of_ply(ordering, pos.ply);
    add_scored(pos, k, from, to, type, list, *count);
}

namespace {

// The list for side `me`, fixed at compile time so that every pawn step is a constant.
template <int me>
int generate_for(const Position& p, Move* list, const Killers& k) {
    constexpr int opp = 1 - me;
    const int* piece = p.piece;
    const int* color = p.color;
    const uint64_t mine = p.occupied[me], theirs = p.occupied[opp], occupied = mine | theirs;
    int n = 0;

    // The men in square order, a8 first: the order of the list is part of the search's order.
    for (uint64_t own = p.occupied[me]; own != 0; own &= own - 1) {
        const int s = std::countr_zero(own);
        if (n > MAX_MOVES - LIST_RESERVE) break;
        const int type = piece[s];
        switch (type) {
            case PAWN: {
                const int f = s & 7;
                // Captures toward the a-side, then the h-side, the step, and the double step.
                const int left = me == WHITE ? s - 9 : s + 7;
                const int right = me == WHITE ? s - 7 : s + 9;
                const int ahead = me == WHITE ? s - 8 : s + 8;
                const bool promotes = me == WHITE ? ahead < 8 : ahead >= 56;
                if (f > 0 && color[left] == opp) {
                    if (promotes) put_promotions(list, n, s, left);
                    else put(list, n, s, left, MOVE_NORMAL, SCORE_GOOD_CAPTURE + 100 * piece[left]);
                }
                if (f < 7 && color[right] == opp) {
                    if (promotes) put_promotions(list, n, s, right);
                    else put(list, n, s, right, MOVE_NORMAL, SCORE_GOOD_CAPTURE + 100 * piece[right]);
                }
                if (color[ahead] == EMPTY) {
                    if (promotes) {
                        put_promotions(list, n, s, ahead);
                    } else {
                        const QuietScores quiet(k, s);
                        put(list, n, s, ahead, MOVE_NORMAL, quiet(ahead));
                        const bool home = me == WHITE ? s >= 48 : s < 16;
                        const int two = me == WHITE ? s - 16 : s + 16;
                        if (home && color[two] == EMPTY)
                            put(list, n, s, two, MOVE_DOUBLE_PUSH, quiet(two));
                    }
                }
                break;
            }
            case KNIGHT: {
                // Its targets below s in falling order, then those above in rising order: the
                // order of its steps -6, -10, -15, -17, +6, +10, +15, +17.
                const QuietScores quiet(k, s);
                const uint64_t targets = knight_mask[s] & ~mine;
                auto visit = [&](int t) {
                    if (theirs & bit(t)) put(list, n, s, t, MOVE_NORMAL, capture_score(p, piece[t], KNIGHT, t, me));
                    else put(list, n, s, t, MOVE_NORMAL, quiet(t));
                };
                for_each_outward<true>(targets & (bit(s) - 1), visit);
                for_each_outward<false>(targets & ~(bit(s) - 1), visit);
                break;
            }
            case KING: {
                const TargetList& targets = king_targets[s];
                const QuietScores quiet(k, s);
                for (int i = 0; i < targets.n; ++i) {
                    const int t = targets.square[i];
                    if (color[t] == EMPTY)
                        put(list, n, s, t, MOVE_NORMAL, quiet(t));
                    else if (color[t] == opp)
                        put(list, n, s, t, MOVE_NORMAL, capture_score(p, piece[t], type, t, me));
                }
                break;
            }
            default: {  // bishop, rook, queen
                const QuietScores score(k, s);
                auto quiet = [&](int t) { put(list, n, s, t, MOVE_NORMAL, score(t)); };
                auto capture = [&](int t) { put(list, n, s, t, MOVE_NORMAL, capture_score(p, piece[t], type, t, me)); };
                if (type != ROOK) {
                    slide<RAY_UP_LEFT>(s, occupied, theirs, quiet, capture);
                    slide<RAY_UP_RIGHT>(s, occupied, theirs, quiet, capture);
                    slide<RAY_DOWN_RIGHT>(s, occupied, theirs, quiet, capture);
                    slide<RAY_DOWN_LEFT>(s, occupied, theirs, quiet, capture);
                }
                if (type != BISHOP) {
                    slide<RAY_LEFT>(s, occupied, theirs, quiet, capture);
                    slide<RAY_RIGHT>(s, occupied, theirs, quiet, capture);
                    slide<RAY_UP>(s, occupied, theirs, quiet, capture);
                    slide<RAY_DOWN>(s, occupied, theirs, quiet, capture);
                }
                break;
            }
        }
    }

    // Castling, from the rights alone; the variants without castling get none.
    if (p.castle != 0 && variant_kind != VARIANT_OTHER) {
        const int king = p.king_square[me];
        if (me == WHITE) {
            if (p.castle & CASTLE_WHITE_SHORT) add_scored(p, k, king, G1, MOVE_CASTLE, list, n);
            if (p.castle & CASTLE_WHITE_LONG) add_scored(p, k, king, C1, MOVE_CASTLE, list, n);
        } else {
            if (p.castle & CASTLE_BLACK_SHORT) add_scored(p, k, king, G8, MOVE_CASTLE, list, n);
            if (p.castle & CASTLE_BLACK_LONG) add_scored(p, k, king, C8, MOVE_CASTLE, list, n);
        }
    }

    // En passant, last; scored as a move to an empty square.
    if (p.ep != NO_SQUARE) {
        const int ep = p.ep, f = ep & 7;
        if (me == WHITE) {
            if (f > 0 && piece[ep + 7] == PAWN && color[ep + 7] == WHITE)
                put(list, n, ep + 7, ep, MOVE_EN_PASSANT, quiet_score(k, ep + 7, ep));
            if (f < 7 && piece[ep + 9] == PAWN && color[ep + 9] == WHITE)
                put(list, n, ep + 9, ep, MOVE_EN_PASSANT, quiet_score(k, ep + 9, ep));
        } else {
            if (f > 0 && piece[ep - 9] == PAWN && color[ep - 9] == BLACK)
                put(list, n, ep - 9, ep, MOVE_EN_PASSANT, quiet_score(k, ep - 9, ep));
            if (f < 7 && piece[ep - 7] == PAWN && color[ep - 7] == BLACK)
                put(list, n, ep - 7, ep, MOVE_EN_PASSANT, quiet_score(k, ep - 7, ep));
        }
    }
    return n;
}

}  // namespace

int generate_moves(const Position& pos, Move* list, const OrderingMemory* ordering) {
    const Killers k = killers_of_ply(ordering, pos.ply);
    return pos.side == WHITE ? generate_for<WHITE>(pos, list, k) : generate_for<BLACK>(pos, list, k);
}

namespace {

// Captures only, for side `me` fixed at compile time as in generate_for.
template <int me>
int captures_for(const Position& p, Move* list) {
    constexpr int opp = 1 - me;
    const int* piece = p.piece;
    const int* color = p.color;
    const uint64_t theirs = p.occupied[opp], occupied = p.occupied[me] | theirs;
    int n = 0;

    // A capture by `type` of the man on t: the good-capture score, or the quiescence's mark.
    auto capture = [&](int from, int t, int type) {
        int victim = piece[t];
        int score = bad_capture(p, victim, type, t, me) ? SCORE_BAD_CAPTURE_MARK
                                                        : SCORE_GOOD_CAPTURE + 100 * victim - type;
        put(list, n, from, t, MOVE_NORMAL, score);
    };

    // The men in square order, a8 first: the order of the list is part of the search's order.
    for (uint64_t own = p.occupied[me]; own != 0; own &= own - 1) {
        const int s = std::countr_zero(own);
        if (n > MAX_MOVES - LIST_RESERVE) break;
        const int type = piece[s];
        switch (type) {
            case PAWN: {
                const int f = s & 7;
                const int left = me == WHITE ? s - 9 : s + 7;
                const int right = me == WHITE ? s - 7 : s + 9;
                const int ahead = me == WHITE ? s - 8 : s + 8;
                const bool promotes = me == WHITE ? ahead < 8 : ahead >= 56;
                // The push to the last row first, as a queen promotion only.
                if (promotes && color[ahead] == EMPTY) put(list, n, s, ahead, MOVE_PROMOTE_QUEEN, SCORE_PROMOTE_QUEEN);
                if (f > 0 && color[left] == opp) {
                    if (promotes) put(list, n, s, left, MOVE_PROMOTE_QUEEN, SCORE_PROMOTE_QUEEN);
                    else put(list, n, s, left, MOVE_NORMAL, SCORE_GOOD_CAPTURE + 100 * piece[left]);
                }
                if (f < 7 && color[right] == opp) {
                    if (promotes) put(list, n, s, right, MOVE_PROMOTE_QUEEN, SCORE_PROMOTE_QUEEN);
                    else put(list, n, s, right, MOVE_NORMAL, SCORE_GOOD_CAPTURE + 100 * piece[right]);
                }
                break;
            }
            case KNIGHT: {
                // In the order of the knight's steps, as generate_moves lists them.
                const uint64_t targets = knight_mask[s] & theirs;
                auto visit = [&](int t) { capture(s, t, KNIGHT); };
                for_each_outward<true>(targets & (bit(s) - 1), visit);
                for_each_outward<false>(targets & ~(bit(s) - 1), visit);
                break;
            }
            case KING: {
                if ((king_mask[s] & theirs) == 0) break;
                const TargetList& targets = king_targets[s];
                for (int i = 0; i < targets.n; ++i) {
                    const int t = targets.square[i];
                    if (color[t] == opp) capture(s, t, type);
                }
                break;
            }
            default: {
                // Most sliders have no opponent's man on any of their lines.
                const uint64_t reach = type == BISHOP ? diagonal_reach[s] : type == ROOK ? line_reach[s]
                                                                                      : diagonal_reach[s] | line_reach[s];
                if ((reach & theirs) == 0) break;
                const int first = type == ROOK ? RAY_LEFT : RAY_UP_LEFT;
                const int last = type == BISHOP ? RAY_DOWN_LEFT : RAY_DOWN;
                for (int d = first; d <= last; ++d) {
                    const int t = first_blocker(s, d, occupied);
                    if (t != NO_SQUARE && (theirs & bit(t))) capture(s, t, type);
                }
                break;
            }
        }
    }

    if (p.ep != NO_SQUARE) {
        const int ep = p.ep, f = ep & 7;
        if (me == WHITE) {
            if (f > 0 && piece[ep + 7] == PAWN && color[ep + 7] == WHITE) put(list, n, ep + 7, ep, MOVE_EN_PASSANT, 0);
            if (f < 7 && piece[ep + 9] == PAWN && color[ep + 9] == WHITE) put(list, n, ep + 9, ep, MOVE_EN_PASSANT, 0);
        } else {
            if (f > 0 && piece[ep - 9] == PAWN && color[ep - 9] == BLACK) put(list, n, ep - 9, ep, MOVE_EN_PASSANT, 0);
            if (f < 7 && piece[ep - 7] == PAWN && color[ep - 7] == BLACK) put(list, n, ep - 7, ep, MOVE_EN_PASSANT, 0);
        }
    }
    return n;
}

}  // namespace

int gen_captures(const Position& pos, Move* list) { return pos.side == WHITE ? captures_for<WHITE>(pos, list) : captures_for<BLACK>(pos, list); }
