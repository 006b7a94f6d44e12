// Book probing: the walk over book lines, the weighted choice, hostile books and texts, the book step.
#include <gtest/gtest.h>

#include "book/book_fixture.h"

using namespace book_test;

namespace {

const char* AFTER_E4 = "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b ";

struct ProbeCase {
    const char* what;
    Bytes main, tour;  // installed as given; empty: none
    const char* text;
    Moves moves;       // the candidates, in the order found
    int result = 0;
};

class BookProbeTest : public ::testing::Test {
protected:
    void SetUp() override {
        free_book();
        make_random_tables(SEED, book_random1, book_random2);
    }
    void TearDown() override {
        free_book();
        book_draw = std::rand;
    }
    static void check(const ProbeCase& c) {
        SCOPED_TRACE(c.what);
        free_book();
        if (!c.main.empty()) install(&main_book, &main_book_size, c.main);
        if (!c.tour.empty()) install(&tour_book, &tour_book_size, c.tour);
        BookProbe result;
        result.count = 7;
        EXPECT_EQ(probe_book_with_draw(c.text, 0, &result), c.result);
        EXPECT_EQ(candidates(result), c.moves);
        // Draw 0 picks the first candidate.
        EXPECT_EQ(std::string(result.from_text) + result.to_text, c.moves.empty() ? "" : c.moves[0]);
        // Whatever the book held, the walk wrote no border cell.
        for (int cell = 0; cell < BOOK_BOARD_SIZE; cell++)
            ASSERT_TRUE(cell % 10 % 9 != 0 || book_board[cell] == BOOK_BORDER) << cell;
    }
};

TEST_F(BookProbeTest, LinesAreReplayedToTheProbedPosition) {
    const Bytes EX = example_book();
    const Bytes unplayable = {76, 28, 244, 100, 0xFF, 0xFF};  // 1. e4 without the playable mark, 1... e5
    const Bytes replays = book_of_lines({{"e2e4", "e7e5", "g1f3", "b8c6", "f1c4", "f8c5", "e1g1", "g8f6"},
                                         {"e2e4", "a7a6", "e4e5", "d7d5", "e5d6", "c7d6"},
                                         {"d2d4", "d7d5", "c1f4", "c8f5", "b1c3", "b8c6", "d1d2", "d8d7",
                                          "e1c1", "e8c8", "a2a3"}});
    const ProbeCase cases[] = {
        {"example: e2e4 found twice, kept once", EX, {}, START_TEXT, {"e2e4", "d2d4"}},
        {"example after 1. e4", EX, {}, AFTER_E4, {"e7e5", "c7c5"}},
        {"after 1. e4 with White to move: odd plies only", EX, {},
         "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR w ", {}},
        {"the start with Black to move", EX, {}, "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b ", {}},
        {"a move without the playable mark is no candidate", unplayable, {}, START_TEXT, {}},
        {"but the walk goes through it", unplayable, {}, AFTER_E4, {"e7e5"}},
        {"transposition: 1. g3 Nf6 2. Nf3", book_of_lines({{"g1f3", "g8f6", "g2g3", "g7g6"}}), {},
         "rnbqkb1r/pppppppp/5n2/8/8/5NP1/PPPPPP1P/RNBQKB1R b ", {"g7g6"}},
        {"short castling", replays, {}, "r1bqk1nr/pppp1ppp/2n5/2b1p3/2B1P3/5N2/PPPP1PPP/RNBQ1RK1 b ", {"g8f6"}},
        {"en passant", replays, {}, "rnbqkbnr/1pp1pppp/p2P4/8/8/8/PPPP1PPP/RNBQKBNR b ", {"c7d6"}},
        {"long castling", replays, {}, "2kr1bnr/pppqpppp/2n5/3p1b2/3P1B2/2N5/PPPQPPPP/2KR1BNR w ", {"a2a3"}},
        {"the tournament book comes first", EX, book_of_lines({{"c2c4"}, {"d2d4"}}), START_TEXT, {"c2c4", "d2d4"}},
        {"nothing there: the main book", EX, book_of_lines({{"c2c4"}}), AFTER_E4, {"e7e5", "c7c5"}},
    };
    for (const ProbeCase& c : cases) check(c);
}

TEST_F(BookProbeTest, HostileBooksAndTextsStayInsideTheirBuffers) {
    Bytes deep;  // a line deeper than the line array, after a candidate found before the damage
    add_record(&deep, "e2e4", BOOK_END_OF_LINE, BOOK_PLAYABLE);
    for (int i = 0; i < 3 * BOOK_LINE_SIZE; i++) add_record(&deep, i % 2 ? "g8f6" : "g1f3", 0, 64);
    add_record(&deep, "d2d4", BOOK_END_OF_LINE | BOOK_LAST_ALTERNATIVE, BOOK_PLAYABLE);
    Bytes crowd;  // every square's "move" to a4, one line each: more candidates than the array holds
    Moves kept;
    for (int s = 0; s < 64; s++) {
        crowd.insert(crowd.end(), {(unsigned char)(s | BOOK_END_OF_LINE), (unsigned char)(24 | BOOK_PLAYABLE)});
        if (s < BOOK_MAX_CANDIDATES) kept.push_back(std::string{char('a' + s % 8), char('1' + s / 8)} + "a4");
    }
    for (Bytes* book : {&deep, &crowd}) book->insert(book->end(), {0xFF, 0xFF});
    // A tournament book whose marker stands at an odd offset: c2c4, a1 and its next byte, g1f3.
    const Bytes odd_marker = {138, 90, 0x00, 0xFF, 0xFF, 0x00, 198, 85, 0xFF, 0xFF};
    const Bytes EX = example_book();
    const Bytes unmarked(EX.begin(), EX.end() - 2);
    Bytes half_record = unmarked;
    half_record.push_back(12);
    // Kings "castling" off the edge and pawns sliding onto border cells, replayed to their ends.
    const Bytes edges = book_of_lines({{"e2e3", "a7a6", "f1e2", "a6a5", "e1f1", "a5a4", "g1h3", "a4a3",
                                        "f1h1", "h7h6"},
                                       {"d2d3", "a7a6", "c1d2", "a6a5", "b1a3", "a5a4", "d1c1", "h7h6",
                                        "e1d1", "h6h5", "d1b1", "g7g6"},
                                       {"b1c3", "g8f6", "a2b1", "h7g8"}});
    const ProbeCase cases[] = {
        {"a line deeper than the line array stops the walk", deep, {}, START_TEXT, {"e2e4"}},
        {"candidates beyond the array are dropped", crowd, {}, START_TEXT, kept},
        {"no end marker", unmarked, {}, START_TEXT, {"e2e4", "d2d4"}},
        {"half a record at the end", half_record, {}, START_TEXT, {"e2e4", "d2d4"}},
        {"a tournament book ending on a possible odd marker", half_record, {0x00, 0xFF}, START_TEXT,
         {"e2e4", "d2d4"}},
        {"a tournament marker at an odd offset ends that book", {}, odd_marker, START_TEXT, {"c2c4"}},
        {"king and pawn moves at the edge", edges, {}, "8/8/8/8/8/8/8/K6k w ", {}},
        {"the square counter passes 64", EX, {}, "8/8/8/8/8/8/8/9 w ", {}},
        {"empty text", EX, {}, "", {}, 3},
        {"placement cut short", EX, {}, "rnbqkbnr/pppppppp/8/8", {}, 3},
        {"no side", EX, {}, "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR", {}, 3},
        {"no space before the side", EX, {}, "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNRw ", {}, 3},
        {"bad side", EX, {}, "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR x ", {}, 3},
        {"bad piece letter", EX, {}, "rnbqkxnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w ", {}, 3},
    };
    for (const ProbeCase& c : cases) check(c);
}

TEST_F(BookProbeTest, ChoiceFollowsTheWeightsOfTheFindingOrder) {
    // Share of each candidate over r = 0..63.
    const std::vector<std::vector<int>> shares = {{64}, {44, 20}, {40, 16, 8}, {36, 16, 8, 4}};
    for (int count = 1; count <= 4; count++) {
        std::vector<int> share(count, 0);
        for (int r = 0; r < 64; r++) share[book_choose(count, r)]++;
        EXPECT_EQ(share, shares[count - 1]) << count;
    }
    // Three candidates: the walk wraps around with what is left of r; only r mod 64 counts.
    EXPECT_EQ(book_choose(3, 64 + 9), 1);
    EXPECT_EQ(book_choose(3, 15), 0);
    EXPECT_EQ(book_choose(0, 5), -1);
    // The candidates past the weighted ones are never chosen.
    for (int r = 0; r < 64; r++) EXPECT_LT(book_choose(BOOK_MAX_CANDIDATES, r), BOOK_WEIGHTS) << r;
    // The draw is injectable and taken mod 9999 first: 9 picks the second of two.
    install(&main_book, &main_book_size, example_book());
    book_draw = [] { return 9999 + 9; };
    BookProbe result;
    ASSERT_EQ(probe_book(START_TEXT, &result), 0);
    EXPECT_EQ(std::string(result.from_text) + result.to_text, "d2d4");
}

TEST_F(BookProbeTest, StartKeyIsFixedForAnyTables) {
    for (uint32_t seed : {0u, 1u, SEED, 0xFFFFFFFFu}) {
        make_random_tables(seed, book_random1, book_random2);
        std::memcpy(book_board, book_start_board, sizeof book_board);
        BookKey key = compute_book_key();
        EXPECT_TRUE(key.a == BOOK_START_KEY_A && key.b == BOOK_START_KEY_B) << seed;
    }
}

TEST_F(BookProbeTest, BookStepPlaysOnlyMovesTheBoardAllows) {
    init_hash_keys();
    book_loaded = 1;
    book_misses = 0;
    std::strcpy(Variant, "normal");
    Move move = NO_MOVE;
    // e2e5 is no move; e1e2 is, but not with the pawn still on e2. The book did answer: no miss.
    install(&main_book, &main_book_size, book_of_lines({{"e2e5"}, {"e1e2"}}));
    ASSERT_TRUE(setup_position(game, "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNRwKQkq-"));
    for (int (*draw)() : {+[] { return 0; }, +[] { return 9; }}) {
        book_draw = draw;
        EXPECT_FALSE(book_step(&move));
        EXPECT_EQ(book_misses, 0);
    }
    // Castling comes back as the generator's castling move.
    install(&main_book, &main_book_size,
            book_of_lines({{"e2e4", "e7e5", "g1f3", "b8c6", "f1c4", "f8c5", "e1g1"}}));
    ASSERT_TRUE(setup_position(game, "r1bqk1nr/pppp1ppp/2n5/2b1p3/2B1P3/5N2/PPPP1PPP/RNBQK2RwKQkq-"));
    testing::internal::CaptureStdout();
    ASSERT_TRUE(book_step(&move));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");  // the search shows the book move
    EXPECT_EQ(move.type, MOVE_CASTLE);
    EXPECT_EQ(move.to, 62);
    // Out of the book: three misses in a row switch it off.
    ASSERT_TRUE(setup_position(game, "rnbqkbnr/pppppppp/8/8/3P4/8/PPP1PPPP/RNBQKBNRbKQkq-"));
    for (int i = 0; i < 4; i++) EXPECT_FALSE(book_step(&move));
    EXPECT_EQ(book_misses, BOOK_MAX_MISSES);
    book_loaded = book_misses = 0;
}

}  // namespace
