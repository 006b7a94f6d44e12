// Books from PGN games: what is kept, in which order the engine finds it, and what it then plays.
#include <gtest/gtest.h>

#include <cstdio>

#include "book/book_fixture.h"

using namespace book_test;

namespace {

std::string repeat(int times, const std::string& game) {
    std::string text;
    for (int i = 0; i < times; i++) text += game + "\n\n";
    return text;
}

struct Built {
    int positions = 0;
    BookTallyCounts counts;
    std::string errors;  // standard error while reading
};

class BookTally : public ::testing::Test {
protected:
    void SetUp() override {
        init_hash_keys();
        make_random_tables(SEED, book_random1, book_random2);
        free_book();
    }
    void TearDown() override { free_book(); }

    // Reads the PGN text, writes the book tree and installs it as the main book.
    static Built build(std::string pgn, const BookTallyOptions& options = {}) {
        Built built;
        FILE* file = fmemopen(pgn.data(), pgn.size(), "rb");
        EXPECT_NE(file, nullptr);
        if (!file) return built;
        book_tally_clear();
        testing::internal::CaptureStderr();
        auto reader = std::make_unique<PgnReader>(file, "games.pgn");
        book_tally_games(reader.get(), options, &built.counts);
        built.errors = testing::internal::GetCapturedStderr();
        std::fclose(file);
        built.positions = book_tally_to_tree(options.min_count);
        Bytes book(book_tree_encode(nullptr, 0));
        book_tree_encode(book.data(), book.size());
        install(&main_book, &main_book_size, book);
        return built;
    }

