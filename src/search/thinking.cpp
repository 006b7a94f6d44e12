// Thinking output: one line per improvement of the root move, in the xboard format.
#include <cstdio>

#include "search/search.h"
#include "platform/platform.h"

namespace {

char promotion_letter(int type) {
    switch (type) {
        case MOVE_PROMOTE_QUEEN: return 'q';
        case MOVE_PROMOTE_ROOK: return 'r';
        case MOVE_PROMOTE_BISHOP: return 'b';
        default: return 'n';
    }
}

}  // namespace

void print_thinking(int score) {
    int n = pv_length[0];
    if (n <= 0) return;
    if (n > MAX_PLY) n = MAX_PLY;
    // While pondering the opponent is to move at the root; show the engine's view.
    if (search_mode == MODE_PONDER) score = -score;
    int centiseconds = static_cast<int>((now_ms() - search_start_ms) / 10);
    printf("%d %d %d %lld ", iteration, score, centiseconds, static_cast<long long>(nodes));
    for (int i = 0; i < n; i++) {
        Move m = pv[0][i];
        if (m.from == 0 && m.to == 0) break;
        if (variant_kind == VARIANT_FISCHERANDOM && m.type == MOVE_CASTLE) {
            if (m.to == 62 || m.to == 6) printf("O-O ");
            else if (m.to == 58 || m.to == 2) printf("O-O-O ");
        } else if (m.type < MOVE_PROMOTE_QUEEN) {
            printf("%c%d%c%d ", 'a' + (m.from & 7), 8 - (m.from >> 3), 'a' + (m.to & 7),
                   8 - (m.to >> 3));
        } else {
            printf("%c%d%c%d=%c ", 'a' + (m.from & 7), 8 - (m.from >> 3), 'a' + (m.to & 7),
                   8 - (m.to >> 3), promotion_letter(m.type));
        }
    }
    printf("\n");
    // The line must be seen while the search goes on, whatever the buffering of the console.
    fflush(stdout);
}
