// Move order, ordering scores, castling listing, captures-only generation.
#include "board/board_test_support.h"

using namespace board_test;

namespace {

constexpr const char* START = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNRwKQkq-";

class MoveGen : public BoardTest {};

std::vector<Move> generated() {
    Move list[MAX_MOVES];
    int n = generate_moves(list);
    return std::vector<Move>(list, list + n);
}

std::vector<Move> captures() {
    Move list[MAX_MOVES];
    int n = gen_captures(list);
    return std::vector<Move>(list, list + n);
}

const Move* find(const std::vector<Move>& moves, int from, int to, int type = -1) {
    for (const Move& m : moves)
        if (m.from == from && m.to == to && (type < 0 || m.type == type)) return &m;
    return nullptr;
}

TEST_F(MoveGen, StartPositionOrderAndScores) {
    setup(START);
    auto moves = generated();
    // Castling moves are listed from the rights alone, although b1..g1 are occupied.
    ASSERT_EQ(moves.size(), 22u);
    for (int f = 0; f < 8; ++f) {
        const Move& step = moves[2 * f];
        const Move& two = moves[2 * f + 1];
        EXPECT_EQ(step.from, 48 + f);
        EXPECT_EQ(step.to, 40 + f);
        EXPECT_EQ(step.type, MOVE_NORMAL);
        EXPECT_EQ(two.to, 32 + f);
        EXPECT_EQ(two.type, MOVE_DOUBLE_PUSH);
    }
    EXPECT_EQ(moves[16].from, 57);
    EXPECT_EQ(moves[16].to, 42);  // b1-c3 (s-15) before b1-a3 (s-17)
    EXPECT_EQ(moves[17].to, 40);
    EXPECT_EQ(moves[18].from, 62);
    EXPECT_EQ(moves[18].to, 47);  // g1-h3, then g1-f3
    EXPECT_EQ(moves[19].to, 45);
    EXPECT_EQ(moves[20].type, MOVE_CASTLE);
    EXPECT_EQ(moves[20].to, 62);
    EXPECT_EQ(moves[21].to, 58);
    for (int i = 0; i < 20; ++i) EXPECT_EQ(moves[i].score, 0);
    // A castling move onto an occupied square is scored as the capture of what stands there.
    EXPECT_EQ(moves[20].score, 3000000 + 100 * KNIGHT - KING);
    EXPECT_EQ(moves[21].score, 3000000 + 100 * BISHOP - KING);
    EXPECT_EQ(count_legal_moves(), 20);
    EXPECT_EQ(make_move(moves[20]), 0);  // blocked
    EXPECT_EQ(make_move(moves[21]), 0);
}

TEST_F(MoveGen, NoCastlingMovesInOtherVariants) {
    set_variant("nocastle");
    ASSERT_TRUE(setup_position("r3k2r/8/8/8/8/8/8/R3K2RwKQkq-"));
    for (const Move& m : generated()) EXPECT_NE(m.type, MOVE_CASTLE);
    set_variant("normal");
    ASSERT_TRUE(setup_position("r3k2r/8/8/8/8/8/8/R3K2RwKQkq-"));
    int castles = 0;
    for (const Move& m : generated()) castles += m.type == MOVE_CASTLE;
    EXPECT_EQ(castles, 2);
}

TEST_F(MoveGen, PromotionsInOrderWithFixedScores) {
    setup("1n2k3/2P5/8/8/8/8/8/4K3w--");
    auto moves = generated();
    // c7xb8 (s-9) first, then c7-c8, each queen, rook, bishop, knight.
    ASSERT_GE(moves.size(), 8u);
    const int scores[4] = {3000050, 2200000, 2100000, 2300000};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(moves[i].from, 10);
        EXPECT_EQ(moves[i].to, i < 4 ? 1 : 2);
        EXPECT_EQ(moves[i].type, MOVE_PROMOTE_QUEEN + i % 4);
        EXPECT_EQ(moves[i].score, scores[i % 4]);
    }
}

