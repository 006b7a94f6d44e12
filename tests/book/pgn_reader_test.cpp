// The PGN reader: games, tags and main-line words out of every kind of PGN text, with line numbers.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "book/book.h"

namespace {

struct ReadGame {
    PgnTags tags;
    std::vector<std::string> words;  // "WORD@LINE"
    int termination;
};

struct ReadAll {
    std::vector<ReadGame> games;
    std::string errors;
};

ReadAll read_all(const std::string& text) {
    ReadAll all;
    FILE* file = fmemopen(const_cast<char*>(text.data()), text.size(), "rb");
    if (!file) return all;
    testing::internal::CaptureStderr();
    auto reader = std::make_unique<PgnReader>(file, "t.pgn");
    PgnTags tags;
    while (reader->next_game(&tags)) {
        ReadGame game{tags, {}, PGN_UNKNOWN};
        char word[PGN_WORD_SIZE];
        int line;
        while (reader->next_move(word, &line)) game.words.push_back(std::string(word) + "@" + std::to_string(line));
        game.termination = reader->termination();
        all.games.push_back(game);
    }
    all.errors = testing::internal::GetCapturedStderr();
    std::fclose(file);
    return all;
}

using Words = std::vector<std::string>;

TEST(PgnReader, MovetextWordsAndWhatIsPassedOver) {
    struct Case {
        const char* what;
        std::string text;
        Words words;
        int termination;
        const char* errors = "";
    };
    const Case cases[] = {
        {"move numbers in every spelling", "1. e4 e5 2.Nf3 2... Nc6 3 Bb5 3...a6 12.O-O *", {"e4@1", "e5@1", "Nf3@1", "Nc6@1", "Bb5@1", "a6@1", "O-O@1"}, PGN_UNKNOWN},
        {"annotations and NAGs", "1. e4! e5?! $14 2. Nf3 !? +- $1 Nc6 1-0", {"e4!@1", "e5?!@1", "Nf3@1", "Nc6@1"}, PGN_WHITE_WINS},
        {"brace and line comments over lines", "1. e4 {a comment\n over 1. d4 lines} e5 ; 2. c4 to the end\n2. Nf3 0-1",
         {"e4@1", "e5@2", "Nf3@3"}, PGN_BLACK_WINS},
        {"nested variations", "1. e4 (1. d4 d5 (1... Nf6 2. c4) 2. c4) e5 (1... c5 2. Nf3 (2. c3)) 2. Nf3 1/2-1/2",
         {"e4@1", "e5@1", "Nf3@1"}, PGN_DRAW},
        {"a variation inside a comment is text", "1. e4 {see (1. d4} e5 {)} 2. Nf3 *", {"e4@1", "e5@1", "Nf3@1"}, PGN_UNKNOWN},
        {"a comment inside a variation may hold a parenthesis", "1. e4 (1. d4 {a ) here} d5 ; and ( there\n) e5 *",
         {"e4@1", "e5@2"}, PGN_UNKNOWN},
        {"escape lines", "%escaped 1. d4\n1. e4 e5\n% 2. c4\n2. Nf3 *", {"e4@2", "e5@2", "Nf3@4"}, PGN_UNKNOWN},
        {"a percent sign inside a line is no escape", "1. e4 e5 %2. c4\n*", {"e4@1", "e5@1", "%2.@1", "c4@1"}, PGN_UNKNOWN},
        {"Windows line ends and a byte order mark", "\xEF\xBB\xBF[Event \"x\"]\r\n\r\n1. e4\r\ne5 {a\r\nb} Nf3\r\n*\r\n",
         {"e4@3", "e5@4", "Nf3@5"}, PGN_UNKNOWN},
        {"en passant suffix and evaluation glyphs", "1. e4 d5 2. e5 f5 3. exf6 e.p. = 1-0", {"e4@1", "d5@1", "e5@1", "f5@1", "exf6@1"}, PGN_WHITE_WINS},
        {"a cut word", "1. " + std::string(100, 'N') + " *", {std::string(PGN_WORD_SIZE - 1, 'N') + "@1"}, PGN_UNKNOWN},
        {"stray closers", "1. e4 ) } ] e5 *", {"e4@1", "e5@1"}, PGN_UNKNOWN},
        // What is left open is reported where it opened, and swallows the rest.
        {"comment not closed", "1. e4 e5\n2. Nf3 {never closed\n\n[Event \"swallowed\"]\n1. d4 *\n",
         {"e4@1", "e5@1", "Nf3@2"}, PGN_UNKNOWN, "t.pgn:2: comment not closed\n"},
        {"variation not closed", "1. e4 (1. d4 {a } d5\n2. c4\n", {"e4@1"}, PGN_UNKNOWN, "t.pgn:1: variation not closed\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ReadAll all = read_all(c.text);
        ASSERT_EQ(all.games.size(), 1u);
        EXPECT_EQ(all.games[0].words, c.words);
        EXPECT_EQ(all.games[0].termination, c.termination);
        EXPECT_EQ(all.errors, c.errors);
    }
}

TEST(PgnReader, TagsAndGameBoundaries) {
    ReadAll all = read_all(
        "[Event \"Quoted \\\"name\\\" and \\\\\"]\n[WhiteElo \"2450\"]\n[BlackElo \"?\"]\n[Result \"1-0\"]\n"
        "[FEN \"8/8/8/8/8/8/8/K6k w - - 0 1\"]\n[SetUp \"1\"]\n[Variant \"Chess960\"]\n\n1. e4 1-0\n\n"
        // no tags, and a result that ends the game before the next words
        "1. d4 d5 0-1 1. c4\n"
        // no termination marker: the next tag pair begins a game
        "[Result \"1/2-1/2\"]\n1. Nf3\n[Event \"last\"]\n"
        // a malformed tag pair is reported and passed over
        "[Broken value]\n[Round \"3\"]\n1. g3 *");
    ASSERT_EQ(all.games.size(), 5u);
    const PgnTags& t = all.games[0].tags;
    EXPECT_EQ(std::string(t.fen), "8/8/8/8/8/8/8/K6k w - - 0 1");
    EXPECT_EQ(std::string(t.set_up), "1");
    EXPECT_EQ(std::string(t.variant), "Chess960");
    EXPECT_EQ(t.white_elo, 2450);
    EXPECT_EQ(t.black_elo, 0);
    EXPECT_EQ(t.result, PGN_WHITE_WINS);
    EXPECT_EQ(all.games[0].words, Words({"e4@9"}));

    EXPECT_EQ(all.games[1].words, Words({"d4@11", "d5@11"}));
    EXPECT_EQ(all.games[1].termination, PGN_BLACK_WINS);
    EXPECT_EQ(all.games[1].tags.result, PGN_UNKNOWN);
    EXPECT_EQ(all.games[2].words, Words({"c4@11"}));  // what follows a marker is a game of its own
    EXPECT_EQ(all.games[2].tags.result, PGN_UNKNOWN);

    EXPECT_EQ(all.games[3].words, Words({"Nf3@13"}));
    EXPECT_EQ(all.games[3].termination, PGN_UNKNOWN);
    EXPECT_EQ(all.games[3].tags.result, PGN_DRAW);

    EXPECT_EQ(all.games[4].words, Words({"g3@17"}));
    EXPECT_EQ(all.errors, "t.pgn:15: unreadable tag pair\n");

    // Files joined into one stream, each with its byte order mark.
    all = read_all("\xEF\xBB\xBF" "1. e4 *\r\n\xEF\xBB\xBF[Event \"b\"]\r\n1. d4 *\r\n");
    ASSERT_EQ(all.games.size(), 2u);
    EXPECT_EQ(all.games[1].words, Words({"d4@3"}));
    EXPECT_EQ(all.errors, "");

    // Tags alone at the end of the input still make a game; blanks alone make none.
    EXPECT_EQ(read_all("[Event \"x\"]\n").games.size(), 1u);
    EXPECT_EQ(read_all("\n \r\n\t").games.size(), 0u);
    EXPECT_EQ(read_all("").games.size(), 0u);
}

TEST(PgnReader, SkippingTheRestOfAGame) {
    // next_game passes over the words the caller did not ask for, markers in comments included.
    std::string text = "1. e4 e5 {1-0} 2. Nf3 (2. f4 0-1) Nc6 1/2-1/2\n1. d4 *\n";
    FILE* file = fmemopen(text.data(), text.size(), "rb");
    ASSERT_NE(file, nullptr);
    auto reader = std::make_unique<PgnReader>(file, "t.pgn");
    PgnTags tags;
    char word[PGN_WORD_SIZE];
    int line;
    ASSERT_TRUE(reader->next_game(&tags));
    ASSERT_TRUE(reader->next_move(word, &line));
    EXPECT_STREQ(word, "e4");
    ASSERT_TRUE(reader->next_game(&tags));
    ASSERT_TRUE(reader->next_move(word, &line));
    EXPECT_STREQ(word, "d4");
    EXPECT_FALSE(reader->next_move(word, &line));
    EXPECT_FALSE(reader->next_game(&tags));
    EXPECT_FALSE(reader->read_failed());
    std::fclose(file);
}

}  // namespace
