// Polyglot books: a book file from the case, its keys raw or taken from the positions of a game the
// case plays, probed along that game; the file is never read out of bounds and every book move is legal.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "book/book.h"
#include "fuzz_support.h"
#include "search/search.h"

namespace {

constexpr int MAX_GAME = 12;      // plies of the game whose positions the book may name
constexpr int MAX_ENTRIES = 512;
FuzzedDataProvider* provider = nullptr;

uint32_t case_draw() { return provider->ConsumeIntegral<uint32_t>(); }

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    auto folder = std::filesystem::temp_directory_path() /
                  ("tolvane-polyglot-fuzz-" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(folder);
    std::filesystem::current_path(folder);
    set_hash_mb(1);
    set_ecache_mb(1);
    alloc_tables();
    init_hash_keys();
    return 0;
}

// The case: a flags byte (raw file bytes; entries sorted; best move), the game's moves, then the
// entries or the raw bytes, then the draws and the moves the book does not answer.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    provider = &input;
    const uint8_t flags = input.ConsumeIntegral<uint8_t>();

    // The game first: its positions are the keys a book entry may name.
    set_variant("normal");
    FUZZ_CHECK(setup_position(game, START_POSITION));
    std::vector<uint64_t> keys = {polyglot_key(game)};
    const int plies = input.ConsumeIntegralInRange<int>(0, MAX_GAME);
    for (int i = 0; i < plies && has_legal_move(game); i++) {
        MoveList list;
        const int n = generate_moves(game, list);
        if (make_move(game, list[input.ConsumeIntegralInRange<int>(0, n - 1)])) keys.push_back(polyglot_key(game));
    }
    while (game.game_ply > 0) unmake_move(game);

    std::vector<uint8_t> bytes;
    if (flags & 1) {
        bytes = input.ConsumeBytes<uint8_t>(input.ConsumeIntegralInRange<size_t>(0, MAX_ENTRIES * POLYGLOT_ENTRY_BYTES));
    } else {
        std::vector<PolyglotEntry> entries(input.ConsumeIntegralInRange<size_t>(0, MAX_ENTRIES));
        for (PolyglotEntry& entry : entries) {
            const size_t pick = input.ConsumeIntegral<uint8_t>();
            entry.key = pick & 1 ? input.ConsumeIntegral<uint64_t>() : keys[(pick >> 1) % keys.size()];
            entry.move = input.ConsumeIntegral<uint16_t>();
            entry.weight = input.ConsumeIntegral<uint16_t>();
            entry.learn = 0;
        }
        if (flags & 2)
            std::stable_sort(entries.begin(), entries.end(),
                             [](const PolyglotEntry& a, const PolyglotEntry& b) { return a.key < b.key; });
        bytes.resize(entries.size() * POLYGLOT_ENTRY_BYTES);
        for (size_t i = 0; i < entries.size(); i++) encode_polyglot_entry(entries[i], &bytes[i * POLYGLOT_ENTRY_BYTES]);
    }
    FILE* file = fopen("book.bin", "wb");
    FUZZ_CHECK(file != nullptr);
    fwrite(bytes.data(), 1, bytes.size(), file);
    fclose(file);

    const PolyglotOpening opening = open_polyglot_book("book.bin");
    FUZZ_CHECK(polyglot_book_open() == (opening.status == POLYGLOT_OK));
    FUZZ_CHECK(opening.status != POLYGLOT_OK || opening.entries * POLYGLOT_ENTRY_BYTES == long(bytes.size()));
    polyglot_draw = case_draw;
    polyglot_best_move = (flags & 4) != 0;

    // Every key the game met, then a game of book moves and the case's moves.
    PolyglotEntry found[POLYGLOT_MAX_ENTRIES];
    for (uint64_t key : keys) FUZZ_CHECK(polyglot_entries(key, found, POLYGLOT_MAX_ENTRIES) <= POLYGLOT_MAX_ENTRIES);
    clear_game_memory();
    while (game.game_ply < 2 * MAX_GAME && has_legal_move(game)) {
        Move move = NO_MOVE;
        if (book_step(&move)) {
            FUZZ_CHECK(make_move(game, move));
        } else {
            if (input.remaining_bytes() == 0) break;
            MoveList list;
            const int n = generate_moves(game, list);
            if (!make_move(game, list[input.ConsumeIntegralInRange<int>(0, n - 1)])) break;
        }
        FUZZ_CHECK(position_is_ok(game));
        game.ply = 0;
    }
    close_polyglot_book();
    return 0;
}
