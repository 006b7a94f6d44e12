// King safety: attacks on the king zone, the kings' square values, wing bonus, shelter and storm.
#include "eval/eval.h"
#include "eval/weights.h"

namespace {

// A king is safe from the zone term unless the enemy keeps its queen and two more pieces.
bool has_king_attack_force(int colour) {
    const int* count = pos.piece_count[colour];
    return count[QUEEN] >= 1 && count[KNIGHT] + count[BISHOP] + count[ROOK] >= KING_ATTACK_MIN_PIECES;
}

// Counts the weaknesses around the king of `colour` and pays the attacker from the table.
void king_zone_attack(int colour) {
    const int attacker = 1 - colour;
    if (!has_king_attack_force(attacker)) return;

    const int king = pos.king_square[colour];
    const int row = king >> 3, file = king & 7;
    const int ahead = colour == WHITE ? -1 : 1;  // row step toward the enemy's side
    int count = king_zone_base_white[colour == WHITE ? king : flip[king]];

    // Beside and behind the king: attacked, and worse when no own piece but the king defends it.
    static const int side_rows[5] = {-1, -1, -1, 0, 0};  // in steps of `ahead`
    static const int side_files[5] = {1, 0, -1, -1, 1};
    for (int i = 0; i < 5; i++) {
        const int r = row + side_rows[i] * ahead, f = file + side_files[i];
        if (!on_board(r, f)) continue;
        const int sq = r * 8 + f;
        if (is_attacked(sq, colour)) {
            count += ZONE_ATTACKED;
            if (!attacked_by_non_king(sq, attacker)) count += ZONE_UNDEFENDED;
        }
    }

    // In front of the king: an empty square or one held by the enemy lets attackers in.
    for (int f = file + 1; f >= file - 1; f--) {
        const int r = row + ahead;
        if (!on_board(r, f)) continue;
        const int sq = r * 8 + f;
        const bool own_piece = pos.color[sq] == colour;
        if (is_attacked(sq, colour)) {
            count += ZONE_ATTACKED;
            if (!own_piece) count += ZONE_FRONT_NOT_OWN;
            else if (pos.piece[sq] != PAWN) count += ZONE_FRONT_OWN_PIECE;
            if (!attacked_by_non_king(sq, attacker)) count += ZONE_UNDEFENDED;
        } else if (!own_piece) {
            count += ZONE_FRONT_OPEN;
        }
    }

    if (count > KING_ATTACK_MAX_COUNT) count = KING_ATTACK_MAX_COUNT;
    int bonus = king_attack_table[count];
    if (is_attacked(king, colour)) bonus += KING_IN_CHECK;
    if (attacker == WHITE) white_score += bonus;
    else black_score += bonus;
}

// Shelter and storm on one file (file index x = file + 1), seen from the king's owner.
int shelter_file_value(int colour, int x) {
    // Relative rows: 6 is the owner's second rank, 0 means no pawn (own) / 7 no pawn (enemy).
    const int own = colour == WHITE ? pawn_rank[WHITE][x] : 7 - pawn_rank[BLACK][x];
    const int enemy = colour == WHITE ? pawn_rank[BLACK][x] : 7 - pawn_rank[WHITE][x];
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

bool file_has_no_pawn(int x) { return pawn_rank[WHITE][x] == 0 && pawn_rank[BLACK][x] == 7; }

}  // namespace

void king_attack_terms() {
    king_zone_attack(WHITE);
    king_zone_attack(BLACK);
}

int king_terms_middlegame(int colour) {
    const int king = pos.king_square[colour];
    const int rel = colour == WHITE ? king : flip[king];
    const int file = king & 7;
    int result = king_table_mg_white[rel];

    // Wing bonus: the king has left the centre and the corner rook is gone from beside it.
    const int corner = file <= 2 ? A1 : file >= 5 ? H1 : NO_SQUARE;  // as white sees the board
    if (corner != NO_SQUARE) {
        const int sq = colour == WHITE ? corner : flip[corner];
        if (pos.piece[sq] != ROOK && pos.color[sq] != colour) result += KING_ON_WING;
    }

    // Shelter and storm, fading as the enemy's pieces leave the board.
    int shelter = 0;
    const int x = file + 1;
    if (file <= 2)
        shelter = shelter_file_value(colour, 1) + shelter_file_value(colour, 2) +
                  shelter_file_value(colour, 3) / SHELTER_FAR_FILE_DIVISOR;
    else if (file >= 5)
        shelter = shelter_file_value(colour, 8) + shelter_file_value(colour, 7) +
                  shelter_file_value(colour, 6) / SHELTER_FAR_FILE_DIVISOR;
    else
        for (int i = x - 1; i <= x + 1; i++)
            if (file_has_no_pawn(i)) shelter += KING_OPEN_CENTRE_FILE;
    return result + shelter * pos.piece_material[1 - colour] / FULL_PIECE_MATERIAL;
}

int king_terms_endgame(int colour) { return king_table_eg[pos.king_square[colour]]; }
