// Book files: random tables and a main/tournament book pair from the case, probed along a game
// whose moves the case chooses; every book move must be legal where it is offered.
#include <fuzzer/FuzzedDataProvider.h>

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

constexpr size_t TABLE_BYTES = BOOK_RANDOM_SIZE * 4;
constexpr size_t MAX_BOOK_BYTES = 1 << 14;
std::vector<uint8_t> good_table1, good_table2;
FuzzedDataProvider* provider = nullptr;

void write_file(const char* name, const std::vector<uint8_t>& bytes) {
    FILE* file = fopen(name, "wb");
    FUZZ_CHECK(file != nullptr);
    fwrite(bytes.data(), 1, bytes.size(), file);
    fclose(file);
}

std::vector<uint8_t> read_file(const char* name) {
    std::vector<uint8_t> bytes(TABLE_BYTES);
    FILE* file = fopen(name, "rb");
    FUZZ_CHECK(file != nullptr);
    bytes.resize(fread(bytes.data(), 1, bytes.size(), file));
    fclose(file);
    return bytes;
}

// The probe's random draw comes from the case, so a finding replays.
int case_draw() { return provider->ConsumeIntegral<uint16_t>(); }

void no_line(const unsigned char*, const unsigned char*, int, void*) {}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    auto folder = std::filesystem::temp_directory_path() /
                  ("tolvane-book-fuzz-" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(folder);
    std::filesystem::current_path(folder);
    set_hash_mb(1);
    set_ecache_mb(1);
    alloc_tables();
    init_hash_keys();
    FUZZ_CHECK(write_random_files("random1.bin", "random2.bin", 1));
    good_table1 = read_file("random1.bin");
    good_table2 = read_file("random2.bin");
    return 0;
}

// The case: a flags byte (own tables, no tournament book), the files as length and bytes, then
// the draws and the choice of each move the book does not answer.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    provider = &input;
    const uint8_t flags = input.ConsumeIntegral<uint8_t>();
    if (flags & 1) {
        write_file("random1.bin", input.ConsumeBytes<uint8_t>(input.ConsumeIntegralInRange<size_t>(0, TABLE_BYTES)));
        write_file("random2.bin", input.ConsumeBytes<uint8_t>(input.ConsumeIntegralInRange<size_t>(0, TABLE_BYTES)));
    } else {
        write_file("random1.bin", good_table1);
        write_file("random2.bin", good_table2);
    }
    write_file("main.bin", input.ConsumeBytes<uint8_t>(input.ConsumeIntegralInRange<size_t>(0, MAX_BOOK_BYTES)));
    std::filesystem::remove("tour.bin");
    if (!(flags & 2)) {
        write_file("tour.bin", input.ConsumeBytes<uint8_t>(input.ConsumeIntegralInRange<size_t>(0, MAX_BOOK_BYTES)));
    }

    int status = load_book("main.bin", "tour.bin");
    book_draw = case_draw;
    if (status != BOOK_OK && status != BOOK_NO_TOURBOOK) {
        FUZZ_CHECK(main_book == nullptr && tour_book == nullptr);
        return 0;
    }
    book_loaded = 1;

    // The book tool reads the same files line by line.
    walk_book_lines(main_book, main_book_size, false, no_line, nullptr);
    if (tour_book) walk_book_lines(tour_book, tour_book_size, true, no_line, nullptr);

    set_variant("normal");
    FUZZ_CHECK(setup_position(game, START_POSITION));
    clear_game_memory();
    while (game.game_ply < BOOK_MAX_GAME_PLY && has_legal_move(game)) {
        Move move = NO_MOVE;
        if (book_step(&move)) {
            FUZZ_CHECK(make_move(game, move));
        } else {
            if (input.remaining_bytes() == 0) break;
            MoveList list;
            int n = generate_moves(game, list);
            int pick = input.ConsumeIntegralInRange<int>(0, n - 1);
            if (!make_move(game, list[pick])) break;
        }
        FUZZ_CHECK(position_is_ok(game));
        game.ply = 0;
    }
    free_book();
    book_loaded = 0;
    return 0;
}
