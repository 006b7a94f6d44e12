// King safety: attacks on the king zone, the kings' square values, wing bonus, shelter and storm.
#include "eval/eval.h"
#include "eval/weights.h"

namespace {

// A king is safe from the zone term unless the enemy keeps its queen and two more pieces.
bool has_king_attack_force(Evaluator& e, int colour) {
    const int* count = e.pos.piece_count[colour];
    return count[QUEEN] >= 1 && count[KNIGHT] + count[BISHOP] + count[ROOK] >= KING_ATTACK_MIN_PIECES;
}

// Counts the weaknesses around the king of `colour` and pays the attacker from the table.
void king_zone_attack(Evaluator& e, int colour) {
    const int attacker = 1 - colour;
    if (!has_king_attack_force(e, attacker)) return;

    // The attacker's hits on the king and the squares around it, and the squares an own man
    // other than the king defends.
    const int king = e.pos.king_square[colour];
    const uint64_t around = king_attacks(king);
    const uint64_t zone = around | uint64_t{1} << king;
    const uint64_t hit = (e.piece_attacks[attacker] | pawn_attacks(e.pos.men[attacker][PAWN], attacker) |
                          king_attacks(e.pos.king_square[attacker])) & zone;
    const uint64_t defended = e.piece_attacks[colour] | pawn_attacks(e.pos.men[colour][PAWN], colour);
    // In front of the king: the row next to it toward the enemy's side.
    const uint64_t ahead = colour == WHITE ? (uint64_t{1} << (king & 56)) - 1 : ~uint64_t{0} << (king | 7) << 1;
    const uint64_t front = around & ahead;
    const uint64_t own = e.pos.occupied[colour];

    // Every square around: attacked, and worse when no own man but the king defends it. In front
    // an empty square or one held by the enemy lets attackers in, and an attacked own piece there
    // (not a pawn) is a weakness too.
    int count = king_zone_base_white[colour == WHITE ? king : flip[king]];
    count += ZONE_ATTACKED * square_count(hit & around);
    count += ZONE_UNDEFENDED * square_count(hit & around & ~defended);
    count += ZONE_FRONT_NOT_OWN * square_count(hit & front & ~own);
    count += ZONE_FRONT_OWN_PIECE * square_count(hit & front & own & ~e.pos.men[colour][PAWN]);
    count += ZONE_FRONT_OPEN * square_count(front & ~hit & ~own);

    if (count > KING_ATTACK_MAX_COUNT) count = KING_ATTACK_MAX_COUNT;
    int bonus = king_attack_table[count];
    if (hit & uint64_t{1} << king) bonus += KING_IN_CHECK;
    if (attacker == WHITE) e.white_score += bonus;
    else e.black_score += bonus;
}

// Shelter and storm on one file (file index x = file + 1), seen from the king's owner.
int shelter_file_value(Evaluator& e, int colour, int x) {
    // Relative rows: 6 is the owner's second rank, 0 means no pawn (own) / 7 no pawn (enemy).
    const int own = colour == WHITE ? e.pawn_rank[WHITE][x] : 7 - e.pawn_rank[BLACK][x];
    const int enemy = colour == WHITE ? e.pawn_rank[BLACK][x] : 7 - e.pawn_rank[WHITE][x];
    int value;
    if (own == 6) value = 0;
    else if (own == 5) value = SHELTER_PAWN_ADVANCED;
    else if (own == 0) value = SHELTER_NO_PAWN;
    else value = SHELTER_PAWN_FAR;
    if (enemy == 7) value += STORM_NO_PAWN;
    else if (enemy == 5) value += STORM_PAWN_CLOSE;
    else if (enemy == 4) value += STORM_PAWN_NEAR;
    return value;
}

bool file_has_no_pawn(Evaluator& e, int x) { return e.pawn_rank[WHITE][x] == 0 && e.pawn_rank[BLACK][x] == 7; }

}  // namespace

void king_attack_terms(Evaluator& e) {
    king_zone_attack(e, WHITE);
    king_zone_attack(e, BLACK);
}

// Shelter and storm on the wing's three files, the far one counting half; in the centre, the
// open files beside the king.
int king_shelter(Evaluator& e, int colour, int file) {
    if (file <= 2)
        return shelter_file_value(e, colour, 1) + shelter_file_value(e, colour, 2) +
               shelter_file_value(e, colour, 3) / SHELTER_FAR_FILE_DIVISOR;
    if (file >= 5)
        return shelter_file_value(e, colour, 8) + shelter_file_value(e, colour, 7) +
               shelter_file_value(e, colour, 6) / SHELTER_FAR_FILE_DIVISOR;
    int shelter = 0;
    const int x = file + 1;
    for (int i = x - 1; i <= x + 1; i++)
        if (file_has_no_pawn(e, i)) shelter += KING_OPEN_CENTRE_FILE;
    return shelter;
}

int king_terms_middlegame(Evaluator& e, int colour, int shelter) {
    const int king = e.pos.king_square[colour];
    const int rel = colour == WHITE ? king : flip[king];
    const int file = king & 7;
    int result = king_table_mg_white[rel];

    // Wing bonus: the king has left the centre and the corner rook is gone from beside it.
    const int corner = file <= 2 ? A1 : file >= 5 ? H1 : NO_SQUARE;  // as white sees the board
    if (corner != NO_SQUARE) {
        const int sq = colour == WHITE ? corner : flip[corner];
        if (e.pos.piece[sq] != ROOK && e.pos.color[sq] != colour) result += KING_ON_WING;
    }

    // Shelter and storm fade as the enemy's pieces leave the board.
    return result + shelter * e.pos.piece_material[1 - colour] / FULL_PIECE_MATERIAL;
}

int king_terms_middlegame(Evaluator& e, int colour) {
    return king_terms_middlegame(e, colour, king_shelter(e, colour, e.pos.king_square[colour] & 7));
}

int king_terms_endgame(Evaluator& e, int colour) { return king_table_eg[e.pos.king_square[colour]]; }
