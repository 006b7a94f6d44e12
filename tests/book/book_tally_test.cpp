// Books from PGN games: what is kept, in which order the engine finds it, and what it then plays.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <set>

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
    Bytes book;
};

// The legal moves of game, promotions left out.
std::vector<Move> legal_moves() {
    MoveList list;
    std::vector<Move> legal;
    for (int i = 0, n = generate_moves(game, list); i < n; i++) {
        if (list[i].type >= MOVE_PROMOTE_QUEEN || !make_move(game, list[i])) continue;
        unmake_move(game);
        legal.push_back(list[i]);
    }
    return legal;
}

std::string move_text(Move move) {
    char text[MOVE_TEXT_SIZE];
    format_move(game, text, move, NOTATION_THINKING);
    return text;
}

// Games that fill memory with moves played once. Each starts 1. a3 a6 2. X Y with a pair (X, Y)
// of its own and goes on at random, never with a move already played in the same position by an
// earlier game. The openings come as short games of their own, played twice, so that every move
// the games share is played often enough.
struct Noise {
    std::string openings, games;
};

Noise noise_games(int count, uint32_t seed) {
    std::mt19937 random(seed);
    std::set<std::string> played;  // position text and move
    Noise noise;
    set_book_start_position();
    auto play = [](const char* word) {
        Move move;
        EXPECT_EQ(play_san_move(word, &move), SAN_OK);
    };
    play("a3");
    play("a6");
    int made = 0;
    for (Move x : legal_moves()) {
        make_move(game, x);
        for (Move y : legal_moves()) {
            if (made == count) break;
            make_move(game, y);
            const std::string opening = "1. a3 a6 2. " + move_text(x) + " " + move_text(y);
            noise.openings += repeat(2, opening + " 1/2-1/2");
            std::string record = opening;
            for (int ply = 4; ply < 24; ply++) {
                char text[BOOK_TEXT_SIZE];
                book_position_text(text);
                std::vector<Move> moves = legal_moves();
                std::shuffle(moves.begin(), moves.end(), random);
                auto fresh = std::find_if(moves.begin(), moves.end(),
                                          [&](Move m) { return played.insert(text + move_text(m)).second; });
                if (fresh == moves.end()) break;
                record += ' ';
                record += move_text(*fresh);
                make_move(game, *fresh);
            }
            noise.games += record + " 1/2-1/2\n\n";
            while (game.game_ply > 3) unmake_move(game);
            made++;
        }
        unmake_move(game);
    }
    while (game.game_ply > 0) unmake_move(game);
    return noise;
}

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
        built.book.resize(book_tree_encode(nullptr, 0));
        book_tree_encode(built.book.data(), built.book.size());
        install(&main_book, &main_book_size, built.book);
        return built;
    }

    // The candidates the engine finds after the moves, in its order, with draw r's choice first.
    static Moves after(const char* moves, int r = 0) {
        EXPECT_EQ(game.game_ply, 0);  // the tally leaves the board at the start
        char word[PGN_WORD_SIZE];
        for (const char* c = moves; std::sscanf(c, "%63s", word) == 1; c = std::strstr(c, word) + std::strlen(word)) {
            Move move;
            EXPECT_EQ(play_san_move(word, &move), SAN_OK) << word;
        }
        char text[BOOK_TEXT_SIZE];
        book_position_text(text);
        BookProbe probe;
        probe_book_with_draw(text, r, &probe);
        Moves found = candidates(probe);
        if (probe.count) found.insert(found.begin(), std::string(probe.from_text) + probe.to_text);
        while (game.game_ply > 0) unmake_move(game);
        return found;
    }
};

