// Setup from compact FEN: en passant, both castling notations, the mended faults and every refusal.
#include <algorithm>
#include <tuple>

#include "board/board_test_support.h"

using namespace board_test;

namespace {

class Setup : public BoardTest {};

// An en-passant square with no pawn that can just have passed it would let a capture remove a
// pawn that is not there: such a square is not kept.
TEST_F(Setup, EnPassantField) {
    const std::string e5 = "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNRw";
    const struct { std::string fen; bool hah; int ep, castle; } cases[] = {
        {e5 + "KQkqe6", false, 20, 15},
        {e5 + "-e6", false, 20, 0},
        {e5 + "KQkq", false, NO_SQUARE, 15},  // no field at all
        {e5 + "KQkqe3", false, NO_SQUARE, 15},  // wrong rank for White to move
        {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNRwKQkqe6", false, NO_SQUARE, 15},     // no black pawn on e5
        {"rnbqkb1r/pppp1ppp/4n3/4p3/4P3/8/PPPP1PPP/RNBQKBNRwKQkqe6", false, NO_SQUARE, 15},  // e6 occupied
        {"rnbqkbnr/pppp1ppp/8/8/4p3/8/PPPPPPPP/RNBQKBNRbKQkqe3", false, NO_SQUARE, 15},   // no white pawn on e4
        {"rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNRbKQkqe3", false, 44, 15},
        // In HAha notation a lower-case file letter followed by a rank digit is the en-passant square.
        {"rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNRbHAhae3", true, 44, 15},
    };
    for (const auto& c : cases) {
        setup(c.fen, c.hah ? "fischerandom" : "normal");
        EXPECT_EQ(game.ep, c.ep) << c.fen;
        EXPECT_EQ(game.castle, c.castle) << c.fen;
    }
}

// A right whose king is off its square or whose rook is missing would conjure a rook when
// castling: it is dropped, with no mask left behind. Rows run in order: no masks leak between them.
TEST_F(Setup, CastlingRightsRooksAndMasks) {
    const struct { const char* fen; bool chess960; int castle, rook[4]; } cases[] = {
        {START_POSITION, false, 15, {63, 56, 7, 0}},
        {"r3k3/8/8/8/8/8/8/4K2RwKQkq-", false, 9, {63, 56, 7, 0}},
        {"r3k2r/8/8/8/8/8/8/R2K3RwKQkq-", false, 12, {63, 56, 7, 0}},   // white king on d1
        {"r3k2r/8/8/8/8/8/8/R3K2bwKQkq-", false, 14, {63, 56, 7, 0}},   // a black bishop on h1
        {"4k3/8/8/8/8/8/8/1R1K2R1wBG-", true, 3, {62, 57, 7, 0}},     // letters name rook files
        {"4k3/8/8/8/8/8/8/1R1K2R1wBFD-", true, 2, {62, 57, 7, 0}},    // no rook on f1; D is the king's file
        {"1r2k1r1/8/8/8/8/8/3K4/1R4R1wBGbg-", true, 12, {62, 57, 6, 1}},  // a king off its back rank
        // X-FEN: K and Q take the outermost back-rank rooks, not the first rook scanned (c4).
        {"rk5r/8/8/8/2R5/8/8/R4KRRwKQkq-", true, 15, {63, 56, 7, 0}},
        {"4k3/8/8/8/8/8/8/4K2RwKQ-", true, 1, {63, 56, 7, 0}},
        // File letters name the rooks themselves.
        {"rk5r/8/8/8/2R5/8/8/R4KRRwGAha-", true, 15, {62, 56, 7, 0}},
    };
    const int rook_mask[4] = {14, 13, 11, 7};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fen);
        setup(c.fen, c.chess960 ? "fischerandom" : "normal");
        EXPECT_EQ(game.castle, c.castle);
        int marked = 2;
        for (int r = 0; r < 4; ++r) {
            if (!(game.castle & (1 << r))) continue;
            ++marked;
            EXPECT_EQ(game.castle_rook[r], c.rook[r]) << "right " << r;
            EXPECT_EQ(game.castle_mask[c.rook[r]], rook_mask[r]) << "right " << r;
        }
        EXPECT_EQ(game.castle_mask[game.king_square[WHITE]], 12);
        EXPECT_EQ(game.castle_mask[game.king_square[BLACK]], 3);
        EXPECT_EQ(std::count_if(game.castle_mask, game.castle_mask + 64, [](int m) { return m != 15; }), marked);
    }
}