TEST_F(MoveGen, BishopOnA1RunsOneDiagonal) {
    setup("k7/8/8/8/8/8/8/B3K3w--");
    auto moves = generated();
    const int expected[7] = {49, 42, 35, 28, 21, 14, 7};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(moves[i].from, 56);
        EXPECT_EQ(moves[i].to, expected[i]);
    }
    EXPECT_EQ(moves[7].from, 60);  // then the king
}

TEST_F(MoveGen, KillerAndHistoryScores) {
    setup(START);
    killer1[0] = {62, 45, MOVE_NORMAL, 0};      // g1-f3
    killer2[0] = {62, 45, MOVE_NORMAL, 0};      // the same: the first match wins
    mate_killer[0] = {52, 36, MOVE_DOUBLE_PUSH, 0};  // e2-e4
    history[57][42] = 77;                        // b1-c3
    auto moves = generated();
    EXPECT_EQ(find(moves, 62, 45)->score, 2800000);
    EXPECT_EQ(find(moves, 52, 36)->score, 5000000);
    EXPECT_EQ(find(moves, 57, 42)->score, 77);
    EXPECT_EQ(find(moves, 57, 40)->score, 0);

    // Killers of two plies back count only from ply 2 on.
    pos.ply = 2;
    killer1[2] = NO_MOVE;
    killer2[2] = {48, 40, MOVE_NORMAL, 0};       // a2-a3
    killer1[0] = {62, 47, MOVE_NORMAL, 0};       // g1-h3
    killer2[0] = {55, 47, MOVE_NORMAL, 0};       // h2-h3
    mate_killer[2] = NO_MOVE;
    moves = generated();
    EXPECT_EQ(find(moves, 62, 47)->score, 2700000);
    EXPECT_EQ(find(moves, 48, 40)->score, 2600000);
    EXPECT_EQ(find(moves, 55, 47)->score, 2500000);
    EXPECT_EQ(find(moves, 52, 36)->score, 0);    // the mate killer of ply 0 is not looked at

    pos.ply = 1;  // one ply back is never looked at either
    moves = generated();
    EXPECT_EQ(find(moves, 62, 47)->score, 0);
}

TEST_F(MoveGen, OutOfRangePlyReadsNoKillers) {
    setup(START);
    history[62][45] = 9;
    pos.ply = MAX_PLY + 3;
    auto moves = generated();
    EXPECT_EQ(find(moves, 62, 45)->score, 9);
    pos.ply = -1;
    moves = generated();
    EXPECT_EQ(find(moves, 62, 45)->score, 9);
}

TEST_F(MoveGen, CaptureScoresGoodAndBad) {
    // White queen d4 can take an undefended pawn on a7 and a pawn on d6 defended by the e7 pawn.
    setup("4k3/p3p3/3p4/8/3Q4/8/8/4K3w--");
    auto moves = generated();
    const Move* undefended = find(moves, 35, 8);
    const Move* defended = find(moves, 35, 19);
    ASSERT_NE(undefended, nullptr);
    ASSERT_NE(defended, nullptr);
    EXPECT_EQ(undefended->score, 2999996);
    EXPECT_EQ(defended->score, -10004);
    EXPECT_EQ(is_bad_capture(35, 19), 1);
    EXPECT_EQ(is_bad_capture(35, 8), 0);
    // The mate killer does not touch a capture.
    mate_killer[0] = {35, 8, MOVE_NORMAL, 0};
    moves = generated();
    EXPECT_EQ(find(moves, 35, 8)->score, 2999996);

    auto caps = captures();
    ASSERT_EQ(caps.size(), 2u);
    EXPECT_EQ(find(caps, 35, 8)->score, 2999996);
    EXPECT_EQ(find(caps, 35, 19)->score, -1);
}

TEST_F(MoveGen, KingTakingADefendedManIsBad) {
    setup("4k3/8/8/8/8/2p5/3p4/4K3w--");  // d2 defended by c3
    auto moves = generated();
    EXPECT_EQ(find(moves, 60, 51)->score, -10000 + 0 - KING);
    EXPECT_EQ(is_bad_capture(60, 51), 1);
}

