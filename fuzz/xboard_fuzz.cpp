// xboard command streams: a case's lines are the interface's whole session with the driver.
#include <cstdint>

#include "book/book.h"
#include "eval/eval.h"
#include "fuzz_support.h"
#include "memory_platform.h"
#include "search/search.h"
#include "shell/shell.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    set_hash_mb(1);
    set_ecache_mb(1);
    alloc_tables();
    init_hash_keys();
    book_enabled = 0;  // the book has its own harness
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096) return -1;
    // What a session's commands leave behind must not reach the next case.
    ponder_enabled = 0;
    time_control = TimeControl{};
    memory_input_set(data, size);
    xboard_loop();
    FUZZ_CHECK(position_is_ok(game));
    FUZZ_CHECK(game.hash_key == compute_hash_key(game));
    FUZZ_CHECK(game.game_ply >= 0 && game.game_ply <= GAME_PLY_LIMIT);
    return 0;
}
