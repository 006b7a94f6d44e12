// Time control: the limits set by the protocol's time commands, and the time and input check.
#include "platform/platform.h"
#include "search/parameters.h"
#include "search/search.h"

TimeControl time_control;
int search_mode = MODE_THINK;
int64_t search_start_ms;
int time_check_armed;
int check_interval = MIDDLEGAME_CHECK_INTERVAL;
bool (*poll_input)() = input_pending;
int move_overhead_ms = SAFETY_MARGIN_MS;

namespace {

constexpr int INT_LIMIT = 2147483647;

// Commands carry any number; the limits stay within a signed 32-bit int.
int clamp_ms(int64_t ms) {
    if (ms > INT_LIMIT) return INT_LIMIT;
    if (ms < -INT_LIMIT) return -INT_LIMIT;
    return static_cast<int>(ms);
}

void set_limits(int ms) {
    time_control.move_time_ms = ms;
    time_control.soft_limit_ms = ms;
    time_control.extended_limit_ms = ms;
    time_control.hard_limit_ms = ms;
}

}  // namespace

void set_time_st_ms(int ms) {
    if (ms < 0) ms = 0;
    // The move must be made within the time, its way through the interface included: the search
    // stops early by the margin, or by half of a short time, since the time is looked at only
    // every few thousand nodes.
    int reserve = ms / 2 < move_overhead_ms ? ms / 2 : move_overhead_ms;
    set_time_move_ms(ms - reserve);
    time_control.remaining_ms = ms;
}

void set_time_move_ms(int ms) {
    time_control.remaining_ms = ms;
    set_limits(ms);
    time_control.max_depth = MAX_PLY;
}

void set_time_sd(int depth) {
    time_control.max_depth = depth < MAX_PLY ? depth : MAX_PLY;
    set_limits(NO_TIME_LIMIT_MS);
}

void set_time_level(int moves_per_session, int increment_ms) {
    // A negative period would never bring the moves to go above zero: read it as the whole game.
    time_control.moves_per_session = moves_per_session > 0 ? moves_per_session : 0;
    time_control.increment_ms = increment_ms > 0 ? increment_ms : 0;
}

void set_time_remaining(int centiseconds, int own_side) {
    int moves_to_go = 0;
    if (time_control.moves_per_session > 0) {
        int mps = time_control.moves_per_session;
        moves_to_go = mps - game.game_ply / 2 - (own_side == WHITE ? 1 : 0);
        // Past the end of a period the next one begins: add whole periods.
        if (moves_to_go <= 0) moves_to_go += (-moves_to_go / mps + 1) * mps;
    }
    set_time_clock_ms(clamp_ms(static_cast<int64_t>(centiseconds) * 10), moves_to_go);
}

void set_time_clock_ms(int remaining_ms, int moves_to_go) {
    TimeControl& tc = time_control;
    tc.remaining_ms = remaining_ms;
    tc.move_time_ms = clamp_ms(static_cast<int64_t>(tc.remaining_ms) - move_overhead_ms);
    tc.max_depth = tc.move_time_ms >= DEEP_SEARCH_TIME_MS ? MAX_PLY : SHORT_TIME_MAX_DEPTH;

    if (moves_to_go <= 0 && tc.increment_ms > 0) {
        // Incremental clock: live on the increment when the clock is short.
        int64_t inc = tc.increment_ms;
        if (tc.move_time_ms < SHORT_CLOCK_INCREMENTS * inc) {
            int t = clamp_ms(INCREMENT_SHARE.of(inc));
            tc.move_time_ms = t;
            tc.soft_limit_ms = clamp_ms(SOFT_LIMIT_SHARE.of(t));
            tc.extended_limit_ms = t;
            tc.hard_limit_ms = t;
        } else {
            int t = clamp_ms(CLOCK_SHARE.of(tc.move_time_ms) + inc);
            tc.move_time_ms = t;
            tc.soft_limit_ms = clamp_ms(SOFT_LIMIT_SHARE.of(t));
            tc.extended_limit_ms = clamp_ms(EXTENDED_LIMIT_SHARE.of(t));
            tc.hard_limit_ms = clamp_ms(HARD_LIMIT_SHARE.of(t));
        }
        return;
    }

    int64_t t = tc.move_time_ms;
    if (moves_to_go <= 0) moves_to_go = GAME_MOVES_ASSUMED;
    tc.moves_to_go = moves_to_go;
    tc.soft_limit_ms = clamp_ms(SOFT_LIMIT_SHARE.of(t) / moves_to_go);
    tc.extended_limit_ms = clamp_ms(EXTENDED_LIMIT_SHARE.of(t) / moves_to_go);
    tc.hard_limit_ms = clamp_ms((t * HARD_LIMIT_SCALE) / (moves_to_go + HARD_LIMIT_SPARE_MOVES));
}

void set_fixed_limits(int ms, int max_depth) {
    set_limits(ms);
    time_control.max_depth = max_depth < MAX_PLY ? max_depth : MAX_PLY;
}

void ponder_hit(int64_t since_ms) {
    search_mode = MODE_THINK;
    search_start_ms = since_ms;
    // Iterations completed while pondering count: a deep iteration under way must not run past
    // the hard limit only because the first two were searched before the clock started.
    time_check_armed = main_thread().iteration > 2 ? 1 : 0;
}

void check_time(SearchThread& t, int alpha) {
    // The next check comes an interval later, or once the node limit may be reached: with other
    // threads adding to the total, when this thread has searched its share of what is left.
    t.next_check_nodes = t.nodes + check_interval;
    const int64_t node_limit = time_control.node_limit;
    if (node_limit > 0) {
        const int64_t total = searched_nodes();
        if (total >= node_limit) {
            stop_search = STOP_NODES;
            return;
        }
        const int threads = active_search_threads();
        int64_t share = (node_limit - total) / threads;
        if (threads > 1 && share > NODE_LIMIT_SHARE_MOST) share = NODE_LIMIT_SHARE_MOST;
        if (share < 1) share = 1;
        if (t.next_check_nodes > t.nodes + share) t.next_check_nodes = t.nodes + share;
    }
    if (!t.is_main()) return;  // the clock and the input are the main thread's

    int64_t elapsed = now_ms() - search_start_ms;
    switch (search_mode) {
        case MODE_THINK: {
            // The first two iterations always complete.
            if (!time_check_armed) return;
            int previous = t.iteration >= 1 && t.iteration <= MAX_PLY ? t.iteration_score[t.iteration - 1] : 0;
            if (poll_input()) {
                // The interface wants something: the best move so far is played at once.
                stop_search = STOP_INPUT;
            } else if (elapsed >= time_control.hard_limit_ms) {
                stop_search = STOP_TIME;
            } else if (elapsed > time_control.extended_limit_ms && alpha + SCORE_DROP_MARGIN > previous) {
                // Past the extended limit only a dropping score buys more time.
                stop_search = STOP_TIME;
            }
            return;
        }
        case MODE_PONDER:
            if (poll_input()) stop_search = STOP_INPUT;
            return;
        case MODE_ANALYZE: {
            // Lines the driver answers itself do not count as input here; any other stops the
            // analysis unread, so that the driver acts on it and nothing is lost.
            if (poll_input()) {
                stop_search = STOP_INPUT;
                return;
            }
            if (elapsed >= time_control.hard_limit_ms) stop_search = STOP_TIME;
            return;
        }
        default:
            return;
    }
}