    // The candidates the engine finds after the moves, in its order, with the first draw's choice first.
    static Moves after(const char* moves) {
        EXPECT_EQ(game.game_ply, 0);  // the tally leaves the board at the start
        char word[PGN_WORD_SIZE];
        for (const char* c = moves; std::sscanf(c, "%63s", word) == 1; c = std::strstr(c, word) + std::strlen(word)) {
            Move move;
            EXPECT_EQ(play_san_move(word, &move), SAN_OK) << word;
        }
        char text[BOOK_TEXT_SIZE];
        book_position_text(text);
        BookProbe probe;
        probe_book_with_draw(text, 0, &probe);
        Moves found = candidates(probe);
        if (probe.count) found.insert(found.begin(), std::string(probe.from_text) + probe.to_text);
        while (game.game_ply > 0) unmake_move(game);
        return found;
    }
};

TEST_F(BookTally, CandidatesComeMostPlayedFirstThenBestScored) {
    BookTallyOptions both;
    both.sides = BOOK_SIDES_BOTH;
    Built built = build(repeat(3, "1. d4 d5 *") + repeat(5, "1. e4 e5 *") + repeat(2, "1. c4 e5 *") +
                            repeat(2, "1. Nf3 d5 1-0") + "1. b3 e5 *",
                        both);
    // Nf3 and c4 were played as often; Nf3 scored better. b3, played once, is not playable.
    EXPECT_EQ(after(""), Moves({"e2e4", "e2e4", "d2d4", "g1f3", "c2c4"}));
    EXPECT_EQ(after("b3"), Moves({}));  // after 1. b3 e5 was played once: the line is not written
    EXPECT_EQ(built.positions, 5);      // the start and the replies to d4, e4, c4 and Nf3

    // After 1. e4 c5 2. Nf3 and 1. Nf3 c5 2. e4 the position is the same. The first line the book
    // meets it by saw only Nc6; all games together played d6 more often.
    build(repeat(2, "1. e4 c5 2. Nf3 Nc6 *") + repeat(2, "1. e4 e5 *") + repeat(3, "1. Nf3 c5 2. e4 d6 *"), both);
    EXPECT_EQ(after("e4 c5 Nf3"), Moves({"d7d6", "d7d6", "b8c6"}));
    EXPECT_EQ(after("Nf3 c5 e4"), Moves({"d7d6", "d7d6", "b8c6"}));
    // The position's moves are written once: the second way in ends where it meets them.
    EXPECT_EQ(book_tree_records(), 9);  // e4 c5 Nf3 d6 Nc6, e5, then Nf3 c5 e4 and no more
}

// Only games from the normal start are counted.
TEST_F(BookTally, GamesFromElsewhereAreLeftOut) {
    Built built = build(
        repeat(2, "1. e4 e5 1/2-1/2") + repeat(2, "[Variant \"Standard\"]\n1. f4 f5 1/2-1/2") +
        repeat(2, "[FEN \"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1\"]\n1. Nf3 Nf6 1/2-1/2") +
        repeat(2, "[SetUp \"1\"]\n[FEN \"4k3/8/8/8/8/8/4P3/4K3 w - - 0 1\"]\n1. e4 Kd7 1/2-1/2") +
        repeat(2, "[Variant \"Chess960\"]\n1. b3 b6 1/2-1/2") + repeat(2, "1/2-1/2"));  // the last: no move
    EXPECT_EQ(built.counts.used, 6);
    EXPECT_EQ(after(""), Moves({"e2e4", "e2e4", "f2f4", "g1f3"}));
}

TEST_F(BookTally, BadGamesAmongGoodOnesKeepWhatCameBeforeTheFault) {
    Built built = build(
        "[Event \"good\"]\n1. e4 e5 2. Nf3 Nc6 1/2-1/2\n\n"
        "[Event \"illegal\"]\n1. e4 e5 2. Nf3\nNf6 3. Ke3 Nc6 4. Bb5 1/2-1/2\n\n"
        "[Event \"unreadable\"]\n1. e4 e5 2. Nf3 Nc6 3. Zz9 Nf6 1/2-1/2\n\n"
        "[Event \"ambiguous\"]\n1. e4 e5 2. Nf3 Nf6 3. Nc3 Nc6 4. Nd5 Nd4 5. Ne5 Ne6 6. Ng4 Ng5 7. Ne3 1/2-1/2\n\n"
        "[Event \"wrong from the start\"]\n1. e5 e4 1/2-1/2\n\n"
        "[Event \"good\"]\n1. e4 e5 2. Nf3 Nc6 1/2-1/2\n");
    EXPECT_EQ(built.errors,
              "games.pgn:6: illegal move: Ke3\n"
              "games.pgn:9: unreadable move: Zz9\n"
              "games.pgn:12: ambiguous move: Ne3\n"
              "games.pgn:15: illegal move: e5\n");
    // Nc6 was played in the good games and before the unreadable move; Nf6 before Ke3 and Ne3.
    EXPECT_EQ(after("e4 e5 Nf3"), Moves({"b8c6", "b8c6", "g8f6"}));
    EXPECT_EQ(book_tree_records(), 5);  // nothing after a fault: Bb5 is not there, Nc3 was played once
}

TEST_F(BookTally, APromotionEndsTheGamesBookMovesAndTheRestIsStillChecked) {
    const std::string promotion =
        "1. e4 d5 2. exd5 c6 3. dxc6 Nf6 4. cxb7 Nbd7 5. bxa8=Q Qa5 6. Qxa7 Qxa2 7. Qxa2 e6 8. Ke3 1/2-1/2";
    BookTallyOptions both;
    both.sides = BOOK_SIDES_BOTH;
    Built built = build(repeat(2, promotion), both);
    EXPECT_EQ(built.errors,
              "games.pgn:1: promotion bxa8=Q cannot be stored in a Rebel book: the game's book moves end before it\n"
              "games.pgn:1: illegal move: Ke3\n"
              "games.pgn:3: promotion bxa8=Q cannot be stored in a Rebel book: the game's book moves end before it\n"
              "games.pgn:3: illegal move: Ke3\n");
    EXPECT_EQ(built.counts.used, 2);
    EXPECT_EQ(after("e4 d5 exd5 c6 dxc6 Nf6 cxb7"), Moves({"b8d7", "b8d7"}));
    EXPECT_EQ(after("e4 d5 exd5 c6 dxc6 Nf6 cxb7 Nbd7"), Moves({}));
    EXPECT_EQ(book_tree_records(), 8);
}

}  // namespace
