// The console's "test": 25 tactical positions searched 20 seconds each, for profiling runs.
#include <cstdio>

#include "search/search.h"
#include "tools/tools.h"

namespace {

constexpr int TEST_TIME_MS = 20000;

const char* const test_positions[TEST_POSITION_COUNT] = {
    "5rk1/1p6/q2P3p/2p2rp1/p1nbQ3/P1N3BP/1PR1B1P1/4K3b--",
    "4r1k1/1pq2p1p/2p2npb/2N5/1PPQn1P1/7P/6B1/B2R2K1b--",
    "2q1r2k/5R1p/pp1B2pN/2p1P3/1n1b4/3P2Q1/1P4K1/8w--",
    "6rk/7p/Q2R1p2/1p2n3/4b3/1P4NP/P1P2PPK/2q5b--",
    "2k1r2r/ppn3pq/b7/5p2/5Qn1/2N1B1P1/1P3PB1/2RR2K1w--",
    "2k4r/pp3ppp/2p2n2/5PBb/P3P3/2Nr3P/1PB2bP1/R3R2Kb--",
    "r5k1/pq2pn2/3pN1pp/n2P4/1rp1PQ2/1P3PP1/PN4K1/2R4Rw--",
    "3r1r2/p4pk1/bp2p1P1/4P2p/Pq1N1P2/2p4Q/2P3P1/3RK2Rw--",
    "rr4k1/2q2ppp/p1b1p3/2b1pPPN/1p2P1R1/3B3Q/PPP4P/1K1R4w--",
    "2r1qrk1/3n3p/b3pPp1/4P3/1pp1nBN1/pP4PQ/P1P2PK1/3RR3w--",
    "4rrk1/1b3p1p/pp2p1p1/2qnN1Pn/3N1P2/2P4R/PPB1Q2P/5RK1w--",
    "6k1/pp3p1p/3b3r/3p3q/P2n2p1/1P1Pp1P1/1N2P1QP/2R2RK1b--",
    "4r3/pbrq1p1k/1p3Bpp/3pPn2/5PQ1/P6R/1P4PP/1B3RK1w--",
    "r1r3k1/1p1b1nq1/6p1/pN1p4/P2Np2R/1P2P3/1Q3PP1/1K5Rw--",
    "r2q1rk1/pb2Bppp/4p3/1p6/2pnP1n1/6N1/PPPN2PP/R1Q1RBK1b--",
    "6k1/5qp1/pN5p/3pRp2/3QnP2/2r4P/r5P1/6RKb--",
    "2b2rk1/pp2R1bp/1qpp2p1/6N1/2P2PP1/3Q1B2/PP4PK/8w--",
    "1q3rnk/5p2/3p1P1p/p3n3/Np1r2P1/1P1B4/1PP4Q/1K1R3Rw--",
    "3r3k/p5qp/bp2B1p1/n2P1p2/5N2/Q1R5/P4PPP/6K1w--",
    "r4qk1/1b3rpp/1pn1p3/p1b5/2P5/2NQ1N2/PP2BPPP/3R1RK1b--",
    "4k3/pp2pp2/4n1p1/3RP1P1/2r1N3/P1P5/1P2q3/1K5Qw--",
    "5rk1/5pp1/3b4/1pp2qB1/4R2Q/1BPn4/1P3PPP/6K1b--",
    "3r2k1/p1rq1pp1/1pR1p2p/8/Q2P4/4P3/P4PPP/2R3K1b--",
    "1q4r1/3Q1Npk/p6p/1p5N/8/7P/Pn3PP1/6K1w--",
    "5k2/1pp2b1p/2p5/r3PPR1/pr6/2N5/1PP4P/2KR4w--",
};

}  // namespace

const char* test_position(int index) {
    if (index < 0 || index >= TEST_POSITION_COUNT) return nullptr;
    return test_positions[index];
}

void test_command() {
    set_fixed_limits(TEST_TIME_MS, MAX_PLY);
    search_mode = MODE_THINK;
    for (int n = 1; n <= TEST_POSITION_COUNT; n++) {
        // The title is Latin-1: 0xF3 is the o with acute accent.
        printf("Posici\xF3n %d:\n", n);
        if (!setup_position(game, test_positions[n - 1])) {
            printf("Error: test position %d could not be set up.\n", n);
            continue;
        }
        clear_game_memory();
        root_search(EMPTY);
        printf("\n");
    }
    fflush(stdout);
}
