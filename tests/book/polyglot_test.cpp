// Polyglot books: the published keys, the reader's checks of a file, Debian's polyglot both ways.
// The engine answering from one through real pipes is in the book sessions.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <optional>
#include <random>
#include <sstream>

#include "book/book_fixture.h"
#include "support/session.h"

using namespace book_test;

namespace {

class Polyglot : public ::testing::Test {
protected:
    void SetUp() override {
        init_hash_keys();
        set_book_start_position();
    }
    void TearDown() override {
        close_polyglot_book();
        polyglot_draw = saved_draw;
        polyglot_best_move = false;
    }
    uint32_t (*saved_draw)() = polyglot_draw;
};

// The key after the moves (SAN or coordinates) from the start.
uint64_t key_after(const std::string& moves) {
    set_book_start_position();
    std::istringstream words(moves);
    for (std::string word; words >> word;) {
        Move move;
        EXPECT_EQ(play_san_move(word.c_str(), &move), SAN_OK) << moves;
    }
    return polyglot_key(game);
}

// The format's move code of a coordinate text like "e2e4" or "a7a8q".
uint16_t code(const char* text) {
    const int promotion = text[4] == 'n' ? 1 : text[4] == 'b' ? 2 : text[4] == 'r' ? 3 : text[4] == 'q' ? 4 : 0;
    return uint16_t(promotion << 12 | (text[1] - '1') << 9 | (text[0] - 'a') << 6 | (text[3] - '1') << 3 |
                    (text[2] - 'a'));
}

Bytes book_bytes(std::vector<PolyglotEntry> entries) {
    std::stable_sort(entries.begin(), entries.end(),
                     [](const PolyglotEntry& a, const PolyglotEntry& b) { return a.key < b.key; });
    Bytes bytes(entries.size() * POLYGLOT_ENTRY_BYTES);
    for (size_t i = 0; i < entries.size(); i++) encode_polyglot_entry(entries[i], &bytes[i * POLYGLOT_ENTRY_BYTES]);
    return bytes;
}

std::mt19937 fixed_generator;
uint32_t fixed_draw() { return uint32_t(fixed_generator()); }

// How often each move is played at the position after the moves, over many probes with a fixed seed.
std::map<std::string, int> shares(const std::string& moves, int probes) {
    fixed_generator.seed(2024);
    polyglot_draw = fixed_draw;
    std::map<std::string, int> played;
    key_after(moves);
    for (int i = 0; i < probes; i++) {
        Move move;
        if (!polyglot_step(game, &move)) continue;
        char text[MOVE_TEXT_SIZE];
        format_move(game, text, move, NOTATION_UCI);
        played[text]++;
    }
    return played;
}

TEST_F(Polyglot, PublishedTestKeys) {
    const struct {
        const char* moves;
        uint64_t key;
    } cases[] = {
        {"", 0x463b96181691fc9cull},
        {"e2e4", 0x823c9b50fd114196ull},
        {"e2e4 d7d5", 0x0756b94461c50fb0ull},
        {"e2e4 d7d5 e4e5", 0x662fafb965db29d4ull},
        {"e2e4 d7d5 e4e5 f7f5", 0x22a48b5a8e47ff78ull},            // en passant possible
        {"e2e4 d7d5 e4e5 f7f5 e1e2", 0x652a607ca3f242c1ull},       // White's rights gone
        {"e2e4 d7d5 e4e5 f7f5 e1e2 e8f7", 0x00fdd303c946bdd9ull},  // and Black's
        {"a2a4 b7b5 h2h4 b5b4 c2c4", 0x3c8123ea7b067637ull},       // en passant possible for Black
        {"a2a4 b7b5 h2h4 b5b4 c2c4 b4c3 a1a3", 0x5c3f9b829b279560ull},  // one rook's right gone
    };
    for (const auto& c : cases) EXPECT_EQ(key_after(c.moves), c.key) << c.moves;
}

TEST_F(Polyglot, BadFilesAreRefusedWithTheirFault) {
    TempDir dir;
    const uint64_t start = key_after("");
    const Bytes good = book_bytes({{start, code("e2e4"), 5, 0}, {start, code("d2d4"), 3, 0}, {start + 1, code("a2a3"), 1, 0}});
    Bytes unsorted(good.begin() + 32, good.end());  // keys start + 1, start, start
    unsorted.insert(unsorted.end(), good.begin(), good.begin() + 32);
    const struct {
        std::string file;
        std::optional<Bytes> bytes;
        int status;
        long entries_or_bad;  // the entries when loaded, else the entry at fault
    } cases[] = {
        {"good.bin", good, POLYGLOT_OK, 3},
        {"empty.bin", Bytes{}, POLYGLOT_EMPTY, 0},
        {"odd.bin", Bytes(good.begin(), good.end() - 1), POLYGLOT_BAD_SIZE, 0},
        {"unsorted.bin", unsorted, POLYGLOT_UNSORTED, 1},
        {"missing.bin", std::nullopt, POLYGLOT_UNREADABLE, 0},
        {"", std::nullopt, POLYGLOT_UNREADABLE, 0},  // the folder
    };
    for (const auto& c : cases) {
        if (c.bytes) write_file(dir.file(c.file.c_str()), *c.bytes);
        const PolyglotOpening opening = open_polyglot_book(dir.file(c.file.c_str()).c_str());
        EXPECT_EQ(opening.status, c.status) << c.file;
        EXPECT_EQ(opening.status == POLYGLOT_OK ? opening.entries : opening.bad_entry, c.entries_or_bad) << c.file;
    }
    // A book damaged after loading (a big one is checked only along each search) is closed at
    // the first search that meets the fault, with one line; nothing is played from it.
    PolyglotEntry found[POLYGLOT_MAX_ENTRIES];
    for (const Bytes& damaged : {unsorted, Bytes(good.begin(), good.begin() + 20)}) {
        write_file(dir.file("good.bin"), good);
        ASSERT_EQ(open_polyglot_book(dir.file("good.bin").c_str()).status, POLYGLOT_OK);
        EXPECT_EQ(polyglot_entries(start, found, POLYGLOT_MAX_ENTRIES), 2);
        write_file(dir.file("good.bin"), damaged);
        testing::internal::CaptureStdout();
        EXPECT_EQ(polyglot_entries(start, found, POLYGLOT_MAX_ENTRIES), -1);
        const std::string said = testing::internal::GetCapturedStdout();
        EXPECT_EQ(count_of(said, "\n"), 1) << said;
        EXPECT_NE(said.find(damaged.size() == good.size() ? "is out of order: book closed" : "cannot be read: book closed"),
                  std::string::npos) << said;
        Move move;
        EXPECT_FALSE(polyglot_step(game, &move));
    }
}

// --- Debian's polyglot ----------------------------------------------------------------------

// Standard output and errors merged, and the exit status.
std::pair<int, std::string> run_in(const TempDir& dir, const std::string& command) {
    std::string output;
    FILE* pipe = popen(("cd '" + dir.path.string() + "' && " + command + " 2>&1").c_str(), "r");
    if (!pipe) return {-1, output};
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
    return {pclose(pipe), output};
}

Bytes read_bytes(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

// Both castlings, en passant and a promotion; at the start e4 scores 6, d4 3 and c4 1.
const char* const interop_games =
    "[Result \"1-0\"]\n\n1. e4 e6 2. d4 d5 3. e5 c5 4. c3 Nc6 5. Nf3 Qb6 6. a3 c4 7. Nbd2 Na5 8. Be2 Bd7\n"
    "9. O-O O-O-O 10. b4 cxb3 11. Nxb3 Nxb3 1-0\n\n"
    "[Result \"1-0\"]\n\n1. e4 a6 2. e5 d5 3. exd6 Nf6 4. dxc7 Qd5 5. cxb8=Q Rxb8 1-0\n\n"
    "[Result \"1-0\"]\n\n1. e4 e5 2. Nf3 Nc6 3. Bb5 a6 1-0\n\n"
    "[Result \"1/2-1/2\"]\n\n1. d4 d5 2. c4 e6 1/2-1/2\n\n"
    "[Result \"1-0\"]\n\n1. d4 Nf6 2. c4 e6 1-0\n\n"
    "[Result \"1/2-1/2\"]\n\n1. c4 e5 2. Nc3 Nf6 1/2-1/2\n\n"
    "[Result \"0-1\"]\n\n1. f4 e5 2. fxe5 d6 0-1\n";

TEST_F(Polyglot, DebianPolyglotReadsOurBooksAndWeReadItsBooks) {
    TempDir dir;
    // Debian installs it among the games, outside the usual search path.
    const auto [found, path] = run_in(dir, "PATH=\"$PATH:/usr/games\" command -v polyglot");
    if (found != 0 || path.empty()) GTEST_SKIP() << "Debian's polyglot is not installed (apt-get install polyglot)";
    const std::string program = std::string("'").append(path, 0, path.find('\n')).append("'");
    write_file(dir.file("games.pgn"), std::string(interop_games));
    const auto theirs = run_in(dir, program + " make-book -pgn games.pgn -bin theirs.bin -min-game 1");
    ASSERT_EQ(theirs.first, 0) << theirs.second;
    const auto ours = run_in(dir, std::string("'") + TOLVANE_BOOK_BINARY +
                                      "' polyglot ours.bin games.pgn --min 1 --sides both --plies 1024");
    ASSERT_EQ(ours.first, 0) << ours.second;

    // Counted as Polyglot's maker counts: the same entries, weights and order, byte for byte.
    const Bytes their_bytes = read_bytes(dir.file("theirs.bin"));
    EXPECT_TRUE(read_bytes(dir.file("ours.bin")) == their_bytes);
    // And polyglot reads ours as its own.
    EXPECT_EQ(run_in(dir, program + " info-book -bin ours.bin"), run_in(dir, program + " info-book -bin theirs.bin"));

    // Their book, played from: the start's moves in proportion to their weights.
    ASSERT_EQ(open_polyglot_book(dir.file("theirs.bin").c_str()).status, POLYGLOT_OK);
    const int probes = 10000;
    std::map<std::string, int> played = shares("", probes);
    EXPECT_EQ(played.size(), 3u);
    EXPECT_NEAR(played["e2e4"], probes * 6 / 10, probes / 50);
    EXPECT_NEAR(played["d2d4"], probes * 3 / 10, probes / 50);
    EXPECT_NEAR(played["c2c4"], probes * 1 / 10, probes / 50);
    polyglot_best_move = true;
    EXPECT_EQ(shares("e4 e6 d4 d5 e5 c5 c3 Nc6 Nf3 Qb6 a3 c4 Nbd2 Na5 Be2 Bd7", 1),
              (std::map<std::string, int>{{"e1g1", 1}}));  // stored as the king taking its rook
}

}  // namespace
