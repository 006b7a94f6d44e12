// The number of legal moves, counted from the bitboards without listing or making them (perft's
// last ply and the root's move count).
#include <bit>

#include "board/board.h"
#include "board/geometry.h"

using namespace board_detail;

namespace {

constexpr uint64_t ROW_0 = 0xFFull;       // rank 8
constexpr uint64_t ROW_7 = ROW_0 << 56;   // rank 1

// The squares from s along the line to t, t included, s left out (t on a line through s).
inline uint64_t segment(int s, int t) {
    const int d = line_direction[s][t];
    return ray_mask[s][d] ^ ray_mask[t][d];
}

// Is s attacked by colour `a` with the board's men standing on `occupied` instead?
inline bool attacked_over(const Position& p, int s, int a, uint64_t occupied) {
    const uint64_t* men = p.men[a];
    if ((knight_mask[s] & men[KNIGHT]) | (pawn_attack_mask[1 - a][s] & men[PAWN]) | (king_mask[s] & men[KING]))
        return true;
    const uint64_t sliders = ((men[ROOK] | men[QUEEN]) & line_reach[s]) | ((men[BISHOP] | men[QUEEN]) & diagonal_reach[s]);
    for (uint64_t b = sliders; b != 0; b &= b - 1) {
        const int t = std::countr_zero(b);
        if ((segment(s, t) & occupied) == bit(t)) return true;
    }
    return false;
}

constexpr uint64_t LAST_ROWS = ROW_0 | ROW_7;  // a pawn only ever reaches its own side's last row

// The moves of the pawns on `pawns` to squares of `target`: steps, double steps from the home row
// and captures toward either side (two pawns may take on the same square).
template <int Me>
inline int pawn_moves(uint64_t pawns, uint64_t empty, uint64_t enemies, uint64_t target) {
    uint64_t step, left, right;
    if constexpr (Me == WHITE) {
        step = (pawns >> 8) & empty;
        step |= ((step & (ROW_0 << 40)) >> 8) & empty;
        left = ((pawns & ~FILE_A_SQUARES) >> 9) & enemies;
        right = ((pawns & ~FILE_H_SQUARES) >> 7) & enemies;
    } else {
        step = (pawns << 8) & empty;
        step |= ((step & (ROW_0 << 16)) << 8) & empty;
        left = ((pawns & ~FILE_A_SQUARES) << 7) & enemies;
        right = ((pawns & ~FILE_H_SQUARES) << 9) & enemies;
    }
    step &= target;
    left &= target;
    right &= target;
    // A step never lands where a capture does; a move to the last row counts its four promotions.
    int count = square_count(step | left) + square_count(right);
    if ((step | left | right) & LAST_ROWS)
        count += 3 * (square_count((step | left) & LAST_ROWS) + square_count(right & LAST_ROWS));
    return count;
}

template <int Me>
int count_legal(const Position& p) {
    constexpr int Opp = 1 - Me;
    const uint64_t own = p.occupied[Me], enemies = p.occupied[Opp];
    const uint64_t occupied = own | enemies;
    const uint64_t* mine = p.men[Me];
    const uint64_t* theirs = p.men[Opp];
    const int king = p.king_square[Me];

    // Checkers, and the own men pinned to the king: an enemy slider on a line through the king
    // checks when nothing stands between, and pins when exactly one own man does.
    uint64_t checkers = (knight_mask[king] & theirs[KNIGHT]) | (pawn_attack_mask[Me][king] & theirs[PAWN]);
    uint64_t target = ~own;  // where a man other than the king may go
    uint64_t pinned = 0;
    const uint64_t snipers = ((theirs[ROOK] | theirs[QUEEN]) & line_reach[king]) |
                             ((theirs[BISHOP] | theirs[QUEEN]) & diagonal_reach[king]);
    for (uint64_t b = snipers; b != 0; b &= b - 1) {
        const int s = std::countr_zero(b);
        const uint64_t line = segment(king, s);
        const uint64_t between = line & occupied & ~bit(s);
        if (between == 0) {
            checkers |= bit(s);
            target = line;  // capture the slider or step between
        } else if ((between & (between - 1)) == 0) {
            pinned |= between & own;
        }
    }
    if (checkers & (checkers - 1)) target = 0;  // double check: only the king moves
    else if (checkers & ~snipers) target = checkers;  // a knight or pawn checks: take it

    int count = 0;

    // The king, to every square no enemy man reaches once the king has left its own.
    for (uint64_t b = king_mask[king] & ~own; b != 0; b &= b - 1)
        count += !attacked_over(p, std::countr_zero(b), Opp, occupied ^ bit(king));
    if (target == 0) return count;

    // Pawns that are not pinned, all at once; pinned ones move along their pin only.
    const uint64_t empty = ~occupied;
    count += pawn_moves<Me>(mine[PAWN] & ~pinned, empty, enemies, target);
    for (uint64_t b = mine[PAWN] & pinned; b != 0; b &= b - 1) {
        const int s = std::countr_zero(b);
        count += pawn_moves<Me>(bit(s), empty, enemies, target & ray_mask[king][line_direction[king][s]]);
    }

    // Knights (a pinned knight has no move along its pin), then the sliders.
    for (uint64_t b = mine[KNIGHT] & ~pinned; b != 0; b &= b - 1)
        count += square_count(knight_mask[std::countr_zero(b)] & target);
    // A queen's lines and diagonals reach different squares: it is counted as both.
    for (uint64_t b = mine[BISHOP] | mine[QUEEN]; b != 0; b &= b - 1) {
        const int s = std::countr_zero(b);
        uint64_t reach = diagonal_attacks(s, occupied) & target;
        if (pinned & bit(s)) reach &= ray_mask[king][line_direction[king][s]];
        count += square_count(reach);
    }
    for (uint64_t b = mine[ROOK] | mine[QUEEN]; b != 0; b &= b - 1) {
        const int s = std::countr_zero(b);
        uint64_t reach = line_attacks(s, occupied) & target;
        if (pinned & bit(s)) reach &= ray_mask[king][line_direction[king][s]];
        count += square_count(reach);
    }
    return count;
}

}  // namespace

