// The console's measuring tools: perft, the benchmark and the test suite.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

uint64_t perft(int depth);
void perft_command(const char* line);
void bench_command(const char* line);  // "bench [threads]"
void test_command();

// The benchmark's and the test suite's setups, for tests that run their searches without the console.
constexpr int TEST_POSITION_COUNT = 25;
bool bench_prepare();                // limits, mode, variant and the bench position; false if refused
const char* test_position(int index);  // compact position text of test position index 0..24

// One position of an EPD file (the perft, signature and evaluation data): the four FEN fields,
// the variant its castling letters imply, and the operations after it (";D1 20" is {"D1", "20"}).
struct EpdLine {
    std::string fen;
    bool chess960 = false;
    std::vector<std::pair<std::string, std::string>> operations;
    const std::string* operation(const char* name) const;  // null when the line has none
    long long number(const char* name, long long missing) const;
};
std::vector<EpdLine> read_epd(const std::string& path);  // '#' lines skipped; empty if unreadable
bool setup_epd(const EpdLine& line);  // the line's variant and position in the game; false if refused
