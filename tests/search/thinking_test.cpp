// The thinking line: numbers, moves in coordinates, promotions, Chess960 castling, empty tails.
#include <gtest/gtest.h>

#include <string>

#include "search/helpers.h"

namespace {

using namespace search_test;

class Thinking : public ::testing::Test {
  protected:
    void SetUp() override {
        reset_search_state();
        saved_mode = search_mode;
        iteration = 7;
        nodes = 4096;
        search_start_ms = now_ms();
    }
    void TearDown() override {
        search_mode = saved_mode;
        set_variant("normal");
    }
    std::string print(int score) {
        testing::internal::CaptureStdout();
        print_thinking(score);
        return testing::internal::GetCapturedStdout();
    }
    int saved_mode = MODE_THINK;
};

TEST_F(Thinking, NumbersThenMovesEachFollowedBySpace) {
    search_mode = MODE_THINK;
    pv[0][0] = {52, 36, MOVE_DOUBLE_PUSH, 0};   // e2e4
    pv[0][1] = {12, 28, MOVE_DOUBLE_PUSH, 0};   // e7e5
    pv[0][2] = {9, 1, MOVE_PROMOTE_QUEEN, 0};   // b7b8=q
    pv[0][3] = {14, 6, MOVE_PROMOTE_KNIGHT, 0}; // g7g8=n
    pv_length[0] = 4;
    std::string line = print(35);
    EXPECT_EQ(line.rfind("7 35 ", 0), 0u) << line;
    EXPECT_NE(line.find(" 4096 e2e4 e7e5 b7b8=q g7g8=n \n"), std::string::npos) << line;
}

TEST_F(Thinking, EmptyMoveEndsTheLine) {
    search_mode = MODE_THINK;
    pv[0][0] = {52, 36, MOVE_DOUBLE_PUSH, 0};
    pv[0][1] = NO_MOVE;
    pv[0][2] = {12, 28, MOVE_DOUBLE_PUSH, 0};
    pv_length[0] = 3;
    std::string line = print(0);
    EXPECT_NE(line.find(" e2e4 \n"), std::string::npos) << line;
    EXPECT_EQ(line.find("e7e5"), std::string::npos) << line;
    pv_length[0] = 0;
    EXPECT_EQ(print(0), "");
}

TEST_F(Thinking, CastlingByVariant) {
    search_mode = MODE_THINK;
    pv[0][0] = {60, 62, MOVE_CASTLE, 0};
    pv[0][1] = {4, 2, MOVE_CASTLE, 0};
    pv_length[0] = 2;
    set_variant("normal");
    EXPECT_NE(print(0).find(" e1g1 e8c8 \n"), std::string::npos);
    set_variant("fischerandom");
    EXPECT_NE(print(0).find(" O-O O-O-O \n"), std::string::npos);
}

TEST_F(Thinking, PonderingShowsTheEnginesView) {
    search_mode = MODE_PONDER;
    pv[0][0] = {52, 36, MOVE_DOUBLE_PUSH, 0};
    pv_length[0] = 1;
    EXPECT_EQ(print(-120).rfind("7 120 ", 0), 0u);
}

}  // namespace
