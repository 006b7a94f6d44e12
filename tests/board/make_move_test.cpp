// Make and unmake, castling admission in both variants, en passant, promotion, the stack.
#include "board/board_test_support.h"

using namespace board_test;

namespace {

class MakeMove : public BoardTest {
protected:
    // Makes a move that must be refused, and checks that nothing changed.
    static void expect_refused(Move m) {
        const Position before = pos;
        EXPECT_EQ(make_move(m), 0) << m.from << "-" << m.to;
        EXPECT_TRUE(same_position(before, pos));
    }
    // Makes a move that must be admitted; then the position must be consistent, and unmake must
    // restore it. Leaves the move made.
    static void expect_made(Move m) {
        const Position before = pos;
        ASSERT_EQ(make_move(m), 1) << m.from << "-" << m.to;
        EXPECT_TRUE(position_is_ok());
        unmake_move();
        EXPECT_TRUE(same_position(before, pos));
        ASSERT_EQ(make_move(m), 1);
    }
};

TEST_F(MakeMove, OrthodoxCastlingAdmission) {
    setup("r3k2r/8/8/8/8/8/8/R3K2RwKQkq-");
    expect_made({60, 62, MOVE_CASTLE, 0});
    EXPECT_EQ(pos.piece[62], KING);
    EXPECT_EQ(pos.piece[61], ROOK);
    EXPECT_EQ(pos.piece[63], EMPTY);
    EXPECT_EQ(pos.king_square[WHITE], 62);
    EXPECT_EQ(pos.castle, CASTLE_BLACK_SHORT | CASTLE_BLACK_LONG);
    expect_made({4, 2, MOVE_CASTLE, 0});
    EXPECT_EQ(pos.piece[3], ROOK);
    EXPECT_EQ(pos.piece[0], EMPTY);
    EXPECT_EQ(pos.castle, 0);
}

TEST_F(MakeMove, OrthodoxCastlingRefusals) {
    // In check (rook on e4).
    setup("4k3/8/8/8/4r3/8/8/R3K2RwKQ-");
    expect_refused({60, 62, MOVE_CASTLE, 0});
    expect_refused({60, 58, MOVE_CASTLE, 0});
    // Through an attacked f1 (rook on f4) / d1 (rook on d4).
    setup("4k3/8/8/8/3r1r2/8/8/R3K2RwKQ-");
    expect_refused({60, 62, MOVE_CASTLE, 0});
    expect_refused({60, 58, MOVE_CASTLE, 0});
    // Into an attacked g1 (rook on g4), c1 (rook on c4): refused by the legality test.
    setup("4k3/8/8/8/2r3r1/8/8/R3K2RwKQ-");
    expect_refused({60, 62, MOVE_CASTLE, 0});
    expect_refused({60, 58, MOVE_CASTLE, 0});
    // b1 occupied: long castling refused though b1 is not on the king's path; b1 attacked is fine.
    setup("4k3/8/8/8/8/8/8/RN2K2RwKQ-");
    expect_refused({60, 58, MOVE_CASTLE, 0});
    setup("4k3/8/8/8/1r6/8/8/R3K2RwKQ-");
    expect_made({60, 58, MOVE_CASTLE, 0});
}

TEST_F(MakeMove, Chess960KingOnBWithRooksOnAAndC) {
    setup("4k3/8/8/8/8/8/8/RKR5wC-", "fischerandom", "HAha");
    ASSERT_EQ(pos.castle, CASTLE_WHITE_SHORT);
    ASSERT_EQ(pos.castle_rook[0], 58);
    const Position before = pos;
    ASSERT_EQ(make_move({57, 62, MOVE_CASTLE, 0}), 1);
    EXPECT_EQ(pos.piece[62], KING);
    EXPECT_EQ(pos.piece[61], ROOK);
    EXPECT_EQ(pos.piece[58], EMPTY);
    EXPECT_EQ(pos.piece[57], EMPTY);
    EXPECT_EQ(pos.piece[56], ROOK);
    EXPECT_TRUE(position_is_ok());
    unmake_move();
    EXPECT_TRUE(same_position(before, pos));
    // c1..f1 attacked anywhere: refused (a black rook on e4 covers e1).
    setup("4k3/8/8/8/4r3/8/8/RKR5wC-", "fischerandom", "HAha");
    expect_refused({57, 62, MOVE_CASTLE, 0});
    // d1 occupied: refused.
    setup("4k3/8/8/8/8/8/8/RKRN4wC-", "fischerandom", "HAha");
    expect_refused({57, 62, MOVE_CASTLE, 0});
}

TEST_F(MakeMove, Chess960KingLandsOnItsRooksSquare) {
    setup("4k3/8/8/8/8/8/8/5KR1wG-", "fischerandom", "HAha");
    const Position before = pos;
    ASSERT_EQ(make_move({61, 62, MOVE_CASTLE, 0}), 1);
    EXPECT_EQ(pos.piece[62], KING);
    EXPECT_EQ(pos.piece[61], ROOK);
    EXPECT_EQ(pos.color[61], WHITE);
    EXPECT_EQ(pos.hash_key, compute_hash_key());
    EXPECT_EQ(pos.castle, 0);
    EXPECT_TRUE(position_is_ok());
    EXPECT_EQ(game_history[0].captured, EMPTY);
    unmake_move();
    EXPECT_TRUE(same_position(before, pos));
    EXPECT_EQ(pos.piece[62], ROOK);
}

TEST_F(MakeMove, Chess960KingAlreadyOnItsDestination) {
    setup("4k3/8/8/8/8/8/8/R5KRwHA-", "fischerandom", "HAha");
    const Position before = pos;
    ASSERT_EQ(make_move({62, 62, MOVE_CASTLE, 0}), 1);
    EXPECT_EQ(pos.piece[62], KING);
    EXPECT_EQ(pos.piece[61], ROOK);
    EXPECT_EQ(pos.piece[63], EMPTY);
    EXPECT_EQ(pos.castle & (CASTLE_WHITE_SHORT | CASTLE_WHITE_LONG), 0);
    EXPECT_TRUE(position_is_ok());
    unmake_move();
    EXPECT_TRUE(same_position(before, pos));
    // With f1 occupied the rook has nowhere to go.
    setup("4k3/8/8/8/8/8/8/R4NKRwHA-", "fischerandom", "HAha");
    expect_refused({62, 62, MOVE_CASTLE, 0});
}

TEST_F(MakeMove, Chess960LongCastlingSwapsKingAndRook) {
    // King d1, long rook c1: the king goes to c1, the rook to d1.
    setup("4k3/8/8/8/8/8/8/2RK4wC-", "fischerandom", "HAha");
    const Position before = pos;
    ASSERT_EQ(make_move({59, 58, MOVE_CASTLE, 0}), 1);
    EXPECT_EQ(pos.piece[58], KING);
    EXPECT_EQ(pos.piece[59], ROOK);
    EXPECT_TRUE(position_is_ok());
    unmake_move();
    EXPECT_TRUE(same_position(before, pos));
    // King c1 with the rook on a1: b1 and d1 must be empty.
    setup("4k3/8/8/8/8/8/8/R1K5wA-", "fischerandom", "HAha");
    expect_made({58, 58, MOVE_CASTLE, 0});
    EXPECT_EQ(pos.piece[59], ROOK);
    EXPECT_EQ(pos.piece[56], EMPTY);
    setup("4k3/8/8/8/8/8/8/RNK5wA-", "fischerandom", "HAha");
    expect_refused({58, 58, MOVE_CASTLE, 0});
}

TEST_F(MakeMove, EnPassantUncoveringTheKingIsRefused) {
    setup("8/8/8/KPp4r/8/8/8/7kwc6");
    ASSERT_EQ(pos.ep, 18);
    Move list[MAX_MOVES];
    int n = generate_moves(list);
    const Move* ep = nullptr;
    for (int i = 0; i < n; ++i)
        if (list[i].type == MOVE_EN_PASSANT) ep = &list[i];
    ASSERT_NE(ep, nullptr);
    expect_refused(*ep);
}

TEST_F(MakeMove, EnPassantCaptureRemovesThePawn) {
    setup("4k3/8/8/3Pp3/8/8/8/4K3w-e6");
    expect_made({27, 20, MOVE_EN_PASSANT, 0});
    EXPECT_EQ(pos.piece[28], EMPTY);
    EXPECT_EQ(pos.piece_count[BLACK][PAWN], 0);
    EXPECT_EQ(pos.pawn_material[BLACK], 0);
    EXPECT_EQ(pos.fifty, 0);
    EXPECT_EQ(game_history[0].captured, EMPTY);
}

TEST_F(MakeMove, CapturePromotion) {
    setup("1r2k3/2P5/8/8/8/8/8/4K3w-");
    const uint64_t before_key = pos.hash_key;
    expect_made({10, 1, MOVE_PROMOTE_KNIGHT, 0});
    EXPECT_EQ(pos.piece[1], KNIGHT);
    EXPECT_EQ(pos.color[1], WHITE);
    EXPECT_EQ(pos.piece_count[BLACK][ROOK], 0);
    EXPECT_EQ(pos.piece_count[WHITE][PAWN], 0);
    EXPECT_EQ(pos.piece_count[WHITE][KNIGHT], 1);
    EXPECT_EQ(pos.piece_material[WHITE], 315);
    EXPECT_EQ(pos.piece_material[BLACK], 0);
    EXPECT_EQ(pos.fifty, 0);
    EXPECT_EQ(pos.hash_key, compute_hash_key());
    EXPECT_EQ(game_history[0].captured, ROOK);
    EXPECT_EQ(game_history[0].hash_key, before_key);
}

TEST_F(MakeMove, HistoryEntryAndCounters) {
    setup("r3k2r/8/8/8/8/8/8/R3K2RwKQkq-");
    pos.ply = 0;
    ASSERT_EQ(make_move({63, 55, MOVE_NORMAL, 123}), 1);  // h1-h2
    const HistoryEntry& e = game_history[0];
    EXPECT_EQ(e.from, 63);
    EXPECT_EQ(e.to, 55);
    EXPECT_EQ(e.type, MOVE_NORMAL);
    EXPECT_EQ(e.score, 123);
    EXPECT_EQ(e.captured, EMPTY);
    EXPECT_EQ(e.castle, 15);
    EXPECT_EQ(e.ep, NO_SQUARE);
    EXPECT_EQ(e.fifty, 0);
    EXPECT_EQ(pos.fifty, 1);
    EXPECT_EQ(pos.castle, 15 & ~CASTLE_WHITE_SHORT);
    EXPECT_EQ(pos.ply, 1);
    EXPECT_EQ(pos.game_ply, 1);
    EXPECT_EQ(pos.side, BLACK);
    ASSERT_EQ(make_move({0, 56, MOVE_NORMAL, 0}), 1);  // a8xa1
    EXPECT_EQ(pos.castle, CASTLE_BLACK_SHORT);         // a capture on a1 ends White's long right too
    EXPECT_EQ(pos.fifty, 0);
    EXPECT_TRUE(position_is_ok());
    unmake_move();
    unmake_move();
    EXPECT_EQ(pos.castle, 15);
    EXPECT_EQ(pos.ply, 0);
    EXPECT_TRUE(position_is_ok());
}

// The history stack has MAX_GAME_PLY entries; a move that would need one more is refused.
TEST_F(MakeMove, FullHistoryRefusesFurtherMoves) {
    setup("4k3/8/8/8/8/8/8/4K1N1w-");
    const Move out[2] = {{62, 45, MOVE_NORMAL, 0}, {4, 5, MOVE_NORMAL, 0}};
    const Move back[2] = {{45, 62, MOVE_NORMAL, 0}, {5, 4, MOVE_NORMAL, 0}};
    for (int i = 0; i < MAX_GAME_PLY; ++i) {
        int k = i % 4;
        Move m = k == 0 ? out[0] : k == 1 ? out[1] : k == 2 ? back[0] : back[1];
        ASSERT_EQ(make_move(m), 1) << "move " << i;
    }
    EXPECT_EQ(pos.game_ply, MAX_GAME_PLY);
    expect_refused({62, 45, MOVE_NORMAL, 0});
    EXPECT_EQ(count_legal_moves(), 0);
    for (int i = 0; i < MAX_GAME_PLY; ++i) unmake_move();
    EXPECT_EQ(pos.game_ply, 0);
    EXPECT_TRUE(position_is_ok());
    pos.ply = 0;
}

TEST_F(MakeMove, OrthodoxRookMoveClearsItsRightOnly) {
    setup("r3k2r/8/8/8/8/8/8/R3K2RwKQkq-");
    ASSERT_EQ(make_move({56, 48, MOVE_NORMAL, 0}), 1);  // a1-a2
    EXPECT_EQ(pos.castle, 15 & ~CASTLE_WHITE_LONG);
    ASSERT_EQ(make_move({4, 12, MOVE_NORMAL, 0}), 1);   // Ke8-e7
    EXPECT_EQ(pos.castle, CASTLE_WHITE_SHORT);
    EXPECT_TRUE(position_is_ok());
}

}  // namespace
