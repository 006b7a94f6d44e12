// Loading the book files: every status, and the end markers the buffers get from short and odd files.
#include <gtest/gtest.h>

#include <optional>

#include "book/book_fixture.h"
#include "shell/shell.h"

using namespace book_test;

namespace {

TEST(BookLoad, StatusesAndBuffers) {
    const Bytes EX = example_book(), MARKED = {12, 92, 180, 100, 242, 98, 203, 91, 255, 255, 255, 255};
    struct Case {
        const char* what;
        bool randoms;                     // both random files there
        std::optional<Bytes> main, tour;  // the files; none: no such file
        int status;
        Bytes main_buffer, tour_buffer;   // as loaded (the tour book's first bytes); empty: not loaded
    };
    const Case cases[] = {
        {"both books", true, EX, EX, BOOK_OK, MARKED, EX},  // the tour book's last record was the marker
        {"no random2.bin", false, EX, EX, BOOK_NO_RANDOM, {}, {}},
        {"no main book", true, std::nullopt, EX, BOOK_NO_MAINBOOK, {}, {}},
        {"odd main book ends on its last even offset", true, Bytes{12, 92, 180, 100, 242}, std::nullopt,
         BOOK_NO_TOURBOOK, {12, 92, 180, 100, 255, 255, 255}, {}},
        {"the tour book loses its last record to the marker", true, EX, Bytes{12, 92, 180, 100, 242, 98},
         BOOK_OK, MARKED, {12, 92, 180, 100, 255, 255}},
        {"one-byte tour book: no room for the marker", true, EX, Bytes{12}, BOOK_NO_TOURBOOK, MARKED, {}},
    };
    const std::filesystem::path previous = std::filesystem::current_path();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        std::filesystem::current_path(dir.path);  // the loader reads the random files from here
        ASSERT_TRUE(write_random_files("random1.bin", "random2.bin", SEED));
        if (!c.randoms) std::filesystem::remove("random2.bin");
        if (c.main) write_file("main.bin", *c.main);
        if (c.tour) write_file("tour.bin", *c.tour);
        EXPECT_EQ(load_book("main.bin", "tour.bin"), c.status);
        EXPECT_EQ(main_book ? Bytes(main_book, main_book + main_book_size) : Bytes{}, c.main_buffer);
        EXPECT_EQ(tour_book != nullptr, !c.tour_buffer.empty());
        if (tour_book) {
            EXPECT_EQ(Bytes(tour_book, tour_book + c.tour_buffer.size()), c.tour_buffer);
        }
        free_book();
        std::filesystem::current_path(previous);
    }
}

}  // namespace
