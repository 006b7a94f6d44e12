// The xboard protocol through the real program, one test per command family: lines in, lines out.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "support/session.h"

namespace {

// The program in xboard mode, past the book and bitbase messages of the entry. The bitbase
// folder exists nowhere: Windows would find a relative one in the engine's folder too.
struct Xboard : testing::Test {
    Session s;
    void SetUp() override {
        ASSERT_TRUE(session_start(&s, "path ./no-bitbases/\n"));
        session_send(&s, "xboard");
        ASSERT_TRUE(session_expect(&s, "feature done=0"));
        session_exchange(&s, {});
    }
    void TearDown() override { EXPECT_EQ(session_finish(&s), 0); }
    std::string talk(const std::vector<std::string>& lines) { return session_exchange(&s, lines); }
    int moves(const std::string& out) { return count_of("\n" + out, "\nmove "); }
};

TEST_F(Xboard, FeaturesPingAndIgnoredCommands) {
    // No bitbase library: said once at entry, and the game goes on.
    EXPECT_EQ(count_of(s.transcript, "EgbbProbe not Loaded!\n"), 1) << s.transcript;
    std::string out = talk({"protover 2", "accepted ping", "rejected sigint"});
    EXPECT_EQ(out,
              "feature myname=\"Tolvane v.4.88\" ping=1 setboard=1 draw=0 sigint=0 sigterm=0 "
              "variants=\"normal,nocastle,fischerandom\" colors=0 ics=1\n"
              "feature smp=1 exclude=1 memory=1 option=\"Multi-PV -spin 1 1 256\"\n"
              "feature done=1\n"
              "feature rejected\n");
    out = talk({"ping 7", "cores 2", "cores", "cores 0", "random", "otim 100", "post", "nopost", ".", "bk", "edit", "computer",
                "name someone", "rating 2000 1900", "ics -", "xboard", "accepted", "", "     "});
    EXPECT_EQ(out, "pong 7\nError (missing argument): cores\n");
}

// Refusals of bad input: nothing guessed, nothing overflowed, nothing read out of bounds.
TEST_F(Xboard, MissingNumbersHugeNumbersAndLongLines) {
    EXPECT_EQ(talk({"st", "sd", "time", "ping", "level 40", "st x", "variant"}),
              "Error (missing argument): st\nError (missing argument): sd\n"
              "Error (missing argument): time\nError (missing argument): ping\n"
              "Error (missing argument): level\nError (missing argument): st\n"
              "Error (missing argument): variant\n");
    EXPECT_EQ(talk({"time 99999999999", "st 99999999999", "level 0 5 99999999", "sd -5"}), "");
    EXPECT_EQ(talk({"st 0.05", "st 1.5", "st -3"}), "");  // fractions; a negative time is none
    std::string long_word(70000, 'e');
    std::string out = talk({long_word, "setboard " + std::string(5000, '8') + " w - -",
                            "variant " + long_word, "new", "ping " + long_word});
    EXPECT_NE(out.find("Error (unknown command): eeee"), std::string::npos);
    EXPECT_NE(out.find("tellusererror Illegal position"), std::string::npos);
}

TEST_F(Xboard, PlayGoForceAndResult) {
    std::string out = talk({"new", "e2e4"});  // no time command yet: it still moves
    EXPECT_EQ(moves(out), 1) << out;
    out = talk({"new", "force", "sd 3", "go"});
    ASSERT_EQ(moves(out), 1) << out;
    // The move was played on the engine's board: its square is empty now.
    std::string from_to = out.substr(out.find("move ") + 5, 4);
    EXPECT_NE(talk({"force", from_to}).find("Illegal move"), std::string::npos);
    for (const char* stop : {"force", "?", "result 1-0 {x}"}) {
        out = talk({"new", "sd 2", stop, "e2e4", "e7e5"});
        EXPECT_EQ(moves(out) + count_of(out, "Illegal"), 0) << stop << "\n" << out;
    }
    // White is mated: "go" gives no move, and the engine still answers.
    EXPECT_EQ(moves(talk({"setboard 6rk/8/8/8/8/8/5PPP/r5K1 w - -", "sd 3", "go"})), 0);
    EXPECT_EQ(moves(talk({"new", "sd 2", "e2e4"})), 1);
}

TEST_F(Xboard, UndoRemoveAndSetboard) {
    std::string out = talk({"new", "force", "undo", "remove", "e2e4", "undo", "e2e4", "remove",
                            "e7e5", "g1f3", "b8c6", "remove", "g1f3"});
    EXPECT_EQ(out, "");
    // Refused positions keep the last good one.
    out = talk({"setboard 4k3/8/8/8/8/8/4P3/4K3 w - - 0 1", "setboard 4k3/8/8/8/8/8/4P3/4K3 w -",
                "setboard 8/8/8/8/8/8/8/8 w - - 0 1",
                "setboard rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq", "e2e4", "e8d8"});
    EXPECT_EQ(out, "tellusererror Illegal position\ntellusererror Illegal position\n"
                   "tellusererror Illegal position\n");
    // After setboard the engine plays no side until told.
    EXPECT_EQ(moves(talk({"sd 2", "setboard 4k3/8/8/8/8/8/4P3/4K3 w - -", "e2e4"})), 0);
}

// "white" and "black" give the move to that side and the engine the other; a side in check
// keeps the move, or its king could be taken.
TEST_F(Xboard, WhiteAndBlackNameTheSideToMove) {
    std::string out = talk({"new", "force", "sd 2", "e2e4", "white", "d2d4"});
    EXPECT_EQ(moves(out), 1) << out;  // the engine, now Black, answers White's second move
    EXPECT_EQ(count_of(out, "Illegal"), 0) << out;

    out = talk({"new", "force", "e2e4", "f7f6", "d1h5", "white"});
    EXPECT_EQ(out, "Error (side to move is in check): white\n");
    out = talk({"sd 2", "go"});
    EXPECT_EQ(count_of(out, "\nmove g7g6 \n"), 1) << out;  // Black still to move, out of check

    // Moves taken back after the move was handed over return to their owners.
    out = talk({"new", "force", "e2e4", "d7d5", "b1c3", "white", "force", "remove", "d7d5", "b1c3",
                "white", "force", "undo", "undo", "d7d6"});
    EXPECT_EQ(out, "") << out;
}

TEST_F(Xboard, HintAndPondering) {
    std::string out = talk({"new", "sd 2", "e2e4", "hint"});
    ASSERT_EQ(count_of(out, "Hint: "), 1) << out;
    EXPECT_EQ(out.find('\n', out.find("Hint: ")) - out.find("Hint: "), 11u);  // and 5 characters
    // Neither the hint nor pondering puts the engine in force mode or loses the game.
    using Lines = std::vector<std::string>;
    for (const Lines& lines : std::vector<Lines>{{"d2d4"}, {"hard", "b1c3"}, {"easy", "g1f3"}}) {
        out = talk(lines);
        EXPECT_EQ(moves(out), 1) << out;
        EXPECT_EQ(count_of(out, "Illegal"), 0) << out;
    }
}

// Moves and status requests sent during an analysis reach the game: nothing is dropped.
TEST_F(Xboard, AnalyzeKeepsMovesUntilExit) {
    for (const char* line : {"new", "force", "analyze"}) session_send(&s, line);
    ASSERT_TRUE(session_expect(&s, "1 "));  // a thinking line: the analysis runs
    session_send(&s, ".");
    session_send(&s, "e2e4");
    // The analysis starts again on the new position: a thinking line whose first move is Black's.
    const std::regex black_line("^\\d+ -?\\d+ \\d+ \\d+ [a-h][78]");
    std::string line;
    bool found = false;
    while (!found && session_line(&s, &line)) found = std::regex_search(line, black_line);
    EXPECT_TRUE(found) << s.transcript;
    session_send(&s, "exit");
    std::string out = talk({"e7e5", "g1f3"});
    EXPECT_EQ(moves(out) + count_of(out, "Illegal"), 0) << out;
}

// Refused words print one line each and leave the game alone; accepted ones are silent.
TEST_F(Xboard, MoveWords) {
    EXPECT_EQ(talk({"new", "force", "hello", "i2i4", "e2e", "e7e8", "e2e9", "e0e4", "e2e5", "e7e5",
                    "O-O", "e2e4 xyz", "e7e5"}),
              "Error (unknown command): hello\nError (unknown command): i2i4\n"
              "Error (unknown command): e2e\nIllegal move: e7e8\nIllegal move: e2e9\n"
              "Illegal move: e0e4\nIllegal move: e2e5\nIllegal move: e7e5\nIllegal move: O-O\n");
    // A promotion needs its letter, in either case; the queen then guards g8, the knight not.
    EXPECT_EQ(talk({"setboard 7k/4P3/8/8/8/8/P7/K7 w - -", "e7e8", "e7e8Q", "h8g8",
                    "setboard 7k/4P3/8/8/8/8/P7/K7 w - -", "e7e8n", "h8g8"}),
              "Illegal move: e7e8\nIllegal move: h8g8\n");
    EXPECT_EQ(talk({"setboard 4k3/8/8/8/8/8/4r3/4K3 w - -", "e1f2", "e1e2",
                    "setboard 4k3/8/8/8/8/8/3r4/4K3 w - -", "e1e2", "e1f1"}),
              "Illegal move: e1f2\n1/2-1/2 {Draw by insufficient material}\nIllegal move: e1e2\n");
    // Castling by the king's step or by O-O in normal chess, only by O-O in Chess960; the rooks
    // move along, as the next moves show.
    EXPECT_EQ(talk({"setboard r3k2r/pppq1ppp/2npbn2/4p3/4P3/2NPBN2/PPPQ1PPP/R3K2R w KQkq -",
                    "e1g1", "O-O-O", "f1e1", "d8e8",
                    "setboard r3k2r/5p2/8/8/8/8/5P2/R3K2R w KQkq -", "O-O", "O-O", "f1e1", "f8e8"}),
              "");
    EXPECT_EQ(talk({"new", "variant fischerandom", "force",
                    "setboard 1r3kr1/pppppppp/8/8/8/8/PPPPPPPP/1R3KR1 w KQkq -", "f1g1", "O-O",
                    "O-O-O", "f1e1", "d8e8"}),
              "Illegal move: f1g1\n");
}

TEST_F(Xboard, ResultLines) {
    EXPECT_EQ(talk({"new", "force", "f2f3", "e7e5", "g2g4", "d8h4"}), "0-1 {Black mates}\n");
    // A rejected word still runs the check: the finished game reports again.
    EXPECT_EQ(talk({"e2x4"}), "Error (unknown command): e2x4\n0-1 {Black mates}\n");
    EXPECT_EQ(talk({"setboard 7k/5Q2/6K1/8/8/8/8/8 b - -", "h8h7"}),
              "Illegal move: h8h7\n1/2-1/2 {Stalemate}\n");
    EXPECT_EQ(talk({"setboard 8/8/8/4k3/8/8/8/1N2K2b w - -", "b1c3", "h1e4", "c3e4"}),
              "1/2-1/2 {Draw by insufficient material}\n");
    EXPECT_EQ(talk({"new", "force", "g1f3", "g8f6", "f3g1", "f6g8", "g1f3", "g8f6", "f3g1",
                    "f6g8"}),
              "1/2-1/2 {Draw by repetition}\n");
    // The engine's own mating move is followed by the result line.
    std::string out = talk({"setboard 6k1/5ppp/8/8/8/8/5PPP/R5K1 w - -", "sd 3", "go"});
    EXPECT_NE(out.find("move a1a8 \n1-0 {White mates}\n"), std::string::npos) << out;
}

// A mended fault: an endless game once ran past the end of the move history.
TEST_F(Xboard, EndlessGameStopsBeforeTheHistoryIsFull) {
    std::vector<std::string> lines = {"new", "force"};
    const char* dance[] = {"g1f3", "g8f6", "f3g1", "f6g8"};
    for (int i = 0; i < 4100; i++) lines.push_back(dance[i % 4]);
    std::string out = talk(lines);
    EXPECT_GT(count_of(out, "Illegal move (game too long): "), 0);
    EXPECT_EQ(count_of(out, "Illegal move: "), 0);
    // Neither an engine move nor a hint searches past the end of the history.
    out = talk({"sd 3", "hint", "go"});
    EXPECT_EQ(moves(out), 0) << out;
    EXPECT_EQ(count_of(out, "tellusererror Game too long"), 1) << out;
    EXPECT_EQ(moves(talk({"new", "sd 2", "e2e4"})), 1);
}

}  // namespace
