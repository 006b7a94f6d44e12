// The bitbase binding: probe argument coding, the cache size, loading, refusals and release.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <filesystem>
#include <string>

#include <unistd.h>

#include "board/board.h"
#include "egbb/egbb.h"
#include "shell/shell.h"

namespace {

// The last call a fake library received, and what it answers.
int last_args[EGBB_PROBE_ARGUMENTS];
int fake_calls;
int fake_answer;

int fake_probe(int a0, int a1, int a2, int a3, int a4, int a5, int a6, int a7, int a8) {
    const int args[EGBB_PROBE_ARGUMENTS] = {a0, a1, a2, a3, a4, a5, a6, a7, a8};
    memcpy(last_args, args, sizeof args);
    fake_calls++;
    return fake_answer;
}

// Engine square from text: a8 = 0 .. h1 = 63.
int square(const char* text) { return (8 - (text[1] - '0')) * 8 + (text[0] - 'a'); }

void clear_board(int side) {
    pos = Position{};
    for (int s = 0; s < 64; s++) {
        pos.piece[s] = EMPTY;
        pos.color[s] = EMPTY;
    }
    pos.side = side;
    pos.ep = NO_SQUARE;
}

void put(const char* where, int piece, int colour) {
    int s = square(where);
    pos.piece[s] = piece;
    pos.color[s] = colour;
    if (piece == KING) pos.king_square[colour] = s;
}

void kings(const char* white, const char* black, int side) {
    clear_board(side);
    put(white, KING, WHITE);
    put(black, KING, BLACK);
}

std::vector<int> probe_call() {
    int score = 0;
    fake_calls = 0;
    probe_bitbases(&score);
    return fake_calls ? std::vector<int>(last_args, last_args + EGBB_PROBE_ARGUMENTS)
                      : std::vector<int>{};
}

class BitbaseBinding : public ::testing::Test {
protected:
    char saved_path[SETTING_TEXT_SIZE];
    void SetUp() override {
        memcpy(saved_path, path, sizeof saved_path);
        EgbbProbe = fake_probe;
        fake_answer = 0;
    }
    void TearDown() override {
        unload_bitbases();
        memcpy(path, saved_path, sizeof saved_path);
    }
};

TEST_F(BitbaseBinding, ProbeArgumentsFollowTheLibrarysCoding) {
    kings("e1", "e8", WHITE);
    put("a1", ROOK, WHITE);
    EXPECT_EQ(probe_call(), (std::vector<int>{0, 4, 60, 3, 0, 0, 0, 0, 0}));
    pos.side = BLACK;
    EXPECT_EQ(probe_call(), (std::vector<int>{1, 4, 60, 3, 0, 0, 0, 0, 0}));

    // Pairs are filled walking from a8: the queen on d8 comes before the pawn on e4.
    kings("e1", "e8", WHITE);
    put("e4", PAWN, WHITE);
    put("d8", QUEEN, BLACK);
    EXPECT_EQ(probe_call(), (std::vector<int>{0, 4, 60, 8, 59, 6, 28, 0, 0}));

    // Every code once: white Q R B N P = 2..6, black = 8..12.
    const int types[5] = {QUEEN, ROOK, BISHOP, KNIGHT, PAWN};
    for (int colour : {WHITE, BLACK})
        for (int i = 0; i < 5; i++) {
            kings("a1", "h8", WHITE);
            put("c3", types[i], colour);
            std::vector<int> args = probe_call();
            ASSERT_EQ(args.size(), 9u);
            EXPECT_EQ(args[3], 2 + i + (colour == BLACK ? 6 : 0));
            EXPECT_EQ(args[4], square("c3") ^ 56);
            EXPECT_EQ(args[1], 0);
            EXPECT_EQ(args[2], 63);
        }

    // Three men fill all pairs; the board's own king squares are what counts.
    kings("h1", "a8", BLACK);
    put("b7", PAWN, BLACK);
    put("g2", PAWN, WHITE);
    put("d5", KNIGHT, WHITE);
    EXPECT_EQ(probe_call(), (std::vector<int>{1, 7, 56, 12, 49, 5, 35, 6, 14}));
}

TEST_F(BitbaseBinding, ProbeResultsAndRefusals) {
    kings("e1", "e8", WHITE);
    put("a1", ROOK, WHITE);
    int score = 0;
    fake_answer = 29990;
    EXPECT_EQ(probe_bitbases(&score), 1);
    EXPECT_EQ(score, 29990);
    fake_answer = -29990;
    EXPECT_EQ(probe_bitbases(&score), 1);
    EXPECT_EQ(score, -29990);
    fake_answer = 0;
    EXPECT_EQ(probe_bitbases(&score), 1);
    EXPECT_EQ(score, 0);
    fake_answer = EGBB_NOT_FOUND;
    score = 0;
    EXPECT_EQ(probe_bitbases(&score), 0);
    EXPECT_EQ(score, EGBB_NOT_FOUND);

    // Six men do not fit three pairs: the library would see another position, so no call.
    put("b2", PAWN, WHITE);
    put("c2", PAWN, WHITE);
    put("d7", PAWN, BLACK);
    fake_answer = 0;
    fake_calls = 0;
    score = 0;
    EXPECT_EQ(probe_bitbases(&score), 0);
    EXPECT_EQ(score, EGBB_NOT_FOUND);
    EXPECT_EQ(fake_calls, 0);

    // No library bound: a miss, never a call through a null entry.
    EgbbProbe = nullptr;
    kings("e1", "e8", WHITE);
    EXPECT_EQ(probe_bitbases(&score), 0);
}

TEST_F(BitbaseBinding, CacheSizeFitsTheLibrarysInteger) {
    EXPECT_EQ(egbb_cache_bytes(32), 32 << 20);
    EXPECT_EQ(egbb_cache_bytes(0), 0);
    EXPECT_EQ(egbb_cache_bytes(-7), 0);
    EXPECT_EQ(egbb_cache_bytes(EGBB_MAX_CACHE_MB), EGBB_MAX_CACHE_MB << 20);
    for (int mb : {2048, 4096, 100000, INT_MAX}) {
        EXPECT_EQ(egbb_cache_bytes(mb), EGBB_MAX_CACHE_MB << 20);
        EXPECT_GT(egbb_cache_bytes(mb), 0);
    }
}

TEST_F(BitbaseBinding, MissingOrUnfitLibraryIsNotLoaded) {
    EgbbProbe = nullptr;
    strcpy(path, "./no such directory/");
    testing::internal::CaptureStdout();
    EXPECT_EQ(load_bitbases(), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "EgbbProbe not Loaded!\n");
    EXPECT_EQ(egbb_loaded, 0);
    EXPECT_EQ(EgbbProbe, nullptr);

    // A shared library that lacks the two entries.
    std::filesystem::path system_library;
    for (const char* candidate : {"/lib/x86_64-linux-gnu/libm.so.6", "/usr/lib/x86_64-linux-gnu/libm.so.6",
                                  "/lib64/libm.so.6", "/usr/lib64/libm.so.6", "/lib/libm.so.6"})
        if (std::filesystem::exists(candidate)) system_library = candidate;
    if (system_library.empty()) GTEST_SKIP() << "no system library to stand in";
    std::filesystem::path directory =
        std::filesystem::temp_directory_path() / ("tolvane_egbb_" + std::to_string(getpid()));
    std::filesystem::create_directories(directory);
    std::filesystem::copy_file(system_library, directory / "egbbso64.so",
                               std::filesystem::copy_options::overwrite_existing);
    strcpy(path, (directory.string() + "/").c_str());
    testing::internal::CaptureStdout();
    EXPECT_EQ(load_bitbases(), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "EgbbProbe not Loaded!\n");
    EXPECT_EQ(egbb_loaded, 0);
    EXPECT_EQ(EgbbProbe, nullptr);
    std::filesystem::remove_all(directory);
}

// Repeated separators leave a directory the same, so a path can be padded to any length.
std::string padded_directory(size_t joined_length) {
    std::string directory = TOLVANE_BUILD_DIR "/egbb/";
    size_t name = strlen("egbbso64.so");
    return std::string(joined_length - name - directory.size(), '/') + directory;
}

TEST_F(BitbaseBinding, OurLibraryLoadsProbesAndUnloads) {
    EgbbProbe = nullptr;
    strcpy(path, TOLVANE_BUILD_DIR "/egbb/");
    testing::internal::CaptureStdout();
    ASSERT_EQ(load_bitbases(), 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(egbb_loaded, 1);
    ASSERT_NE(EgbbProbe, nullptr);
    EXPECT_EQ(load_bitbases(), 1);  // a second entry keeps the one handle

    // The engine's view: the side to move's score, a win near a mate counting more.
    int score = 0;
    kings("b6", "a8", WHITE);
    put("h7", QUEEN, WHITE);
    ASSERT_EQ(probe_bitbases(&score), 1);
    int mate_in_one = score;
    kings("e4", "d6", WHITE);
    put("h1", ROOK, WHITE);
    ASSERT_EQ(probe_bitbases(&score), 1);
    EXPECT_GT(score, 10000);
    EXPECT_LT(score, mate_in_one);
    pos.side = BLACK;
    ASSERT_EQ(probe_bitbases(&score), 1);
    EXPECT_LT(score, -10000);
    // The same with colours exchanged.
    kings("d3", "e5", BLACK);
    put("a8", ROOK, BLACK);
    ASSERT_EQ(probe_bitbases(&score), 1);
    EXPECT_GT(score, 10000);
    // Kings and a bishop: a draw the library knows.
    kings("e4", "d6", BLACK);
    put("h1", BISHOP, WHITE);
    ASSERT_EQ(probe_bitbases(&score), 1);
    EXPECT_EQ(score, 0);
    // Four men are not in our library.
    put("a2", PAWN, BLACK);
    EXPECT_EQ(probe_bitbases(&score), 0);

    testing::internal::CaptureStdout();
    unload_bitbases();
    unload_bitbases();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(egbb_loaded, 0);
    EXPECT_EQ(EgbbProbe, nullptr);
    EXPECT_EQ(probe_bitbases(&score), 0);
}

TEST_F(BitbaseBinding, FileNameRoomIsKept) {
    EgbbProbe = nullptr;
    // The longest joined name that fits still loads.
    std::string longest = padded_directory(EGBB_FILE_NAME_SIZE - 1);
    ASSERT_LT(longest.size(), static_cast<size_t>(SETTING_TEXT_SIZE));
    strcpy(path, longest.c_str());
    EXPECT_EQ(load_bitbases(), 1);
    unload_bitbases();

    // One more character is refused, although the file would be there.
    strcpy(path, padded_directory(EGBB_FILE_NAME_SIZE).c_str());
    testing::internal::CaptureStdout();
    EXPECT_EQ(load_bitbases(), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "EgbbProbe not Loaded!\n");
    EXPECT_EQ(egbb_loaded, 0);

    // A setting that fills its whole room, without its end mark, is refused as well.
    memset(path, '/', SETTING_TEXT_SIZE);
    testing::internal::CaptureStdout();
    EXPECT_EQ(load_bitbases(), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "EgbbProbe not Loaded!\n");
}

}  // namespace
