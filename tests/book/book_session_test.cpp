// The book maker and the engine together: a book made with tolvane-book is played in xboard mode.
#include <gtest/gtest.h>

#include <cstdio>

#include "book/book_fixture.h"

using namespace book_test;

namespace {

#ifdef TOLVANE_BOOK_BINARY

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

TEST(BookSession, MadeBookIsTheExampleAndTheEnginePlaysIt) {
    TempDir dir;
    const std::string tool = std::string("'") + TOLVANE_BOOK_BINARY + "' ";
    ASSERT_EQ(run_in(dir, tool + "random").status, 0);
    EXPECT_EQ(std::filesystem::file_size(dir.file("random1.bin")), BOOK_RANDOM_SIZE * 4u);

    write_file(dir.file("lines.txt"), std::string("# my openings\ne2e4 e7e5\n\n  e2e4\tc7c5 \r\nd2d4\n"));
    ToolRun make = run_in(dir, tool + "make book.bin lines.txt");
    ASSERT_EQ(make.status, 0) << make.output;
    EXPECT_EQ(make.output, "book.bin written: 3 lines, 4 moves\n");
    std::ifstream in(dir.file("book.bin"), std::ios::binary);
    EXPECT_EQ(Bytes(std::istreambuf_iterator<char>(in), {}), example_book());
    EXPECT_EQ(run_in(dir, tool + "show book.bin").output, "e2e4 e7e5\ne2e4 c7c5\nd2d4\n");

    // Any bad line refuses the whole book, each with its line number.
    std::string long_line;
    for (int i = 0; i < BOOK_LINE_SIZE / 4 + 1; i++) long_line += "g1f3 g8f6 f3g1 f6g8 ";
    write_file(dir.file("bad.txt"), "e2e4 e7e5 e5e4\nhello\ne2e4 f7f5 e4f5 g7g5 f5g6 g8f6 g6g7 a7a6 g7g8\n" +
                                        long_line + "\ne1g1\n");
    ToolRun bad = run_in(dir, tool + "make bad.bin bad.txt");
    EXPECT_NE(bad.status, 0);
    for (const char* message : {"bad.txt:1: illegal move: e5e4\n",
                                "bad.txt:2: not a move in coordinates (like e2e4): hello\n",
                                "bad.txt:3: promotions cannot be stored in a Rebel book: g7g8\n",
                                "bad.txt:4: line longer than 200 half-moves\n", "bad.txt:5: illegal move: e1g1\n"})
        EXPECT_NE(bad.output.find(message), std::string::npos) << message << bad.output;
    EXPECT_FALSE(std::filesystem::exists(dir.file("bad.bin")));

    // The engine, fed all its input at once, plays a book move as White and as Black.
    write_file(dir.file("tolvane.ini"), std::string("ownbook on\nmainbook book.bin\n"));
    const char* input = "xboard\\nprotover 2\\nnew\\ngo\\nnew\\ne2e4\\n";
    std::string out = run_in(dir, std::string("printf '") + input + "' | timeout 60 '" TOLVANE_BINARY "'").output;
    EXPECT_NE(out.find("Rebel book loaded but tourbook is missed, using only mainbook\n"), std::string::npos) << out;
    size_t white = out.find("0 0 0 0 Book move\nmove "), black = out.find("0 0 0 0 Book move\nmove ", white + 1);
    ASSERT_NE(black, std::string::npos) << out;
    EXPECT_TRUE(out.compare(white + 23, 4, "e2e4") == 0 || out.compare(white + 23, 4, "d2d4") == 0) << out;
    EXPECT_TRUE(out.compare(black + 23, 4, "e7e5") == 0 || out.compare(black + 23, 4, "c7c5") == 0) << out;
}

#endif

}  // namespace