// Castling and en passant are rare and subtle (Chess960 rooks, the pawn that uncovers a rank):
// they are counted by trying them, the rest straight from the bitboards.
int count_legal_moves(Position& pos) {
    const Position& p = pos;
    if (p.game_ply < 0 || p.game_ply >= MAX_GAME_PLY) return 0;  // make_move would refuse them all
    const int me = p.side;
    int count = me == WHITE ? count_legal<WHITE>(p) : count_legal<BLACK>(p);

    if (p.castle != 0 && variant_kind != VARIANT_OTHER) {
        const int king = p.king_square[me];
        const int rights = p.castle & (me == WHITE ? CASTLE_WHITE : CASTLE_BLACK);
        const int base = me == WHITE ? A1 : A8;
        // In normal chess the squares between king and rook must be empty: most tries end there.
        const bool normal = variant_kind == VARIANT_NORMAL;
        const uint64_t occupied = all_men(p);
        if ((rights & (CASTLE_WHITE_SHORT | CASTLE_BLACK_SHORT)) &&
            !(normal && (occupied & (bit(base + 5) | bit(base + 6)))))
            count += is_legal(pos, {king, base + 6, MOVE_CASTLE, 0});
        if ((rights & (CASTLE_WHITE_LONG | CASTLE_BLACK_LONG)) &&
            !(normal && (occupied & (bit(base + 1) | bit(base + 2) | bit(base + 3)))))
            count += is_legal(pos, {king, base + 2, MOVE_CASTLE, 0});
    }

    if (p.ep != NO_SQUARE) {
        const int ep = p.ep;
        for (uint64_t b = pawn_attack_mask[1 - me][ep] & p.men[me][PAWN]; b != 0; b &= b - 1)
            count += is_legal(pos, {std::countr_zero(b), ep, MOVE_EN_PASSANT, 0});
    }
    return count;
}
