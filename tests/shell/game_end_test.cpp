// Game-end adjudication in-process: mate, stalemate, repetition, fifty moves, bare material.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell/shell.h"

namespace {

void set_up(const char* text) {
    static bool keys_ready = false;
    if (!keys_ready) init_hash_keys();
    keys_ready = true;
    set_variant("normal");
    ASSERT_TRUE(setup_position(text)) << text;
}

// The result line check_game_end prints now (empty for none).
std::string verdict() {
    MoveList list;
    pos.ply = 0;
    int n = generate_moves(list);
    testing::internal::CaptureStdout();
    check_game_end(n, list);
    fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

// Plays the words; returns the verdict after the last one.
std::string play(const std::vector<const char*>& words) {
    std::string last;
    for (const char* w : words) {
        testing::internal::CaptureStdout();
        parse_user_move(w);
        fflush(stdout);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << w;
        last = verdict();
    }
    return last;
}

constexpr const char* START = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNRwKQkq-";
const std::vector<const char*> KNIGHT_DANCE = {"g1f3", "g8f6", "f3g1", "f6g8"};

TEST(GameEnd, Mates) {
    set_up(START);
    EXPECT_EQ(play({"f2f3", "e7e5", "g2g4"}), "");
    EXPECT_EQ(play({"d8h4"}), "0-1 {Black mates}\n");
    set_up("6k1/5ppp/8/8/8/8/8/R5K1w--");
    EXPECT_EQ(play({"a1a8"}), "1-0 {White mates}\n");
}

TEST(GameEnd, StalemateComesBeforeEveryDraw) {
    set_up("7k/5Q2/6K1/8/8/8/8/8b--");
    EXPECT_EQ(verdict(), "1/2-1/2 {Stalemate}\n");
    pos.fifty = 100;
    EXPECT_EQ(verdict(), "1/2-1/2 {Stalemate}\n");
}

TEST(GameEnd, ThreefoldRepetitionOnlyAtTheThirdTime) {
    set_up(START);
    EXPECT_EQ(play(KNIGHT_DANCE), "");          // second time
    EXPECT_EQ(repetition_count(), 1);
    EXPECT_EQ(play(KNIGHT_DANCE), "1/2-1/2 {Draw by repetition}\n");
    EXPECT_EQ(repetition_count(), 2);
    EXPECT_EQ(play(KNIGHT_DANCE), "");          // fourth time: count 3, no line
    EXPECT_EQ(repetition_count(), 3);
}

TEST(GameEnd, RepetitionsBeforeAnIrreversibleMoveDoNotCount) {
    set_up(START);
    play(KNIGHT_DANCE);
    play({"e2e3", "e7e6"});  // single steps: no en-passant square in the keys
    EXPECT_EQ(play(KNIGHT_DANCE), "");
    EXPECT_EQ(repetition_count(), 1);
}

TEST(GameEnd, FiftyMoveRuleAndItsOrderAfterRepetition) {
    set_up("4k3/8/8/8/8/8/8/R3K3w--");
    pos.fifty = 99;
    EXPECT_EQ(verdict(), "");
    pos.fifty = 100;
    EXPECT_EQ(verdict(), "1/2-1/2 {Draw by 50 move rule}\n");

    set_up(START);
    play(KNIGHT_DANCE);
    play(KNIGHT_DANCE);
    // A fifty counter beyond the recorded game reaches no entry below the history.
    pos.fifty = 100;
    EXPECT_EQ(verdict(), "1/2-1/2 {Draw by repetition}\n");
}

struct MaterialCase {
    const char* position;
    int expected;
};

TEST(GameEnd, InsufficientMaterial) {
    const MaterialCase cases[] = {
        {"8/8/8/4k3/8/8/8/4K3w--", 1},     // bare kings
        {"8/8/8/4k3/8/8/8/2B1K3w--", 1},   // bishop
        {"8/8/8/4k3/8/8/8/1N2K3w--", 1},   // knight
        {"2b5/8/8/4k3/8/8/8/4K3w--", 1},   // black bishop against the bare king
        {"8/8/8/3nk3/8/8/8/1N2K3w--", 0},  // knight against knight: mate possible
        {"8/8/8/3bk3/8/8/8/1N2K3w--", 0},  // knight against bishop
        {"5b2/8/8/4k3/8/8/8/2B1K3w--", 1}, // c1 and f8: both dark
        {"2b5/8/8/4k3/8/8/8/2B1K3w--", 0}, // c1 dark, c8 light
        {"8/8/8/4k3/8/8/8/NN2K3w--", 0},   // two knights
        {"8/8/8/4k3/8/8/8/R3K3w--", 0},
        {"8/8/8/4k3/8/8/4P3/4K3w--", 0},
        {"8/4p3/8/4k3/8/8/8/2B1K3w--", 0},
    };
    for (const MaterialCase& c : cases) {
        set_up(c.position);
        EXPECT_EQ(insufficient_material(), c.expected) << c.position;
        EXPECT_EQ(verdict(), c.expected ? "1/2-1/2 {Draw by insufficient material}\n" : "")
            << c.position;
    }
}

}  // namespace
