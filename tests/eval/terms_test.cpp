// The evaluation terms: mobility counts, each term ranking the positions it tells apart, colour twins, tables.
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

const char* const START = START_POSITION;

// Mobility is counted in squares: these are the board's facts, not weights.
TEST_F(Terms, MobilityCounts) {
    const struct { const char* fen; Term term; const char* square; int count; } cases[] = {
        {START, MOB_N, "b1", 2}, {START, MOB_B, "c1", 0}, {START, MOB_R, "a1", 0}, {START, MOB_Q, "d1", 0},
        {"4k3/8/8/8/3Q4/8/8/4K3 w - -", MOB_Q, "d4", 27},
        {"4k3/8/8/8/3Q4/8/8/4K3 w - -", MOB_N, "h8", 2},   // corner: no wrap to the a-file
        {"4k3/8/8/8/3Q4/8/8/4K3 w - -", MOB_R, "h4", 10},  // the row stops at the queen; no wrap
        {"4k3/8/8/2p1p3/3B4/2P1P3/8/4K3 w - -", MOB_B, "d4", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(at(c.fen, c.term, c.square), c.count) << c.fen << " " << c.square;
}

// Each row: the term scores less in the first position than in the second. Where the weights
// matter only as an order, the order is what is held; the corpus holds the exact sums.
TEST_F(Terms, EachTermRanksThePositionsItTellsApart) {
    const struct {
        const char* why;
        Term term;
        const char* square;
        const char* lower;
        const char* higher;
        const char* higher_square = nullptr;  // where the man stands in the second, if elsewhere
    } cases[] = {
        {"doubled and isolated", PAWN_W, "d4", "4k3/8/8/8/3P4/8/3P4/4K3 w - -", "4k3/8/8/8/3P4/8/8/4K3 w - -"},
        {"doubled and isolated, endgame", PAWN_EG_W, "d4", "4k3/8/8/8/3P4/8/3P4/4K3 w - -", "4k3/8/8/8/3P4/8/8/4K3 w - -"},
        {"a passed pawn further up", PAWN_W, "e4", "4k3/8/8/8/4P3/8/8/4K3 w - -", "4k3/8/8/4P3/8/8/8/4K3 w - -", "e5"},
        {"a passed pawn further up, black", PAWN_B, "e5", "4k3/8/8/4p3/8/8/8/4K3 w - -", "4k3/8/8/8/4p3/8/8/4K3 w - -", "e4"},
        {"a passed pawn further up, endgame", PAWN_EG_W, "e3", "7k/8/8/8/8/4P3/8/4K3 w - -", "7k/8/8/8/4P3/8/8/4K3 w - -", "e4"},
        {"backward: neighbours three ahead", PAWN_W, "e2", "4k3/8/8/3P1P2/8/8/4P3/4K3 w - -", "4k3/8/8/8/3P1P2/8/4P3/4K3 w - -"},
        {"a pawn two in front makes it backward", PAWN_W, "e2", "4k3/8/8/8/3PpP2/8/4P3/4K3 w - -", "4k3/8/8/8/3P1P2/8/4P3/4K3 w - -"},
        {"a candidate needs no more blockers than supporters", PAWN_W, "e4", "4k3/8/3p1p2/8/4PP2/8/8/4K3 w - -", "4k3/8/3p4/8/4PP2/8/8/4K3 w - -"},
        {"inside the square: the king stops it", PAWN_EG_W, "e5", "k7/8/8/4P3/8/8/8/4K3 b - -", "k7/8/8/4P3/8/8/8/4K3 w - -"},
        {"any piece can stop it", PAWN_EG_W, "e5", "k7/8/8/4P3/8/8/8/4K2n w - -", "k7/8/8/4P3/8/8/8/4K3 w - -"},
        {"the h8 king catches it on the promotion square", PAWN_EG_W, "e5", "7k/8/8/4P3/8/8/8/4K3 w - -", "k7/8/8/4P3/8/8/8/4K3 w - -"},
        {"a rook behind the passer", PAWN_EG_W, "e5", "4k3/8/8/4P3/8/8/8/3RK3 w - -", "4k3/8/8/4P3/8/8/8/4RK2 w - -"},
        {"an early queen", MG, "f3", "rnbqkbnr/pppppppp/8/8/8/5Q2/PPPPPPPP/RNB1KBNR w KQkq -", "rnbqkbnr/pppppppp/8/8/8/5Q2/PPPPPPPP/R3K2R w KQkq -"},
        {"a bishop shut in by its pawns", MG, "d4", "4k3/8/8/2p1p3/3B4/2P1P3/8/4K3 w - -", "4k3/8/8/8/3B4/8/8/4K3 w - -"},
        {"the seventh rank", EG, "a7", "4k3/8/8/8/8/8/8/R3K3 w - -", "4k3/R7/8/8/8/8/8/4K3 w - -"},
        {"a half-open file", EG, "a1", "4k3/p7/8/8/8/8/P7/R3K3 w - -", "4k3/p7/8/8/8/8/1P6/R3K3 w - -"},
        {"a rook shut in by its king", MG, "h1", "4k3/8/8/8/8/8/5PPP/6KR w - -", "4k3/8/8/8/8/8/5PPP/5RK1 w - -"},
        {"an outpost a pawn can chase", MG, "d5", "4k3/2p5/8/3N4/2P1P3/8/8/4K3 w - -", "4k3/8/8/3N4/2P1P3/8/8/4K3 w - -"},
        {"an outpost with one defender", MG, "d5", "4k3/8/8/3N4/2P5/8/8/4K3 w - -", "4k3/8/8/3N4/2P1P3/8/8/4K3 w - -"},
        {"a black outpost a pawn can reach", MG, "d4", "4k3/8/8/2p1p3/3n4/8/2P5/4K3 b - -", "4k3/8/8/2p1p3/3n4/8/8/4K3 b - -"},
        {"a pushed shelter pawn", KING_W, "", "rnbq1rk1/pppppppp/2bn4/8/8/6P1/PPPPPP1P/RNBQ1RK1 w - -", "rnbq1rk1/pppppppp/2bn4/8/8/8/PPPPPPPP/RNBQ1RK1 w - -"},
        {"a shelter pawn pushed further", KING_W, "", "rnbq1rk1/pppppppp/2bn4/8/6P1/8/PPPPP2P/RNBQ1RK1 w - -", "rnbq1rk1/pppppppp/2bn4/8/8/6P1/PPPPPP1P/RNBQ1RK1 w - -"},
        {"more enemy pieces weigh the shelter more", KING_W, "", "rnbq1rk1/pppppppp/2bn4/8/8/6P1/PPPPPP1P/RNBQ1RK1 w - -", "4qrk1/pppppppp/8/8/6n1/6P1/PPPPPP1P/RNBQ1RK1 w - -"},
        {"a pawn storm", KING_W, "", "rnbq1rk1/pppppp1p/2bn4/8/6p1/8/PPPPPPPP/RNBQ1RK1 w - -", "rnbq1rk1/pppppppp/2bn4/8/8/8/PPPPPPPP/RNBQ1RK1 w - -"},
        {"open files before the king", KING_W, "", "rnbqkbnr/ppp2ppp/8/8/8/8/PPP2PPP/RNBQKBNR w KQkq -", START},
        {"a corner rook takes the wing bonus", KING_W, "", "rnbq1rk1/pppppppp/8/8/8/8/PPPPPPPP/RNBQ2KR w - -", "r1bq1rk1/pppppppp/8/8/8/8/PPPPPPPP/RNBQ2Kn w - -"},
        {"a corner bishop too", KING_W, "", "rnbq1rk1/pppppppp/8/8/8/8/PPPPPPPP/RNBQ2KB w - -", "r1bq1rk1/pppppppp/8/8/8/8/PPPPPPPP/RNBQ2Kn w - -"},
        {"the zone term needs the queen and two pieces", ATTACK_B, "", "r2qk3/8/8/8/8/8/8/4K3 w - -", "r2qk3/8/8/8/8/7n/5PPP/6K1 w - -"},
        {"an empty front square counts twice", ATTACK_B, "", "n3k3/8/8/6q1/8/8/5PNP/r5K1 w - -", "n3k3/8/8/6q1/8/8/5P1P/r5K1 w - -"},
    };
    for (const auto& c : cases)
        EXPECT_LT(at(c.lower, c.term, c.square), at(c.higher, c.term, c.higher_square ? c.higher_square : c.square)) << c.why;
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