TEST_F(BookTally, CandidatesComeMostPlayedFirstThenBestScored) {
    BookTallyOptions both;
    both.sides = BOOK_SIDES_BOTH;
    Built built = build(repeat(3, "1. d4 d5 1/2-1/2") + repeat(5, "1. e4 e5 1/2-1/2") + repeat(2, "1. c4 e5 1/2-1/2") +
                            repeat(2, "1. Nf3 d5 1-0") + "1. b3 e5 1/2-1/2",
                        both);
    EXPECT_EQ(built.counts.games, 13);
    EXPECT_EQ(built.counts.used, 13);
    // Nf3 and c4 were played as often; Nf3 scored better. b3, played once, is not playable.
    EXPECT_EQ(after(""), Moves({"e2e4", "e2e4", "d2d4", "g1f3", "c2c4"}));
    // After 1. c4 e5 is played twice; after 1. b3 once: the line is not written at all.
    EXPECT_EQ(after("c4"), Moves({"e7e5", "e7e5"}));
    EXPECT_EQ(after("b3"), Moves({}));
    EXPECT_EQ(built.positions, 5);  // the start and the replies to d4, e4, c4 and Nf3
    EXPECT_EQ(book_tree_records(), 8);
}

TEST_F(BookTally, ATranspositionTakesTheOrderOfAllItsGames) {
    BookTallyOptions both;
    both.sides = BOOK_SIDES_BOTH;
    // After 1. e4 c5 2. Nf3 and 1. Nf3 c5 2. e4 the position is the same. The first line the book
    // meets it by saw only Nc6; all games together played d6 more often.
    build(repeat(2, "1. e4 c5 2. Nf3 Nc6 *") + repeat(2, "1. e4 e5 *") + repeat(3, "1. Nf3 c5 2. e4 d6 *"), both);
    EXPECT_EQ(after(""), Moves({"e2e4", "e2e4", "g1f3"}));
    EXPECT_EQ(after("e4 c5 Nf3"), Moves({"d7d6", "d7d6", "b8c6"}));
    EXPECT_EQ(after("Nf3 c5 e4"), Moves({"d7d6", "d7d6", "b8c6"}));
    EXPECT_EQ(after("Nf3 c5"), Moves({"e2e4", "e2e4"}));
    // The position's moves are written once: the second way in ends where it meets them.
    EXPECT_EQ(book_tree_records(), 9);  // e4 c5 Nf3 d6 Nc6, e5, then Nf3 c5 e4 and no more
}

