// tolvane-book pgn through real pipes: its messages and summary, show, and the engine playing the made book.
#include <gtest/gtest.h>

#include <cstdio>

#include "book/book_fixture.h"
#include "support/session.h"

using namespace book_test;

namespace {

#ifdef TOLVANE_BOOK_BINARY

struct ToolRun {
    int status;
    std::string out, err;
};

// Runs a shell command in the folder, standard output and standard error kept apart.
ToolRun run_in(const std::string& folder, const std::string& command) {
    ToolRun run{-1, "", ""};
    const std::string err_file = folder + "/stderr.txt";
    FILE* pipe = popen(("cd '" + folder + "' && " + command + " 2>'" + err_file + "'").c_str(), "r");
    if (!pipe) return run;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) run.out.append(buffer, n);
    run.status = pclose(pipe);
    std::ifstream err(err_file);
    run.err.assign(std::istreambuf_iterator<char>(err), {});
    return run;
}

const std::string TOOL = std::string("'") + TOLVANE_BOOK_BINARY + "' ";

std::string games(int times, const std::string& game) {
    std::string text;
    for (int i = 0; i < times; i++) text += "[Event \"t\"]\r\n[Result \"0-1\"]\r\n\r\n" + game + " 0-1\r\n\r\n";
    return text;
}

// White lost every game: 1. e4 is only a way to Black's answers, and those come by count.
const std::string COLLECTION = games(5, "1. e4 c5 {Sicilian (main)} 2. Nf3") + games(3, "1. e4 e5 (1... e6 2. d4) 2. Nf3") +
                               games(2, "1. e4 e6 $1 2. d4") + games(1, "1. e4 d5 2. exd5");

TEST(PgnSession, ToolMessagesSummaryAndShow) {
    TempDir dir;
    const std::string folder = dir.path.string();
    write_file(dir.file("games.pgn"), COLLECTION);
    write_file(dir.file("bad.pgn"), std::string("[Event \"x\"]\n1. e4 c5 2. Nf3 Nc6 3. Bb4 1/2-1/2\n"));

    // Without the random tables there is no key to write lines by.
    ToolRun run = run_in(folder, TOOL + "pgn book.bin games.pgn");
    EXPECT_EQ(run.status, 256);
    EXPECT_EQ(run.err, "tolvane-book: random1.bin and random2.bin are needed in the current folder "
                       "(tolvane-book random writes them)\n");
    ASSERT_EQ(run_in(folder, TOOL + "random").status, 0);

    // Refusals that write nothing: bad options, a missing file, a collection in the book's place.
    const std::pair<const char*, const char*> refusals[] = {
        {"pgn book.bin games.pgn --plies 0", "tolvane-book: --plies needs a number from 1 to 200\n"},
        {"pgn book.bin games.pgn --min=x", "tolvane-book: --min needs a number from 1 to 1000000\n"},
        {"pgn book.bin games.pgn --min-elo", "tolvane-book: --min-elo needs a number from 0 to 10000\n"},
        {"pgn book.bin games.pgn --sides loser", "tolvane-book: --sides is winner, both, white or black\n"},
        {"pgn book.bin games.pgn --memory 0", "tolvane-book: --memory needs a number from 1 to 32768\n"},
        {"pgn book.bin nothing.pgn", "tolvane-book: cannot read nothing.pgn\n"},
        {"pgn games.pgn book.bin", "tolvane-book: games.pgn would be overwritten: the book's name comes first "
                                   "(tolvane-book pgn BOOK FILE...)\n"},
    };
    for (auto [arguments, message] : refusals) {
        SCOPED_TRACE(arguments);
        run = run_in(folder, TOOL + arguments);
        EXPECT_NE(run.status, 0);
        EXPECT_EQ(run.err, message);
        EXPECT_FALSE(std::filesystem::exists(dir.file("book.bin")));
    }
    run = run_in(folder, TOOL + "pgn book.bin games.pgn --colour white");
    EXPECT_EQ(run.status, 2 * 256);
    EXPECT_EQ(run.err.rfind("tolvane-book: unknown option --colour\nusage:", 0), 0u) << run.err;

    // Two files; the bad game keeps its moves up to the fault, which is reported where it stands.
    run = run_in(folder, TOOL + "pgn book.bin games.pgn bad.pgn --sides=winner --plies 4 --memory=1");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "bad.pgn:2: illegal move: Bb4\n");
    // Its Nf3 and Nc6, played once, lead to nothing playable and are left out; so is 1... d5.
    EXPECT_EQ(run.out, "book.bin written: 12 games read, 12 used, 0 skipped, 1 positions, 4 moves\n");
    EXPECT_EQ(run_in(folder, TOOL + "show book.bin").out, "e2e4? c7c5\ne2e4? e7e5\ne2e4? e7e6\n");
    EXPECT_EQ(run_in(folder, TOOL + "show book.bin e4").out,
              "c7c5  weight 8  share 40/64\ne7e5  weight 4  share 16/64\ne7e6  weight 2  share 8/64\n");
    EXPECT_EQ(run_in(folder, TOOL + "show book.bin ''").out, "no book move\n");
    run = run_in(folder, TOOL + "show book.bin 'e4 e5' Ke2 Nf3");
    EXPECT_EQ(run.status, 256);
    EXPECT_EQ(run.err, "tolvane-book: not a legal move here: Nf3\n");

    // From standard input through a pipe; nothing reaches --min.
    run = run_in(folder, "cat games.pgn | " + TOOL + "pgn other.bin --min 6");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "tolvane-book: no move reached --min 6: the book is empty\n");
    EXPECT_EQ(run.out, "other.bin written: 11 games read, 11 used, 0 skipped, 0 positions, 0 moves\n");
}

TEST(PgnSession, TheEnginePlaysTheMadeBookOverXboard) {
    Session s;
    ASSERT_TRUE(session_start(&s, "mainbook book.bin\n"));
    write_file(s.directory + "/games.pgn", COLLECTION + games(2, "1. d4 d5 2. Bf4"));
    ASSERT_EQ(run_in(s.directory, TOOL + "random").status, 0);
    ToolRun made = run_in(s.directory, "cat games.pgn | " + TOOL + "pgn book.bin --sides both");
    ASSERT_EQ(made.status, 0) << made.err;

    session_send(&s, "xboard");
    ASSERT_TRUE(session_expect(&s, "Rebel book loaded but tourbook is missed, using only mainbook"));
    // White: 1. e4 (eleven games) or 1. d4 (two). Black after 1. e4: c5, e5 or e6, never d5 (one game).
    std::string out = session_exchange(&s, {"protover 2", "new", "go"});
    EXPECT_TRUE(out.find("0 0 0 0 Book move\nmove e2e4") != std::string::npos ||
                out.find("0 0 0 0 Book move\nmove d2d4") != std::string::npos)
        << out;
    out = session_exchange(&s, {"new", "e2e4"});
    size_t book_move = out.find("0 0 0 0 Book move\nmove ");
    ASSERT_NE(book_move, std::string::npos) << out;
    const std::string reply = out.substr(book_move + 23, 4);
    EXPECT_TRUE(reply == "c7c5" || reply == "e7e5" || reply == "e7e6") << out;
    EXPECT_EQ(session_finish(&s), 0);
}

#endif

}  // namespace
