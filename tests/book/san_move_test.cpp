// Algebraic notation on the engine's board: every SAN form, long algebraic and coordinates, and
// refusals, as cases in san_moves.txt.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "book/book.h"

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
    std::ifstream file(std::filesystem::path(TOLVANE_TEST_DATA) / ".." / "book" / "san_moves.txt");
    std::string fen;
    int cases = 0;
    for (std::string line; std::getline(file, line);) {
        std::istringstream fields(line);
        std::string word, verdict, move, type;
        if (!(fields >> word) || word[0] == '#') continue;
        if (word == "fen") {
            std::getline(fields >> std::ws, fen);
            continue;
        }
        fields >> verdict >> move >> type;
        SCOPED_TRACE(fen + " : " + line);
        ASSERT_TRUE(setup_position(game, fen.c_str()));
        Move found = NO_MOVE;
        EXPECT_EQ(play_san_move(word.c_str(), &found), verdicts.at(verdict));
        ASSERT_EQ(game.game_ply, verdict == "ok" ? 1 : 0);  // played only when found
        cases++;
        if (verdict != "ok") continue;
        EXPECT_EQ(found.from, square(move));
        EXPECT_EQ(found.to, square(move.substr(2)));
        EXPECT_EQ(found.type, types.at(type));
        EXPECT_TRUE(position_is_ok(game));
    }
    EXPECT_EQ(cases, 23);  // the file was found and read whole
}

}  // namespace
