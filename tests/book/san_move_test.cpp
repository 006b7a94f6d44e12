// Algebraic notation on the engine's board: every SAN form, long algebraic and coordinates, and
// refusals, as cases in san_moves.txt.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "book/book.h"
#include "support/cases.h"

namespace {

int square(const std::string& text) { return (text[0] - 'a') + 8 * ('8' - text[1]); }

TEST(SanMove, EveryFormFindsItsMove) {
    init_hash_keys();
    set_variant("normal");
    const std::map<std::string, int> verdicts = {
        {"ok", SAN_OK}, {"ambiguous", SAN_AMBIGUOUS}, {"illegal", SAN_ILLEGAL}, {"unreadable", SAN_UNREADABLE}};
    const std::map<std::string, int> types = {{"normal", MOVE_NORMAL},        {"castle", MOVE_CASTLE},
                                              {"double", MOVE_DOUBLE_PUSH},   {"passant", MOVE_EN_PASSANT},
                                              {"queen", MOVE_PROMOTE_QUEEN}, {"rook", MOVE_PROMOTE_ROOK}};
    std::string fen;
    int cases = 0;
    for (const CaseRow& row : read_cases("book/san_moves.txt")) {
        if (row[0] == "fen") {
            fen = joined_fields(row, 1);
            continue;
        }
        const std::string& word = row[0];
        const std::string& verdict = row[1];
        SCOPED_TRACE(fen + " : " + joined_fields(row));
        ASSERT_TRUE(setup_position(game, fen.c_str()));
        Move found = NO_MOVE;
        EXPECT_EQ(play_san_move(word.c_str(), &found), verdicts.at(verdict));
        ASSERT_EQ(game.game_ply, verdict == "ok" ? 1 : 0);  // played only when found
        cases++;
        if (verdict != "ok") continue;
        ASSERT_EQ(row.size(), 4u);
        EXPECT_EQ(found.from, square(row[2]));
        EXPECT_EQ(found.to, square(row[2].substr(2)));
        EXPECT_EQ(found.type, types.at(row[3]));
        EXPECT_TRUE(position_is_ok(game));
    }
    EXPECT_EQ(cases, 23);  // the file was found and read whole
}

}  // namespace
