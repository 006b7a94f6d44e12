// UCI command streams: a case's lines are the interface's whole session with the driver.
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "book/book.h"
#include "eval/eval.h"
#include "fuzz_support.h"
#include "memory_platform.h"
#include "search/search.h"
#include "shell/shell.h"

namespace {

constexpr long MAX_OPTION_NUMBER = 16;  // megabytes of tables a case may ask for

// Table sizes are the settings harness's concern; here a case asking for large tables (Hash,
// Eval Cache, Bitbase Cache) stays out, so that every case stays fast.
bool asks_for_large_tables(const std::string& text) {
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        for (char& c : line) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        const bool sizes = line.find("hash") != std::string::npos || line.find("cache") != std::string::npos;
        if (line.find("setoption") != std::string::npos && sizes) {
            for (size_t i = 0; i < line.size(); i++) {
                if (!std::isdigit(static_cast<unsigned char>(line[i]))) continue;
                size_t digits = i;
                while (digits < line.size() && std::isdigit(static_cast<unsigned char>(line[digits]))) digits++;
                if (digits - i > 2 || std::strtol(line.c_str() + i, nullptr, 10) > MAX_OPTION_NUMBER) return true;
                i = digits;
            }
        }
        start = end + 1;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    set_hash_mb(1);
    set_ecache_mb(1);
    alloc_tables();
    init_hash_keys();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096) return -1;
    if (asks_for_large_tables(std::string(reinterpret_cast<const char*>(data), size))) return -1;
    // What a session's commands leave behind must not reach the next case.
    book_enabled = 0;  // the book has its own harness
    ponder_enabled = 0;
    uci_chess960 = false;
    time_control = TimeControl{};
    memory_input_set(data, size);
    uci_loop();
    FUZZ_CHECK(position_is_ok(game));
    FUZZ_CHECK(game.hash_key == compute_hash_key(game));
    FUZZ_CHECK(game.game_ply >= 0 && game.game_ply <= GAME_PLY_LIMIT);
    return 0;
}
