// The benchmark's search signature: its node count at a fixed depth with the default table sizes.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "board/board.h"
#include "search/search.h"
#include "tools/tools.h"

namespace {

bool no_input() { return false; }

// The console's bench runs until its three-minute limit (iterations keep going after the mate
// is found), so its own node count depends on the machine. The signature is the same search
// stopped by depth instead: iterations 1 to BENCH_SIGNATURE_DEPTH - 1.
constexpr int BENCH_SIGNATURE_DEPTH = 11;

// When a change to the search, the move generator or the evaluation is meant to change play,
// update this number with the count the failing test prints, and quote it in the commit
// message as "Bench: N". A refactoring must leave it unchanged.
constexpr int BENCH_SIGNATURE_NODES = 715368;

TEST(BenchSignature, NodeCountAtFixedDepth) {
    poll_input = no_input;  // a test runner's standard input must not stop the search
    init_hash_keys();
    hash_entries = DEFAULT_HASH_ENTRIES;
    ecache_entries = DEFAULT_ECACHE_ENTRIES;
    alloc_tables();
    ASSERT_TRUE(bench_prepare());
    set_fixed_limits(NO_TIME_LIMIT_MS, BENCH_SIGNATURE_DEPTH);
    testing::internal::CaptureStdout();
    root_search(EMPTY);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(stop_search, 0);
    EXPECT_EQ(main_thread().iteration, BENCH_SIGNATURE_DEPTH - 1);
    EXPECT_EQ(searched_nodes(), BENCH_SIGNATURE_NODES)
        << "The bench signature changed: Bench: " << searched_nodes();
    free_tables();
}

// Searching twice from a fresh setup gives the same count: nothing leaks between searches.
TEST(BenchSignature, Repeatable) {
    poll_input = no_input;
    init_hash_keys();
    alloc_tables();
    ASSERT_TRUE(bench_prepare());
    set_fixed_limits(NO_TIME_LIMIT_MS, 8);
    testing::internal::CaptureStdout();
    root_search(EMPTY);
    int first = searched_nodes();
    ASSERT_TRUE(bench_prepare());
    set_fixed_limits(NO_TIME_LIMIT_MS, 8);
    root_search(EMPTY);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(searched_nodes(), first);
    free_tables();
}

}  // namespace
