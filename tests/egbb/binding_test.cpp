// The bitbase binding: probe argument coding, results, the cache size, loading and refusing the library.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>
#include <cstring>
#include <sstream>
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

// Men like "Ke1 ke8 Ra1" (White in upper case) on an otherwise empty board.
void place(const char* men, int side) {
    game = Position{};
    std::fill(std::begin(game.piece), std::end(game.piece), EMPTY);
    std::fill(std::begin(game.color), std::end(game.color), EMPTY);
    game.side = side;
    game.ep = NO_SQUARE;
    std::istringstream in(men);
    for (std::string m; in >> m;) {
        int s = (8 - (m[2] - '0')) * 8 + (m[1] - 'a'), colour = std::isupper(m[0]) ? WHITE : BLACK;
        game.piece[s] = int(std::string("pnbrqk").find(char(std::tolower(m[0]))));
        game.color[s] = colour;
        if (game.piece[s] == KING) game.king_square[colour] = s;
    }
}

TEST(BitbaseBinding, ProbeArgumentsFollowTheLibrarysCoding) {
    // Side, kings, then (code, square) pairs filled walking from a8; squares from a1 = 0;
    // white Q R B N P are 2..6, black 8..12. No arguments: the library is not called.
    struct Case { const char* men; int side; std::vector<int> args; };
    const Case cases[] = {
        {"Ke1 ke8 Ra1", WHITE, {0, 4, 60, 3, 0, 0, 0, 0, 0}},
        {"Ke1 ke8 Ra1", BLACK, {1, 4, 60, 3, 0, 0, 0, 0, 0}},
        {"Ke1 ke8 Pe4 qd8", WHITE, {0, 4, 60, 8, 59, 6, 28, 0, 0}},
        {"Kh1 ka8 pb7 Pg2 Nd5", BLACK, {1, 7, 56, 12, 49, 5, 35, 6, 14}},
        {"Ka1 kh8 Qc3 Rd4 Be5", WHITE, {0, 0, 63, 4, 36, 3, 27, 2, 18}},
        {"Ka1 kh8 Nc3 Pd4 qe5", WHITE, {0, 0, 63, 8, 36, 6, 27, 5, 18}},
        {"Ka1 kh8 rc3 bd4 ne5", WHITE, {0, 0, 63, 11, 36, 10, 27, 9, 18}},
        // Six men do not fit three pairs: the library would see another position.
        {"Ke1 ke8 Ra1 Pb2 Pc2 pd7", WHITE, {}},
    };
    EgbbProbe = fake_probe;
    int score = 0;
    for (const Case& c : cases) {
        place(c.men, c.side);
        last_args.clear();
        fake_answer = -29990;
        EXPECT_EQ(probe_bitbases(game, &score), c.args.empty() ? 0 : 1) << c.men;
        EXPECT_EQ(score, c.args.empty() ? EGBB_NOT_FOUND : fake_answer) << c.men;
        EXPECT_EQ(last_args, c.args) << c.men;
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
    place("Ke4 kd6 Rh1", WHITE);
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
    place("Ke1 ke8 Ra1", WHITE);
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
