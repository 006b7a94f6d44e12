// Make and unmake: one move played and taken back with every field and the key kept.
#include <bit>
#include <cstdio>
#include <cstdlib>

#include "board/board.h"
#include "board/attacks.h"

using board_detail::attackers_of;
using board_detail::discovered_attack;
using board_detail::line_direction;
using board_detail::ray_mask;
using board_detail::square_attacked;
using board_detail::bit;

namespace {

// A build with TOLVANE_CHECK_POSITION re-derives the whole board after every move made and taken
// back, and stops at the first slip of the incremental updates, where it happened.
#if defined(TOLVANE_CHECK_POSITION)
constexpr bool check_every_move = true;
#else
constexpr bool check_every_move = false;
#endif

inline void check_position(const Position& p, const char* after) {
    if (!check_every_move || position_is_ok(p)) return;
    std::fprintf(stderr, "Position check failed after %s\n", after);
    std::abort();
}

// Castling wings in castle_rook order, found from the king's destination.
constexpr int WING_NONE = -1;
inline int wing_of(int king_to) {
    switch (king_to) {
        case G1: return 0;  // white short
        case C1: return 1;  // white long
        case G8: return 2;  // black short
        case C8: return 3;  // black long
        default: return WING_NONE;
    }
}
constexpr int rook_destination[4] = {F1, D1, F8, D8};

inline bool empty_or_rook(const Position& p, int s, int rook, int colour) {
    return p.piece[s] == EMPTY || (s == rook && p.piece[s] == ROOK && p.color[s] == colour);
}

// May the side to move castle this way now? Not out of check, and over the squares that
// the variant's rules name. The destination's safety is left to the common legality test.
bool castling_admitted(const Position& p, int king_from, int king_to, int wing) {
    const int me = p.side;
    if (wing == WING_NONE || (wing < 2) != (me == WHITE)) return false;
    if (square_attacked(p, p.king_square[me], me)) return false;

    if (variant_kind == VARIANT_NORMAL) {
        // e1-g1: f1, g1 empty, f1 safe. e1-c1: d1, c1, b1 empty, d1 safe. The same on rank 8.
        const int base = me == WHITE ? A1 : A8;
        if (wing == 0 || wing == 2)
            return p.piece[base + 5] == EMPTY && p.piece[base + 6] == EMPTY && !square_attacked(p, base + 5, me);
        return p.piece[base + 3] == EMPTY && p.piece[base + 2] == EMPTY && p.piece[base + 1] == EMPTY &&
               !square_attacked(p, base + 3, me);
    }

    if (variant_kind == VARIANT_FISCHERANDOM) {
        const int k = king_from, rook = p.castle_rook[wing];
        const int base = me == WHITE ? A1 : A8;
        if (wing == 0 || wing == 2) {
            const int g = king_to;
            if (k < g) {
                for (int s = k + 1; s <= g; ++s)
                    if (!empty_or_rook(p, s, rook, me)) return false;
                for (int s = k + 1; s < g; ++s)
                    if (square_attacked(p, s, me)) return false;
            } else if (k == g) {
                if (p.piece[rook_destination[wing]] != EMPTY) return false;
            } else {
                return false;
            }
            return true;
        }
        const int c = king_to;
        const int a_file = base, b_file = base + 1, c_file = base + 2, d_file = base + 3;
        if (k > c) {
            if (rook == a_file && p.piece[b_file] != EMPTY) return false;
            for (int s = k - 1; s >= c; --s)
                if (!empty_or_rook(p, s, rook, me)) return false;
            for (int s = k - 1; s > c; --s)
                if (square_attacked(p, s, me)) return false;
        } else if (k == c) {
            if (rook == b_file && p.piece[d_file] != EMPTY) return false;
            if (rook == a_file && (p.piece[b_file] != EMPTY || p.piece[d_file] != EMPTY)) return false;
        } else if (k == b_file) {
            if (p.piece[c_file] != EMPTY || p.piece[d_file] != EMPTY) return false;
        } else {
            return false;
        }
        return true;
    }

    // Variants without castling: nothing to admit (the generator lists none).
    return false;
}

// A man of `type` joins (+1) or leaves (-1) the men of `colour`: its count and the material sum it
// belongs to change together, so the sums always equal their recomputation from the counts.
inline void count_man(Position& p, int colour, int type, int change) {
    p.piece_count[colour][type] += change;
    if (type == PAWN) p.pawn_material[colour] += change * piece_value[PAWN];
    else p.piece_material[colour] += change * piece_value[type];
}

// A man of `type` and `colour` appears on or leaves the squares of `squares` in the bitboards;
// toggling lets make and unmake share each step, whichever squares coincide.
inline void toggle_men(Position& p, int colour, int type, uint64_t squares) {
    p.men[colour][type] ^= squares;
    p.occupied[colour] ^= squares;
}

// Where a man other than the king must land to answer a check: on the checker or between it and
// the king; every square when there is no check, none when two men give it. Remembered for the
// last position asked about: every move tried from one node shares it, so a node pays for one
// full attack test, and a move that answers no check is refused before it touches the board.
inline uint64_t evasion_targets(const Position& p) {
    const int king = p.king_square[p.side];
    if (p.hash_key != p.evasion.key || king != p.evasion.king || p.side != p.evasion.side) {
        p.evasion.key = p.hash_key;
        p.evasion.king = king;
        p.evasion.side = p.side;
        const uint64_t checkers = attackers_of(p, king, p.side);
        uint64_t targets = ~uint64_t{0};
        if (checkers != 0 && (checkers & (checkers - 1)) != 0) {
            targets = 0;
        } else if (checkers != 0) {
            const int c = std::countr_zero(checkers);
            const int d = line_direction[king][c];
            targets = d < 0 ? checkers : ray_mask[king][d] & ~ray_mask[c][d];  // up to and including c
        }
        p.evasion.targets = targets;
    }
    return p.evasion.targets;
}

}  // namespace

