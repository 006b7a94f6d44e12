// Root search: the book step, then iterative deepening inside aspiration windows on every thread.
#include <algorithm>
#include <vector>

#include "book/book.h"
#include "eval/eval.h"
#include "platform/platform.h"
#include "search/parameters.h"
#include "search/search.h"

int multipv = 1;

namespace {

// Whether the score mates within the given number of moves (none asked: false).
bool mate_found(int score, int moves) {
    return moves > 0 && score >= SCORE_INF - (2 * static_cast<int64_t>(moves) - 1);
}

// One depth of a multi-line search: the best line, then the best line of the moves left, each
// with the full window. The previous depth's line of each rank is followed first. False when the
// search stopped before every line was found; the lines of the last whole depth then stay.
bool search_lines(SearchThread& t, int it) {
    std::vector<RootLine> found;
    t.shown_count = 0;
    while (static_cast<int>(found.size()) < t.lines_wanted) {
        const int rank = static_cast<int>(found.size());
        t.follow_pv = rank < t.line_count;
        if (t.follow_pv) {
            const RootLine& before = t.lines[rank];
            for (int i = 0; i < before.length; i++) t.pv[0][i] = before.moves[i];
            t.pv_length[0] = before.length;
        }
        const int score = search(t, -SCORE_INF, SCORE_INF, ONE_PLY * it);
        if (stop_search || t.pv_length[0] <= 0) break;
        RootLine line;
        line.score = score;
        line.length = t.pv_length[0];
        for (int i = 0; i < line.length; i++) line.moves[i] = t.pv[0][i];
        found.push_back(line);
        t.shown[t.shown_count++] = line.moves[0];
    }
    t.shown_count = 0;
    if (static_cast<int>(found.size()) < t.lines_wanted) return false;
    std::stable_sort(found.begin(), found.end(), [](const RootLine& a, const RootLine& b) { return a.score > b.score; });
    t.lines = found;
    t.line_count = static_cast<int>(found.size());
    // The best line stands in the line of the single-line search: the move played and its reply.
    for (int i = 0; i < found[0].length; i++) t.pv[0][i] = found[0].moves[i];
    t.pv_length[0] = found[0].length;
    return true;
}

}  // namespace

bool set_multipv(int lines) {
    if (lines < 1 || lines > MAX_LINES) return false;
    multipv = lines;
    return true;
}

void clear_game_memory() {
    book_misses = 0;
    clear_tables();
}

void start_thread_search(SearchThread& t) {
    t.pos = game;
    t.pos.ply = 0;
    recompute_total_material(t);
    reset_search_state(t);
    t.eval.lazy_eval = 1;
}

Move iterative_deepening(SearchThread& t, int own_side) {
    Move move = NO_MOVE;
    // A single legal move needs only a few iterations.
    const int legal = count_root_moves(t.pos);

    // Iterative deepening inside aspiration windows. Every other helper thread runs an iteration
    // ahead of the main thread, so that the threads' trees differ and fill the table for each other.
    int max_depth = time_control.max_depth < MAX_ITERATION ? time_control.max_depth : MAX_ITERATION;
    int alpha = -SCORE_INF;
    int beta = SCORE_INF;
    int it = 1 + (t.id & 1);
    int fail_highs = 0;
    int fail_lows = 0;
    t.lines_wanted = t.is_main() && multipv < legal ? multipv : t.is_main() ? legal : 1;
    if (t.lines_wanted < 1) t.lines_wanted = 1;
    t.line_count = 0;
    if (t.lines_wanted > 1) {
        // Several lines: each depth searches them all with full windows, and shows them together.
        for (; it < max_depth; it++) {
            t.iteration = it;
            const bool whole = search_lines(t, it);
            if (t.line_count > 0) move = t.lines[0].moves[0];
            if (!whole) break;
            t.iteration_score[it] = t.lines[0].score;
            show_lines(t);
            if (mate_found(t.lines[0].score, time_control.mate_moves)) break;
            if (it > 1 && search_mode == MODE_THINK) {
                time_check_armed = 1;
                if (now_ms() - search_start_ms > time_control.soft_limit_ms) break;
            }
        }
        if (move.from == 0 && move.to == 0) move = t.pv[0][0];
        return move;
    }
    while (it < max_depth) {
        t.follow_pv = 1;
        t.iteration = it;
        int score = search(t, alpha, beta, ONE_PLY * it);
        move = t.pv[0][0];
        t.iteration_score[it] = score;
        if (stop_search) break;

        if (alpha < score && score < beta) {
            if (mate_found(score, time_control.mate_moves)) break;
            // The clock is the main thread's: a ponder hit changes the mode while helpers search.
            if (t.is_main() && it > 1 && search_mode == MODE_THINK) {
                time_check_armed = 1;
                if (legal == 1 && it >= SINGLE_MOVE_ITERATIONS) break;
                if (now_ms() - search_start_ms > time_control.soft_limit_ms) break;
            }
            alpha = score - ASPIRATION_WINDOW;
            beta = score + ASPIRATION_WINDOW;
            int own = own_side == WHITE ? t.pos.piece_material[WHITE] + t.pos.pawn_material[WHITE]
                                        : t.pos.piece_material[BLACK] + t.pos.pawn_material[BLACK];
            t.eval.lazy_eval = score - own <= LAZY_EVAL_MARGIN ? 1 : 0;
            fail_highs = 0;
            fail_lows = 0;
            it++;
        } else if (score >= beta) {
            // Widen once, then open the window fully; alpha keeps its bound.
            if (t.is_main()) show_bound(t, score, true);
            fail_highs++;
            beta = fail_highs == 1 ? score + ASPIRATION_WIDENING : SCORE_INF;
        } else {
            if (t.is_main()) show_bound(t, score, false);
            fail_lows++;
            alpha = fail_lows == 1 ? score - ASPIRATION_WIDENING : -SCORE_INF;
        }
    }
    return move;
}

Move root_search(int own_side) {
    Move move = NO_MOVE;
    stop_search = STOP_NONE;

    // The book answers a search for the engine's own move without searching; its move might
    // not be among the moves a restricted root allows.
    if (search_mode == MODE_THINK && root_move_count == 0 && book_step(&move)) {
        show_book_move(move);
        return move;
    }

    // A fresh search state; the tables carry over.
    time_check_armed = 0;
    search_start_ms = now_ms();
    // With little material each node costs more relative to depth, and a short move time passes
    // within the middlegame's interval: look at the clock more often.
    const int men_material = game.piece_material[WHITE] + game.piece_material[BLACK] +
                             game.pawn_material[WHITE] + game.pawn_material[BLACK];
    const bool short_time = search_mode == MODE_THINK && time_control.hard_limit_ms < SHORT_MOVE_TIME_MS;
    check_interval = men_material < ENDGAME_MATERIAL || short_time ? ENDGAME_CHECK_INTERVAL
                                                                   : MIDDLEGAME_CHECK_INTERVAL;

    // The helpers search until the main thread is done; its reason to stop is the search's.
    SearchThread& main = main_thread();
    prepare_helpers();
    start_thread_search(main);
    start_helpers(own_side);
    move = iterative_deepening(main, own_side);
    stop_helpers();
    // A search stopped before the main thread finished its first root move (a small node limit,
    // the main thread waiting for a core) takes the move of a helper that has one.
    if (move.from == 0 && move.to == 0) move = helper_move();
    return move;
}
