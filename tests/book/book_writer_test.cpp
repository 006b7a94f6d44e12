// Writing books: random tables with the fixed start key, lines checked on the board, the tree.
#include <gtest/gtest.h>

#include "book/book_fixture.h"
#include <algorithm>
#include <cstdio>

#include "search/search.h"

using namespace book_test;

namespace {

class BookWriterTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!hash_table) alloc_tables();  // setting up a position clears the tables
        init_hash_keys();
        free_book();
        install_tables();
        book_tree_clear();
    }
    void TearDown() override { free_book(); }

    std::vector<unsigned char> encode() {
        std::vector<unsigned char> bytes(book_tree_encode(nullptr, 0));
        book_tree_encode(bytes.data(), bytes.size());
        return bytes;
    }
    bool add(const char* line) {
        char message[128] = "";
        bool ok = book_tree_add_line(line, message, sizeof message);
        last_message = message;
        return ok;
    }
    std::string last_message;
};

TEST(BookRandomTables, StartArrayGetsTheFixedKeyForAnySeed) {
    for (uint32_t seed : {0u, 1u, 12345u, 0xFFFFFFFFu}) {
        make_random_tables(seed, book_random1, book_random2);
        std::memcpy(book_board, book_start_board, sizeof book_board);
        BookKey key = compute_book_key();
        EXPECT_EQ(key.a, BOOK_START_KEY_A) << seed;
        EXPECT_EQ(key.b, BOOK_START_KEY_B) << seed;
    }
    uint32_t other1[BOOK_RANDOM_SIZE], other2[BOOK_RANDOM_SIZE];
    make_random_tables(7, other1, other2);
    make_random_tables(8, book_random1, book_random2);
    EXPECT_NE(0, std::memcmp(other1, book_random1, sizeof other1));
}

TEST_F(BookWriterTest, ExampleLinesGiveTheExampleBook) {
    ASSERT_TRUE(add("e2e4 e7e5")) << last_message;
    ASSERT_TRUE(add("  e2e4\tc7c5 \r\n")) << last_message;
    ASSERT_TRUE(add("d2d4")) << last_message;
    EXPECT_EQ(book_tree_records(), 4);
    EXPECT_EQ(encode(), example_book());
}

TEST_F(BookWriterTest, BadLinesAreRefusedWithAMessage) {
    EXPECT_FALSE(add("e2e4 e7e5 e4e5"));
    EXPECT_EQ(last_message, "illegal move: e4e5");
    EXPECT_FALSE(add("e2e4 Nf6"));
    EXPECT_EQ(last_message, "not a move in coordinates (like e2e4): Nf6");
    EXPECT_FALSE(add("e2e4 e7e5 i2i4"));
    EXPECT_FALSE(add("e1g1"));  // castling through pieces
    EXPECT_FALSE(add("e2e4 f7f5 e4f5 g7g5 f5g6 g8f6 g6g7 a7a6 g7g8q"));
    EXPECT_EQ(last_message, "not a move in coordinates (like e2e4): g7g8q");  // five characters are no coordinate move
    EXPECT_FALSE(add("e2e4 f7f5 e4f5 g7g5 f5g6 g8f6 g6g7 a7a6 g7g8"));
    EXPECT_EQ(last_message, "promotions cannot be stored in a Rebel book: g7g8");
    std::string long_line;
    for (int i = 0; i < BOOK_LINE_SIZE / 4 + 1; i++) long_line += "g1f3 g8f6 f3g1 f6g8 ";
    EXPECT_FALSE(add(long_line.c_str()));
    EXPECT_EQ(last_message, "line longer than 200 half-moves");
    EXPECT_EQ(book_tree_records(), 0);  // nothing of a refused line stays
    EXPECT_EQ(pos.game_ply, 0);         // and the board is back at the start
    EXPECT_TRUE(add("e2e4 e7e5 g1f3 b8c6 f1c4 f8c5 e1g1")) << last_message;
}

TEST_F(BookWriterTest, QuestionMarkKeepsAMoveOutOfPlay) {
    ASSERT_TRUE(add("e2e4? e7e5"));
    ASSERT_TRUE(add("d2d4? d7d5"));
    ASSERT_TRUE(add("d2d4 g8f6"));  // any line without the mark makes it playable
    install_main(encode());
    BookProbe result;
    ASSERT_EQ(probe_book_with_draw(START_TEXT, 0, &result), 0);
    EXPECT_EQ(candidates(result), (std::vector<std::string>{"d2d4"}));
}

TEST_F(BookWriterTest, EveryPositionOfEveryLineIsFoundAgain) {
    const char* lines[] = {
        "e2e4 e7e5 g1f3 b8c6 f1b5 a7a6 b5a4 g8f6 e1g1",
        "e2e4 e7e5 g1f3 b8c6 f1c4 f8c5",
        "e2e4 e7e5 g1f3 g8f6",
        "e2e4 c7c5 g1f3 d7d6 d2d4 c5d4 f3d4 g8f6 b1c3 a7a6",
        "e2e4 c7c5 b1c3",
        "e2e4 e7e6 d2d4 d7d5 e4e5 c7c5",
        "d2d4 d7d5 c2c4 e7e6 b1c3 g8f6",
        "d2d4 g8f6 c2c4 e7e6 g1f3 b7b6",
        "c2c4",
        "e2e4 d7d5 e4d5 d8d5 b1c3 d5a5",
        "e2e4 a7a6 e4e5 d7d5 e5d6",
    };
    for (const char* line : lines) ASSERT_TRUE(add(line)) << line << ": " << last_message;
    install_main(encode());

    // Replay every line on the engine's board and ask the book before each move.
    for (const char* line : lines) {
        setup_position("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNRwKQkq-");
        char moves[256];
        std::snprintf(moves, sizeof moves, "%s", line);
        for (char* word = std::strtok(moves, " "); word; word = std::strtok(nullptr, " ")) {
            char text[BOOK_TEXT_SIZE];
            book_position_text(text);
            BookProbe result;
            ASSERT_EQ(probe_book_with_draw(text, 0, &result), 0);
            std::vector<std::string> found = candidates(result);
            EXPECT_NE(std::find(found.begin(), found.end(), word), found.end())
                << line << " at " << word;
            int from = (word[0] - 'a') + 8 * ('8' - word[1]);
            int to = (word[2] - 'a') + 8 * ('8' - word[3]);
            MoveList list;
            int n = generate_moves(list);
            bool made = false;
            for (int i = 0; i < n && !made; i++)
                if (list[i].from == from && list[i].to == to) made = make_move(list[i]) == 1;
            ASSERT_TRUE(made) << word;
        }
    }
}

}  // namespace
