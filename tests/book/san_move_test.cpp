// Algebraic notation on the engine's board: every SAN form, long algebraic and coordinates, and refusals.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "book/book.h"
#include "tools/tools.h"

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
        {castles, "0-0", SAN_OK, "e1g1", MOVE_CASTLE},
        {castles, "0-0-0", SAN_OK, "e1c1", MOVE_CASTLE},
        {castles, "Kg1", SAN_ILLEGAL},                   // SAN writes castling as O-O only
        {rooks, "Re2", SAN_AMBIGUOUS},
        {rooks, "Ree2", SAN_AMBIGUOUS},
        {rooks, "R1e2", SAN_OK, "e1e2"},
        {queens, "Qhe1", SAN_AMBIGUOUS},
        {queens, "Q4e1", SAN_AMBIGUOUS},
        {queens, "Qh4e1", SAN_OK, "h4e1"},
        {knights, "Nd7", SAN_AMBIGUOUS},
        {knights, "Nbd7", SAN_OK, "b8d7"},
        {scholar, "Qxf7#", SAN_OK, "h5f7"},
        {scholar, "Bxf7+!?", SAN_OK, "c4f7"},
        {scholar, "Ng1-f3", SAN_OK, "g1f3"},
        {scholar, "d4", SAN_OK, "d2d4", MOVE_DOUBLE_PUSH},
        {scholar, "Pd3", SAN_OK, "d2d3"},
        {scholar, "Nf3x", SAN_UNREADABLE},
        {scholar, "Ke3", SAN_ILLEGAL},
        {passant, "exd6", SAN_OK, "e5d6", MOVE_EN_PASSANT},
        {passant, "ed6", SAN_OK, "e5d6", MOVE_EN_PASSANT},
        {passant, "xd6", SAN_UNREADABLE},  // a pawn's capture names the file it came from
        {passant, "d6", SAN_ILLEGAL},
        {promote, "e8=Q", SAN_OK, "e7e8", MOVE_PROMOTE_QUEEN},
        {promote, "e8Q", SAN_OK, "e7e8", MOVE_PROMOTE_QUEEN},
        {promote, "e8=N+", SAN_OK, "e7e8", MOVE_PROMOTE_KNIGHT},
        {promote, "exd8=R", SAN_OK, "e7d8", MOVE_PROMOTE_ROOK},
        {promote, "e8", SAN_ILLEGAL},  // the piece must be named
        {promote, "e8=K", SAN_UNREADABLE},
        {pinned, "Nc3", SAN_OK, "b1c3"},  // the pinned knight does not make it ambiguous
        {pinned, "Nec3", SAN_ILLEGAL},
        {pinned, "Zf3", SAN_UNREADABLE},
        {pinned, "e9", SAN_UNREADABLE},
        {pinned, "--", SAN_UNREADABLE},
        {pinned, "", SAN_UNREADABLE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.position) + " : " + c.word);
        ASSERT_TRUE(setup_position(game, c.position));
        const uint64_t key = game.hash_key;
        Move move = NO_MOVE;
        EXPECT_EQ(play_san_move(c.word, &move), c.status);
        if (c.status != SAN_OK) {
            EXPECT_EQ(game.game_ply, 0);  // nothing was played
            EXPECT_EQ(game.hash_key, key);
            continue;
        }
        EXPECT_EQ(move.from, square(c.move));
        EXPECT_EQ(move.to, square(c.move + 2));
        EXPECT_EQ(move.type, c.type);
        ASSERT_EQ(game.game_ply, 1);  // the move was played
        EXPECT_EQ(game.history[0].from, move.from);
        EXPECT_TRUE(position_is_ok(game));
    }
}

// Every word naming a from and a to square, with and without its man's letter, against the
// generator's legal moves, in the orthodox perft positions and along a fixed walk from each.
TEST_F(SanMove, FindsExactlyTheGeneratorsLegalMoves) {
    const char letters[] = "PNBRQK";  // by PieceType
    int checked = 0;
    for (const EpdLine& start : read_epd(TOLVANE_TEST_DATA "/perft.epd")) {
        if (start.chess960) continue;
        ASSERT_TRUE(setup_epd(start));
        set_variant("normal");
        for (int walk = 0; walk < 24; walk++) {
            MoveList list;
            const int n = generate_moves(game, list);
            std::vector<Move> legal;
            for (int i = 0; i < n; i++)
                if (make_move(game, list[i])) {
                    unmake_move(game);
                    legal.push_back(list[i]);
                }
            if (legal.empty()) break;
            for (int from = 0; from < 64; from++)
                for (int to = 0; to < 64; to++)
                    for (int lettered = 0; lettered < 2; lettered++) {
                        if (lettered && game.color[from] != game.side) continue;
                        const Move* expected = nullptr;
                        for (const Move& m : legal)
                            if (m.from == from && m.to == to && m.type <= MOVE_PROMOTE_QUEEN) expected = &m;
                        if (lettered && expected && expected->type == MOVE_CASTLE) expected = nullptr;  // O-O only
                        std::string word = std::string(lettered ? 1 : 0, letters[game.piece[from] % 6]) +
                                           char('a' + from % 8) + char('8' - from / 8) + char('a' + to % 8) +
                                           char('8' - to / 8) +
                                           (expected && expected->type == MOVE_PROMOTE_QUEEN ? "q" : "");
                        Move move = NO_MOVE;
                        const int status = play_san_move(word.c_str(), &move);
                        ASSERT_EQ(status, expected ? SAN_OK : SAN_ILLEGAL) << start.fen << " ply " << walk << ": " << word;
                        if (!expected) continue;
                        EXPECT_TRUE(move.from == from && move.to == to && move.type == expected->type) << word;
                        unmake_move(game);
                        checked++;
                    }
            // On along a fixed path: the walk visits captures, promotions and castling on its way.
            ASSERT_TRUE(make_move(game, legal[(walk * 7 + 3) % legal.size()]));
        }
    }
    EXPECT_GT(checked, 5000);
}

}  // namespace
