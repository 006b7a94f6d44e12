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

constexpr int ANY = -1, NONE = NO_TIME_LIMIT_MS;
enum Command { LEVEL, ST, SD };

// {command, level moves or st/sd value, increment s, "time" cs, side, game ply} then the limits.
struct ClockCase {
    Command command;
    int a, inc, centiseconds, side, game_ply;
    int remaining, to_go, move_time, soft, extended, hard, depth;
};
const ClockCase CLOCK_CASES[] = {
    {LEVEL, 40, 0, 30000, BLACK, 0, 300000, 40, 299700, 3746, 11238, 61163, 100},
    {LEVEL, 40, 0, 30000, WHITE, 0, ANY, 39, ANY, ANY, ANY, ANY, ANY},
    {LEVEL, 40, 0, 30000, BLACK, 20, ANY, 30, ANY, ANY, ANY, ANY, ANY},
    {LEVEL, 40, 0, 30000, BLACK, 80, ANY, 40, ANY, ANY, ANY, ANY, ANY},  // a whole new period
    {LEVEL, 40, 0, 30000, BLACK, 250, ANY, 35, ANY, ANY, ANY, ANY, ANY},
    {LEVEL, 0, 0, 12000, BLACK, 0, ANY, 40, ANY, 1496, ANY, ANY, ANY},     // whole game: forty moves
    {LEVEL, 0, 12, 1000, BLACK, 0, ANY, ANY, 9000, 4500, 9000, 9000, ANY},  // increment, short clock
    {LEVEL, 0, 2, 60000, BLACK, 0, ANY, ANY, 21990, 10995, 32985, 87960, ANY},
    {LEVEL, 40, 0, 200, BLACK, 0, ANY, ANY, 1700, ANY, ANY, ANY, 50},  // a short clock limits depth
    {LEVEL, 40, 0, 330, BLACK, 0, ANY, ANY, ANY, ANY, ANY, ANY, 100},
    // "st": the move must come within the time; the search keeps back the margin, or a half.
    {ST, 5000, 0, 0, BLACK, 0, 5000, ANY, 4700, 4700, 4700, 4700, 100},
    {ST, 1000, 0, 0, BLACK, 0, 1000, ANY, 700, 700, 700, 700, 100},
    {ST, 500, 0, 0, BLACK, 0, 500, ANY, 250, 250, 250, 250, 100},
    {ST, 50, 0, 0, BLACK, 0, 50, ANY, 25, 25, 25, 25, 100},
    {ST, 0, 0, 0, BLACK, 0, 0, ANY, 0, 0, 0, 0, 100},
    {SD, 150, 0, 0, BLACK, 0, ANY, ANY, ANY, NONE, ANY, NONE, 100},
    {SD, 7, 0, 0, BLACK, 0, ANY, ANY, ANY, NONE, ANY, NONE, 7},
};

TEST_F(TimeRules, ClockFigures) {
    for (const ClockCase& c : CLOCK_CASES) {
        SCOPED_TRACE(testing::Message() << "command " << c.command << " " << c.a << " " << c.inc << " time "
                                        << c.centiseconds << " side " << c.side << " ply " << c.game_ply);
        time_control = TimeControl{};
        game.game_ply = c.game_ply;
        if (c.command == LEVEL) {
            set_time_level(c.a, c.inc * 1000);
            set_time_remaining(c.centiseconds, c.side);
        }
        if (c.command == ST) set_time_st_ms(c.a);
        if (c.command == SD) set_time_sd(c.a);
        const TimeControl& t = time_control;
        const int got[] = {t.remaining_ms, t.moves_to_go, t.move_time_ms, t.soft_limit_ms,
                           t.extended_limit_ms, t.hard_limit_ms, t.max_depth};
        const int want[] = {c.remaining, c.to_go, c.move_time, c.soft, c.extended, c.hard, c.depth};
        for (int i = 0; i < 7; i++)
            EXPECT_TRUE(want[i] == ANY || got[i] == want[i]) << "field " << i << ": " << got[i];
    }
}

// Absurd numbers from the interface must neither overflow nor hang the computation.
TEST_F(TimeRules, ExtremeValuesStayInRange) {
    set_time_st_ms(2147483647);
    EXPECT_EQ(time_control.hard_limit_ms, 2147483647 - 300);
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
