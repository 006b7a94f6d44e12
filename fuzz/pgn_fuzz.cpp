// Game collections: PGN text read game by game, tallied and turned into a book's records.
#include <cstdint>
#include <cstdio>
#include <vector>

#include "book/book.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    init_hash_keys();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return -1;
    // The first byte sets how many plies count and how often a move must have been played.
    BookTallyOptions options;
    options.plies = 1 + data[0] % 32;
    options.sides = (data[0] >> 5) % 4;
    FILE* file = fmemopen(const_cast<uint8_t*>(data + 1), size - 1, "rb");
    if (file == nullptr) return 0;  // no bytes left to read
    book_tally_clear();
    book_tree_clear();
    PgnReader reader(file, "case");
    BookTallyCounts counts;
    book_tally_games(&reader, options, &counts);
    fclose(file);
    FUZZ_CHECK(counts.used + counts.skipped <= counts.games);
    book_tally_to_tree(1 + data[0] % 3);
    std::vector<unsigned char> records(book_tree_encode(nullptr, 0));
    book_tree_encode(records.data(), records.size());

    // The Polyglot tally of the same games, in a budget small enough to forget moves.
    file = fmemopen(const_cast<uint8_t*>(data + 1), size - 1, "rb");
    if (file == nullptr) return 0;
    options.memory = 4096;
    polyglot_tally_clear();
    PgnReader again(file, "case");
    BookTallyCounts polyglot_counts;
    polyglot_tally_games(&again, options, &polyglot_counts);
    fclose(file);
    FUZZ_CHECK(polyglot_counts.games == counts.games);
    return 0;
}
