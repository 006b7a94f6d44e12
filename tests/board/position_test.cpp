// The Zobrist keys bit for bit, the start position's material, key updates and the consistency check.
#include <functional>
#include <tuple>

#include "board/board_test_support.h"

using namespace board_test;

namespace {

class PositionState : public BoardTest {};

TEST_F(PositionState, ZobristKeysBitForBit) {
    // The first piece key is the first two draws: y[54] + y[23] and y[53] + y[22] of the seed.
    EXPECT_EQ(zobrist_piece[0], 0x039b11bf4890d6a4ULL);
    EXPECT_EQ(zobrist_side[WHITE], 0x9550b69b55772368ULL);
    const uint64_t castle15 = zobrist_castle[15], ep63 = zobrist_ep[63];
    random32();  // the generator moves on, but a second init restarts from the seed
    init_hash_keys();
    EXPECT_EQ(std::make_tuple(zobrist_piece[0], zobrist_castle[15], zobrist_ep[63]),
              std::make_tuple(0x039b11bf4890d6a4ULL, castle15, ep63));
    setup(START);
    EXPECT_EQ(game.hash_key, 0x1d0b07bbcf64539dULL);
    for (int c = BLACK; c <= WHITE; ++c)
        EXPECT_EQ(std::make_tuple(game.piece_material[c], game.pawn_material[c]), std::make_tuple(3220, 800));
    EXPECT_EQ(std::make_tuple(flip[0], flip[63], distance[0][63], distance[36][21]), std::make_tuple(56, 7, 7, 2));
}

TEST_F(PositionState, EnPassantCastlingAndSideEachChangeTheKey) {
    setup(START);
    ASSERT_EQ(make_move(game, {52, 36, MOVE_DOUBLE_PUSH, 0}), 1);  // e2-e4 sets e3 even with no capturer
    EXPECT_EQ(game.ep, 44);
    EXPECT_EQ(game.hash_key, compute_hash_key(game));
    game.ep = NO_SQUARE;
    EXPECT_EQ(game.hash_key ^ compute_hash_key(game), zobrist_ep[44]);
    game.ep = 44;
    const std::string after_e5 = "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR";
    const char* tails[4] = {"wKQkq-", "wKQkqe6", "wKQk-", "bKQkq-"};
    uint64_t key[4];
    for (int i = 0; i < 4; ++i) {
        setup(after_e5 + tails[i]);
        key[i] = game.hash_key;
    }
    EXPECT_NE(key[1], key[0]);
    EXPECT_NE(key[2], key[0]);
    EXPECT_EQ(key[0] ^ key[3], zobrist_side[WHITE] ^ zobrist_side[BLACK]);
}

TEST_F(PositionState, ConsistencyCheckSeesEachKindOfFault) {
    const std::function<void()> faults[] = {
        [] { game.hash_key ^= 1; },
        [] { game.piece_count[WHITE][KNIGHT]++; },
        [] { game.piece_material[BLACK] -= 1; },
        [] { game.king_square[WHITE] = 59; },
        [] { game.color[27] = WHITE; },    // a colour without a piece
        [] { game.piece[0] = EMPTY; },     // a piece vanished from one array only
        [] { game.castle_rook[0] = 62; },  // a right whose rook is not there
        [] { game.men[BLACK][KNIGHT] ^= 1; },   // a bitboard out of step with the mailbox
        [] { game.occupied[WHITE] ^= 1ull << 40; },
    };
    setup(START);
    const BoardBytes good = board_of(game);
    for (size_t i = 0; i < std::size(faults); ++i) {
        faults[i]();
        EXPECT_FALSE(position_is_ok(game)) << "fault " << i;
        restore_board(game, good);
    }
    EXPECT_TRUE(position_is_ok(game));
}

}  // namespace