TEST_F(BookTally, WhoseMovesAreRecommended) {
    const std::string games = repeat(2, "1. b3 e5 2. Bb2 Nc6 0-1") + repeat(2, "1. e4 c5 2. Nf3 d6 1-0") +
                              repeat(2, "1. d4 d5 2. c4 e6 1/2-1/2") + repeat(2, "1. g3 g6 2. Bg2 Bg7 *") +
                              repeat(2, "[Event \"unfinished\"]\n1. c4 c5 2. Nc3 Nc6");  // no result at all
    struct Case {
        const char* what;
        int sides;
        Moves start, after_b3, after_e4;
        int used;
    };
    const Case cases[] = {
        // Losers' moves stay to reach the winners' answers, but are never played.
        {"winner", BOOK_SIDES_WINNER, {"e2e4", "e2e4", "d2d4"}, {"e7e5", "e7e5"}, {}, 6},
        {"both", BOOK_SIDES_BOTH, {"e2e4", "e2e4", "d2d4", "g2g3", "c2c4", "b2b3"}, {"e7e5", "e7e5"}, {"c7c5", "c7c5"}, 10},
        {"white", BOOK_SIDES_WHITE, {"e2e4", "e2e4", "d2d4", "g2g3", "c2c4", "b2b3"}, {}, {}, 10},
        {"black", BOOK_SIDES_BLACK, {}, {"e7e5", "e7e5"}, {"c7c5", "c7c5"}, 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        BookTallyOptions options;
        options.sides = c.sides;
        Built built = build(games, options);
        EXPECT_EQ(built.counts.used, c.used);
        EXPECT_EQ(built.counts.skipped, 10 - c.used);
        EXPECT_EQ(after(""), c.start);
        EXPECT_EQ(after("b3"), c.after_b3);
        EXPECT_EQ(after("e4"), c.after_e4);
    }
}

TEST_F(BookTally, GamesLeftOutWholeAndCut) {
    const std::string games =
        repeat(2, "[WhiteElo \"2500\"]\n[BlackElo \"2400\"]\n1. e4 e5 1/2-1/2") +
        repeat(2, "[WhiteElo \"2500\"]\n[BlackElo \"1900\"]\n1. d4 d5 1/2-1/2") +
        repeat(2, "1. c4 c5 1/2-1/2") +  // unrated
        repeat(2, "[FEN \"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1\"]\n1. Nf3 Nf6 1/2-1/2") +
        repeat(2, "[SetUp \"1\"]\n[FEN \"4k3/8/8/8/8/8/4P3/4K3 w - - 0 1\"]\n1. e4 Kd7 1/2-1/2") +
        repeat(2, "[SetUp \"1\"]\n1. g3 g6 1/2-1/2") +  // set up, but from where?
        repeat(2, "[Variant \"Chess960\"]\n1. b3 b6 1/2-1/2") + repeat(2, "[Variant \"Standard\"]\n1. f4 f5 1/2-1/2") +
        repeat(2, "1/2-1/2");  // no move
    Built built = build(games);
    EXPECT_EQ(built.counts.games, 18);
    EXPECT_EQ(built.counts.used, 10);
    EXPECT_EQ(built.counts.skipped, 8);
    EXPECT_EQ(built.errors, "");
    EXPECT_EQ(after(""), Moves({"e2e4", "e2e4", "d2d4", "c2c4", "g1f3", "f2f4"}));

    BookTallyOptions rated;
    rated.min_elo = 2000;
    built = build(games, rated);
    EXPECT_EQ(built.counts.used, 2);
    EXPECT_EQ(after(""), Moves({"e2e4", "e2e4"}));

    BookTallyOptions short_lines;
    short_lines.plies = 1;
    build(games, short_lines);
    EXPECT_EQ(after("e4"), Moves({}));
    EXPECT_EQ(book_tree_records(), 5);
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
    EXPECT_EQ(built.counts.games, 6);
    EXPECT_EQ(built.counts.used, 5);
    EXPECT_EQ(built.counts.skipped, 1);
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

TEST_F(BookTally, RepeatedPositionsEndTheWalk) {
    BookTallyOptions both;
    both.sides = BOOK_SIDES_BOTH;
    build(repeat(2, "1. Nf3 Nf6 2. Ng1 Ng8 3. Nf3 Nf6 4. Ng1 Ng8 5. e4 e5 *"), both);
    EXPECT_EQ(after(""), Moves({"g1f3", "g1f3", "e2e4"}));
    EXPECT_EQ(after("Nf3 Nf6 Ng1 Ng8 e4"), Moves({"e7e5", "e7e5"}));
}

// A budget the collection overflows: what a pass forgets is what the book would have left out.
TEST_F(BookTally, WithinASmallBudgetTheBookIsTheSameWhenEveryMoveItHoldsRepeats) {
    const Noise noise = noise_games(300, 7);
    // Winners' answers behind losers' moves; a French reached first through a rarer order under
    // 1. e4, so the walk writes it there, behind two moves played once.
    const std::string games = repeat(5, "1. e4 c5 2. Nf3 d6 3. d4 cxd4 0-1") + repeat(4, "1. e4 e5 2. Nf3 Nc6 1/2-1/2") +
                              repeat(3, "1. d4 e6 2. e4 d5 3. Nc3 Nf6 1/2-1/2") + "1. e4 e6 2. d4 d5 3. Nc3 1/2-1/2\n\n" +
                              repeat(2, "1. c4 e5 2. Nc3 Nf6 1-0") + noise.openings + noise.games;
    Built exact = build(games);
    EXPECT_EQ(exact.counts.forget_passes, 0);
    EXPECT_EQ(after("e4 e6 d4"), Moves({"d7d5", "d7d5"}));

    BookTallyOptions small;
    small.memory = 48 << 10;
    Built bounded = build(games, small);
    EXPECT_GT(bounded.counts.forget_passes, 2);
    EXPECT_EQ(bounded.counts.forgotten_at_most, 1u);
    EXPECT_EQ(bounded.positions, exact.positions);
    EXPECT_EQ(bounded.book, exact.book);

    // A budget too small for the book forgets moves played more than once, and still ends with
    // the most played.
    BookTallyOptions tiny;
    tiny.memory = 8 << 10;
    bounded = build(noise.openings + repeat(40, "1. e4 e5 1/2-1/2") + noise.games, tiny);
    EXPECT_GT(bounded.counts.forgotten_at_most, 1u);
    EXPECT_EQ(after("e4"), Moves({"e7e5", "e7e5"}));
}

}  // namespace
