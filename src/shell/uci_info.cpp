// The UCI driver's info lines: each new best line, progress while the search goes on, messages.
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "search/search.h"
#include "shell/shell.h"

int64_t go_start_ms;

namespace {

constexpr int INFO_LINE_SIZE = 2048;    // a whole principal variation fits
constexpr int INFO_STRING_SIZE = 256;   // messages echo at most this much of what was sent

// One line is built whole and written at once: an interface never sees half of it.
struct Line {
    char text[INFO_LINE_SIZE];
    int length = 0;

    void add(const char* format, ...) {
        if (length >= INFO_LINE_SIZE - 1) return;
        va_list args;
        va_start(args, format);
        int n = vsnprintf(text + length, INFO_LINE_SIZE - length, format, args);
        va_end(args);
        if (n > 0) length += n < INFO_LINE_SIZE - length ? n : INFO_LINE_SIZE - 1 - length;
    }
    void print() {
        if (length > INFO_LINE_SIZE - 2) length = INFO_LINE_SIZE - 2;  // room for the line end
        text[length] = '\n';
        text[length + 1] = '\0';
        fputs(text, stdout);
        fflush(stdout);
    }
};

// Depth, selective depth, time, nodes and speed: what every search line starts with.
void add_counts(Line* line, bool with_table) {
    int64_t ms = now_ms() - go_start_ms;
    if (ms < 0) ms = 0;
    // A search inside one clock tick is counted as one millisecond rather than divided by zero.
    const SearchThread& t = main_thread();
    const int64_t nodes = searched_nodes();
    long long nps = static_cast<long long>(nodes * 1000 / (ms > 0 ? ms : 1));
    line->add("info depth %d seldepth %d", t.iteration, t.sel_depth);
    if (with_table) line->add(" hashfull %d", hash_full_permill());
    line->add(" time %lld nodes %lld nps %lld", static_cast<long long>(ms),
              static_cast<long long>(nodes), nps);
}

}  // namespace

void info_string(const char* format, ...) {
    char message[INFO_STRING_SIZE];
    va_list args;
    va_start(args, format);
    vsnprintf(message, sizeof message, format, args);
    va_end(args);
    Line line;
    line.add("info string %s", message);
    line.print();
}

namespace {

// Scores are the mover's: the root side is the engine's own in every UCI search. A mate is
// counted in moves, negative when the engine is being mated.
void add_score(Line* line, int score) {
    if (score > MATE_BOUND) {
        line->add(" score mate %d", (SCORE_INF - score + 1) / 2);
    } else if (score < -MATE_BOUND) {
        line->add(" score mate %d", -((SCORE_INF + score) / 2));
    } else {
        line->add(" score cp %d", score);
    }
}

void add_moves(Line* line, const Move* moves, int n) {
    if (n > MAX_PLY) n = MAX_PLY;
    line->add(" pv");
    for (int i = 0; i < n; i++) {
        Move m = moves[i];
        if (m.from == 0 && m.to == 0) break;
        char text[MOVE_TEXT_SIZE];
        format_move(game, text, m, NOTATION_UCI);
        line->add(" %s", text);
    }
}

// Status lines come once the search has run this long, and then at most this often, so that
// a long analysis tells what it is doing without flooding the interface.
constexpr int64_t STATUS_AFTER_MS = 1000;
constexpr int64_t CURRMOVE_INTERVAL_MS = 250;
constexpr int64_t BOUND_INTERVAL_MS = 250;

int64_t elapsed_ms() { return now_ms() - go_start_ms; }

}  // namespace

void print_search_info(const SearchThread& t, int score) {
    if (t.pv_length[0] <= 0) return;
    Line line;
    add_counts(&line, false);
    add_score(&line, score);
    add_moves(&line, t.pv[0], t.pv_length[0]);
    line.print();
}

void print_search_lines(const SearchThread& t) {
    for (int k = 0; k < t.line_count; k++) {
        const RootLine& root_line = t.lines[k];
        Line line;
        add_counts(&line, false);
        line.add(" multipv %d", k + 1);
        add_score(&line, root_line.score);
        add_moves(&line, root_line.moves, root_line.length);
        line.print();
    }
}

void print_current_move(const SearchThread&, Move move, int number) {
    static int64_t last_ms = 0;
    const int64_t ms = elapsed_ms();
    if (ms < STATUS_AFTER_MS || (ms - last_ms < CURRMOVE_INTERVAL_MS && ms >= last_ms)) return;
    last_ms = ms;
    char text[MOVE_TEXT_SIZE];
    format_move(game, text, move, NOTATION_UCI);
    Line line;
    line.add("info currmove %s currmovenumber %d", text, number);
    line.print();
}

// A fail high or low at the root, with the move that failed high when there is one.
void print_bound(const SearchThread& t, int score, bool lower) {
    static int64_t last_ms = 0;
    const int64_t ms = elapsed_ms();
    if (ms < STATUS_AFTER_MS || (ms - last_ms < BOUND_INTERVAL_MS && ms >= last_ms)) return;
    last_ms = ms;
    Line line;
    add_counts(&line, false);
    add_score(&line, score);
    line.add(lower ? " lowerbound" : " upperbound");
    if (lower && (t.root_cutoff_move.from != 0 || t.root_cutoff_move.to != 0)) add_moves(&line, &t.root_cutoff_move, 1);
    line.print();
}

void print_search_progress() {
    Line line;
    add_counts(&line, true);
    line.print();
}

void print_book_info(Move move) {
    char text[MOVE_TEXT_SIZE];
    format_move(game, text, move, NOTATION_UCI);
    info_string("book move %s", text);
}
