// The console's "bench": a fixed mate-in-7 search whose node count is the search's signature.
#include <cstdio>

#include "platform/platform.h"
#include "search/search.h"
#include "tools/tools.h"

namespace {

constexpr int BENCH_TIME_MS = 180000;
constexpr double REFERENCE_NPS = 862722.0;  // the reference machine's speed on this position
constexpr const char* BENCH_POSITION = "r3rk2/ppq2pbQ/2p1b1p1/4p1B1/2P3P1/3P1B2/P3PPK1/1R5Rw--";

}  // namespace

bool bench_prepare() {
    set_fixed_limits(BENCH_TIME_MS, MAX_PLY);
    search_mode = MODE_THINK;
    set_variant("normal");
    if (!setup_position(game, BENCH_POSITION)) return false;
    clear_game_memory();
    return true;
}

// "bench N" searches with N threads, the setting for other searches kept.
void bench_command(const char* line) {
    const int saved_threads = search_threads;
    int threads = search_threads;
    if (std::sscanf(line, "%*s %d", &threads) == 1 && !set_search_threads(threads)) {
        printf("Usage: bench [threads], threads 1 to %d\n", MAX_THREADS);
        return;
    }
    set_variant("normal");
    printf("variante = %s\n", Variant);
    printf("Searching Mate in 7... \n");
    printf("r3rk2/ppq2pbQ/2p1b1p1/4p1B1/2P3P1/3P1B2/P3PPK1/1R5R w - - \n");
    if (!bench_prepare()) {
        printf("Error: the benchmark position could not be set up.\n");
        return;
    }
    root_search(EMPTY);
    set_search_threads(saved_threads);
    int64_t elapsed = now_ms() - search_start_ms;

    printf("\n");
    printf("Time: %d ms\n", static_cast<int>(elapsed));
    printf("Nodes: %lld\n", static_cast<long long>(searched_nodes()));
    // A search inside one clock tick is counted as one millisecond rather than divided by zero.
    double nps = static_cast<double>(searched_nodes()) / static_cast<double>(elapsed > 0 ? elapsed : 1) * 1000.0;
    printf("Nodes per second: %lld (Score: %.3f)\n", static_cast<long long>(nps), nps / REFERENCE_NPS);
    printf("Score: 1.000 on Athlon64 x2 4600+ \n");
    printf("\n");
    printf("Press Return key to continue ");
    fflush(stdout);
    char reply[256];
    read_line(reply, sizeof(reply));
}
