// The limits of the "st", "sd", "level" and "time" commands, and what stops a search.
#include <map>
#include <tuple>

#include "search/helpers.h"
#include "support/cases.h"

namespace {

using namespace search_test;

struct TimeRules : testing::Test {
    std::tuple<TimeControl, int, int> saved{time_control, game.game_ply, search_mode};
    void TearDown() override {
        std::tie(time_control, game.game_ply, search_mode) = saved;
        stop_search = time_check_armed = 0;
        poll_input = no_input;
    }
};

// The limits after "level MOVES MINUTES INC" and "time CS" for Black at the game ply.
TimeControl level(int moves, int increment_s, int centiseconds, int game_ply, int side = BLACK) {
    time_control = TimeControl{};
    game.game_ply = game_ply;
    set_time_level(moves, increment_s * 1000);
    set_time_remaining(centiseconds, side);
    return time_control;
}

// The moves to go are counted from the game's plies, and a new period begins when one ends; the
// clock is read in centiseconds, fewer moves to go give more time, and a short clock limits the
// depth. (The shares of the clock for each limit are pinned by the UCI session's "debug" lines.)
TEST_F(TimeRules, ClockLimitsFollowTheMovesToGo) {
    const struct { int game_ply, side, to_go; } periods[] = {
        {0, BLACK, 40}, {0, WHITE, 39}, {20, BLACK, 30}, {80, BLACK, 40}, {250, BLACK, 35}};
    for (const auto& p : periods) EXPECT_EQ(level(40, 0, 30000, p.game_ply, p.side).moves_to_go, p.to_go) << p.game_ply;
    EXPECT_EQ(level(40, 2, 30000, 80).soft_limit_ms, level(40, 2, 30000, 0).soft_limit_ms);  // with an increment too
    EXPECT_EQ(level(40, 0, 30000, 0).remaining_ms, 300000);
    EXPECT_LT(level(40, 0, 30000, 0).soft_limit_ms, level(40, 0, 30000, 70).soft_limit_ms);  // ten moves to go
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
    for (const int depth : {7, 150}) {
        set_time_sd(depth);
        EXPECT_EQ(time_control.max_depth, std::min(depth, int(MAX_PLY)));
        EXPECT_EQ(std::tie(time_control.soft_limit_ms, time_control.hard_limit_ms), std::make_tuple(NO_TIME_LIMIT_MS, NO_TIME_LIMIT_MS));
    }
}

// Absurd numbers from the interface must neither overflow nor hang the computation.
TEST_F(TimeRules, ExtremeValuesStayInRange) {
    set_time_st_ms(2147483647);
    EXPECT_GT(time_control.hard_limit_ms, 2147483647 / 2);
    set_time_st_ms(-5);  // no time at all
    EXPECT_EQ(time_control.hard_limit_ms, 0);
    set_time_level(-5, 0);  // would otherwise never bring the moves to go above zero
    EXPECT_EQ(time_control.moves_per_session, 0);
    set_time_remaining(2147483647, BLACK);
    EXPECT_GT(time_control.hard_limit_ms, 0);
    EXPECT_GT(time_control.soft_limit_ms, 0);
    set_time_level(0, 2147483647);
    set_time_remaining(2147483647, BLACK);
    EXPECT_GT(time_control.hard_limit_ms, 0);
    set_time_level(0, 0);
    set_time_remaining(-100, BLACK);  // a flag already fallen: limits at or below zero, no crash
    EXPECT_LE(time_control.hard_limit_ms, 0);
}

// The check's verdicts, one case a line of stop_rules.txt: the mode, whether the check is armed,
// the hard and extended limits, whether input waits, the search's alpha, and what stops it.
TEST_F(TimeRules, WhatStopsTheSearch) {
    const std::map<std::string, int> names = {{"think", MODE_THINK}, {"ponder", MODE_PONDER}, {"analyze", MODE_ANALYZE},
                                              {"none", STOP_NONE},   {"time", STOP_TIME},     {"input", STOP_INPUT}};
    int cases = 0;
    for (const CaseRow& row : read_cases("search/stop_rules.txt")) {
        SCOPED_TRACE(joined_fields(row));
        ASSERT_EQ(row.size(), 7u);
        search_mode = names.at(row[0]);
        time_check_armed = std::stoi(row[1]);
        time_control.hard_limit_ms = std::stoi(row[2]);
        time_control.extended_limit_ms = std::stoi(row[3]);
        poll_input = row[4] == "1" ? input_waits : no_input;
        main_thread().iteration = 5;
        main_thread().iteration_score[4] = 100;
        stop_search = STOP_NONE;
        search_start_ms = now_ms();
        check_time(main_thread(), std::stoi(row[5]));
        EXPECT_EQ(stop_search, names.at(row[6]));
        cases++;
    }
    EXPECT_EQ(cases, 12);
}

}  // namespace
