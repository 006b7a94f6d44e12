// The bitbase binding: probe argument coding, results, the cache size, loading and refusing the library.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "board/board.h"
#include "egbb/egbb.h"

namespace {

std::vector<int> last_args;  // of the last call the fake library received
int fake_answer;
int fake_probe(int a0, int a1, int a2, int a3, int a4, int a5, int a6, int a7, int a8) {
    last_args = {a0, a1, a2, a3, a4, a5, a6, a7, a8};
    return fake_answer;
}

void place(const char* fen) { ASSERT_TRUE(setup_position(game, fen)) << fen; }

TEST(BitbaseBinding, ProbeArgumentsFollowTheLibrarysCoding) {
    // Side, kings, then (code, square) pairs filled walking from a8; squares from a1 = 0;
    // white Q R B N P are 2..6, black 8..12. No arguments: the library is not called.
    struct Case { const char* fen; std::vector<int> args; };
    const Case cases[] = {
        {"4k3/8/8/8/8/8/8/R3K3 w - -", {0, 4, 60, 3, 0, 0, 0, 0, 0}},
        {"4k3/8/8/8/8/8/8/R3K3 b - -", {1, 4, 60, 3, 0, 0, 0, 0, 0}},
        {"3qk3/8/8/8/4P3/8/8/4K3 w - -", {0, 4, 60, 8, 59, 6, 28, 0, 0}},
        {"k7/1p6/8/3N4/8/8/6P1/7K b - -", {1, 7, 56, 12, 49, 5, 35, 6, 14}},
        {"6k1/8/8/4B3/3R4/2Q5/8/K7 w - -", {0, 0, 62, 4, 36, 3, 27, 2, 18}},
        {"7k/8/8/4q3/3P4/2N5/8/K7 w - -", {0, 0, 63, 8, 36, 6, 27, 5, 18}},
        {"7k/8/8/4n3/3b4/2r5/8/K7 w - -", {0, 0, 63, 11, 36, 10, 27, 9, 18}},
        // Six men do not fit three pairs: the library would see another position.
        {"4k3/3p4/8/8/8/8/1PP5/R3K3 w - -", {}},
    };
    EgbbProbe = fake_probe;
    int score = 0;
    for (const Case& c : cases) {
        place(c.fen);
        last_args.clear();
        fake_answer = -29990;
        EXPECT_EQ(probe_bitbases(game, &score), c.args.empty() ? 0 : 1) << c.fen;
        EXPECT_EQ(score, c.args.empty() ? EGBB_NOT_FOUND : fake_answer) << c.fen;
        EXPECT_EQ(last_args, c.args) << c.fen;
    }
    // The library's miss is a miss, and so is an entry not bound: never a call through null.
    fake_answer = EGBB_NOT_FOUND;
    EXPECT_EQ(probe_bitbases(game, &score), 0);
    EgbbProbe = nullptr;
    EXPECT_EQ(probe_bitbases(game, &score), 0);
}

TEST(BitbaseBinding, CacheSizeFitsTheLibrarysInteger) {
    const int most = EGBB_MAX_CACHE_MB << 20;
    for (auto [mb, bytes] : {std::pair{32, 32 << 20}, {0, 0}, {-7, 0}, {2048, most}, {INT_MAX, most}})
        EXPECT_EQ(egbb_cache_bytes(mb), bytes) << mb;
}

// Repeated separators leave a directory the same, so a path can be padded to any length.
std::string padded_directory(size_t joined_length) {
    std::string directory = TOLVANE_BUILD_DIR "/egbb/";
    return std::string(joined_length - std::strlen("egbbso64.so") - directory.size(), '/') + directory;
}

TEST(BitbaseBinding, LoadsOurLibraryOnlyFromAPathThatFits) {
    EgbbProbe = nullptr;
    auto expect_refused = [](const char* why) {
        testing::internal::CaptureStdout();
        EXPECT_EQ(load_bitbases(), 0) << why;
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << why << ": the driver says it";
        EXPECT_EQ(egbb_loaded, 0) << why;
        EXPECT_EQ(EgbbProbe, nullptr) << why;
    };
    std::strcpy(egbb_path, "./no such directory/");
    expect_refused("missing library");
    std::strcpy(egbb_path, padded_directory(EGBB_FILE_NAME_SIZE).c_str());
    expect_refused("joined name one character too long, although the file is there");
    std::memset(egbb_path, '/', EGBB_PATH_SIZE);
    expect_refused("a setting filling its whole room, without its end mark");

    // The longest joined name that fits loads; scores are the side to move's.
    std::strcpy(egbb_path, padded_directory(EGBB_FILE_NAME_SIZE - 1).c_str());
    ASSERT_EQ(load_bitbases(), 1);
    EXPECT_EQ(egbb_loaded, 1);
    int score = 0;
    place("8/8/3k4/8/4K3/8/8/7R w - -");
    ASSERT_EQ(probe_bitbases(game, &score), 1);
    EXPECT_GT(score, 10000);
    game.side = BLACK;
    ASSERT_EQ(probe_bitbases(game, &score), 1);
    EXPECT_LT(score, -10000);
    unload_bitbases();
    unload_bitbases();  // a second release is harmless
    EXPECT_EQ(EgbbProbe, nullptr);
    EXPECT_EQ(probe_bitbases(game, &score), 0);
}

TEST(BitbaseBinding, ImpossibleScoresAreMissesNamedOnce) {
    // Beyond the limit a score would pass for a mate or for infinity in the search.
    EgbbProbe = fake_probe;
    place("4k3/8/8/8/8/8/8/R3K3 w - -");
    int score = 0;
    testing::internal::CaptureStdout();
    for (int answer : {EGBB_SCORE_LIMIT, -EGBB_SCORE_LIMIT, INT_MAX, INT_MIN, 32767, -99999}) {
        fake_answer = answer;
        EXPECT_EQ(probe_bitbases(game, &score), 0) << answer;
        EXPECT_EQ(score, EGBB_NOT_FOUND) << answer;
    }
    for (int answer : {EGBB_SCORE_LIMIT - 1, -(EGBB_SCORE_LIMIT - 1), 0}) {
        fake_answer = answer;
        EXPECT_EQ(probe_bitbases(game, &score), 1) << answer;
        EXPECT_EQ(score, answer);
    }
    std::string said = testing::internal::GetCapturedStdout();
    EXPECT_EQ(said, "Bitbase library gave the impossible score 32000: such scores are ignored\n");
    EgbbProbe = nullptr;
}

}  // namespace
