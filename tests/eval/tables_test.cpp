// The evaluation tables: orientation, the mirror black reads, and the symmetries they must keep.
#include "eval/eval_fixture.h"

namespace {

bool mirror_symmetric(const int* table) {  // rank 8 against rank 1 and so on
    for (int sq = 0; sq < 64; sq++)
        if (table[sq] != table[flip[sq]]) return false;
    return true;
}

bool file_symmetric(const int* table) {  // a-file against h-file and so on
    for (int sq = 0; sq < 64; sq++)
        if (table[sq] != table[sq ^ 7]) return false;
    return true;
}

TEST(EvalTables, EitherColourTablesAreMirrorSymmetric) {
    for (const int* table : {knight_table_eg, bishop_table_eg, queen_table_eg, king_table_eg, rook_table,
                             doubled_penalty, isolated_penalty, backward_penalty})
        EXPECT_TRUE(mirror_symmetric(table));
}

TEST(EvalTables, EveryTableIsTheSameOnBothWings) {
    for (const int* table : {knight_table_mg_white, knight_table_eg, bishop_table_mg_white, bishop_table_eg,
                             rook_table, queen_table_mg_white, queen_table_eg, king_table_mg_white, king_table_eg,
                             pawn_table_white, doubled_penalty, isolated_penalty, backward_penalty,
                             side_by_side_white, knight_outpost_white, king_zone_base_white})
        EXPECT_TRUE(file_symmetric(table));
}

TEST(EvalTables, OutpostsStayOffTheEdgeFiles) {
    // The outpost rule looks at the squares diagonally behind the knight.
    for (int sq = 0; sq < 64; sq++)
        if ((sq & 7) == 0 || (sq & 7) == 7 || (sq >> 3) == 0 || (sq >> 3) == 7) {
            EXPECT_EQ(knight_outpost_white[sq], 0) << sq;
        }
}

}  // namespace