int make_move(Position& pos, Move m) {
    Position& p = pos;
    const int from = m.from, to = m.to, type = m.type;
    const int me = p.side, opp = 1 - me;

    // The history stack is full: refuse rather than write past its end.
    if (p.game_ply < 0 || p.game_ply >= MAX_GAME_PLY) return 0;
    if ((unsigned)from > 63 || (unsigned)to > 63) return 0;

    // Castling admission.
    int wing = WING_NONE;
    if (type == MOVE_CASTLE) {
        wing = wing_of(to);
        if (!castling_admitted(p, from, to, wing)) return 0;
    }

    // Legality, for all but castling and en passant before anything else changes: the test reads
    // only the bitboards, so a move that leaves the mover's king attacked is taken back from them
    // alone. Any other man must answer a check, if there is one; then the king that did not move
    // can only be uncovered along the line through the square just left.
    const int moving = p.piece[from];
    const int captured = type == MOVE_CASTLE ? EMPTY : p.piece[to];
    const bool tested_first = type != MOVE_CASTLE && type != MOVE_EN_PASSANT;
    if (tested_first) {
        if (moving != KING && (evasion_targets(p) & bit(to)) == 0) return 0;
        toggle_men(p, me, moving, bit(from) ^ bit(to));
        if (captured != EMPTY) toggle_men(p, opp, captured, bit(to));
        if (moving == KING ? square_attacked(p, to, me) : discovered_attack(p, p.king_square[me], from, me)) {
            if (captured != EMPTY) toggle_men(p, opp, captured, bit(to));
            toggle_men(p, me, moving, bit(from) ^ bit(to));
            return 0;
        }
    }

    // The history entry.
    const int old_castle = p.castle, old_ep = p.ep;
    HistoryEntry& e = pos.history[p.game_ply];
    e.from = from;
    e.to = to;
    e.type = type;
    e.score = m.score;
    e.captured = captured;
    e.castle = old_castle;
    e.ep = old_ep;
    e.fifty = p.fifty;
    e.hash_key = p.hash_key;

    // The mover leaves its square in the key.
    uint64_t key = p.hash_key ^ piece_key(me, moving, from);

    // Move the man (a Chess960 king already on its destination stays, losing its rights).
    if (!tested_first) toggle_men(p, me, moving, bit(from) ^ bit(to));
    if (type == MOVE_CASTLE && from == to) {
        p.castle &= me == WHITE ? CASTLE_BLACK : CASTLE_WHITE;
    } else {
        p.piece[to] = moving;
        p.color[to] = me;
        p.piece[from] = EMPTY;
        p.color[from] = EMPTY;
        p.castle &= p.castle_mask[from] & p.castle_mask[to];
    }

    // En passant, the fifty-move counter, the king's square.
    p.ep = type == MOVE_DOUBLE_PUSH ? (me == WHITE ? to + 8 : to - 8) : NO_SQUARE;
    p.fifty = (captured != EMPTY || moving == PAWN) ? 0 : p.fifty + 1;
    if (moving == KING) p.king_square[me] = to;

    // The captured man (never one of castling or en passant: it left the bitboards above).
    if (captured != EMPTY) {
        key ^= piece_key(opp, captured, to);
        count_man(p, opp, captured, -1);
    }

    // What each special move adds.
    switch (type) {
        case MOVE_CASTLE: {
            const int rook_from = p.castle_rook[wing], rook_to = rook_destination[wing];
            if (rook_from != rook_to) {
                p.piece[rook_to] = ROOK;
                p.color[rook_to] = me;
                if (rook_from != to) {
                    p.piece[rook_from] = EMPTY;
                    p.color[rook_from] = EMPTY;
                }
                key ^= piece_key(me, ROOK, rook_from) ^ piece_key(me, ROOK, rook_to);
                toggle_men(p, me, ROOK, bit(rook_from) ^ bit(rook_to));
            }
            break;
        }
        case MOVE_PROMOTE_QUEEN:
        case MOVE_PROMOTE_ROOK:
        case MOVE_PROMOTE_BISHOP:
        case MOVE_PROMOTE_KNIGHT: {
            const int promoted = QUEEN - (type - MOVE_PROMOTE_QUEEN);  // queen, rook, bishop, knight
            p.piece[to] = promoted;
            p.men[me][PAWN] ^= bit(to);
            p.men[me][promoted] ^= bit(to);
            count_man(p, me, PAWN, -1);
            count_man(p, me, promoted, +1);
            break;
        }
        case MOVE_EN_PASSANT: {
            const int victim = me == WHITE ? to + 8 : to - 8;
            p.piece[victim] = EMPTY;
            p.color[victim] = EMPTY;
            key ^= piece_key(opp, PAWN, victim);
            toggle_men(p, opp, PAWN, bit(victim));
            count_man(p, opp, PAWN, -1);
            break;
        }
        default:
            break;
    }

    // Counters, the arriving man's key, the side.
    ++p.ply;
    ++p.game_ply;
    key ^= piece_key(me, p.piece[to], to);
    p.side = opp;

    // Legality of castling and en passant, on the finished board.
    if (!tested_first && square_attacked(p, p.king_square[me], me)) {
        unmake_move(pos);
        return 0;
    }

    // The side, en-passant and castling keys.
    key ^= zobrist_side[me] ^ zobrist_side[opp];
    if (old_ep != NO_SQUARE) key ^= zobrist_ep[old_ep];
    if (p.ep != NO_SQUARE) key ^= zobrist_ep[p.ep];
    if (p.castle != old_castle) key ^= zobrist_castle[old_castle] ^ zobrist_castle[p.castle];
    p.hash_key = key;
    check_position(p, "make_move");
    return 1;
}

