// Book probing: the walk over book lines, transpositions, parity, the weighted choice, hostile books.
#include <gtest/gtest.h>

#include <map>

#include "book/book_fixture.h"
#include "search/search.h"

using namespace book_test;

namespace {

class BookProbeTest : public ::testing::Test {
protected:
    void SetUp() override {
        free_book();
        install_tables();
    }
    void TearDown() override {
        free_book();
        book_draw = std::rand;
    }
    BookProbe probe(const char* text, int r = 0) {
        BookProbe result;
        EXPECT_EQ(probe_book_with_draw(text, r, &result), 0) << text;
        return result;
    }
};

using Moves = std::vector<std::string>;

const char* AFTER_E4 = "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b ";

TEST_F(BookProbeTest, ExampleBookGivesTheStatedCandidates) {
    install_main(example_book());
    BookProbe start = probe(START_TEXT);
    EXPECT_EQ(candidates(start), (Moves{"e2e4", "d2d4"}));  // e2e4 found twice, kept once
    EXPECT_EQ(chosen(start), "e2e4");

    EXPECT_EQ(candidates(probe(AFTER_E4)), (Moves{"e7e5", "c7c5"}));

    BookProbe after_d4 = probe("rnbqkbnr/pppppppp/8/8/3P4/8/PPP1PPPP/RNBQKBNR b ");
    EXPECT_EQ(after_d4.count, 0);
    EXPECT_STREQ(after_d4.from_text, "");
    EXPECT_STREQ(after_d4.to_text, "");
}

TEST_F(BookProbeTest, ColourToMoveMustMatchThePlyParity) {
    install_main(example_book());
    // The position after 1. e4, but with White to move: found at an odd ply only.
    EXPECT_EQ(probe("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR w ").count, 0);
    // The start position with Black to move: found at ply 0 only.
    EXPECT_EQ(probe("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b ").count, 0);
}

TEST_F(BookProbeTest, MovesWithoutThePlayableMarkAreNoCandidates) {
    std::vector<unsigned char> book;
    add_record(&book, "e2e4", BOOK_LAST_ALTERNATIVE, 0);
    add_record(&book, "e7e5", BOOK_LAST_ALTERNATIVE | BOOK_END_OF_LINE, BOOK_PLAYABLE);
    book.insert(book.end(), {0xFF, 0xFF});
    install_main(book);
    EXPECT_EQ(probe(START_TEXT).count, 0);
    EXPECT_EQ(candidates(probe(AFTER_E4)), (Moves{"e7e5"}));  // reached through an unplayable move
}

TEST_F(BookProbeTest, TranspositionsAreFound) {
    install_main(book_of_lines({{"g1f3", "g8f6", "g2g3", "g7g6"}}));
    // 1. g3 Nf6 2. Nf3 reaches the book's position after 1. Nf3 Nf6 2. g3.
    EXPECT_EQ(candidates(probe("rnbqkb1r/pppppppp/5n2/8/8/5NP1/PPPPPP1P/RNBQKB1R b ")),
              (Moves{"g7g6"}));
}

TEST_F(BookProbeTest, CastlingAndEnPassantAreReplayed) {
    install_main(book_of_lines({{"e2e4", "e7e5", "g1f3", "b8c6", "f1c4", "f8c5", "e1g1", "g8f6"},
                                {"e2e4", "a7a6", "e4e5", "d7d5", "e5d6", "c7d6"},
                                {"d2d4", "d7d5", "c1f4", "c8f5", "b1c3", "b8c6", "d1d2",
                                 "d8d7", "e1c1", "e8c8", "a2a3"}}));
    EXPECT_EQ(candidates(probe("r1bqk1nr/pppp1ppp/2n5/2b1p3/2B1P3/5N2/PPPP1PPP/RNBQ1RK1 b ")),
              (Moves{"g8f6"}));
    EXPECT_EQ(candidates(probe("rnbqkbnr/1pp1pppp/p2P4/8/8/8/PPPP1PPP/RNBQKBNR b ")),
              (Moves{"c7d6"}));
    EXPECT_EQ(candidates(probe("2kr1bnr/pppqpppp/2n5/3p1b2/3P1B2/2N5/PPPQPPPP/2KR1BNR w ")),
              (Moves{"a2a3"}));
}

TEST_F(BookProbeTest, TournamentBookComesFirstAndFallsBackToTheMainBook) {
    install_main(example_book());
    // A tournament buffer as the loader leaves it: its last record became the marker.
    install_tour(book_of_lines({{"c2c4"}, {"d2d4"}}));
    EXPECT_EQ(candidates(probe(START_TEXT)), (Moves{"c2c4", "d2d4"}));
    EXPECT_EQ(candidates(probe(AFTER_E4)), (Moves{"e7e5", "c7c5"}));  // nothing there: main book
}

TEST_F(BookProbeTest, TournamentMarkerAtAnOddOffsetEndsTheBook) {
    std::vector<unsigned char> tour;
    add_record(&tour, "c2c4", BOOK_END_OF_LINE, BOOK_PLAYABLE);
    tour.insert(tour.end(), {0x00, 0xFF, 0xFF, 0x00});  // b1 and the byte after it
    add_record(&tour, "g1f3", BOOK_END_OF_LINE | BOOK_LAST_ALTERNATIVE, BOOK_PLAYABLE);
    tour.insert(tour.end(), {0xFF, 0xFF});
    install_tour(tour);
    EXPECT_EQ(candidates(probe(START_TEXT)), (Moves{"c2c4"}));
}

TEST_F(BookProbeTest, ChoiceFollowsTheWeightsOfTheFindingOrder) {
    // Share of each candidate over r = 0..63.
    auto shares = [](int count) {
        std::vector<int> share(count, 0);
        for (int r = 0; r < 64; r++) share[book_choose(count, r)]++;
        return share;
    };
    EXPECT_EQ(shares(1), (std::vector<int>{64}));
    EXPECT_EQ(shares(2), (std::vector<int>{44, 20}));
    EXPECT_EQ(shares(3), (std::vector<int>{40, 16, 8}));
    EXPECT_EQ(shares(4), (std::vector<int>{36, 16, 8, 4}));

    // Three candidates: the walk wraps around with what is left of r.
    for (int r = 0; r <= 8; r++) EXPECT_EQ(book_choose(3, r), 0) << r;
    for (int r = 9; r <= 12; r++) EXPECT_EQ(book_choose(3, r), 1) << r;
    for (int r = 13; r <= 14; r++) EXPECT_EQ(book_choose(3, r), 2) << r;
    for (int r = 15; r <= 22; r++) EXPECT_EQ(book_choose(3, r), 0) << r;
    EXPECT_EQ(book_choose(3, 64 + 9), 1);  // only r mod 64 counts
    EXPECT_EQ(book_choose(0, 5), -1);
}

TEST_F(BookProbeTest, FromTheFourteenthCandidateOnNothingIsChosen) {
    const char* moves[] = {"a2a3", "a2a4", "b2b3", "b2b4", "c2c3", "c2c4", "d2d3",
                           "d2d4", "e2e3", "e2e4", "f2f3", "f2f4", "g2g3", "g2g4",
                           "h2h3", "h2h4", "b1a3", "b1c3", "g1f3", "g1h3"};
    std::vector<std::vector<const char*>> lines;
    for (const char* move : moves) lines.push_back({move});
    install_main(book_of_lines(lines));
    std::map<std::string, int> picked;
    for (int r = 0; r < 9999; r++) {
        BookProbe result = probe(START_TEXT, r);
        ASSERT_EQ(result.count, 20);
        picked[chosen(result)]++;
    }
    EXPECT_EQ(picked.size(), 13u);
    for (int i = 13; i < 20; i++) EXPECT_EQ(picked.count(moves[i]), 0u) << moves[i];
}

TEST_F(BookProbeTest, TheDrawIsInjectable) {
    install_main(example_book());
    BookProbe result;
    book_draw = [] { return 9; };  // two candidates: 9..12 picks the second
    ASSERT_EQ(probe_book(START_TEXT, &result), 0);
    EXPECT_EQ(chosen(result), "d2d4");
    book_draw = [] { return 9999 + 8; };  // drawn mod 9999 first
    ASSERT_EQ(probe_book(START_TEXT, &result), 0);
    EXPECT_EQ(chosen(result), "e2e4");
}

TEST_F(BookProbeTest, UnreadableTextsGiveResultThree) {
    install_main(example_book());
    const char* texts[] = {"", "rnbqkbnr/pppppppp/8/8", "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR",
                           "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR x ",
                           "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNRw ",
                           "rnbqkxnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w "};
    for (const char* text : texts) {
        BookProbe result;
        result.count = 7;
        EXPECT_EQ(probe_book_with_draw(text, 0, &result), 3) << text;
        EXPECT_EQ(result.count, 0);
        EXPECT_STREQ(result.from_text, "");
    }
    BookProbe result;
    EXPECT_EQ(probe_book_with_draw("8/8/8/8/8/8/8/9 w ", 0, &result), 0);  // counter passes 64
}

// --- Hostile books: none of these may read or write outside a buffer ----------------------------

TEST_F(BookProbeTest, LineDeeperThanTheLineArrayStopsTheWalk) {
    std::vector<unsigned char> book;
    add_record(&book, "e2e4", BOOK_END_OF_LINE, BOOK_PLAYABLE);  // found before the damage
    for (int i = 0; i < 3 * BOOK_LINE_SIZE; i++) add_record(&book, i % 2 ? "g8f6" : "g1f3", 0, 64);
    add_record(&book, "d2d4", BOOK_END_OF_LINE | BOOK_LAST_ALTERNATIVE, BOOK_PLAYABLE);
    book.insert(book.end(), {0xFF, 0xFF});
    install_main(book);
    EXPECT_EQ(candidates(probe(START_TEXT)), (Moves{"e2e4"}));
}

TEST_F(BookProbeTest, MoreCandidatesThanTheArrayHoldsAreDropped) {
    std::vector<unsigned char> book;
    for (int s = 0; s < 64; s++) {  // every square's "move" to a4, one line each
        book.push_back((unsigned char)(s | BOOK_END_OF_LINE));
        book.push_back((unsigned char)(24 | BOOK_PLAYABLE));
    }
    book.insert(book.end(), {0xFF, 0xFF});
    install_main(book);
    BookProbe result = probe(START_TEXT, 5);
    EXPECT_EQ(result.count, BOOK_MAX_CANDIDATES);
    EXPECT_EQ(candidates(result).front(), "a1a4");
    EXPECT_EQ(candidates(result).back(), "d3a4");
}

TEST_F(BookProbeTest, WalkStopsAtTheBufferEndWithoutAMarker) {
    std::vector<unsigned char> book = example_book();
    book.resize(book.size() - 2);  // no marker at all
    install_main(book);
    EXPECT_EQ(candidates(probe(START_TEXT)), (Moves{"e2e4", "d2d4"}));
    book.push_back(12);  // and an odd length: half a record at the end
    install_main(book);
    EXPECT_EQ(probe(START_TEXT).count, 2);
    install_tour({0x00, 0xFF});  // a tournament book ending on a possible odd marker
    EXPECT_EQ(probe(START_TEXT).count, 2);
}

TEST_F(BookProbeTest, KingAndPawnMovesAtTheEdgeStayOnTheBoard) {
    // Kings "castling" off the board's edge and pawns sliding diagonally onto border cells. A
    // position the book does not hold makes every line replay to its end.
    install_main(book_of_lines({{"e2e3", "a7a6", "f1e2", "a6a5", "e1f1", "a5a4", "g1h3", "a4a3",
                                 "f1h1", "h7h6"},
                                {"d2d3", "a7a6", "c1d2", "a6a5", "b1a3", "a5a4", "d1c1", "h7h6",
                                 "e1d1", "h6h5", "d1b1", "g7g6"},
                                {"b1c3", "g8f6", "a2b1", "h7g8"}}));
    EXPECT_EQ(probe("8/8/8/8/8/8/8/K6k w ").count, 0);
    // The last line's pawns stand on b1 and g8; no border cell was touched.
    EXPECT_EQ(book_board[book_cell_of_book_square(book_square("b1"))], BOOK_WHITE_PAWN);
    EXPECT_EQ(book_board[book_cell_of_book_square(book_square("g8"))], BOOK_BLACK_PAWN);
    for (int cell = 0; cell < BOOK_BOARD_SIZE; cell++) {
        bool border = cell % 10 == 0 || cell % 10 == 9;
        if (border) {
            EXPECT_EQ(book_board[cell], BOOK_BORDER) << cell;
        }
    }
}

TEST_F(BookProbeTest, BookMakeMoveKeepsTheKeyCurrent) {
    // After any sequence of plain moves, the incremental key equals the key from scratch.
    const char* line[] = {"e2e4", "d7d5", "e4d5", "d8d5", "b1c3", "d5a5", "g1f3", "c8g4"};
    std::memcpy(book_board, book_start_board, sizeof book_board);
    book_key = compute_book_key();
    ASSERT_EQ(book_key.a, BOOK_START_KEY_A);  // the made tables give the fixed start key
    ASSERT_EQ(book_key.b, BOOK_START_KEY_B);
    for (const char* move : line) {
        book_make_move(book_cell_of_book_square(book_square(move)),
                       book_cell_of_book_square(book_square(move + 2)));
        BookKey fresh = compute_book_key();
        EXPECT_EQ(book_key.a, fresh.a) << move;
        EXPECT_EQ(book_key.b, fresh.b) << move;
    }
    book_make_move(-1, 500);  // cells that do not exist change nothing
    EXPECT_EQ(book_key.a, compute_book_key().a);
}

// --- The position text and the book step ------------------------------------------------------

// Puts a FEN placement on the global position directly, without the board's setup.
void place(const char* placement, int side) {
    static const char letters[] = "pnbrqk";
    int q = 0;
    for (const char* c = placement; *c && q < 64; c++) {
        if (*c == '/') continue;
        if (*c >= '1' && *c <= '8') {
            for (int k = 0; k < *c - '0'; k++, q++) pos.piece[q] = pos.color[q] = EMPTY;
            continue;
        }
        char lower = char(*c | 0x20);
        pos.piece[q] = int(std::strchr(letters, lower) - letters);
        pos.color[q] = (*c == lower) ? BLACK : WHITE;
        q++;
    }
    pos.side = side;
    pos.game_ply = 0;
}

TEST_F(BookProbeTest, PositionTextIsThePlacementAndTheSide) {
    char text[BOOK_TEXT_SIZE];
    place("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR", WHITE);
    book_position_text(text);
    EXPECT_STREQ(text, START_TEXT);
    place("r3k2r/8/8/3pP3/8/8/8/R3K2R", BLACK);
    book_position_text(text);
    EXPECT_STREQ(text, "r3k2r/8/8/3pP3/8/8/8/R3K2R b ");
}

class BookStepTest : public BookProbeTest {
protected:
    void SetUp() override {
        BookProbeTest::SetUp();
        install_main(example_book());
        book_loaded = 1;
        book_misses = 0;
        search_mode = MODE_THINK;
        std::strcpy(Variant, "normal");
    }
    void TearDown() override {
        book_loaded = 0;
        book_misses = 0;
        search_mode = 0;
        BookProbeTest::TearDown();
    }
};

TEST_F(BookStepTest, ThreeMissesInARowSwitchTheBookOff) {
    place("rnbqkbnr/pppppppp/8/8/3P4/8/PPP1PPPP/RNBQKBNR", BLACK);  // after 1. d4: not in the book
    Move move = NO_MOVE;
    for (int i = 1; i <= 3; i++) {
        EXPECT_FALSE(book_step(&move));
        EXPECT_EQ(book_misses, i);
    }
    EXPECT_FALSE(book_step(&move));
    EXPECT_EQ(book_misses, BOOK_MAX_MISSES);  // no longer asked, no longer counted
}

TEST_F(BookStepTest, OnlyAskedWhenThinkingEarlyInNormalChess) {
    place("rnbqkbnr/pppppppp/8/8/3P4/8/PPP1PPPP/RNBQKBNR", BLACK);
    Move move = NO_MOVE;
    search_mode = MODE_PONDER;
    EXPECT_FALSE(book_step(&move));
    search_mode = MODE_ANALYZE;
    EXPECT_FALSE(book_step(&move));
    search_mode = MODE_THINK;
    std::strcpy(Variant, "fischerandom");
    EXPECT_FALSE(book_step(&move));
    std::strcpy(Variant, "normal");
    pos.game_ply = BOOK_MAX_GAME_PLY;
    EXPECT_FALSE(book_step(&move));
    pos.game_ply = 0;
    book_loaded = 0;
    EXPECT_FALSE(book_step(&move));
    EXPECT_EQ(book_misses, 0);  // none of these asked the book
    book_loaded = 1;
    EXPECT_FALSE(book_step(&move));
    EXPECT_EQ(book_misses, 1);
}

TEST_F(BookStepTest, PlaysTheBookMoveAsTheGeneratorKnowsIt) {
    if (!hash_table) alloc_tables();  // setting up a position clears the tables
    init_hash_keys();
    ASSERT_TRUE(setup_position("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNRwKQkq-"));
    uint64_t key = pos.hash_key;
    book_draw = [] { return 9; };  // the second candidate, d2d4
    Move move = NO_MOVE;
    testing::internal::CaptureStdout();
    ASSERT_TRUE(book_step(&move));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "0 0 0 0 Book move\n");
    EXPECT_EQ(move.from, 51);  // d2
    EXPECT_EQ(move.to, 35);    // d4
    EXPECT_EQ(move.type, MOVE_DOUBLE_PUSH);
    EXPECT_EQ(pos.hash_key, key);
    EXPECT_EQ(pos.game_ply, 0);

