// What the shell prints about the game, in-process: move lines and game-end adjudication.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell/shell.h"

namespace {

void set_up(const char* text) {
    set_variant("normal");
    ASSERT_TRUE(setup_position(game, text)) << text;
}

template <typename F>
std::string printed_by(F f) {
    testing::internal::CaptureStdout();
    f();
    fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

// The result line check_game_end prints now (empty for none).
std::string verdict() {
    return printed_by([&] { check_game_end(); });
}

// Plays the words, each silently accepted; returns the verdict after the last one.
std::string play(const std::vector<const char*>& words) {
    for (const char* w : words) EXPECT_EQ(printed_by([&] { parse_user_move(w); }), "") << w;
    return verdict();
}

constexpr const char* START = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNRwKQkq-";
const std::vector<const char*> DANCE = {"g1f3", "g8f6", "f3g1", "f6g8"};

TEST(MoveText, PrintedMoveLinesAndTypes) {
    set_up(START);
    const struct {
        const char* variant;
        int from, to, type;
        const char* line;
    } cases[] = {
        {"normal", 52, 36, MOVE_DOUBLE_PUSH, "move e2e4 \n"},
        {"normal", 12, 4, MOVE_PROMOTE_KNIGHT, "move e7e8n\n"},
        {"normal", 60, 62, MOVE_CASTLE, "move e1g1 \n"},  // normal chess: the king's step
        {"fischerandom", 4, 6, MOVE_CASTLE, "move O-O\n"},
        {"fischerandom", 60, 58, MOVE_CASTLE, "move O-O-O\n"},
        {"fischerandom", 60, 62, MOVE_NORMAL, "move e1g1 \n"},
    };
    for (const auto& c : cases) {
        set_variant(c.variant);
        EXPECT_EQ(printed_by([&] { print_move({c.from, c.to, c.type, 0}); }), c.line);
    }
    set_variant("normal");
    EXPECT_EQ(move_type_from_text(game, 52, 36, "e2e4"), MOVE_DOUBLE_PUSH);
    EXPECT_EQ(move_type_from_text(game, 52, -4, "e2e9"), 0);  // off the board: never looked up
    set_up("rnbqkbnr/ppp1pppp/8/3pP3/8/8/PPPP1PPP/RNBQKBNRwKQkqd6");
    EXPECT_EQ(move_type_from_text(game, 28, 19, "e5d6"), MOVE_EN_PASSANT);
}

// Mates are checked through the protocol.
TEST(GameEnd, StalemateAndFiftyMoves) {
    set_up("7k/5Q2/6K1/8/8/8/8/8b--");
    game.fifty = 100;
    EXPECT_EQ(verdict(), "1/2-1/2 {Stalemate}\n");  // stalemate comes before every draw
    set_up("4k3/8/8/8/8/8/8/R3K3w--");
    game.fifty = 99;
    EXPECT_EQ(verdict(), "");
    game.fifty = 100;
    EXPECT_EQ(verdict(), "1/2-1/2 {Draw by 50 move rule}\n");
}

TEST(GameEnd, RepetitionOnlyAtTheThirdTime) {
    set_up(START);
    EXPECT_EQ(play(DANCE), "");  // second time
    EXPECT_EQ(play(DANCE), "1/2-1/2 {Draw by repetition}\n");
    // Repetition comes before fifty moves, and a fifty counter beyond the recorded game
    // reaches no entry below the history.
    int fifty = game.fifty;
    game.fifty = 100;
    EXPECT_EQ(verdict(), "1/2-1/2 {Draw by repetition}\n");
    game.fifty = fifty;
    EXPECT_EQ(play(DANCE), "");  // fourth time: no line
    EXPECT_EQ(repetition_count(game, MAX_GAME_PLY), 3);
    EXPECT_EQ(repetition_count(game, 1), 1);  // the search's question: is there any earlier one?
    set_up(START);
    play(DANCE);
    play({"e2e3", "e7e6"});  // irreversible: earlier positions no longer count
    EXPECT_EQ(play(DANCE), "");
    EXPECT_EQ(repetition_count(game, MAX_GAME_PLY), 1);
}

TEST(GameEnd, InsufficientMaterial) {
    const struct {
        const char* position;
        int expected;
    } cases[] = {
        {"8/8/8/4k3/8/8/8/4K3w--", 1},     {"8/8/8/4k3/8/8/8/2B1K3w--", 1},
        {"8/8/8/4k3/8/8/8/1N2K3w--", 1},   {"2b5/8/8/4k3/8/8/8/4K3w--", 1},
        {"8/8/8/3nk3/8/8/8/1N2K3w--", 0},  // knight against knight: mate possible
        {"8/8/8/3bk3/8/8/8/1N2K3w--", 0},  {"8/8/8/4k3/8/8/8/NN2K3w--", 0},
        {"5b2/8/8/4k3/8/8/8/2B1K3w--", 1},  // c1 and f8: both dark
        {"2b5/8/8/4k3/8/8/8/2B1K3w--", 0},  // c1 dark, c8 light
        {"8/8/8/4k3/8/8/8/R3K3w--", 0},    {"8/8/8/4k3/8/8/4P3/4K3w--", 0},
        {"8/4p3/8/4k3/8/8/8/2B1K3w--", 0},
    };
    for (const auto& c : cases) {
        set_up(c.position);
        EXPECT_EQ(insufficient_material(), c.expected) << c.position;
        EXPECT_EQ(verdict(), c.expected ? "1/2-1/2 {Draw by insufficient material}\n" : "")
            << c.position;
    }
}

}  // namespace