// The common move needs no trial: a man other than the king must answer a check, if there is one,
// and then the king can only be uncovered along the line through the square the mover leaves,
// where the mover may block that line again or take the slider on it. Everything else is tried
// on the board.
int is_legal(Position& pos, Move m) {
    const Position& p = pos;
    const int from = m.from, to = m.to, type = m.type;
    if (p.game_ply < 0 || p.game_ply >= MAX_GAME_PLY || (unsigned)from > 63 || (unsigned)to > 63 ||
        type == MOVE_CASTLE || type == MOVE_EN_PASSANT || p.piece[from] == KING) {
        if (!make_move(pos, m)) return 0;
        unmake_move(pos);
        return 1;
    }
    if ((evasion_targets(p) & bit(to)) == 0) return 0;
    const int me = p.side, opp = 1 - me;
    const int king = p.king_square[me];
    const int d = board_detail::line_direction[king][from];
    if (d < 0) return 1;
    const uint64_t after = ((p.occupied[WHITE] | p.occupied[BLACK]) ^ bit(from)) | bit(to);
    const int t = board_detail::first_blocker(king, d, after);
    if (t == NO_SQUARE || t == to) return 1;
    const uint64_t sliders = p.men[opp][QUEEN] | (d >= board_detail::RAY_LEFT ? p.men[opp][ROOK] : p.men[opp][BISHOP]);
    return (sliders & bit(t)) == 0;
}

