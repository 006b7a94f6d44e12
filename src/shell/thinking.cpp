// The xboard thinking and book lines, and the search's seams that show them, these lines first.
#include <cstdio>

#include "platform/platform.h"
#include "search/search.h"
#include "shell/shell.h"

void (*show_thinking)(const SearchThread& t, int score) = print_thinking;
void (*show_book_move)(Move move) = print_book_move;
void (*show_lines)(const SearchThread& t) = print_lines;
void (*show_root_move)(const SearchThread&, Move, int) = [](const SearchThread&, Move, int) {};
void (*show_bound)(const SearchThread&, int, bool) = [](const SearchThread&, int, bool) {};

namespace {

// Depth, score, time in centiseconds, nodes, then the moves; an empty move ends them.
void print_line(const SearchThread& t, int score, const Move* moves, int length) {
    if (length <= 0) return;
    if (length > MAX_PLY) length = MAX_PLY;
    // While pondering the opponent is to move at the root; show the engine's view.
    if (search_mode == MODE_PONDER) score = -score;
    int centiseconds = static_cast<int>((now_ms() - search_start_ms) / 10);
    printf("%d %d %d %lld ", t.iteration, score, centiseconds, static_cast<long long>(searched_nodes()));
    for (int i = 0; i < length; i++) {
        Move m = moves[i];
        if (m.from == 0 && m.to == 0) break;
        char text[MOVE_TEXT_SIZE];
        format_move(t.pos, text, m, NOTATION_THINKING);
        printf("%s ", text);
    }
    printf("\n");
    // The line must be seen while the search goes on, whatever the buffering of the console.
    fflush(stdout);
}

}  // namespace

void print_thinking(const SearchThread& t, int score) { print_line(t, score, t.pv[0], t.pv_length[0]); }

void print_lines(const SearchThread& t) {
    for (int i = 0; i < t.line_count; i++) print_line(t, t.lines[i].score, t.lines[i].moves, t.lines[i].length);
}

void print_book_move(Move) {
    fputs("0 0 0 0 Book move\n", stdout);
    fflush(stdout);
}
