// Make and unmake: castling admission in both variants, en passant, promotion, the history stack.
#include "board/board_test_support.h"

using namespace board_test;

namespace {

class MakeMove : public BoardTest {
protected:
    // Makes a move that must be admitted or refused. A refusal must change nothing; an admitted
    // move must leave a consistent position that unmake restores exactly. Leaves the move made.
    static void try_move(Move m, bool admitted) {
        const BoardBytes before = board_of(game);
        ASSERT_EQ(make_move(game, m), admitted ? 1 : 0) << m.from << "-" << m.to;
        if (!admitted) {
            EXPECT_TRUE(same_position(before, game));
            return;
        }
        EXPECT_TRUE(position_is_ok(game));
        unmake_move(game);
        EXPECT_TRUE(same_position(before, game));
        ASSERT_EQ(make_move(game, m), 1);
    }
};

// position_is_ok after each castling catches a rook left behind or a king square not updated.
TEST_F(MakeMove, CastlingAdmissionAndPlacement) {
    for (const auto& c : read_cases("board/castling_moves.txt")) {
        SCOPED_TRACE(c[0]);
        setup(c[0], c[1]);
        const int mover = game.side;
        try_move({std::stoi(c[2]), std::stoi(c[3]), MOVE_CASTLE, 0}, c[4] != "refused");
        if (c[4] == "refused") continue;
        const int king = std::stoi(c[4]), rook = std::stoi(c[5]);
        EXPECT_EQ(std::make_tuple(game.piece[king], game.piece[rook], game.color[rook]),
                  std::make_tuple(int(KING), int(ROOK), mover));
        EXPECT_EQ(game.castle & (mover == WHITE ? 3 : 12), 0);
        EXPECT_EQ(game.history[0].captured, EMPTY);  // the own rook is never taken
    }
}

TEST_F(MakeMove, EnPassantAndCapturePromotion) {
    setup("8/8/8/KPp4r/8/8/8/7kwc6");  // the capture would uncover the king on the rank
    try_move({25, 18, MOVE_EN_PASSANT, 0}, false);
    setup("4k3/8/8/3Pp3/8/8/8/4K3w-e6");
    try_move({27, 20, MOVE_EN_PASSANT, 0}, true);
    EXPECT_EQ(std::make_tuple(game.piece[28], game.fifty, game.history[0].captured),
              std::make_tuple(int(EMPTY), 0, int(EMPTY)));
    setup("1r2k3/2P5/8/8/8/8/8/4K3w-");
    const uint64_t before_key = game.hash_key;
    try_move({10, 1, MOVE_PROMOTE_KNIGHT, 0}, true);
    EXPECT_EQ(std::make_tuple(game.piece[1], game.piece_material[WHITE], game.piece_material[BLACK], game.fifty),
              std::make_tuple(int(KNIGHT), 315, 0, 0));
    EXPECT_EQ(std::make_tuple(game.history[0].captured, game.history[0].hash_key), std::make_tuple(int(ROOK), before_key));
}

TEST_F(MakeMove, HistoryEntryCountersAndRights) {
    setup("r3k2r/8/8/8/8/8/8/R3K2RwKQkq-");
    ASSERT_EQ(make_move(game, {63, 55, MOVE_NORMAL, 123}), 1);  // h1-h2
    const HistoryEntry& e = game.history[0];
    EXPECT_EQ(std::tie(e.from, e.to, e.type, e.score, e.captured, e.castle, e.ep, e.fifty),
              std::make_tuple(63, 55, int(MOVE_NORMAL), 123, int(EMPTY), 15, NO_SQUARE, 0));
    EXPECT_EQ(std::tie(game.fifty, game.castle, game.ply, game.game_ply, game.side),
              std::make_tuple(1, 15 & ~CASTLE_WHITE_SHORT, 1, 1, int(BLACK)));
    ASSERT_EQ(make_move(game, {0, 56, MOVE_NORMAL, 0}), 1);  // a8xa1 ends White's long right too
    EXPECT_EQ(std::tie(game.fifty, game.castle), std::make_tuple(0, int(CASTLE_BLACK_SHORT)));
}

// The interface may hand the move to the other side between moves ("white", "black"): taking
// moves back afterwards must still return each man to its owner and the move to its mover.
TEST_F(MakeMove, UnmakeAfterTheSideToMoveWasHandedOver) {
    setup(START_POSITION);
    const BoardBytes start = board_of(game);
    ASSERT_EQ(make_move(game, {52, 36, MOVE_NORMAL, 0}), 1);  // e2e4, then White is given the move again
    game.side = WHITE;
    game.ep = NO_SQUARE;
    game.hash_key = compute_hash_key(game);
    const BoardBytes handed_over = board_of(game);
    ASSERT_EQ(make_move(game, {51, 35, MOVE_NORMAL, 0}), 1);  // d2d4

    unmake_move(game);
    EXPECT_TRUE(same_position(handed_over, game));
    unmake_move(game);
    EXPECT_TRUE(position_is_ok(game));
    EXPECT_TRUE(same_position(start, game));
}

// The history stack has MAX_GAME_PLY entries; a move that would need one more is refused.
TEST_F(MakeMove, FullHistoryRefusesFurtherMoves) {
    setup("4k3/8/8/8/8/8/8/4K1N1w-");
    const Move shuttle[4] = {
        {62, 45, MOVE_NORMAL, 0}, {4, 5, MOVE_NORMAL, 0}, {45, 62, MOVE_NORMAL, 0}, {5, 4, MOVE_NORMAL, 0}};
    for (int i = 0; i < MAX_GAME_PLY; ++i) ASSERT_EQ(make_move(game, shuttle[i % 4]), 1) << "move " << i;
    try_move(shuttle[0], false);
    EXPECT_EQ(count_legal_moves(game), 0);
    for (int i = 0; i < MAX_GAME_PLY; ++i) unmake_move(game);
    EXPECT_EQ(game.game_ply, 0);
    EXPECT_TRUE(position_is_ok(game));
}

}  // namespace
