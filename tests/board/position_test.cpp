// The Zobrist keys bit for bit, the start position's fields, keys and the consistency check.
#include "board/board_test_support.h"

using namespace board_test;

namespace {

constexpr const char* START = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNRwKQkq-";

class PositionState : public BoardTest {};

TEST_F(PositionState, ZobristKeysBitForBit) {
    EXPECT_EQ(zobrist_piece[0], 0x039b11bf4890d6a4ULL);
    EXPECT_EQ(zobrist_side[WHITE], 0x9550b69b55772368ULL);
    setup(START);
    EXPECT_EQ(pos.hash_key, 0x1d0b07bbcf64539dULL);
}

// The first piece key is the first two draws: y[54] + y[23] and y[53] + y[22] of the seed.
TEST_F(PositionState, FirstKeyIsTheFirstTwoDraws) {
    const uint32_t y54 = 0x8eaf6d15, y23 = 0x74eba4aa, y53 = 0x16eca191, y22 = 0x31a43513;
    EXPECT_EQ(zobrist_piece[0] >> 32, static_cast<uint32_t>(y54 + y23));
    EXPECT_EQ(zobrist_piece[0] & 0xffffffffULL, static_cast<uint32_t>(y53 + y22));
}

TEST_F(PositionState, KeysAreTheSameAfterASecondInit) {
    uint64_t piece0 = zobrist_piece[0], castle15 = zobrist_castle[15], ep63 = zobrist_ep[63];
    random32();  // the generator moves on, but the keys restart from the seed
    init_hash_keys();
    EXPECT_EQ(zobrist_piece[0], piece0);
    EXPECT_EQ(zobrist_castle[15], castle15);
    EXPECT_EQ(zobrist_ep[63], ep63);
    // All 850 keys differ from each other and from zero.
    std::vector<uint64_t> keys(zobrist_piece, zobrist_piece + 768);
    keys.insert(keys.end(), zobrist_side, zobrist_side + 2);
    keys.insert(keys.end(), zobrist_ep, zobrist_ep + 64);
    keys.insert(keys.end(), zobrist_castle, zobrist_castle + 16);
    std::sort(keys.begin(), keys.end());
    EXPECT_EQ(std::adjacent_find(keys.begin(), keys.end()), keys.end());
    EXPECT_NE(keys.front(), 0u);
}

TEST_F(PositionState, StartPositionFields) {
    setup(START);
    for (int c = BLACK; c <= WHITE; ++c) {
        EXPECT_EQ(pos.piece_count[c][PAWN], 8);
        EXPECT_EQ(pos.piece_count[c][KNIGHT], 2);
        EXPECT_EQ(pos.piece_count[c][BISHOP], 2);
        EXPECT_EQ(pos.piece_count[c][ROOK], 2);
        EXPECT_EQ(pos.piece_count[c][QUEEN], 1);
        EXPECT_EQ(pos.piece_material[c], 3220);
        EXPECT_EQ(pos.pawn_material[c], 800);
    }
    EXPECT_EQ(pos.side, WHITE);
    EXPECT_EQ(pos.castle, 15);
    EXPECT_EQ(pos.ep, NO_SQUARE);
    EXPECT_EQ(pos.king_square[WHITE], 60);
    EXPECT_EQ(pos.king_square[BLACK], 4);
    EXPECT_EQ(pos.castle_rook[0], 63);
    EXPECT_EQ(pos.castle_rook[1], 56);
    EXPECT_EQ(pos.castle_rook[2], 7);
    EXPECT_EQ(pos.castle_rook[3], 0);
    EXPECT_EQ(pos.fifty, 0);
    EXPECT_EQ(pos.game_ply, 0);
    for (int s = 0; s < 64; ++s) {
        int expected = 15;
        if (s == 60) expected = 12;
        if (s == 4) expected = 3;
        if (s == 56) expected = 13;
        if (s == 63) expected = 14;
        if (s == 0) expected = 7;
        if (s == 7) expected = 11;
        EXPECT_EQ(pos.castle_mask[s], expected) << "square " << s;
    }
}

TEST_F(PositionState, DoublePushSetsEnPassantEvenWithoutCapturer) {
    setup(START);
    ASSERT_EQ(make_move({52, 36, MOVE_DOUBLE_PUSH, 0}), 1);  // e2-e4
    EXPECT_EQ(pos.ep, 44);
    EXPECT_EQ(pos.hash_key, compute_hash_key());
    Position without_ep = pos;
    without_ep.ep = NO_SQUARE;
    Position saved = pos;
    pos = without_ep;
    uint64_t key_without = compute_hash_key();
    pos = saved;
    EXPECT_EQ(pos.hash_key ^ key_without, zobrist_ep[44]);
}

TEST_F(PositionState, CastlingOrEnPassantAloneChangeTheKey) {
    setup("rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNRwKQkqe6");
    uint64_t with_ep = pos.hash_key;
    setup("rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNRwKQkq-");
    uint64_t plain = pos.hash_key;
    setup("rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNRwKQk-");
    uint64_t fewer_rights = pos.hash_key;
    setup("rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNRbKQkq-");
    uint64_t black = pos.hash_key;
    EXPECT_NE(with_ep, plain);
    EXPECT_NE(fewer_rights, plain);
    EXPECT_EQ(plain ^ black, zobrist_side[WHITE] ^ zobrist_side[BLACK]);
}

TEST_F(PositionState, MakeUnmakeSequencesKeepTheKey) {
    setup("r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2RwKQkq-");
    const uint64_t root = pos.hash_key;
    // Walk a fixed line of first legal moves, checking the key at each step, then take it all back.
    int made = 0;
    for (int step = 0; step < 12; ++step) {
        Move list[MAX_MOVES];
        int n = generate_moves(list);
        bool moved = false;
        for (int i = (step * 7) % (n ? n : 1); i < n && !moved; ++i)
            if (make_move(list[i])) moved = true;
        if (!moved) break;
        ++made;
        ASSERT_EQ(pos.hash_key, compute_hash_key());
        ASSERT_TRUE(position_is_ok());
    }
    EXPECT_GT(made, 6);
    while (made-- > 0) unmake_move();
    EXPECT_EQ(pos.hash_key, root);
    EXPECT_EQ(pos.game_ply, 0);
}

TEST_F(PositionState, FlipAndDistanceTables) {
    EXPECT_EQ(flip[0], 56);
    EXPECT_EQ(flip[63], 7);
    for (int s = 0; s < 64; ++s) {
        EXPECT_EQ(flip[s], 56 - (s & ~7) + (s & 7));
        EXPECT_EQ(flip[flip[s]], s);
    }
    setup(START);
    EXPECT_EQ(distance[0][63], 7);
    EXPECT_EQ(distance[36][21], 2);  // e4 to f6
    EXPECT_EQ(distance[27][27], 0);
    EXPECT_EQ(distance[56][1], 7);
    EXPECT_EQ(piece_value[KING], 32767);
    EXPECT_EQ(piece_value[EMPTY], 0);
}

TEST_F(PositionState, ConsistencyCheckSeesEachKindOfFault) {
    setup(START);
    ASSERT_TRUE(position_is_ok());
    const Position good = pos;

    pos.hash_key ^= 1;
    EXPECT_FALSE(position_is_ok());
    pos = good;
    pos.piece_count[WHITE][KNIGHT]++;
    EXPECT_FALSE(position_is_ok());
    pos = good;
    pos.piece_material[BLACK] -= 1;
    EXPECT_FALSE(position_is_ok());
    pos = good;
    pos.king_square[WHITE] = 59;
    EXPECT_FALSE(position_is_ok());
    pos = good;
    pos.color[27] = WHITE;  // a colour without a piece
    EXPECT_FALSE(position_is_ok());
    pos = good;
    pos.piece[0] = EMPTY;  // a piece vanished from one array only
    EXPECT_FALSE(position_is_ok());
    pos = good;
    pos.castle_rook[0] = 62;  // a right whose rook is not there
    EXPECT_FALSE(position_is_ok());
    pos = good;
    EXPECT_TRUE(position_is_ok());
}

}  // namespace
