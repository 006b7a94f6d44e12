// Algebraic notation on the engine's board: every SAN form, long algebraic and coordinates, and refusals.
#include <gtest/gtest.h>

#include <string>

#include "book/book.h"

namespace {

int square(const char* text) { return (text[0] - 'a') + 8 * ('8' - text[1]); }

class SanMove : public ::testing::Test {
protected:
    void SetUp() override {
        init_hash_keys();
        set_variant("normal");
    }
};

TEST_F(SanMove, EveryFormFindsItsMove) {
    const char* castles = "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1";
    const char* rooks = "k7/8/8/8/8/4R3/8/4R1K1 w - - 0 1";        // R1e2 and R3e2
    const char* queens = "8/8/1k6/8/4Q2Q/8/8/K6Q w - - 0 1";        // three queens reach e1
    const char* knights = "1n2k3/8/5n2/8/8/8/8/4K3 b - - 0 1";      // Nbd7 and Nfd7
    const char* scholar = "r1bqkb1r/pppp1ppp/2n2n2/4p2Q/2B1P3/8/PPPP1PPP/RNB1K1NR w KQkq - 4 4";
    const char* passant = "rnbqkbnr/1pp1pppp/p7/3pP3/8/8/PPPP1PPP/RNBQKBNR w KQkq d6 0 3";
    const char* promote = "3r4/4P3/8/8/8/8/k7/4K3 w - - 0 1";
    const char* pinned = "4k3/4r3/8/8/8/8/4N3/1N2K3 w - - 0 1";     // the e2 knight may not move
    struct Case {
        const char* position;
        const char* word;
        int status;
        const char* move = "";  // from and to when found
        int type = MOVE_NORMAL;
    };
    const Case cases[] = {
        {castles, "O-O", SAN_OK, "e1g1", MOVE_CASTLE},
        {castles, "O-O-O+", SAN_OK, "e1c1", MOVE_CASTLE},
        {castles, "e1g1", SAN_OK, "e1g1", MOVE_CASTLE},  // coordinates, as interfaces write castling
        {castles, "Kg1", SAN_ILLEGAL},                   // SAN writes castling as O-O only
        {rooks, "Re2", SAN_AMBIGUOUS},
        {rooks, "R1e2", SAN_OK, "e1e2"},
        {queens, "Qhe1", SAN_AMBIGUOUS},
        {queens, "Qh4e1", SAN_OK, "h4e1"},
        {knights, "Nd7", SAN_AMBIGUOUS},
        {knights, "Nbd7", SAN_OK, "b8d7"},
        {scholar, "Bxf7+!?", SAN_OK, "c4f7"},
        {scholar, "Ng1-f3", SAN_OK, "g1f3"},
        {scholar, "d4", SAN_OK, "d2d4", MOVE_DOUBLE_PUSH},
        {scholar, "Nf3x", SAN_UNREADABLE},
        {scholar, "Ke3", SAN_ILLEGAL},
        {passant, "exd6", SAN_OK, "e5d6", MOVE_EN_PASSANT},
        {passant, "xd6", SAN_UNREADABLE},  // a pawn's capture names the file it came from
        {promote, "e8=Q", SAN_OK, "e7e8", MOVE_PROMOTE_QUEEN},
        {promote, "exd8=R", SAN_OK, "e7d8", MOVE_PROMOTE_ROOK},
        {promote, "e8", SAN_ILLEGAL},  // the piece must be named
        {promote, "e8=K", SAN_UNREADABLE},
        {pinned, "Nc3", SAN_OK, "b1c3"},  // the pinned knight does not make it ambiguous
        {pinned, "Nec3", SAN_ILLEGAL},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.position) + " : " + c.word);
        ASSERT_TRUE(setup_position(game, c.position));
        Move move = NO_MOVE;
        EXPECT_EQ(play_san_move(c.word, &move), c.status);
        ASSERT_EQ(game.game_ply, c.status == SAN_OK ? 1 : 0);  // played only when found
        if (c.status != SAN_OK) continue;
        EXPECT_EQ(move.from, square(c.move));
        EXPECT_EQ(move.to, square(c.move + 2));
        EXPECT_EQ(move.type, c.type);
        EXPECT_TRUE(position_is_ok(game));
    }
}

}  // namespace
