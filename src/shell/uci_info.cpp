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

// Scores are the mover's: the root side is the engine's own in every UCI search. A mate is
// counted in moves, negative when the engine is being mated.
void print_search_info(const SearchThread& t, int score) {
    int n = t.pv_length[0];
    if (n <= 0) return;
    if (n > MAX_PLY) n = MAX_PLY;
    Line line;
    add_counts(&line, false);
    if (score > MATE_BOUND) {
        line.add(" score mate %d", (SCORE_INF - score + 1) / 2);
    } else if (score < -MATE_BOUND) {
        line.add(" score mate %d", -((SCORE_INF + score) / 2));
    } else {
        line.add(" score cp %d", score);
    }
    line.add(" pv");
    for (int i = 0; i < n; i++) {
        Move m = t.pv[0][i];
        if (m.from == 0 && m.to == 0) break;
        char text[MOVE_TEXT_SIZE];
        format_move(game, text, m, NOTATION_UCI);
        line.add(" %s", text);
    }
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
