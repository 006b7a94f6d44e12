// The book maker and the engine together: a book made with tolvane-book is played in xboard mode.
#include <gtest/gtest.h>

#include <cstdio>

#include "book/book_fixture.h"

using namespace book_test;

namespace {

#ifdef TOLVANE_BOOK_BINARY

struct ToolRun {
    int status;
    std::string output;
};

// Runs a shell command in `dir`, with the engine's and the tool's output merged.
ToolRun run_in(const TempDir& dir, const std::string& command) {
    std::string line = "cd '" + dir.path.string() + "' && " + command + " 2>&1";
    ToolRun run{-1, ""};
    FILE* pipe = popen(line.c_str(), "r");
    if (!pipe) return run;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.output.append(buffer, n);
    run.status = pclose(pipe);
    return run;
}

std::string tool() { return std::string("'") + TOLVANE_BOOK_BINARY + "'"; }

void write_text(const std::string& name, const std::string& text) {
    write_file(name, std::vector<unsigned char>(text.begin(), text.end()));
}

TEST(BookMakerTool, MakesTablesAndBooksAndListsThem) {
    TempDir dir;
    ToolRun random = run_in(dir, tool() + " random");
    ASSERT_EQ(random.status, 0) << random.output;
    EXPECT_EQ(std::filesystem::file_size(dir.file("random1.bin")), BOOK_RANDOM_SIZE * 4u);
    EXPECT_EQ(std::filesystem::file_size(dir.file("random2.bin")), BOOK_RANDOM_SIZE * 4u);

    write_text(dir.file("lines.txt"), "# my openings\ne2e4 e7e5\n\ne2e4 c7c5\nd2d4\n");
    ToolRun make = run_in(dir, tool() + " make book.bin lines.txt");
    ASSERT_EQ(make.status, 0) << make.output;
    EXPECT_EQ(make.output, "book.bin written: 3 lines, 4 moves\n");
    std::string book = read_text(dir.file("book.bin"));
    EXPECT_EQ(std::vector<unsigned char>(book.begin(), book.end()), example_book());

    ToolRun from_stdin = run_in(dir, "printf 'c2c4 e7e5\\n' | " + tool() + " make stdin.bin");
    EXPECT_EQ(from_stdin.status, 0) << from_stdin.output;

    ToolRun show = run_in(dir, tool() + " show book.bin");
    EXPECT_EQ(show.status, 0);
    EXPECT_EQ(show.output, "e2e4 e7e5\ne2e4 c7c5\nd2d4\n");
}

TEST(BookMakerTool, RefusesBadInputWithoutWritingABook) {
    TempDir dir;
    write_text(dir.file("lines.txt"), "e2e4 e7e5\ne2e4 e7e5 e5e4\nhello\n");
    ToolRun make = run_in(dir, tool() + " make book.bin lines.txt");
    EXPECT_NE(make.status, 0);
    EXPECT_NE(make.output.find("lines.txt:2: illegal move: e5e4"), std::string::npos) << make.output;
    EXPECT_NE(make.output.find("lines.txt:3: not a move"), std::string::npos) << make.output;
    EXPECT_FALSE(std::filesystem::exists(dir.file("book.bin")));

    EXPECT_NE(run_in(dir, tool()).status, 0);
    EXPECT_NE(run_in(dir, tool() + " random seven").status, 0);
    EXPECT_NE(run_in(dir, tool() + " make book.bin absent.txt").status, 0);
    EXPECT_NE(run_in(dir, tool() + " show absent.bin").status, 0);
}

// The engine in xboard mode, fed the lines at once; the end of input ends it.
std::string play(const TempDir& dir, const char* input) {
    std::string command = std::string("printf '") + input + "' | timeout 60 '" TOLVANE_BINARY "'";
    return run_in(dir, command).output;
}

TEST(BookSession, EnginePlaysBookMovesInXboardMode) {
    TempDir dir;
    ASSERT_EQ(run_in(dir, tool() + " random").status, 0);
    write_text(dir.file("lines.txt"), "e2e4 e7e5 g1f3\n");
    ASSERT_EQ(run_in(dir, tool() + " make book.bin lines.txt").status, 0);
    write_text(dir.file("tolvane.ini"), "ownbook on\nmainbook book.bin\n");

    // As White from the start: the book's only first move, without a search.
    std::string white = play(dir, "xboard\\nprotover 2\\nnew\\ngo\\n");
    EXPECT_NE(white.find("Rebel book loaded but tourbook is missed, using only mainbook\n"),
              std::string::npos) << white;
    EXPECT_NE(white.find("0 0 0 0 Book move\nmove e2e4"), std::string::npos) << white;

    // As Black after 1. e4.
    std::string black = play(dir, "xboard\\nprotover 2\\nnew\\ne2e4\\n");
    EXPECT_NE(black.find("0 0 0 0 Book move\nmove e7e5"), std::string::npos) << black;

    // Without the random tables the engine says so and plays on without the book.
    std::filesystem::remove(dir.file("random2.bin"));
    std::string missing = play(dir, "xboard\\nprotover 2\\nnew\\nsd 2\\ngo\\n");
    EXPECT_NE(missing.find("Missing obliged file(s)random1.bin and/or random2.bin. Rebel book not "
                           "loaded!\n"),
              std::string::npos) << missing;
    EXPECT_EQ(missing.find("Book move"), std::string::npos);
    EXPECT_NE(missing.find("move "), std::string::npos) << missing;
}

#endif

}  // namespace
