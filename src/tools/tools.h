// The console's measuring tools: perft, the benchmark and the test suite.
#pragma once

#include <cstdint>

uint64_t perft(int depth);
void perft_command(const char* line);
void bench_command();
void test_command();
