// Move text in-process: the engine's move lines and the parsing of the interface's move words.
#include <gtest/gtest.h>

#include <string>

#include "shell/shell.h"

namespace {

void set_up(const char* text, const char* variant = "normal") {
    static bool keys_ready = false;
    if (!keys_ready) init_hash_keys();
    keys_ready = true;
    set_variant(variant);
    ASSERT_TRUE(setup_position(text)) << text;
}

// What parse_user_move printed for the word; empty when the move was played silently.
std::string parse(const char* word) {
    testing::internal::CaptureStdout();
    parse_user_move(word);
    fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

std::string printed(int from, int to, int type) {
    testing::internal::CaptureStdout();
    print_move(from, to, type);
    fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

constexpr const char* START = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNRwKQkq-";
constexpr const char* CASTLING = "r3k2r/pppppppp/8/8/8/8/PPPPPPPP/R3K2RwKQkq-";
constexpr int E1 = 60, G1 = 62, F1 = 61, H1 = 63, C1 = 58, E8 = 4, G8 = 6, F8 = 5, E7 = 12;

TEST(MoveText, PrintsCoordinatesPromotionsAndChess960Castling) {
    set_up(START);
    EXPECT_EQ(printed(52, 36, MOVE_DOUBLE_PUSH), "move e2e4 \n");
    EXPECT_EQ(printed(E7, E8, MOVE_PROMOTE_KNIGHT), "move e7e8n\n");
    EXPECT_EQ(printed(E7, E8, MOVE_PROMOTE_QUEEN), "move e7e8q\n");
    EXPECT_EQ(printed(E1, G1, MOVE_CASTLE), "move e1g1 \n");  // normal chess: the king's step
    set_variant("fischerandom");
    EXPECT_EQ(printed(E8, G8, MOVE_CASTLE), "move O-O\n");
    EXPECT_EQ(printed(E1, C1, MOVE_CASTLE), "move O-O-O\n");
    EXPECT_EQ(printed(E1, G1, MOVE_NORMAL), "move e1g1 \n");
    set_variant("normal");
}

TEST(MoveText, TypesFromTheTextAndThePieces) {
    set_up(START);
    EXPECT_EQ(move_type_from_text(52, 36, "e2e4"), MOVE_DOUBLE_PUSH);
    EXPECT_EQ(move_type_from_text(57, 42, "b1c3"), 0);  // a knight: nothing special
    EXPECT_EQ(move_type_from_text(52, 44, "e2e3"), 0);
    // Off-board squares (digit 9 or 0) are never looked up.
    EXPECT_EQ(move_type_from_text(52, -4, "e2e9"), 0);
    set_up(CASTLING);
    EXPECT_EQ(move_type_from_text(E1, G1, "e1g1"), MOVE_CASTLE);
    EXPECT_EQ(move_type_from_text(E1, F1, "e1f1"), 0);
    set_up("rnbqkbnr/ppp1pppp/8/3pP3/8/8/PPPP1PPP/RNBQKBNRwKQkqd6");
    EXPECT_EQ(move_type_from_text(28, 19, "e5d6"), MOVE_EN_PASSANT);
}

TEST(MoveText, PromotionsTakeEitherCaseAndNeedTheirLetter) {
    set_up("7k/4P3/8/8/8/8/8/K7w--");
    EXPECT_EQ(parse("e7e8"), "Illegal move: e7e8\n");
    EXPECT_EQ(pos.piece[E7], PAWN);
    EXPECT_EQ(parse("e7e8Q"), "");
    EXPECT_EQ(pos.piece[E8], QUEEN);
    set_up("7k/4P3/8/8/8/8/8/K7w--");
    EXPECT_EQ(parse("e7e8n"), "");
    EXPECT_EQ(pos.piece[E8], KNIGHT);
    EXPECT_EQ(pos.color[E8], WHITE);
}

TEST(MoveText, CastlingInNormalChessAndChess960) {
    set_up(CASTLING);
    EXPECT_EQ(parse("e1g1"), "");
    EXPECT_EQ(pos.piece[G1], KING);
    EXPECT_EQ(pos.piece[F1], ROOK);
    unmake_move();
    EXPECT_EQ(parse("O-O"), "");
    EXPECT_EQ(pos.piece[G1], KING);
    EXPECT_EQ(pos.piece[F1], ROOK);
    EXPECT_EQ(parse("O-O"), "");  // now Black: the king goes to g8
    EXPECT_EQ(pos.piece[G8], KING);
    EXPECT_EQ(pos.piece[F8], ROOK);

    set_up(CASTLING, "fischerandom");
    EXPECT_EQ(parse("e1g1"), "Illegal move: e1g1\n");
    EXPECT_EQ(pos.piece[E1], KING);
    EXPECT_EQ(parse("O-O-O"), "");
    EXPECT_EQ(pos.piece[C1], KING);
    EXPECT_EQ(pos.piece[59], ROOK);  // d1
    EXPECT_EQ(pos.piece[H1], ROOK);
    set_variant("normal");
}

TEST(MoveText, BadWordsAndIllegalMovesLeaveThePositionAlone) {
    set_up(START);
    uint64_t key = pos.hash_key;
    EXPECT_EQ(parse("i2i4"), "Error (unknown command): i2i4\n");
    EXPECT_EQ(parse("e2e"), "Error (unknown command): e2e\n");
    EXPECT_EQ(parse("hello"), "Error (unknown command): hello\n");
    EXPECT_EQ(parse(""), "Error (unknown command): \n");
    EXPECT_EQ(parse("e2e9"), "Illegal move: e2e9\n");
    EXPECT_EQ(parse("e0e4"), "Illegal move: e0e4\n");
    EXPECT_EQ(parse("e2e5"), "Illegal move: e2e5\n");
    EXPECT_EQ(parse("e7e5"), "Illegal move: e7e5\n");  // not White's piece
    EXPECT_EQ(parse("O-O"), "Illegal move: O-O\n");
    EXPECT_EQ(pos.hash_key, key);
    EXPECT_EQ(pos.game_ply, 0);
    // Characters after the fifth are ignored.
    EXPECT_EQ(parse("e2e4 xyz"), "");
    EXPECT_EQ(pos.piece[36], PAWN);
}

TEST(MoveText, MoveIntoCheckIsRefused) {
    set_up("4k3/8/8/8/8/8/4r3/4K3w--");
    EXPECT_EQ(parse("e1f2"), "Illegal move: e1f2\n");  // still on the rook's rank
    EXPECT_EQ(parse("e1e2"), "");                       // takes the rook
    set_up("4k3/8/8/8/8/8/3r4/4K3w--");
    uint64_t key = pos.hash_key;
    EXPECT_EQ(parse("e1e2"), "Illegal move: e1e2\n");
    EXPECT_EQ(pos.hash_key, key);
    EXPECT_EQ(pos.king_square[WHITE], E1);
    EXPECT_EQ(parse("e1f1"), "");
}

TEST(MoveText, NoMovesPastTheEndOfTheGameHistory) {
    set_up(START);
    int saved = pos.game_ply;
    pos.game_ply = GAME_PLY_LIMIT;
    EXPECT_EQ(parse("e2e4"), "Illegal move (game too long): e2e4\n");
    EXPECT_EQ(pos.game_ply, GAME_PLY_LIMIT);
    pos.game_ply = saved;
    EXPECT_EQ(parse("e2e4"), "");
}

}  // namespace
