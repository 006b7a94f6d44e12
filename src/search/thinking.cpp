// Thinking output: the seams a driver may replace, and the xboard thinking and book lines.
#include <cstdio>

#include "search/search.h"
#include "platform/platform.h"

void (*show_thinking)(const SearchThread& t, int score) = print_thinking;
void (*show_book_move)(Move move) = print_book_move;

void print_thinking(const SearchThread& t, int score) {
    int n = t.pv_length[0];
    if (n <= 0) return;
    if (n > MAX_PLY) n = MAX_PLY;
    // While pondering the opponent is to move at the root; show the engine's view.
    if (search_mode == MODE_PONDER) score = -score;
    int centiseconds = static_cast<int>((now_ms() - search_start_ms) / 10);
    printf("%d %d %d %lld ", t.iteration, score, centiseconds, static_cast<long long>(searched_nodes()));
    for (int i = 0; i < n; i++) {
        Move m = t.pv[0][i];
        if (m.from == 0 && m.to == 0) break;
        char text[MOVE_TEXT_SIZE];
        format_move(t.pos, text, m, NOTATION_THINKING);
        printf("%s ", text);
    }
    printf("\n");
    // The line must be seen while the search goes on, whatever the buffering of the console.
    fflush(stdout);
}

void print_book_move(Move) {
    fputs("0 0 0 0 Book move\n", stdout);
    fflush(stdout);
}
