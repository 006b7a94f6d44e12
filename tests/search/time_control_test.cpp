// The limits of the "st", "sd", "level" and "time" commands, and what stops a search.
#include <tuple>

#include "search/helpers.h"

namespace {

using namespace search_test;

class TimeRules : public ::testing::Test {
  protected:
    void SetUp() override {
        saved = {time_control, game.game_ply, search_mode};
        poll_input = no_input;
    }
    void TearDown() override {
        std::tie(time_control, game.game_ply, search_mode) = saved;
        stop_search = time_check_armed = 0;
        poll_input = no_input;
    }
    std::tuple<TimeControl, int, int> saved;
};

// The limits after "level MOVES MINUTES INC" and "time CS" for Black at the game ply.
TimeControl level(int moves, int increment_s, int centiseconds, int game_ply, int side = BLACK) {
    time_control = TimeControl{};
    game.game_ply = game_ply;
    set_time_level(moves, increment_s * 1000);
    set_time_remaining(centiseconds, side);
    return time_control;
}

// The moves to go are counted from the game's plies, and a new period begins when one ends.
// Soft, extended and hard limits grow in that order within what is left, and grow with fewer
// moves to go, with an increment and with the clock; a short clock limits the depth.
TEST_F(TimeRules, ClockLimitsRankAsTheClockDoes) {
    const struct { int game_ply, side, to_go; } periods[] = {
        {0, BLACK, 40}, {0, WHITE, 39}, {20, BLACK, 30}, {80, BLACK, 40}, {250, BLACK, 35}};
    for (const auto& p : periods) EXPECT_EQ(level(40, 0, 30000, p.game_ply, p.side).moves_to_go, p.to_go) << p.game_ply;
    EXPECT_EQ(level(40, 2, 30000, 80).soft_limit_ms, level(40, 2, 30000, 0).soft_limit_ms);  // with an increment too
    const TimeControl forty = level(40, 0, 30000, 0);
    EXPECT_EQ(forty.remaining_ms, 300000);
    EXPECT_LT(forty.soft_limit_ms, forty.extended_limit_ms);
    EXPECT_LT(forty.extended_limit_ms, forty.hard_limit_ms);
    EXPECT_LT(forty.hard_limit_ms, forty.remaining_ms);
    EXPECT_LT(forty.soft_limit_ms, level(40, 0, 30000, 70).soft_limit_ms);  // ten moves to go
    EXPECT_LT(level(0, 0, 60000, 0).soft_limit_ms, level(0, 2, 60000, 0).soft_limit_ms);
    EXPECT_LT(level(0, 2, 30000, 0).soft_limit_ms, level(0, 2, 60000, 0).soft_limit_ms);
    const TimeControl short_clock = level(0, 12, 1000, 0);  // the increment is more than the clock
    EXPECT_LE(short_clock.hard_limit_ms, short_clock.remaining_ms);
    EXPECT_LT(level(40, 0, 200, 0).max_depth, MAX_PLY);
    EXPECT_EQ(level(40, 0, 330, 0).max_depth, MAX_PLY);
}

// "st": the move must come within the time, every limit the same, with a margin kept back that
// never takes more than half. "sd": the depth alone.
TEST_F(TimeRules, FixedTimeAndDepth) {
    for (const int st : {5000, 1000, 500, 50}) {
        set_time_st_ms(st);
        const TimeControl& t = time_control;
        EXPECT_EQ(t.remaining_ms, st);
        EXPECT_LT(t.hard_limit_ms, st);
        EXPECT_GE(2 * t.hard_limit_ms, st);
        EXPECT_EQ(std::tie(t.soft_limit_ms, t.extended_limit_ms, t.move_time_ms), std::tie(t.hard_limit_ms, t.hard_limit_ms, t.hard_limit_ms));
        EXPECT_EQ(t.max_depth, MAX_PLY);
    }
    set_time_st_ms(0);
    EXPECT_EQ(time_control.hard_limit_ms, 0);
    for (const int depth : {7, 150}) {
        set_time_sd(depth);
        EXPECT_EQ(time_control.max_depth, std::min(depth, int(MAX_PLY)));
        EXPECT_EQ(std::make_pair(time_control.soft_limit_ms, time_control.hard_limit_ms),
                  std::make_pair(int(NO_TIME_LIMIT_MS), int(NO_TIME_LIMIT_MS)));
    }
}

// Absurd numbers from the interface must neither overflow nor hang the computation.
TEST_F(TimeRules, ExtremeValuesStayInRange) {
    set_time_st_ms(2147483647);
    EXPECT_GT(time_control.hard_limit_ms, 2147483647 / 2);
    set_time_st_ms(-5);
    EXPECT_EQ(time_control.hard_limit_ms, 0);
    set_time_level(-5, 0);  // would otherwise never bring the moves to go above zero
    EXPECT_EQ(time_control.moves_per_session, 0);
    set_time_remaining(2147483647, BLACK);
    EXPECT_GT(time_control.hard_limit_ms, 0);
    EXPECT_GT(time_control.soft_limit_ms, 0);
    set_time_level(1, 2147483647);
    EXPECT_GT(time_control.increment_ms, 0);
    set_time_level(0, 2147483647);
    set_time_remaining(2147483647, BLACK);
    EXPECT_GT(time_control.hard_limit_ms, 0);
    set_time_level(0, 0);
    set_time_remaining(-100, BLACK);  // a flag already fallen: limits at or below zero, no crash
    EXPECT_LE(time_control.hard_limit_ms, 0);
}

// The last iteration scored 100; past the extended limit only a score more than 20 below it
// buys time. Input stops a thinking search once armed, a ponder or an analysis at once; the
// search says why it stopped and leaves what that means to the driver.
struct StopCase {
    int mode, armed, hard, extended, input, alpha;
    int stops;
};
const StopCase STOP_CASES[] = {
    {MODE_THINK, 0, -1000, 1000000, 0, 0, STOP_NONE},  // the first iterations ignore the clock
    {MODE_THINK, 1, -1000, 1000000, 0, 0, STOP_TIME},
    {MODE_THINK, 1, 1000000, -1, 0, 50, STOP_NONE},
    {MODE_THINK, 1, 1000000, -1, 0, 80, STOP_NONE},
    {MODE_THINK, 1, 1000000, -1, 0, 81, STOP_TIME},
    {MODE_PONDER, 1, -1000, -1, 0, 0, STOP_NONE},  // pondering has no clock
    {MODE_THINK, 0, 1000000, 1000000, 1, 0, STOP_NONE},
    {MODE_THINK, 1, 1000000, 1000000, 1, 0, STOP_INPUT},
    {MODE_PONDER, 0, 1000000, 1000000, 1, 0, STOP_INPUT},
    {MODE_ANALYZE, 0, 1000000, -1, 0, 0, STOP_NONE},
    {MODE_ANALYZE, 0, 1000000, -1, 1, 0, STOP_INPUT},
    {MODE_ANALYZE, 0, 0, -1, 0, 0, STOP_TIME},
};

TEST_F(TimeRules, WhatStopsTheSearch) {
    for (const StopCase& c : STOP_CASES) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << " armed " << c.armed << " hard " << c.hard
                                        << " input " << c.input << " alpha " << c.alpha);
        search_mode = c.mode;
        time_check_armed = c.armed;
        time_control.hard_limit_ms = c.hard;
        time_control.extended_limit_ms = c.extended;
        poll_input = c.input ? input_waits : no_input;
        main_thread().iteration = 5;
        main_thread().iteration_score[4] = 100;
        stop_search = STOP_NONE;
        search_start_ms = now_ms();
        check_time(main_thread(), c.alpha);
        EXPECT_EQ(stop_search, c.stops);
    }
}

}  // namespace
