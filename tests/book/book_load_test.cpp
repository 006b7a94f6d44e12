// Loading the book files: every status, the buffers' end markers, short and odd files.
#include <gtest/gtest.h>

#include "book/book_fixture.h"
#include "shell/shell.h"

using namespace book_test;

namespace {

class BookLoadTest : public ::testing::Test {
protected:
    TempDir dir;
    InDir in_dir{dir.path};

    void SetUp() override {
        free_book();
        ASSERT_TRUE(write_random_files("random1.bin", "random2.bin", SEED));
        write_file("main.bin", example_book());
        write_file("tour.bin", example_book());
        std::strcpy(mainbook, "main.bin");
        std::strcpy(tourbook, "tour.bin");
    }
    void TearDown() override {
        free_book();
        mainbook[0] = '\0';
        tourbook[0] = '\0';
    }
    static std::vector<unsigned char> buffer(const unsigned char* bytes, size_t size) {
        return std::vector<unsigned char>(bytes, bytes + size);
    }
};

TEST_F(BookLoadTest, BothBooksLoadWithTheirMarkers) {
    ASSERT_EQ(load_book(), BOOK_OK);
    std::vector<unsigned char> expected = example_book();
    expected.insert(expected.end(), {0xFF, 0xFF});
    EXPECT_EQ(buffer(main_book, main_book_size), expected);
    ASSERT_NE(tour_book, nullptr);
    EXPECT_EQ(buffer(tour_book, 10), example_book());  // its last record was the marker already

    // The tables are the files' little-endian numbers.
    uint32_t table1[BOOK_RANDOM_SIZE], table2[BOOK_RANDOM_SIZE];
    make_random_tables(SEED, table1, table2);
    EXPECT_EQ(0, std::memcmp(table1, book_random1, sizeof table1));
    EXPECT_EQ(0, std::memcmp(table2, book_random2, sizeof table2));

    free_book();
    EXPECT_EQ(main_book, nullptr);
    EXPECT_EQ(tour_book, nullptr);
}

TEST_F(BookLoadTest, MissingRandomFileGivesNoRandom) {
    std::filesystem::remove("random2.bin");
    EXPECT_EQ(load_book(), BOOK_NO_RANDOM);
    EXPECT_EQ(main_book, nullptr);
    ASSERT_TRUE(write_random_files("random1.bin", "random2.bin", SEED));
    std::filesystem::remove("random1.bin");
    EXPECT_EQ(load_book(), BOOK_NO_RANDOM);
}

TEST_F(BookLoadTest, MainBookMissingOrEmpty) {
    mainbook[0] = '\0';  // no mainbook line in the settings
    EXPECT_EQ(load_book(), BOOK_NO_MAINBOOK);
    std::strcpy(mainbook, "absent.bin");
    EXPECT_EQ(load_book(), BOOK_NO_MAINBOOK);
    write_file("empty.bin", {});
    std::strcpy(mainbook, "empty.bin");
    EXPECT_EQ(load_book(), BOOK_ERROR);
    EXPECT_EQ(main_book, nullptr);
    std::strcpy(mainbook, ".");  // a folder opens on some systems but has no bytes to give
    int status = load_book();
    EXPECT_TRUE(status == BOOK_ERROR || status == BOOK_NO_MAINBOOK) << status;
}

TEST_F(BookLoadTest, OddMainBookEndsOnItsLastEvenOffset) {
    write_file("main.bin", {12, 92, 180, 100, 242});
    tourbook[0] = '\0';
    EXPECT_EQ(load_book(), BOOK_NO_TOURBOOK);
    EXPECT_EQ(buffer(main_book, main_book_size),
              (std::vector<unsigned char>{12, 92, 180, 100, 0xFF, 0xFF, 0xFF}));
    write_file("main.bin", {12});
    EXPECT_EQ(load_book(), BOOK_NO_TOURBOOK);
    EXPECT_EQ(buffer(main_book, main_book_size), (std::vector<unsigned char>{0xFF, 0xFF, 0xFF}));
}

TEST_F(BookLoadTest, TournamentBookLosesItsLastRecordToTheMarker) {
    write_file("tour.bin", {12, 92, 180, 100, 242, 98});
    EXPECT_EQ(load_book(), BOOK_OK);
    EXPECT_EQ(buffer(tour_book, 6), (std::vector<unsigned char>{12, 92, 180, 100, 0xFF, 0xFF}));

    write_file("tour.bin", {12, 92, 180});  // odd: the marker takes the last two bytes
    EXPECT_EQ(load_book(), BOOK_OK);
    EXPECT_EQ(buffer(tour_book, 3), (std::vector<unsigned char>{12, 0xFF, 0xFF}));
}

TEST_F(BookLoadTest, TinyOrMissingTournamentBookMeansMainBookOnly) {
    write_file("tour.bin", {12});  // one byte: no room for the marker
    EXPECT_EQ(load_book(), BOOK_NO_TOURBOOK);
    EXPECT_EQ(tour_book, nullptr);
    EXPECT_NE(main_book, nullptr);
    write_file("tour.bin", {});
    EXPECT_EQ(load_book(), BOOK_NO_TOURBOOK);
    std::filesystem::remove("tour.bin");
    EXPECT_EQ(load_book(), BOOK_NO_TOURBOOK);
    tourbook[0] = '\0';
    EXPECT_EQ(load_book(), BOOK_NO_TOURBOOK);
    EXPECT_NE(main_book, nullptr);
}

TEST_F(BookLoadTest, ShortRandomFilesLeaveTheRestZero) {
    write_file("random1.bin", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10});  // two and a half entries
    write_file("random2.bin", {});
    EXPECT_EQ(load_book(), BOOK_OK);
    EXPECT_EQ(book_random1[0], 0x04030201u);
    EXPECT_EQ(book_random1[1], 0x08070605u);
    for (int i = 2; i < BOOK_RANDOM_SIZE; i++) ASSERT_EQ(book_random1[i], 0u) << i;
    for (int i = 0; i < BOOK_RANDOM_SIZE; i++) ASSERT_EQ(book_random2[i], 0u) << i;
}

}  // namespace