// Setup sets up a position and nothing else: the counters restart, `ply` is kept.
TEST_F(Setup, SuccessResetsTheCountersOnly) {
    setup(START_POSITION);
    ASSERT_EQ(make_move(game, {52, 36, MOVE_DOUBLE_PUSH, 0}), 1);
    game.ply = 5;
    ASSERT_TRUE(setup_position(game, "4k3/8/8/8/8/8/8/4K3b--"));
    EXPECT_EQ(std::make_tuple(game.game_ply, game.fifty, game.ply, game.side), std::make_tuple(0, 0, 5, int(BLACK)));
}

// Each refusal leaves the position, the history and the variant exactly as they were.
TEST_F(Setup, RefusedTextsLeaveEverythingIntact) {
    const char* refused[] = {
        "",
        "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQ1BNRwkq-",        // no white king
        "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKKNRwkq-",        // two white kings
        "rnbq1bnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNRwKQ-",        // no black king
        "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNPwq-",         // a white pawn on rank 1
        "rnbqkbnp/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNRwKQ-",        // a black pawn on rank 8
        "4k3/8/8/8/8/8/4R3/4K3w--",                               // the side not to move in check
        "rnbqkbnrp/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNRwKQkq-",     // a rank of nine squares
        "rnbqkbnr/pppppppp/9/8/8/8/PPPPPPPP/RNBQKBNRwKQkq-",      // digit 9
        "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR/8wKQkq-",    // a ninth rank
        "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNRPwKQkq-",     // a man after 64 squares
        "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR1wKQkq-",     // a digit after 64 squares
        "rnbqkbnr/pppppppp/8/8",                                  // fewer than 64 squares
        "rnbqkbnr/ppppppp/8/8/8/8/PPPPPPPP/RNBQKBNRwKQkq-",       // a short rank
        "rnbqkbnr/pppppppp/8/8/3x4/8/PPPPPPPP/RNBQKBNRwKQkq-",    // an unknown letter
        "NNNNNNNN/8/8/8/8/8/PPPPPPPP/K6kw--",                      // 17 white men
        nullptr,
    };
    setup(KIWIPETE);
    ASSERT_EQ(make_move(game, {48, 40, MOVE_NORMAL, 0}), 1);  // a2-a3: a history entry to keep
    const BoardBytes before = board_of(game);
    HistoryEntry history_before[4];
    std::memcpy(history_before, game.history, sizeof history_before);
    for (const char* text : refused) {
        SCOPED_TRACE(text ? text : "(null)");
        EXPECT_FALSE(setup_position(game, text));
        EXPECT_TRUE(same_position(before, game));
        EXPECT_EQ(std::memcmp(history_before, game.history, sizeof history_before), 0);
        EXPECT_STREQ(Variant, "normal");
    }
}

TEST_F(Setup, MissingSideKeepsThePreviousSide) {
    setup("4k3/8/8/8/8/8/8/4K3b--");
    setup("4k3/8/8/8/8/8/8/4K3");
    EXPECT_EQ(std::make_tuple(game.side, game.castle, game.ep), std::make_tuple(int(BLACK), 0, NO_SQUARE));
}

TEST_F(Setup, VariantTextIsReadAgainAtSetup) {
    std::strcpy(Variant, "fischerandom");  // written as text, as a shell might
    ASSERT_TRUE(setup_position(game, "4k3/8/8/8/8/8/8/1R1K2R1wBG-"));
    EXPECT_EQ(variant_kind, VARIANT_FISCHERANDOM);
    EXPECT_EQ(game.castle_rook[0], 62);
}

}  // namespace
