// Polyglot books: the published keys, the reader's checks of a file, the choice of a move, Debian's
// polyglot both ways, and the engine answering from a Polyglot book through real pipes.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <random>
#include <sstream>
#include <tuple>

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

// Plays the moves (SAN or coordinates) from the start; false at the first one refused.
bool play_from_start(const std::string& moves) {
    set_book_start_position();
    std::istringstream words(moves);
    for (std::string word; words >> word;) {
        Move move;
        if (play_san_move(word.c_str(), &move) != SAN_OK) return false;
    }
    return true;
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

// The key after the moves from the start.
uint64_t key_after(const Position& game, const std::string& moves) {
    EXPECT_TRUE(play_from_start(moves)) << moves;
    return polyglot_key(game);
}

std::mt19937 fixed_generator;
uint32_t fixed_draw() { return uint32_t(fixed_generator()); }

// How often each move is played at the position after the moves, over many probes with a fixed seed.
std::map<std::string, int> shares(const std::string& moves, int probes) {
    fixed_generator.seed(2024);
    polyglot_draw = fixed_draw;
    std::map<std::string, int> played;
    EXPECT_TRUE(play_from_start(moves));
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
    for (const auto& c : cases) EXPECT_EQ(key_after(game, c.moves), c.key) << c.moves;
}

TEST_F(Polyglot, BadFilesAreRefusedWithTheirFault) {
    TempDir dir;
    const uint64_t start = key_after(game, "");
    const Bytes good = book_bytes({{start, code("e2e4"), 5, 0}, {start, code("d2d4"), 3, 0}, {start + 1, code("a2a3"), 1, 0}});
    Bytes unsorted(good.begin() + 32, good.end());  // keys start + 1, start, start
    unsorted.insert(unsorted.end(), good.begin(), good.begin() + 32);
    write_file(dir.file("good.bin"), good);
    write_file(dir.file("empty.bin"), Bytes{});
    write_file(dir.file("odd.bin"), Bytes(good.begin(), good.end() - 1));
    write_file(dir.file("unsorted.bin"), unsorted);
    const struct {
        std::string file;
        int status;
        long entries_or_bad;  // the entries when loaded, else the entry at fault
    } cases[] = {
        {dir.file("good.bin"), POLYGLOT_OK, 3},
        {dir.file("empty.bin"), POLYGLOT_EMPTY, 0},
        {dir.file("odd.bin"), POLYGLOT_BAD_SIZE, 0},
        {dir.file("unsorted.bin"), POLYGLOT_UNSORTED, 1},
        {dir.file("missing.bin"), POLYGLOT_UNREADABLE, 0},
        {dir.path.string(), POLYGLOT_UNREADABLE, 0},  // a folder
    };
    for (const auto& c : cases) {
        const PolyglotOpening opening = open_polyglot_book(c.file.c_str());
        EXPECT_EQ(opening.status, c.status) << c.file;
        EXPECT_EQ(opening.status == POLYGLOT_OK ? opening.entries : opening.bad_entry, c.entries_or_bad) << c.file;
        EXPECT_EQ(polyglot_book_open(), c.status == POLYGLOT_OK) << c.file;
    }

    // A book damaged after loading (as a big one, checked only along each search, may be) is
    // closed at the first search that meets the fault, with one line; nothing is played from it.
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
        EXPECT_FALSE(polyglot_book_open());
        Move move;
        EXPECT_FALSE(polyglot_step(game, &move));
    }
}

TEST_F(Polyglot, BookMovesBecomeTheEnginesLegalMoves) {
    const char* castles = "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1";
    const char* blocked = "r3k2r/8/8/8/8/8/8/RN2K1NR w KQkq - 0 1";
    const char* promote = "3r4/4P3/8/8/8/8/k7/4K3 w - - 0 1";
    const char* pinned = "4k3/4r3/8/8/8/8/4N3/1N2K3 w - - 0 1";
    const char* passant = "rnbqkbnr/1pp1pppp/p7/3pP3/8/8/PPPP1PPP/RNBQKBNR w KQkq d6 0 3";
    const struct {
        const char* position;
        const char* book_move;
        const char* move;  // as UCI writes it; "" when refused
    } cases[] = {
        {castles, "e1h1", "e1g1"}, {castles, "e1a1", "e1c1"}, {blocked, "e1h1", ""}, {blocked, "e1a1", ""},
        {promote, "e7e8q", "e7e8q"}, {promote, "e7d8n", "e7d8n"}, {promote, "e7e8", ""},
        {pinned, "e2c3", ""}, {pinned, "b1c3", "b1c3"}, {pinned, "b1c3q", ""},
        {passant, "e5d6", "e5d6"},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(setup_position(game, c.position));
        Move move;
        std::string played;
        if (polyglot_legal_move(game, code(c.book_move), &move)) {
            char text[MOVE_TEXT_SIZE];
            format_move(game, text, move, NOTATION_UCI);
            played = text;
            EXPECT_EQ(polyglot_move_code(move), code(c.book_move)) << c.position;  // and back again
        }
        EXPECT_EQ(played, c.move) << c.position << " " << c.book_move;
    }
}

