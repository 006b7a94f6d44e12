// Worked examples of the evaluation terms: pawn structure, pieces and mobility, king safety, tables.
#include "eval/eval_fixture.h"

namespace {

enum Term { PAWN_W, PAWN_B, PAWN_EG_W, PAWN_EG_B, MG, EG, KING_W, KING_B, ATTACK_W, ATTACK_B, MOB_N, MOB_B, MOB_R, MOB_Q };

class Terms : public EvalTest {
protected:
    int term(Term t, const char* square) {
        const int sq = square[0] ? sq_of(square) : 0;
        ev.white_score = ev.black_score = 0;
        switch (t) {
            case PAWN_W: return pawn_terms_white(ev, sq);
            case PAWN_B: return pawn_terms_black(ev, sq);
            case PAWN_EG_W: return pawn_terms_white_endgame(ev, sq);
            case PAWN_EG_B: return pawn_terms_black_endgame(ev, sq);
            case MG: return square_terms_middlegame(ev, sq);
            case EG: return square_terms_endgame(ev, sq);
            case KING_W: return king_terms_middlegame(ev, WHITE);
            case KING_B: return king_terms_middlegame(ev, BLACK);
            case ATTACK_W: return zone_term(), ev.white_score;
            case ATTACK_B: return zone_term(), ev.black_score;
            case MOB_N: return knight_mobility_count(ev, sq);
            case MOB_B: return bishop_mobility_count(ev, sq);
            case MOB_R: return rook_mobility_count(ev, sq);
            case MOB_Q: return queen_mobility(ev, sq);
        }
        return 0;
    }
    // The zone term alone, from the attack sets of the middlegame loop.
    void zone_term() {
        piece_terms_middlegame(ev);
        ev.white_score = ev.black_score = 0;
        king_attack_terms(ev);
    }
    int at(const char* fen, Term t, const char* square) {
        set(fen);
        return term(t, square);
    }
};

const char* const START = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -";

struct Example {
    const char* fen;
    Term term;
    const char* square;
    int expected;
} const EXAMPLES[] = {
    // d4: doubled -10, isolated -10 twice, passed and isolated +16; d2: isolated twice, passed +10.
    // Endgame: doubled and isolated count double; d4 passed 20 + (2*3 + 12 - 4/2) * 1, free front 6.
    {"4k3/8/8/8/3P4/8/3P4/4K3 w - -", PAWN_W, "d4", -10 - 20 + 16},
    {"4k3/8/8/8/3P4/8/3P4/4K3 w - -", PAWN_W, "d2", -20 + 10},
    {"4k3/8/8/8/3P4/8/3P4/4K3 w - -", PAWN_EG_W, "d4", -20 - 20 + 36 + 6},
    {"4k3/8/8/8/3P4/8/3P4/4K3 w - -", PAWN_EG_W, "d2", -20 + 20},
    {"4k3/P7/1P6/8/8/8/8/4K3 w - -", PAWN_W, "a7", 10 + 6 * 10 + 20},
    {"4k3/PP6/8/8/8/8/8/4K3 w - -", PAWN_W, "a7", 90},   // the a-file's outer neighbour is the empty sentinel
    {"4k3/PP6/8/8/8/8/8/4K3 w - -", PAWN_W, "b7", 100},  // a side-by-side pair is paid once, on the h-side pawn
    {"4k3/8/8/8/8/6p1/7p/4K3 w - -", PAWN_B, "h2", 10 + 6 * 10 + 20},
    {"4k3/8/8/8/3P1P2/8/4P3/4K3 w - -", PAWN_W, "e2", 10 + 20},           // neighbours two ahead: not backward
    {"4k3/8/8/8/3PpP2/8/4P3/4K3 w - -", PAWN_W, "e2", -10},               // a pawn two in front: backward
    {"4k3/8/8/3P1P2/8/8/4P3/4K3 w - -", PAWN_W, "e2", -10 - 10 + 10 + 20}, // three ahead: backward, open file
    {"4k3/8/8/3P1P2/4P3/8/8/4K3 w - -", PAWN_W, "e4", 10 + 6 + 20},
    {"4k3/8/8/3PpP2/4P3/8/8/4K3 w - -", PAWN_W, "e4", -10},
    {"4k3/8/3p4/8/4PP2/8/8/4K3 w - -", PAWN_W, "e4", 5 + 5 * 1},  // candidate: one blocker, one supporter
    {"4k3/8/3p1p2/8/4PP2/8/8/4K3 w - -", PAWN_W, "e4", 0},
    {"4k3/8/3p4/5p2/4P3/3P4/8/4K3 w - -", PAWN_W, "e4", 5 + 5 * 1},
    // Isolated -20; passed 20 + (2*2 + 12 - 5/2) * 3; free front +18; the king stops it.
    {"4k3/8/8/4P3/8/8/8/4K3 w - -", PAWN_EG_W, "e5", -20 + 62 + 18},
    {"k7/8/8/4P3/8/8/8/4K3 w - -", PAWN_EG_W, "e5", -20 + 74 + 18 + 80 * 3},  // outside the square
    {"k7/8/8/4P3/8/8/8/4K3 b - -", PAWN_EG_W, "e5", -20 + 74 + 18},           // black to move steps in
    {"k7/8/8/4P3/8/8/8/4K2n w - -", PAWN_EG_W, "e5", -20 + 74 + 18},          // any piece can stop it
    // The h8 king catches it (e6 Kg7 e7 Kf7); measuring to d8, not the promotion square, called it unstoppable.
    {"7k/8/8/4P3/8/8/8/4K3 w - -", PAWN_EG_W, "e5", -20 + 68 + 18},

    // Start knight: table -40, two targets +2, undeveloped -5, eight own pawns +12; black mirrors.
    {START, MG, "b1", -31}, {START, MG, "g8", -31},
    {START, MOB_N, "b1", 2}, {START, MOB_B, "c1", 0}, {START, MOB_R, "a1", 0}, {START, MOB_Q, "d1", 0},
    {"4k3/8/8/8/3Q4/8/8/4K3 w - -", MOB_Q, "d4", 27},
    {"4k3/8/8/8/3Q4/8/8/4K3 w - -", MOB_N, "h8", 2},   // corner: no wrap to the a-file
    {"4k3/8/8/8/3Q4/8/8/4K3 w - -", MOB_R, "h4", 10},  // the row stops at the queen; no wrap
    {"4k3/8/8/8/3Q4/8/8/4K3 w - -", MG, "d4", 0 + 16 + 1},  // 27 squares saturate at 16, closeness +1
    {"4k3/8/8/8/3Q4/8/8/4K3 w - -", EG, "d4", 8 + 30},
    {"rnbqkbnr/pppppppp/8/8/8/5Q2/PPPPPPPP/RNB1KBNR w KQkq -", MG, "f3", 16 - 10},  // early queen
    {"rnbqkbnr/pppppppp/8/8/8/5Q2/PPPPPPPP/R3K2R w KQkq -", MG, "f3", 16},
    {"4k3/8/8/2p1p3/3B4/2P1P3/8/4K3 w - -", MOB_B, "d4", 0},
    {"4k3/8/8/2p1p3/3B4/2P1P3/8/4K3 w - -", MG, "d4", 8 - 20},
    {"4k3/8/8/2p1p3/3B4/2P1P3/8/4K3 w - -", EG, "d4", 6 - 20},
    // Mobility 14 (+59), seventh rank +40, open file +15, no pawns +15.
    {"4k3/R7/8/8/8/8/8/4K3 w - -", EG, "a7", 59 + 40 + 15 + 15},
    {"4k3/8/8/8/8/8/r7/4K3 b - -", EG, "a2", 59 + 40 + 15 + 15},
    {"4k3/p7/8/8/8/8/1P6/R3K3 w - -", EG, "a1", rook_mobility_eg[8] + 10 + rook_by_pawns[1]},  // half-open
    {"4k3/p7/8/8/8/8/P7/R3K3 w - -", EG, "a1", rook_mobility_eg[3] + rook_by_pawns[1]},
    // Table -6, no mobility -12, shut in by its own king -70, three own pawns +6.
    {"4k3/8/8/8/8/8/5PPP/6KR w - -", MG, "h1", -6 - 12 - 70 + 6},
    {"6kr/5ppp/8/8/8/8/8/4K3 b - -", MG, "h8", -6 - 12 - 70 + 6},
    // Knight outpost: table 20, 8 targets +25, outpost 10 + 10, closeness +2, two pawns -12.
    {"4k3/8/8/3N4/2P1P3/8/8/4K3 w - -", MG, "d5", 20 + 25 + 20 + 2 - 12},
    {"4k3/2p5/8/3N4/2P1P3/8/8/4K3 w - -", MG, "d5", 20 + 24 + 0 + 2 - 12},  // c7 can chase it
    {"4k3/8/8/3N4/2P5/8/8/4K3 w - -", MG, "d5", 20 + 25 + 10 + 2 - 16},      // one defender
    {"4k3/8/8/2p1p3/3n4/8/8/4K3 b - -", MG, "d4", 20 + 25 + 20 + 2 - 12},
    {"4k3/8/8/2p1p3/3n4/8/2P5/4K3 b - -", MG, "d4", 20 + 24 + 0 + 2 - 12},  // c2 can still reach c3

    // King: table 50, wing bonus 40, shelter (f, g, h) scaled by the enemy pieces.
    {"rnbq1rk1/pppppppp/2bn4/8/8/6P1/PPPPPP1P/RNBQ1RK1 w - -", KING_W, "", 50 + 40 - 10},
    {"4qrk1/pppppppp/8/8/6n1/6P1/PPPPPP1P/RNBQ1RK1 w - -", KING_W, "", 50 + 40 - 5},  // half the pieces
    {"rnbq1rk1/pppppppp/2bn4/8/6P1/8/PPPPP2P/RNBQ1RK1 w - -", KING_W, "", 50 + 40 - 20 - 12},
    {"rnbq1rk1/pppppp1p/2bn4/8/6p1/8/PPPPPPPP/RNBQ1RK1 w - -", KING_W, "", 50 + 40 - 5},  // storm on g4
    {START, KING_W, "", 10}, {START, KING_B, "", 10},
    {"rnbqkbnr/ppp2ppp/8/8/8/8/PPP2PPP/RNBQKBNR w KQkq -", KING_W, "", 10 - 20},  // d- and e-files open
    {"rnbq1rk1/pppppppp/8/8/8/8/PPPPPPPP/RNBQ2KR w - -", KING_W, "", 50},  // corner rook: no wing bonus
    {"rnbq1rk1/pppppppp/8/8/8/8/PPPPPPPP/RNBQ2KB w - -", KING_W, "", 50},
    {"r1bq1rk1/pppppppp/8/8/8/8/PPPPPPPP/RNBQ2Kn w - -", KING_W, "", 50 + 40},  // an enemy minor does not block
    {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQ1RK1 w kq -", ATTACK_W, "", 0},
    {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQ1RK1 w kq -", ATTACK_B, "", 0},
    {"r2qk3/8/8/8/8/8/8/4K3 w - -", ATTACK_B, "", 0},  // the zone term needs the queen and two pieces
    {"r2qk3/8/8/8/8/7n/5PPP/6K1 w - -", ATTACK_B, "", 2 + 50},  // f2 attacked, defended by the king only; check
    {"r2qk3/8/8/8/8/7n/5PPP/6K1 w - -", ATTACK_W, "", 0},
    // Around g1: f1 and g2 attacked and undefended, the knight in front attacked; check.
    {"n3k3/8/8/6q1/8/8/5PNP/r5K1 w - -", ATTACK_B, "", 30 + 50},
    {"n3k3/8/8/6q1/8/8/5P1P/r5K1 w - -", ATTACK_B, "", 50 + 50},  // g2 empty: the front counts twice
    // Kings on the far rank have no square in front; d8 and d7 (d1 and d2) attacked, undefended.
    {"4K3/8/8/8/8/8/8/q2rk1n1 w - -", ATTACK_B, "", 73},
    {"Q2RK1N1/8/8/8/8/8/8/4k3 b - -", ATTACK_W, "", 73},
};

TEST_F(Terms, WorkedExamples) {
    for (const Example& e : EXAMPLES) EXPECT_EQ(at(e.fen, e.term, e.square), e.expected) << e.fen << " " << e.square;
}

TEST_F(Terms, Relations) {
    EXPECT_GT(at("r2qk3/8/8/8/8/8/8/n3K3 w - -", ATTACK_B, ""), 0);
    EXPECT_GT(at("4k3/8/8/8/8/8/5PPP/5RK1 w - -", MG, "f1"), -30);  // castled: the rook is free
    const int beside = at("4k3/8/8/4P3/8/8/8/3RK3 w - -", PAWN_EG_W, "e5");
    EXPECT_EQ(at("4k3/8/8/4P3/8/8/8/4RK2 w - -", PAWN_EG_W, "e5") - beside, 70);  // rook behind the passer
    const int a_file = at("7k/8/8/P7/8/8/8/4K3 w - -", PAWN_EG_W, "a5");
    EXPECT_EQ(at("4k3/8/8/8/p7/8/8/7K b - -", PAWN_EG_B, "a4"), a_file);  // unstoppable on the edge, both colours
    EXPECT_GT(a_file, 80 * 3);
}

// Tables used by either colour read the same from both ends; every table is the same on both wings;
// outposts stay off the edges, where the squares diagonally behind do not exist.
TEST(EvalTables, Symmetries) {
    for (const int* t : {knight_table_eg, bishop_table_eg, queen_table_eg, king_table_eg, rook_table,
                         doubled_penalty, isolated_penalty, backward_penalty})
        for (int sq = 0; sq < 64; sq++) EXPECT_EQ(t[sq], t[flip[sq]]) << sq;
    for (const int* t : {knight_table_mg_white, knight_table_eg, bishop_table_mg_white, bishop_table_eg, rook_table,
                         queen_table_mg_white, queen_table_eg, king_table_mg_white, king_table_eg, pawn_table_white,
                         doubled_penalty, isolated_penalty, backward_penalty, side_by_side_white,
                         knight_outpost_white, king_zone_base_white})
        for (int sq = 0; sq < 64; sq++) EXPECT_EQ(t[sq], t[sq ^ 7]) << sq;
    for (int sq = 0; sq < 64; sq++)
        EXPECT_TRUE(((sq & 7) % 7 && (sq >> 3) % 7) || knight_outpost_white[sq] == 0) << sq;
}

}  // namespace
