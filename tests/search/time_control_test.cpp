// The limits of the "st", "sd", "level" and "time" commands, and what stops a search.
#include <gtest/gtest.h>

#include "search/helpers.h"

namespace {

using namespace search_test;

class TimeRules : public ::testing::Test {
  protected:
    void SetUp() override {
        saved_control = time_control;
        saved_side = engine_side;
        saved_game_ply = pos.game_ply;
        saved_mode = search_mode;
        time_control = TimeControl{};
        pos.game_ply = 0;
        poll_input = no_input;
    }
    void TearDown() override {
        time_control = saved_control;
        engine_side = saved_side;
        pos.game_ply = saved_game_ply;
        search_mode = saved_mode;
        stop_search = 0;
        time_check_armed = 0;
        poll_input = no_input;
    }
    TimeControl saved_control{};
    int saved_side = EMPTY;
    int saved_game_ply = 0;
    int saved_mode = MODE_THINK;
};

TEST_F(TimeRules, FortyMovesInFiveMinutes) {
    set_time_level(40, 0);
    engine_side = BLACK;
    set_time_remaining(30000);
    EXPECT_EQ(time_control.remaining_ms, 300000);
    EXPECT_EQ(time_control.move_time_ms, 299700);
    EXPECT_EQ(time_control.moves_to_go, 40);
    EXPECT_EQ(time_control.soft_limit_ms, 3746);
    EXPECT_EQ(time_control.extended_limit_ms, 11238);
    EXPECT_EQ(time_control.hard_limit_ms, 61163);
    EXPECT_EQ(time_control.max_depth, 100);

    engine_side = WHITE;
    set_time_remaining(30000);
    EXPECT_EQ(time_control.moves_to_go, 39);
}

TEST_F(TimeRules, MovesToGoFollowsTheGameAndWrapsIntoTheNextPeriod) {
    set_time_level(40, 0);
    engine_side = BLACK;
    pos.game_ply = 20;
    set_time_remaining(30000);
    EXPECT_EQ(time_control.moves_to_go, 30);
    pos.game_ply = 80;  // exactly at the end of the period: a whole new one
    set_time_remaining(30000);
    EXPECT_EQ(time_control.moves_to_go, 40);
    pos.game_ply = 250;
    set_time_remaining(30000);
    EXPECT_EQ(time_control.moves_to_go, 35);
}

TEST_F(TimeRules, WholeGameAssumesFortyMoves) {
    set_time_level(0, 0);
    set_time_remaining(12000);
    EXPECT_EQ(time_control.moves_to_go, 40);
    EXPECT_EQ(time_control.soft_limit_ms, (119700 / 2) / 40);
}

TEST_F(TimeRules, IncrementWithShortClock) {
    set_time_level(0, 12);
    set_time_remaining(1000);
    EXPECT_EQ(time_control.increment_ms, 12000);
    EXPECT_EQ(time_control.move_time_ms, 9000);
    EXPECT_EQ(time_control.soft_limit_ms, 4500);
    EXPECT_EQ(time_control.extended_limit_ms, 9000);
    EXPECT_EQ(time_control.hard_limit_ms, 9000);
}

TEST_F(TimeRules, IncrementWithLongClock) {
    set_time_level(0, 2);
    set_time_remaining(60000);  // 599700 ms: a thirtieth plus the increment
    int t = 599700 / 30 + 2000;
    EXPECT_EQ(time_control.move_time_ms, t);
    EXPECT_EQ(time_control.soft_limit_ms, t / 2);
    EXPECT_EQ(time_control.extended_limit_ms, t * 3 / 2);
    EXPECT_EQ(time_control.hard_limit_ms, t * 4);
}

TEST_F(TimeRules, ShortClockLimitsDepth) {
    set_time_level(40, 0);
    set_time_remaining(200);
    EXPECT_EQ(time_control.move_time_ms, 1700);
    EXPECT_EQ(time_control.max_depth, 50);
    set_time_remaining(330);
    EXPECT_EQ(time_control.max_depth, 100);
}

TEST_F(TimeRules, FixedTimeAndFixedDepth) {
    set_time_st(5);
    EXPECT_EQ(time_control.remaining_ms, 5000);
    EXPECT_EQ(time_control.move_time_ms, 5000);
    EXPECT_EQ(time_control.soft_limit_ms, 5000);
    EXPECT_EQ(time_control.extended_limit_ms, 5000);
    EXPECT_EQ(time_control.hard_limit_ms, 5000);
    EXPECT_EQ(time_control.max_depth, 100);

    set_time_sd(150);
    EXPECT_EQ(time_control.max_depth, 100);
    EXPECT_EQ(time_control.hard_limit_ms, NO_TIME_LIMIT_MS);
    set_time_sd(7);
    EXPECT_EQ(time_control.max_depth, 7);
    EXPECT_EQ(time_control.soft_limit_ms, NO_TIME_LIMIT_MS);
}

// Absurd numbers from the interface must neither overflow nor hang the computation.
TEST_F(TimeRules, ExtremeValuesStayInRange) {
    set_time_st(2147483647);
    EXPECT_EQ(time_control.hard_limit_ms, 2147483647);
    set_time_level(-5, 0);  // would otherwise never bring the moves to go above zero
    EXPECT_EQ(time_control.moves_per_session, 0);
    set_time_remaining(2147483647);
    EXPECT_GT(time_control.hard_limit_ms, 0);
    EXPECT_GT(time_control.soft_limit_ms, 0);
    set_time_level(1, 2147483647);
    EXPECT_GT(time_control.increment_ms, 0);
    set_time_level(0, 2147483647);
    set_time_remaining(2147483647);
    EXPECT_GT(time_control.hard_limit_ms, 0);
    set_time_level(0, 0);
    set_time_remaining(-100);  // a flag already fallen: limits at or below zero, no crash
    EXPECT_LE(time_control.hard_limit_ms, 0);
}

TEST_F(TimeRules, ThinkingIgnoresClockUntilArmed) {
    search_mode = MODE_THINK;
    time_control.hard_limit_ms = -1000;
    search_start_ms = now_ms();
    stop_search = 0;
    time_check_armed = 0;
    check_time(0);
    EXPECT_EQ(stop_search, 0);
    time_check_armed = 1;
    check_time(0);
    EXPECT_EQ(stop_search, 1);
}

TEST_F(TimeRules, ExtendedLimitWaitsOnlyForDroppingScore) {
    search_mode = MODE_THINK;
    time_control.hard_limit_ms = 1000000;
    time_control.extended_limit_ms = -1;
    search_start_ms = now_ms();
    time_check_armed = 1;
    iteration = 5;
    iteration_score[4] = 100;
    stop_search = 0;
    check_time(50);  // 50 below the last iteration: keep searching
    EXPECT_EQ(stop_search, 0);
    check_time(80);  // exactly 20 below: still dropping
    EXPECT_EQ(stop_search, 0);
    check_time(81);
    EXPECT_EQ(stop_search, 1);
}

TEST_F(TimeRules, PonderingHasNoClock) {
    search_mode = MODE_PONDER;
    time_control.hard_limit_ms = -1000;
    search_start_ms = now_ms();
    time_check_armed = 1;
    stop_search = 0;
    check_time(0);
    EXPECT_EQ(stop_search, 0);
}

// A line from the interface ends a thinking search (once armed) and puts the engine in force mode.
TEST_F(TimeRules, InputStopsThinkingAndPondering) {
    search_mode = MODE_THINK;
    search_start_ms = now_ms();
    time_control.hard_limit_ms = 1000000;
    time_control.extended_limit_ms = 1000000;
    poll_input = input_waits;
    engine_side = WHITE;
    stop_search = 0;
    time_check_armed = 0;
    check_time(0);
    EXPECT_EQ(stop_search, 0);
    EXPECT_EQ(engine_side, WHITE);
    time_check_armed = 1;
    check_time(0);
    EXPECT_EQ(stop_search, 1);
    EXPECT_EQ(engine_side, EMPTY);

    search_mode = MODE_PONDER;
    engine_side = BLACK;
    stop_search = 0;
    time_check_armed = 0;
    check_time(0);
    EXPECT_EQ(stop_search, 1);
    EXPECT_EQ(engine_side, BLACK);
}

TEST_F(TimeRules, AnalysisStopsAtHardLimit) {
    search_mode = MODE_ANALYZE;
    search_start_ms = now_ms();
    time_control.hard_limit_ms = 1000000;
    stop_search = 0;
    check_time(0);
    EXPECT_EQ(stop_search, 0);
    time_control.hard_limit_ms = 0;
    check_time(0);
    EXPECT_EQ(stop_search, 1);
}

}  // namespace