    // Castling comes back as the generator's castling move.
    install_main(book_of_lines({{"e2e4", "e7e5", "g1f3", "b8c6", "f1c4", "f8c5", "e1g1"}}));
    ASSERT_TRUE(setup_position("r1bqk1nr/pppp1ppp/2n5/2b1p3/2B1P3/5N2/PPPP1PPP/RNBQK2RwKQkq-"));
    testing::internal::CaptureStdout();
    ASSERT_TRUE(book_step(&move));
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(move.type, MOVE_CASTLE);
    EXPECT_EQ(move.to, 62);
}

TEST_F(BookStepTest, MovesTheBoardRefusesAreDropped) {
    if (!hash_table) alloc_tables();
    init_hash_keys();
    // e2e5 is no move; e1e2 is, but not with the pawn still on e2.
    install_main(book_of_lines({{"e2e5"}, {"e1e2"}}));
    ASSERT_TRUE(setup_position("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNRwKQkq-"));
    for (int r : {0, 9}) {
        book_draw = [] { return 0; };
        if (r) book_draw = [] { return 9; };
        Move move = NO_MOVE;
        testing::internal::CaptureStdout();
        EXPECT_FALSE(book_step(&move));
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
        EXPECT_EQ(book_misses, 0);  // the book did answer
    }
}

}  // namespace
