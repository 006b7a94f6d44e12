// The console's measuring tools: perft, the benchmark and the test suite.
#pragma once

#include <cstdint>

uint64_t perft(int depth);
void perft_command(const char* line);
void bench_command(const char* line);  // "bench [threads]"
void test_command();

// The benchmark's and the test suite's setups, for tests that run their searches without the console.
constexpr int TEST_POSITION_COUNT = 25;
bool bench_prepare();                // limits, mode, variant and the bench position; false if refused
const char* test_position(int index);  // compact position text of test position index 0..24