TEST_F(MoveGen, EnPassantScoredAsQuietAndListedLast) {
    setup("4k3/8/8/3PpP2/8/8/8/4K3w-e6");
    history[27][20] = 41;
    auto moves = generated();
    ASSERT_GE(moves.size(), 2u);
    const Move& first = moves[moves.size() - 2];
    const Move& second = moves[moves.size() - 1];
    EXPECT_EQ(first.from, 27);  // ep + 7 first (d5), then ep + 9 (f5)
    EXPECT_EQ(first.type, MOVE_EN_PASSANT);
    EXPECT_EQ(first.score, 41);
    EXPECT_EQ(second.from, 29);
    EXPECT_EQ(second.type, MOVE_EN_PASSANT);
    EXPECT_EQ(second.score, 0);

    auto caps = captures();
    ASSERT_EQ(caps.size(), 2u);
    EXPECT_EQ(caps[0].from, 27);
    EXPECT_EQ(caps[1].from, 29);
    EXPECT_EQ(caps[0].score, 0);
}

TEST_F(MoveGen, CapturesOnlyGeneration) {
    // c7 pushes to c8 and takes on b8 and d8; the pushes and captures are queen promotions only.
    setup("1n1rk3/2P5/8/8/8/8/8/4K3w--");
    auto caps = captures();
    ASSERT_EQ(caps.size(), 3u);
    EXPECT_EQ(caps[0].to, 2);  // the push first
    EXPECT_EQ(caps[1].to, 1);
    EXPECT_EQ(caps[2].to, 3);
    for (const Move& m : caps) {
        EXPECT_EQ(m.type, MOVE_PROMOTE_QUEEN);
        EXPECT_EQ(m.score, 3000050);
    }
    // Nothing at all in the start position: no quiet moves, no castling.
    setup(START);
    EXPECT_TRUE(captures().empty());
    // Kiwipete: only captures, every one onto an enemy man or en passant.
    setup("r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2RwKQkq-");
    caps = captures();
    EXPECT_EQ(caps.size(), 8u);
    for (const Move& m : caps) EXPECT_EQ(pos.color[m.to], BLACK);
}

TEST_F(MoveGen, KingOnBFileTakesOnTheAFile) {
    setup("4k3/8/8/8/8/8/p7/1K6w--");
    auto caps = captures();
    ASSERT_EQ(caps.size(), 1u);
    EXPECT_EQ(caps[0].from, 57);
    EXPECT_EQ(caps[0].to, 48);
}

TEST_F(MoveGen, Chess960CastlingOntoOwnRookIsScoredAsCapture) {
    // King f1, short rook g1: the king's destination holds its own rook.
    setup("4k3/8/8/8/8/8/8/5KR1wG-", "fischerandom", "HAha");
    auto moves = generated();
    const Move* castle = find(moves, 61, 62, MOVE_CASTLE);
    ASSERT_NE(castle, nullptr);
    EXPECT_EQ(castle->score, 3000000 + 100 * ROOK - KING);
    // King already on g1: from equals to.
    setup("4k3/8/8/8/8/8/8/R5KRwHA-", "fischerandom", "HAha");
    moves = generated();
    EXPECT_NE(find(moves, 62, 62, MOVE_CASTLE), nullptr);
    EXPECT_NE(find(moves, 62, 58, MOVE_CASTLE), nullptr);
}

TEST_F(MoveGen, MostMovesOfAnyPositionFitTheList) {
    setup("R6R/3Q4/1Q4Q1/4Q3/2Q4Q/Q4Q2/pp1Q4/kBNN1KB1w--");
    EXPECT_EQ(count_legal_moves(), 218);
    Move list[MAX_MOVES];
    EXPECT_LE(generate_moves(list), MAX_MOVES);
}

TEST_F(MoveGen, AddMoveScoresLikeTheGenerator) {
    setup(START);
    history[52][44] = 5;
    Move list[4];
    int n = 0;
    add_move(52, 44, MOVE_NORMAL, list, &n);
    add_move(52, 44, MOVE_PROMOTE_KNIGHT, list, &n);
    ASSERT_EQ(n, 2);
    EXPECT_EQ(list[0].score, 5);
    EXPECT_EQ(list[1].score, 2300000);
}

}  // namespace
