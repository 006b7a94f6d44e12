// Setup from compact FEN, both castling notations, the mended faults and every refusal.
#include "board/board_test_support.h"
#include "book/book.h"

using namespace board_test;

namespace {

constexpr const char* START = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNRwKQkq-";

class Setup : public BoardTest {};

TEST_F(Setup, CompactAndSpacedTextsAgree) {
    setup(START);
    const Position compact = pos;
    setup("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
    EXPECT_TRUE(same_position(compact, pos));
}

TEST_F(Setup, EnPassantFieldAfterCastlingLetters) {
    const char* after_e5 = "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNRw";
    setup(std::string(after_e5) + "KQkqe6");
    EXPECT_EQ(pos.ep, 20);
    EXPECT_EQ(pos.castle, 15);
    setup(std::string(after_e5) + "-e6");
    EXPECT_EQ(pos.ep, 20);
    EXPECT_EQ(pos.castle, 0);
    setup(std::string(after_e5) + "--");
    EXPECT_EQ(pos.ep, NO_SQUARE);
    setup(std::string(after_e5) + "KQkq");  // no field at all
    EXPECT_EQ(pos.ep, NO_SQUARE);
}

// An en-passant square with no pawn that can just have passed it would let a capture remove a
// pawn that is not there: such a square is not kept.
TEST_F(Setup, ImpossibleEnPassantSquareIsDropped) {
    setup("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNRwKQkqe6");  // no black pawn on e5
    EXPECT_EQ(pos.ep, NO_SQUARE);
    setup("rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNRwKQkqe3");  // wrong rank for White to move
    EXPECT_EQ(pos.ep, NO_SQUARE);
    setup("rnbqkb1r/pppp1ppp/4n3/4p3/4P3/8/PPPP1PPP/RNBQKBNRwKQkqe6");  // e6 occupied
    EXPECT_EQ(pos.ep, NO_SQUARE);
    setup("rnbqkbnr/pppp1ppp/8/8/4p3/8/PPPPPPPP/RNBQKBNRbKQkqe3");  // a white pawn on e4 needed
    EXPECT_EQ(pos.ep, NO_SQUARE);
    setup("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNRbKQkqe3");
    EXPECT_EQ(pos.ep, 44);
}

TEST_F(Setup, NoLeftoverMasksFromAnEarlierPosition) {
    setup("1r2k1r1/8/8/8/8/8/8/R3K2RwKQ-");
    setup("4k3/8/8/8/8/8/8/3K4w-");
    for (int s = 0; s < 64; ++s) {
        int expected = s == 59 ? 12 : s == 4 ? 3 : 15;
        EXPECT_EQ(pos.castle_mask[s], expected) << "square " << s;
    }
    setup(START);
    setup("r3k2r/8/8/8/8/8/8/R3K2RwKQkq-");
    int special = 0;
    for (int s = 0; s < 64; ++s) special += pos.castle_mask[s] != 15;
    EXPECT_EQ(special, 6);
}

// Orthodox letters name the corner rooks; a right whose king is off e1/e8 or whose corner holds
// no rook of its colour would conjure a rook when castling: it is dropped.
TEST_F(Setup, OrthodoxRightsNeedKingAndCornerRook) {
    setup("r3k3/8/8/8/8/8/8/4K2RwKQkq-");
    EXPECT_EQ(pos.castle, CASTLE_WHITE_SHORT | CASTLE_BLACK_LONG);
    setup("r3k2r/8/8/8/8/8/8/R2K3RwKQkq-");  // white king on d1
    EXPECT_EQ(pos.castle, CASTLE_BLACK_SHORT | CASTLE_BLACK_LONG);
    setup("r3k2r/8/8/8/8/8/8/R3K2bwKQkq-");  // a black piece in the h1 corner
    EXPECT_EQ(pos.castle, CASTLE_WHITE_LONG | CASTLE_BLACK_SHORT | CASTLE_BLACK_LONG);
    // A dropped right leaves no mask behind it: the black bishop on h1 may move freely.
    EXPECT_EQ(pos.castle_mask[63], 15);
}

TEST_F(Setup, HAhaLettersNameRookFiles) {
    setup("4k3/8/8/8/8/8/8/1R1K2R1wBG-", "fischerandom", "HAha");
    EXPECT_EQ(pos.castle, CASTLE_WHITE_SHORT | CASTLE_WHITE_LONG);
    EXPECT_EQ(pos.castle_rook[0], 62);  // g1
    EXPECT_EQ(pos.castle_rook[1], 57);  // b1
    EXPECT_EQ(pos.castle_mask[62], 14);
    EXPECT_EQ(pos.castle_mask[57], 13);
    EXPECT_EQ(pos.castle_mask[59], 12);
}

TEST_F(Setup, HAhaRightWithoutItsRookIsDropped) {
    // F names f1, where no rook stands; the king's own file letter D sets nothing.
    setup("4k3/8/8/8/8/8/8/1R1K2R1wBFD-", "fischerandom", "HAha");
    EXPECT_EQ(pos.castle, CASTLE_WHITE_LONG);
    // A king off its back rank cannot castle at all.
    setup("1r2k1r1/8/8/8/8/8/3K4/1R4R1wBGbg-", "fischerandom", "HAha");
    EXPECT_EQ(pos.castle, CASTLE_BLACK_SHORT | CASTLE_BLACK_LONG);
}

// In HAha notation a lower-case file letter followed by a rank digit is the en-passant square.
TEST_F(Setup, HAhaEnPassantBehindCastlingLetters) {
    setup("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNRbHAhae3", "fischerandom", "HAha");
    EXPECT_EQ(pos.castle, 15);
    EXPECT_EQ(pos.ep, 44);
}

// X-FEN: K is the outermost rook on the king's h-side of the back rank, Q the outermost on its
// a-side, not the first rook in scan order (c4 here, which has left the back rank).
TEST_F(Setup, OONotationTakesOutermostBackRankRooks) {
    setup("rk5r/8/8/8/2R5/8/8/R4KRRwKQkq-", "fischerandom", "OO");
    EXPECT_EQ(pos.castle, 15);
    EXPECT_EQ(pos.castle_rook[0], 63);
    EXPECT_EQ(pos.castle_rook[1], 56);
    EXPECT_EQ(pos.castle_rook[2], 7);
    EXPECT_EQ(pos.castle_rook[3], 0);
    // One rook, on the short side: K takes it, Q has none and is dropped.
    setup("4k3/8/8/8/8/8/8/4K2RwKQ-", "fischerandom", "OO");
    EXPECT_EQ(pos.castle, CASTLE_WHITE_SHORT);
    EXPECT_EQ(pos.castle_rook[0], 63);
}

// Chess960 texts may come in either notation whatever the setting: both are read.
TEST_F(Setup, EitherNotationIsReadInEitherSetting) {
    setup("rk5r/8/8/8/2R5/8/8/R4KRRwKQkq-", "fischerandom", "HAha");
    EXPECT_EQ(pos.castle, 15);
    EXPECT_EQ(pos.castle_rook[0], 63);
    EXPECT_EQ(pos.castle_rook[3], 0);
    setup("rk5r/8/8/8/2R5/8/8/R4KRRwGAha-", "fischerandom", "OO");
    EXPECT_EQ(pos.castle, 15);
    EXPECT_EQ(pos.castle_rook[0], 62);  // G: the inner rook
    EXPECT_EQ(pos.castle_rook[1], 56);
}

TEST_F(Setup, UnknownCastlingSettingReadsAsOO) {
    setup("rk5r/8/8/8/2R5/8/8/R4KRRwKQkq-", "fischerandom", "xyz");
    EXPECT_EQ(pos.castle, 15);
    EXPECT_EQ(pos.castle_rook[0], 63);
    EXPECT_EQ(pos.castle_rook[1], 56);
}

TEST_F(Setup, SuccessResetsTheGameState) {
    setup(START);
    ASSERT_EQ(make_move({52, 36, MOVE_DOUBLE_PUSH, 0}), 1);
    pos.ply = 5;
    engine_side = WHITE;
    book_misses = 2;
    ponder_pending = 1;
    ASSERT_TRUE(setup_position("4k3/8/8/8/8/8/8/4K3b--"));
    EXPECT_EQ(pos.game_ply, 0);
    EXPECT_EQ(pos.fifty, 0);
    EXPECT_EQ(pos.ply, 5);  // setup leaves ply to the root search
    EXPECT_EQ(pos.side, BLACK);
    EXPECT_EQ(engine_side, EMPTY);
    EXPECT_EQ(book_misses, 0);
    EXPECT_EQ(ponder_pending, 0);
    EXPECT_EQ(pos.hash_key, compute_hash_key());
}

TEST_F(Setup, SuccessClearsTheHashTables) {
    TranspositionEntry table[4] = {};
    EvalCacheEntry cache[4] = {};
    TranspositionEntry* saved_table = hash_table;
    EvalCacheEntry* saved_cache = eval_cache;
    uint32_t saved_entries = hash_entries, saved_ecache = ecache_entries;
    hash_table = table;
    eval_cache = cache;
    hash_entries = 4;
    ecache_entries = 4;
    table[2].key = 12345;
    cache[3].key = 678;

    EXPECT_FALSE(setup_position("8/8/8/8/8/8/8/8w--"));  // refused: tables untouched
    EXPECT_EQ(table[2].key, 12345u);
    EXPECT_EQ(cache[3].key, 678u);
    EXPECT_TRUE(setup_position(START));
    EXPECT_EQ(table[2].key, 0u);
    EXPECT_EQ(cache[3].key, 0u);

    hash_table = saved_table;
    eval_cache = saved_cache;
    hash_entries = saved_entries;
    ecache_entries = saved_ecache;
}

// Each refusal leaves the position, the history, the variant and the game state exactly as they were.
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
    };
    setup("r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2RwKQkq-");
    Move list[MAX_MOVES];
    int n = generate_moves(list);
    for (int i = 0; i < n; ++i)
        if (make_move(list[i])) break;
    ASSERT_EQ(pos.game_ply, 1);
    engine_side = WHITE;
    book_misses = 2;
    ponder_pending = 1;
    const Position before = pos;
    std::vector<HistoryEntry> history_before(game_history, game_history + 4);
    for (const char* text : refused) {
        EXPECT_FALSE(setup_position(text)) << text;
        EXPECT_TRUE(same_position(before, pos)) << text;
        EXPECT_EQ(std::memcmp(history_before.data(), game_history, 4 * sizeof(HistoryEntry)), 0) << text;
        EXPECT_STREQ(Variant, "normal");
        EXPECT_EQ(engine_side, WHITE);
        EXPECT_EQ(book_misses, 2);
        EXPECT_EQ(ponder_pending, 1);
    }
    EXPECT_FALSE(setup_position(nullptr));
    EXPECT_TRUE(same_position(before, pos));
}

TEST_F(Setup, MissingSideKeepsThePreviousSide) {
    setup("4k3/8/8/8/8/8/8/4K3b--");
    ASSERT_TRUE(setup_position("4k3/8/8/8/8/8/8/4K3"));
    EXPECT_EQ(pos.side, BLACK);
    EXPECT_EQ(pos.castle, 0);
    EXPECT_EQ(pos.ep, NO_SQUARE);
    EXPECT_TRUE(position_is_ok());
}

TEST_F(Setup, VariantTextIsReadAgainAtSetup) {
    std::strcpy(Variant, "fischerandom");  // written as text, as a shell might
    std::strcpy(castling, "HAha");
    ASSERT_TRUE(setup_position("4k3/8/8/8/8/8/8/1R1K2R1wBG-"));
    EXPECT_EQ(variant_kind, VARIANT_FISCHERANDOM);
    EXPECT_EQ(pos.castle_rook[0], 62);
    set_variant("nocastle");
    EXPECT_EQ(variant_kind, VARIANT_OTHER);
    set_variant("normal");
    EXPECT_EQ(variant_kind, VARIANT_NORMAL);
}

}  // namespace
