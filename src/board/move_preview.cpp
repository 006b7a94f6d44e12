// What a move will do, told from the board before it is made: whether it checks, and the key of
// the position it leads to (a pass's too).
#include "board/board.h"
#include "board/geometry.h"

using namespace board_detail;

namespace {

// Does a slider of `type` on `from` reach `target` over the squares of `occupied`?
bool slider_reaches(int type, int from, int target, uint64_t occupied) {
    const int d = line_direction[from][target];
    if (d < 0) return false;
    const bool along_line = d >= RAY_LEFT;
    if (type != QUEEN && along_line != (type == ROOK)) return false;
    return first_blocker(from, d, occupied) == target;
}

}  // namespace

// An ordinary move checks with the man it moves or by opening a line from the enemy king to one
// of our sliders; both are read from the bit sets. Castling, en passant and promotions are rare
// enough to be tried on the board.
bool gives_check(Position& pos, Move m) {
    const Position& p = pos;
    if (m.type != MOVE_NORMAL && m.type != MOVE_DOUBLE_PUSH) {
        if (!make_move(pos, m)) return false;
        const bool check = in_check(pos, pos.side) != 0;
        unmake_move(pos);
        return check;
    }
    const int me = p.side, opp = 1 - me;
    const int king = p.king_square[opp];
    const uint64_t occupied = (all_men(p) ^ bit(m.from)) | bit(m.to);

    const int type = p.piece[m.from];
    switch (type) {
        case PAWN:
            if (pawn_attack_mask[opp][king] & bit(m.to)) return true;
            break;
        case KNIGHT:
            if (knight_mask[king] & bit(m.to)) return true;
            break;
        case BISHOP:
        case ROOK:
        case QUEEN:
            if (slider_reaches(type, m.to, king, occupied)) return true;
            break;
        default:  // a king never checks
            break;
    }

    // The square left may open a line; the mover standing on it again closes it.
    const int d = line_direction[king][m.from];
    if (d < 0) return false;
    const int t = first_blocker(king, d, occupied);
    if (t == NO_SQUARE) return false;
    const uint64_t sliders = p.men[me][QUEEN] | (d >= RAY_LEFT ? p.men[me][ROOK] : p.men[me][BISHOP]);
    return (sliders & bit(t)) != 0;
}

// The key as make_move builds it: the mover leaves its square and arrives (promoted, perhaps), a
// captured man leaves, the side changes, the en-passant square and the castling rights move on.
// Castling is rare enough to be made and taken back.
uint64_t key_after(Position& pos, Move m) {
    const Position& p = pos;
    if (m.type == MOVE_CASTLE) {
        if (!make_move(pos, m)) return p.hash_key;
        const uint64_t key = pos.hash_key;
        unmake_move(pos);
        return key;
    }
    const int me = p.side, opp = 1 - me;
    const int from = m.from, to = m.to;
    const int moving = p.piece[from];
    const int arriving = m.type >= MOVE_PROMOTE_QUEEN ? QUEEN - (m.type - MOVE_PROMOTE_QUEEN) : moving;
    uint64_t key = p.hash_key ^ piece_key(me, moving, from) ^ piece_key(me, arriving, to);
    if (p.piece[to] != EMPTY) key ^= piece_key(opp, p.piece[to], to);
    if (m.type == MOVE_EN_PASSANT) key ^= piece_key(opp, PAWN, me == WHITE ? to + 8 : to - 8);

    key ^= zobrist_side[me] ^ zobrist_side[opp];
    if (p.ep != NO_SQUARE) key ^= zobrist_ep[p.ep];
    if (m.type == MOVE_DOUBLE_PUSH) key ^= zobrist_ep[me == WHITE ? to + 8 : to - 8];
    const int castle = p.castle & p.castle_mask[from] & p.castle_mask[to];
    if (castle != p.castle) key ^= zobrist_castle[p.castle] ^ zobrist_castle[castle];
    return key;
}

// A pass changes the side and clears the en-passant square.
uint64_t key_after_null_move(const Position& pos) {
    uint64_t key = pos.hash_key ^ zobrist_side[pos.side] ^ zobrist_side[1 - pos.side];
    if (pos.ep != NO_SQUARE) key ^= zobrist_ep[pos.ep];
    return key;
}