void unmake_move(Position& pos) {
    Position& p = pos;
    if (p.game_ply <= 0) return;  // nothing to take back

    // Counters and the saved state.
    --p.ply;
    --p.game_ply;
    const HistoryEntry& e = pos.history[p.game_ply];
    p.castle = e.castle;
    p.ep = e.ep;
    p.fifty = e.fifty;
    p.hash_key = e.hash_key;
    const int from = e.from, to = e.to, type = e.type;
    // The mover is the owner of the man that moved, not merely the side not to move: the
    // interface may have handed the move to the other side since ("white", "black").
    const int me = type == MOVE_NONE ? 1 - p.side : p.color[to], opp = 1 - me;
    p.side = me;
    if (type == MOVE_NONE) {  // a null move: nothing stood anywhere else
        check_position(p, "unmake_move");
        return;
    }

    // Castling: both men are lifted first and set down after, so neither overwrites the
    // other whichever squares coincide.
    if (type == MOVE_CASTLE) {
        const int wing = wing_of(to);
        toggle_men(p, me, KING, bit(from) ^ bit(to));
        p.piece[to] = EMPTY;
        p.color[to] = EMPTY;
        if (wing != WING_NONE) {
            const int rook_to = rook_destination[wing], rook_from = p.castle_rook[wing];
            toggle_men(p, me, ROOK, bit(rook_from) ^ bit(rook_to));
            p.piece[rook_to] = EMPTY;
            p.color[rook_to] = EMPTY;
            p.piece[rook_from] = ROOK;
            p.color[rook_from] = me;
        }
        p.piece[from] = KING;
        p.color[from] = me;
        p.king_square[me] = from;
        check_position(p, "unmake_move");
        return;
    }

    // The man goes back, the captured one (if any) returns.
    const int moved = p.piece[to];
    p.piece[from] = moved;
    p.color[from] = me;
    p.piece[to] = e.captured;
    p.color[to] = e.captured == EMPTY ? EMPTY : opp;
    if (moved == KING) p.king_square[me] = from;

    // Counts and material, promotions, the en-passant pawn.
    toggle_men(p, me, moved, bit(from) ^ bit(to));
    if (e.captured != EMPTY) {
        toggle_men(p, opp, e.captured, bit(to));
        count_man(p, opp, e.captured, +1);
    }
    if (type >= MOVE_PROMOTE_QUEEN && type <= MOVE_PROMOTE_KNIGHT) {
        p.piece[from] = PAWN;
        p.men[me][moved] ^= bit(from);  // the promoted man stood on `to` only, the pawn on `from`
        p.men[me][PAWN] ^= bit(from);
        count_man(p, me, PAWN, +1);
        count_man(p, me, moved, -1);
    } else if (type == MOVE_EN_PASSANT) {
        const int victim = me == WHITE ? to + 8 : to - 8;
        p.piece[victim] = PAWN;
        p.color[victim] = opp;
        toggle_men(p, opp, PAWN, bit(victim));
        count_man(p, opp, PAWN, +1);
    }
    check_position(p, "unmake_move");
}

// The history entry keeps what unmake_move needs to take the pass back.
void make_null_move(Position& pos) {
    HistoryEntry& e = pos.history[pos.game_ply];
    e.from = e.to = e.type = e.score = 0;
    e.captured = EMPTY;
    e.castle = pos.castle;
    e.ep = pos.ep;
    e.fifty = pos.fifty;
    e.hash_key = pos.hash_key;
    if (pos.ep != NO_SQUARE) pos.hash_key ^= zobrist_ep[pos.ep];
    pos.fifty++;
    pos.ply++;
    pos.game_ply++;
    pos.hash_key ^= zobrist_side[pos.side] ^ zobrist_side[1 - pos.side];
    pos.side = 1 - pos.side;
    pos.ep = NO_SQUARE;
    check_position(pos, "make_null_move");
}

Move first_legal_move(Position& pos) {
    Move list[MAX_MOVES];
    const int n = generate_moves(pos, list);
    for (int i = 0; i < n; ++i)
        if (make_move(pos, list[i])) {
            unmake_move(pos);
            return list[i];
        }
    return NO_MOVE;
}

// Text and books name a move by its squares and kind; only the generator's own move is played.
Move find_legal_move(Position& pos, int from, int to, int type) {
    Move list[MAX_MOVES];
    const int n = generate_moves(pos, list);
    for (int i = 0; i < n; ++i)
        if (list[i].from == from && list[i].to == to && list[i].type == type)
            return is_legal(pos, list[i]) ? list[i] : NO_MOVE;
    return NO_MOVE;
}

// No legal move has from and to both on a8.
bool has_legal_move(Position& pos) {
    const Move m = first_legal_move(pos);
    return m.from != 0 || m.to != 0;
}