TEST_F(Polyglot, MovesArePlayedInProportionToTheirWeights) {
    TempDir dir;
    const uint64_t start = key_after(game, "");
    // An illegal entry, however heavy, is passed over; a move of weight 0 is never drawn.
    write_file(dir.file("book.bin"), book_bytes({{start, code("e2e4"), 6, 0}, {start, code("e2e5"), 60000, 0},
                                                 {start, code("d2d4"), 3, 0}, {start, code("g1f3"), 1, 0},
                                                 {start, code("b1c3"), 0, 0}}));
    ASSERT_EQ(open_polyglot_book(dir.file("book.bin").c_str()).status, POLYGLOT_OK);
    const int probes = 10000;
    std::map<std::string, int> played = shares("", probes);
    EXPECT_EQ(played.size(), 3u);
    EXPECT_NEAR(played["e2e4"], probes * 6 / 10, probes / 50);
    EXPECT_NEAR(played["d2d4"], probes * 3 / 10, probes / 50);
    EXPECT_NEAR(played["g1f3"], probes * 1 / 10, probes / 50);

    polyglot_best_move = true;
    EXPECT_EQ(shares("", 20), (std::map<std::string, int>{{"e2e4", 20}}));
    EXPECT_TRUE(shares("e2e4", 5).empty());  // out of the book

    // Among equals the first entry is the heaviest; without weight nothing is chosen.
    const PolyglotEntry tie[] = {{0, 1, 0, 0}, {0, 2, 7, 0}, {0, 3, 7, 0}};
    EXPECT_EQ(polyglot_choose(tie, 3, true, 0), 1);
    EXPECT_EQ(polyglot_choose(tie, 1, true, 0), -1);
    EXPECT_EQ(polyglot_choose(tie, 1, false, 0), -1);
}

// The entries of the book file, in file order.
std::vector<PolyglotEntry> entries_of(const std::string& name) {
    std::vector<PolyglotEntry> entries;
    std::ifstream in(name, std::ios::binary);
    for (unsigned char bytes[POLYGLOT_ENTRY_BYTES]; in.read((char*)bytes, sizeof bytes);)
        entries.push_back(decode_polyglot_entry(bytes));
    return entries;
}

TEST_F(Polyglot, WriterMergesPerKeyAndMoveWithinItsMemory) {
    TempDir dir;
    std::string games;
    for (const char* game : {"1. e4 e5 1-0", "1. e4 c5 1-0", "1. e4 e5 0-1", "1. d4 d5 1/2-1/2", "1. e4 e5 *"})
        games += std::string("[Result \"") + (std::strrchr(game, ' ') + 1) + "\"]\n\n" + game + "\n\n";
    write_file(dir.file("games.pgn"), games);
    const uint64_t start = key_after(game, ""), after_e4 = key_after(game, "e2e4");
    auto make = [&](const BookTallyOptions& options, BookTallyCounts* counts) {
        polyglot_tally_clear();
        FILE* file = std::fopen(dir.file("games.pgn").c_str(), "rb");
        PgnReader reader(file, "games.pgn");
        polyglot_tally_games(&reader, options, counts);
        std::fclose(file);
        PolyglotWriteCounts written;
        EXPECT_TRUE(write_polyglot_book(dir.file("book.bin").c_str(), options.min_count, &written));
        return entries_of(dir.file("book.bin"));
    };
    // Both sides: win 2, draw or no result 1, loss 0 for the mover; a move that only lost is
    // left out; the heaviest first within a key, the keys in order.
    BookTallyOptions both;
    both.sides = BOOK_SIDES_BOTH;
    both.min_count = 1;
    BookTallyCounts counts;
    std::vector<PolyglotEntry> entries = make(both, &counts);
    EXPECT_EQ(counts.used, 5);
    ASSERT_EQ(entries.size(), 4u);  // d4 d5 too
    std::vector<std::tuple<uint64_t, uint16_t, uint16_t>> got;
    for (const PolyglotEntry& e : entries)
        if (e.key == start || e.key == after_e4) got.emplace_back(e.key, e.move, e.weight);
    // start's key is the smaller; c5 only lost
    const decltype(got) expected = {{start, code("e2e4"), 2 + 2 + 0 + 1}, {start, code("d2d4"), 1}, {after_e4, code("e7e5"), 0 + 2 + 1}};
    EXPECT_EQ(got, expected);

    // The winner's moves only, played at least twice: e4 and e5 (won once each, drawn never) drop out.
    BookTallyOptions winner;
    winner.min_count = 2;
    entries = make(winner, &counts);
    EXPECT_EQ(counts.skipped, 1);  // the unfinished game
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].move, code("e2e4"));
    EXPECT_EQ(entries[0].weight, 4);

    // A budget far too small forgets the rare moves first; the most played stays.
    BookTallyOptions tiny = both;
    tiny.memory = 1024;
    const char* const white[] = {"a4", "b3", "b4", "c3", "c4", "d3", "e3", "f3", "f4", "g3", "g4", "h3", "h4", "Na3", "Nc3", "Nf3", "Nh3"};
    const char* const black[] = {"a6", "a5", "b6", "b5", "c6", "c5", "d6", "d5", "e6", "e5", "f6", "f5", "g6", "g5", "h6", "h5", "Na6"};
    for (int i = 0; i < 17 * 6; i++)
        games += std::string("[Result \"1-0\"]\n\n1. ") + white[i % 17] + " " + black[(i / 17 + i) % 17] + " 1-0\n\n";
    for (int i = 0; i < 40; i++) games += "[Result \"1-0\"]\n\n1. a3 h6 1-0\n\n";
    write_file(dir.file("games.pgn"), games);
    entries = make(tiny, &counts);
    EXPECT_GT(counts.forget_passes, 0);
    EXPECT_NE(std::find_if(entries.begin(), entries.end(), [&](const PolyglotEntry& e) {
                  return e.key == start && e.move == code("a2a3");
              }), entries.end());
}

