// Setup from compact FEN: en passant, both castling notations, the mended faults and every refusal.
#include "board/board_test_support.h"

using namespace board_test;

namespace {

class Setup : public BoardTest {};

TEST_F(Setup, EnPassantField) {
    for (const auto& c : read_cases("board/en_passant_fields.txt")) {
        setup(c[0], c[1]);
        EXPECT_EQ(game.ep, c[2] == "none" ? NO_SQUARE : std::stoi(c[2])) << c[0];
        EXPECT_EQ(game.castle, std::stoi(c[3])) << c[0];
    }
}

// A right whose king is off its square or whose rook is missing would conjure a rook when
// castling: it is dropped, with no mask left behind. Rows run in order: no masks leak between them.
TEST_F(Setup, CastlingRightsRooksAndMasks) {
    const int rook_mask[4] = {14, 13, 11, 7};
    for (const auto& c : read_cases("board/castling_rights.txt")) {
        SCOPED_TRACE(c[0]);
        setup(c[0], c[1]);
        EXPECT_EQ(game.castle, std::stoi(c[2]));
        int marked = 2;
        for (int r = 0; r < 4; ++r) {
            if (!(game.castle & (1 << r))) continue;
            ++marked;
            const int rook = std::stoi(c[3 + r]);
            EXPECT_EQ(game.castle_rook[r], rook) << "right " << r;
            EXPECT_EQ(game.castle_mask[rook], rook_mask[r]) << "right " << r;
        }
        EXPECT_EQ(game.castle_mask[game.king_square[WHITE]], 12);
        EXPECT_EQ(game.castle_mask[game.king_square[BLACK]], 3);
        EXPECT_EQ(std::count_if(game.castle_mask, game.castle_mask + 64, [](int m) { return m != 15; }), marked);
    }
}

// Each refusal leaves the position, the history and the variant exactly as they were.
TEST_F(Setup, RefusedTextsLeaveEverythingIntact) {
    std::vector<std::string> refused = {""};  // and every text of tests/board/refused_setups.txt
    for (const auto& row : read_cases("board/refused_setups.txt")) refused.push_back(row[0]);
    setup("r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2RwKQkq-");
    ASSERT_EQ(make_move(game, {48, 40, MOVE_NORMAL, 0}), 1);  // a2-a3: a history entry to keep
    const BoardBytes before = board_of(game);
    HistoryEntry history_before[4];
    std::memcpy(history_before, game.history, sizeof history_before);
    for (size_t i = 0; i <= refused.size(); ++i) {  // the last text is a null pointer
        const char* text = i < refused.size() ? refused[i].c_str() : nullptr;
        SCOPED_TRACE(text ? text : "(null)");
        EXPECT_FALSE(setup_position(game, text));
        EXPECT_TRUE(same_position(before, game));
        EXPECT_EQ(std::memcmp(history_before, game.history, sizeof history_before), 0);
        EXPECT_STREQ(Variant, "normal");
    }
}

// Setup sets up a position and nothing else: the counters restart and `ply` is kept; a text
// without a side keeps the side; the variant is read again from its text, as a shell might write it.
TEST_F(Setup, WhatSetupRestartsAndKeeps) {
    setup(START_POSITION);
    ASSERT_EQ(make_move(game, {52, 36, MOVE_DOUBLE_PUSH, 0}), 1);
    game.ply = 5;
    ASSERT_TRUE(setup_position(game, "4k3/8/8/8/8/8/8/4K3b--"));
    EXPECT_EQ(std::make_tuple(game.game_ply, game.fifty, game.ply, game.side), std::make_tuple(0, 0, 5, int(BLACK)));
    setup("4k3/8/8/8/8/8/8/4K3");
    EXPECT_EQ(std::make_tuple(game.side, game.castle, game.ep), std::make_tuple(int(BLACK), 0, NO_SQUARE));
    std::strcpy(Variant, "fischerandom");
    ASSERT_TRUE(setup_position(game, "4k3/8/8/8/8/8/8/1R1K2R1\tw\tBG -"));  // tabs between fields
    EXPECT_EQ(variant_kind, VARIANT_FISCHERANDOM);
    EXPECT_EQ(game.castle_rook[0], 62);
}

}  // namespace
