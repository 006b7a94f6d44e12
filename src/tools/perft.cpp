// Perft: leaf counts of the legal move tree, and the console command that times them.
#include <cinttypes>
#include <cstdio>

#include "board/board.h"
#include "platform/platform.h"
#include "search/search.h"
#include "tools/tools.h"

namespace {

// Deeper than this the recursion would outgrow the per-ply tables; no such perft ever ends anyway.
constexpr int MAX_PERFT_DEPTH = MAX_PLY - 1;

}  // namespace

uint64_t perft(int depth) {
    if (depth <= 0) return 1;
    // The last ply only needs the number of legal moves, not the moves.
    if (depth == 1) return static_cast<uint64_t>(count_legal_moves(game));
    Move list[MAX_MOVES];
    const int n = generate_moves(game, list);
    uint64_t total = 0;
    for (int i = 0; i < n; ++i)
        if (make_move(game, list[i])) {
            total += perft(depth - 1);
            unmake_move(game);
        }
    return total;
}

void perft_command(const char* line) {
    int depth;
    if (line == nullptr || std::sscanf(line, "%*s %d", &depth) != 1) {
        std::printf("Usage: perft <depth>\n");
        return;
    }
    if (depth > MAX_PERFT_DEPTH) depth = MAX_PERFT_DEPTH;

    set_variant("normal");
    std::printf("variante = %s\n", Variant);
    if (setup_position(game, START_POSITION)) clear_game_memory();
    std::printf("Performance Test\n");
    std::printf("Ply\tSeconds\tNodes\n");
    std::fflush(stdout);
    for (int d = 0; d <= depth; ++d) {
        search_start_ms = now_ms();
        const uint64_t leaves = perft(d);
        const int64_t elapsed = now_ms() - search_start_ms;
        std::printf("%d:\t%d\t%" PRIu64 "\n", d, static_cast<int>(elapsed / 1000), leaves);
        std::fflush(stdout);  // a long count shows each depth as it finishes
    }
}