// --- Debian's polyglot ----------------------------------------------------------------------

struct ToolRun {
    int status;
    std::string output;  // standard output and errors merged
};

ToolRun run_in(const TempDir& dir, const std::string& command) {
    ToolRun run{-1, ""};
    FILE* pipe = popen(("cd '" + dir.path.string() + "' && " + command + " 2>&1").c_str(), "r");
    if (!pipe) return run;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) run.output.append(buffer, n);
    run.status = pclose(pipe);
    return run;
}

// Debian installs it among the games, outside the usual search path.
std::string polyglot_program() {
    TempDir dir;
    ToolRun found = run_in(dir, "PATH=\"$PATH:/usr/games\" command -v polyglot");
    if (found.status != 0 || found.output.empty()) return "";
    return found.output.substr(0, found.output.find('\n'));
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
    const std::string program = polyglot_program();
    if (program.empty()) GTEST_SKIP() << "Debian's polyglot is not installed (apt-get install polyglot): interop not checked";
    TempDir dir;
    write_file(dir.file("games.pgn"), std::string(interop_games));
    const ToolRun theirs = run_in(dir, "'" + program + "' make-book -pgn games.pgn -bin theirs.bin -min-game 1");
    ASSERT_EQ(theirs.status, 0) << theirs.output;
    const ToolRun ours = run_in(dir, std::string("'") + TOLVANE_BOOK_BINARY +
                                     "' polyglot ours.bin games.pgn --min 1 --sides both --plies 1024");
    ASSERT_EQ(ours.status, 0) << ours.output;

    // Counted as Polyglot's maker counts: the same entries, weights and order, byte for byte.
    const Bytes their_bytes = read_bytes(dir.file("theirs.bin"));
    EXPECT_GT(their_bytes.size(), 20u * POLYGLOT_ENTRY_BYTES);
    EXPECT_TRUE(read_bytes(dir.file("ours.bin")) == their_bytes);
    // And polyglot reads ours as its own.
    const std::string info = "' info-book -bin ";
    EXPECT_EQ(run_in(dir, "'" + program + info + "ours.bin").output, run_in(dir, "'" + program + info + "theirs.bin").output);
    const ToolRun dumped_run = run_in(dir, "'" + program + "' dump-book -bin ours.bin -color white -out ours.txt");
    EXPECT_EQ(dumped_run.status, 0) << dumped_run.output;
    const Bytes dump = read_bytes(dir.file("ours.txt"));
    const std::string dumped(dump.begin(), dump.end());
    for (const char* move : {"O-O{", "exd6{", "cxb8=Q{"}) EXPECT_NE(dumped.find(move), std::string::npos) << move << dumped;

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

// --- Sessions -------------------------------------------------------------------------------

// One exchange with the engine: the lines sent ('|' between them), the line the reply ends at,
// and a text the reply must hold (or, with a leading '!', must not).
struct Step {
    std::string send;
    const char* until;
    std::string expect;
};

// Runs the steps in a session started with the ini, then quits; the whole transcript.
std::string run_session(const std::string& ini, const std::vector<Step>& steps, bool with_randoms = false) {
    Session s;
    EXPECT_TRUE(session_start(&s, ini));
    // The random tables of a Rebel book are read from the engine's own working folder.
    if (with_randoms) {
        EXPECT_TRUE(write_random_files((s.directory + "/random1.bin").c_str(), (s.directory + "/random2.bin").c_str(), SEED));
    }
    for (const Step& step : steps) {
        std::istringstream lines(step.send);
        for (std::string line; std::getline(lines, line, '|');) session_send(&s, line);
        const std::string reply = session_until(&s, step.until);
        const bool absent = !step.expect.empty() && step.expect[0] == '!';
        EXPECT_EQ(reply.find(step.expect.substr(absent)) == std::string::npos, absent) << step.send << ":\n" << reply;
    }
    session_send(&s, "quit");
    EXPECT_EQ(session_finish(&s), 0);
    return s.transcript;
}

// A book of 1. e4 for White, 1... c5 against it and 2. Nf3 after 1. e4 e5; a heavy illegal
// entry at the start must never be played.
std::string write_session_book(const TempDir& dir) {
    write_file(dir.file("book.bin"), book_bytes({{key_after(game, ""), code("e2e4"), 1, 0}, {key_after(game, ""), code("e2e5"), 60000, 0},
                                                 {key_after(game, "e2e4"), code("c7c5"), 1, 0},
                                                 {key_after(game, "e2e4 e7e5"), code("g1f3"), 1, 0}}));
    return dir.file("book.bin");
}

TEST_F(Polyglot, EngineAnswersFromTheBookThenSearches) {
    TempDir dir;
    const std::string book = write_session_book(dir);
    std::string said = run_session("polyglotbook " + book + "\n", {
        {"xboard|protover 2|new|sd 3|go", "move ", "0 0 0 0 Book move\nmove e2e4"},
        {"e7e5", "move ", "0 0 0 0 Book move\nmove g1f3"},
        {"b8c6", "move ", "!Book move"},  // out of the book: a search
        {"new|e2e4", "move ", "0 0 0 0 Book move\nmove c7c5"},
    });
    EXPECT_NE(said.find("Polyglot book " + book + " loaded: 4 entries\n"), std::string::npos) << said;

    said = run_session("", {
        {"uci", "uciok", ""},
        {"setoption name Polyglot Book value " + book + "|setoption name Book Best Move value true|isready",
         "readyok", "info string Polyglot book " + book + " loaded: 4 entries\n"},
        {"position startpos|go depth 3", "bestmove ", "info string book move e2e4\nbestmove e2e4"},
        {"position startpos moves e2e4 e7e5|go depth 3", "bestmove ", "info string book move g1f3\nbestmove g1f3"},
        {"position startpos moves e2e4 e7e5 g1f3 b8c6|go depth 3", "bestmove ", "!book move"},
        // In Chess960 the book is not asked, even at the normal start.
        {"setoption name UCI_Chess960 value true|position startpos|go depth 2", "bestmove ", "!book move"},
    });
    EXPECT_EQ(said.find("No such option"), std::string::npos) << said;

    // A damaged book: one line, then the engine plays on without it.
    write_file(dir.file("bad.bin"), Bytes(17, 0));
    said = run_session("polyglotbook " + dir.file("bad.bin") + "\n", {{"xboard|protover 2|new|sd 2|go", "move ", "!Book move"}});
    EXPECT_EQ(count_of(said, "Polyglot book " + dir.file("bad.bin") +
                                 " has 17 bytes, not a whole number of 16-byte entries: not loaded\n"), 1) << said;
}

// With a Rebel book too, the Rebel book answers first, and the Polyglot book only where it has nothing.
TEST_F(Polyglot, RebelBookComesFirst) {
    TempDir dir;
    write_file(dir.file("rebel.bin"), example_book());  // 1. e4 e5, 1. e4 c5, 1. d4
    write_file(dir.file("polyglot.bin"), book_bytes({{key_after(game, ""), code("g1f3"), 1, 0},
                                                     {key_after(game, "e2e4 e7e5"), code("b1c3"), 1, 0}}));
    const std::string said = run_session("mainbook " + dir.file("rebel.bin") + "\npolyglotbook " + dir.file("polyglot.bin") + "\n", {
        {"xboard|protover 2|new|go", "move ", "Book move\nmove "},
        {"new|force|e2e4|e7e5|go", "move ", "0 0 0 0 Book move\nmove b1c3"},
    }, true);
    EXPECT_NE(said.find("Rebel book loaded but tourbook is missed"), std::string::npos) << said;
    EXPECT_EQ(said.find("move g1f3"), std::string::npos) << said;
}

}  // namespace
