// The xboard protocol through the real program, by command family: lines in, lines out.
#include <gtest/gtest.h>

#include <cstdio>

#include <string>
#include <vector>

#include "support/session.h"

namespace {

// Sends the lines and a ping; returns everything printed before the matching pong.
// The program reads lines in order, so the pong comes after all their output.
std::string exchange(Session* s, const std::vector<std::string>& lines) {
    static int counter = 100;
    std::string ping = "ping " + std::to_string(++counter);
    std::string pong = "pong " + std::to_string(counter);
    for (const std::string& line : lines) session_send(s, line);
    session_send(s, ping);
    std::string text;
    std::string line;
    while (session_line(s, &line)) {
        if (line == pong) return text;
        text += line + "\n";
    }
    ADD_FAILURE() << "no " << pong << " after: " << text;
    return text;
}

// Starts the program and switches it to xboard mode.
void start_xboard(Session* s, const std::string& ini = "") {
    ASSERT_TRUE(session_start(s, ini));
    session_send(s, "xboard");
    ASSERT_TRUE(session_expect(s, "feature done=0"));
    exchange(s, {});  // the book and bitbase messages of the entry
}


TEST(XboardEntry, FeaturesAndNegotiation) {
    Session s;
    start_xboard(&s);
    std::string out = exchange(&s, {"protover 2", "accepted ping", "rejected sigint"});
    EXPECT_NE(out.find("feature myname=\"Tolvane v.4.88\" ping=1 setboard=1 draw=0 sigint=0 "
                       "sigterm=0 variants=\"normal,nocastle,fischerandom\" colors=0 ics=1\n"
                       "feature done=1\n"),
              std::string::npos);
    EXPECT_NE(out.find("feature rejected\n"), std::string::npos);
    EXPECT_EQ(count_of(out, "Error"), 0);
    EXPECT_EQ(session_finish(&s), 0);
}

TEST(XboardEntry, QuitAndEndOfInputEndWithStatusZero) {
    SessionResult r = run_session({"xboard", "quit", "help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(count_of(r.output, "xboard - Switch"), 0);
    r = run_session({"xboard", "new"});
    EXPECT_EQ(r.status, 0);
}

TEST(XboardCommands, PingAndIgnoredCommands) {
    Session s;
    start_xboard(&s);
    std::string out = exchange(&s, {"ping 7", "random", "otim 100", "post", "nopost", ".", "bk",
                                    "edit", "computer", "name someone", "rating 2000 1900",
                                    "ics -", "xboard", "accepted", "", "     "});
    EXPECT_EQ(out, "pong 7\n");
    EXPECT_EQ(session_finish(&s), 0);
}

TEST(XboardCommands, MissingNumbersAreReportedNotGuessed) {
    Session s;
    start_xboard(&s);
    std::string out = exchange(&s, {"st", "sd", "time", "ping", "level 40", "st x", "variant"});
    EXPECT_EQ(out,
              "Error (missing argument): st\n"
              "Error (missing argument): sd\n"
              "Error (missing argument): time\n"
              "Error (missing argument): ping\n"
              "Error (missing argument): level\n"
              "Error (missing argument): st\n"
              "Error (missing argument): variant\n");
    // Huge numbers are taken without overflow.
    out = exchange(&s, {"time 99999999999", "st 99999999999", "level 0 5 99999999", "sd -5"});
    EXPECT_EQ(out, "");
    EXPECT_EQ(session_finish(&s), 0);
}

TEST(XboardCommands, LongLinesAndWordsDoNotCrash) {
    Session s;
    start_xboard(&s);
    std::string long_word(70000, 'e');
    std::string out = exchange(&s, {long_word, "setboard " + std::string(5000, '8') + " w - -",
                                    "variant " + long_word, "new", "ping " + long_word});
    EXPECT_NE(out.find("Error (unknown command): eeee"), std::string::npos);
    EXPECT_NE(out.find("tellusererror Illegal position"), std::string::npos);
    EXPECT_EQ(session_finish(&s), 0);
}

TEST(XboardGame, EngineAnswersAMoveAndPlaysWhiteAfterGo) {
    Session s;
    start_xboard(&s);
    std::string out = exchange(&s, {"new", "sd 3", "e2e4"});
    std::vector<std::string> moves = lines_starting(out, "move ");
    ASSERT_EQ(moves.size(), 1u) << out;
    EXPECT_EQ(count_of(out, "Illegal"), 0);

    out = exchange(&s, {"new", "force", "sd 3", "go"});
    moves = lines_starting(out, "move ");
    ASSERT_EQ(moves.size(), 1u) << out;
    // The move was played on the engine's board: its square is empty now.
    out = exchange(&s, {"force", moves[0].substr(5, 4)});
    EXPECT_NE(out.find("Illegal move"), std::string::npos);
    EXPECT_EQ(session_finish(&s), 0);
}

TEST(XboardGame, GoBeforeAnyTimeCommandStillMoves) {
    Session s;
    start_xboard(&s);
    std::string out = exchange(&s, {"new", "go"});
    EXPECT_EQ(lines_starting(out, "move ").size(), 1u) << out;
    out = exchange(&s, {"new", "sd 1", "go"});
    EXPECT_EQ(lines_starting(out, "move ").size(), 1u) << out;
    EXPECT_EQ(session_finish(&s), 0);
}

TEST(XboardGame, ForceQuestionMarkAndResultStopTheEngine) {
    Session s;
    start_xboard(&s);
    for (const char* stop : {"force", "?", "result 1-0 {x}"}) {
        std::string out = exchange(&s, {"new", "sd 2", stop, "e2e4", "e7e5"});
        EXPECT_EQ(lines_starting(out, "move ").size(), 0u) << stop << "\n" << out;
        EXPECT_EQ(count_of(out, "Illegal"), 0) << stop;
    }
    EXPECT_EQ(session_finish(&s), 0);
}

TEST(XboardGame, UndoAndRemove) {
    Session s;
    start_xboard(&s);
    std::string out = exchange(&s, {"new", "force", "undo", "remove", "e2e4", "undo", "e2e4",
                                    "remove", "e7e5", "g1f3", "b8c6", "remove", "g1f3"});
    EXPECT_EQ(count_of(out, "Illegal"), 0) << out;
    EXPECT_EQ(session_finish(&s), 0);
}

TEST(XboardGame, SetboardTakesGoodPositionsAndKeepsTheOldOneOnRefusal) {
    Session s;
    start_xboard(&s);
    std::string out = exchange(&s, {"new", "force", "setboard 4k3/8/8/8/8/8/4P3/4K3 w - - 0 1",
                                    "setboard 4k3/8/8/8/8/8/4P3/4K3 w -",
                                    "setboard 8/8/8/8/8/8/8/8 w - - 0 1",
                                    "setboard rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq",
                                    "e2e4", "e8d8"});
    EXPECT_EQ(count_of(out, "tellusererror Illegal position\n"), 3) << out;
    EXPECT_EQ(count_of(out, "Illegal move"), 0) << out;
    // After setboard the engine plays no side until told.
    out = exchange(&s, {"sd 2", "setboard 4k3/8/8/8/8/8/4P3/4K3 w - -", "e2e4"});
    EXPECT_EQ(lines_starting(out, "move ").size(), 0u) << out;
    EXPECT_EQ(session_finish(&s), 0);
}

TEST(XboardGame, NoMoveWithoutALegalMove) {
    Session s;
    start_xboard(&s);
    // White is mated: "go" must not produce a move, and the engine still answers.
    std::string out = exchange(&s, {"setboard 6rk/8/8/8/8/8/5PPP/r5K1 w - -", "sd 3", "go"});
    EXPECT_EQ(lines_starting(out, "move ").size(), 0u) << out;
    out = exchange(&s, {"hint", "new", "sd 2", "e2e4"});
    EXPECT_EQ(lines_starting(out, "move ").size(), 1u) << out;
    EXPECT_EQ(session_finish(&s), 0);
}

TEST(XboardGame, HintSuggestsAMoveAndKeepsTheGameGoing) {
    Session s;
    start_xboard(&s);
    std::string out = exchange(&s, {"new", "sd 2", "e2e4", "hint"});
    std::vector<std::string> hints = lines_starting(out, "Hint: ");
    ASSERT_EQ(hints.size(), 1u) << out;
    EXPECT_EQ(hints[0].size(), 11u) << hints[0];  // "Hint: " and five characters
    // The hint did not put the engine in force mode nor change its depth limit.
    out = exchange(&s, {"d2d4"});
    EXPECT_EQ(lines_starting(out, "move ").size(), 1u) << out;
    EXPECT_EQ(session_finish(&s), 0);
}

TEST(XboardGame, AnalyzeUntilExit) {
    Session s;
    start_xboard(&s);
    session_send(&s, "new");
    session_send(&s, "force");
    session_send(&s, "analyze");
    // A thinking line shows the analysis is running.
    ASSERT_TRUE(session_expect(&s, "1 "));
    session_send(&s, "exit");
    std::string out = exchange(&s, {"e2e4", "e7e5"});
    EXPECT_EQ(lines_starting(out, "move ").size(), 0u);
    EXPECT_EQ(count_of(out, "Illegal"), 0) << out;
    EXPECT_EQ(session_finish(&s), 0);
}

// Moves and status requests sent during an analysis reach the game: nothing is dropped.
TEST(XboardGame, MovesDuringAnalysisAreKept) {
    Session s;
    start_xboard(&s);
    session_send(&s, "new");
    session_send(&s, "force");
    session_send(&s, "analyze");
    ASSERT_TRUE(session_expect(&s, "1 "));
    session_send(&s, ".");
    session_send(&s, "e2e4");
    // The analysis starts again on the new position: a thinking line whose first move is Black's.
    std::string line;
    bool black_line = false;
    while (!black_line && session_line(&s, &line)) {
        char first_move[16] = "";
        int depth, score, time, nodes;
        if (sscanf(line.c_str(), "%d %d %d %d %15s", &depth, &score, &time, &nodes, first_move) == 5) {
            black_line = first_move[1] == '7' || first_move[1] == '8';
        }
    }
    EXPECT_TRUE(black_line) << s.transcript;
    session_send(&s, "exit");
    std::string out = exchange(&s, {"e7e5", "g1f3"});
    EXPECT_EQ(count_of(out, "Illegal"), 0) << out;
    EXPECT_EQ(session_finish(&s), 0);
}

TEST(XboardGame, PonderingKeepsTheGameGoing) {
    Session s;
    start_xboard(&s);
    std::string out = exchange(&s, {"hard", "new", "sd 3", "e2e4"});
    std::vector<std::string> first = lines_starting(out, "move ");
    ASSERT_EQ(first.size(), 1u) << out;
    out = exchange(&s, {"d2d4"});
    EXPECT_EQ(lines_starting(out, "move ").size(), 1u) << out;
    EXPECT_EQ(count_of(out, "Illegal"), 0) << out;
    out = exchange(&s, {"easy", "b1c3"});
    EXPECT_EQ(lines_starting(out, "move ").size(), 1u) << out;
    EXPECT_EQ(session_finish(&s), 0);
}

TEST(XboardMoveText, ErrorsAndPromotionsThroughTheProtocol) {
    Session s;
    start_xboard(&s);
    std::string out = exchange(&s, {"new", "force", "hello", "e7e8", "i2i4"});
    EXPECT_EQ(out,
              "Error (unknown command): hello\n"
              "Illegal move: e7e8\n"
              "Error (unknown command): i2i4\n");
    out = exchange(&s, {"setboard 7k/4P3/8/8/8/8/8/K7 w - -", "e7e8", "e7e8r", "h8h7"});
    EXPECT_EQ(out, "Illegal move: e7e8\n");
    EXPECT_EQ(session_finish(&s), 0);
}

TEST(XboardMoveText, Chess960CastlingInAndOut) {
    Session s;
    start_xboard(&s);
    // King on f1 and rooks on b1 and h1; castling short puts the king on g1, the rook on f1.
    std::string out = exchange(&s, {"new", "variant fischerandom", "force",
                                    "setboard 1r3kr1/pppppppp/8/8/8/8/PPPPPPPP/1R3KR1 w KQkq -",
                                    "f1g1", "O-O", "O-O-O"});
    EXPECT_EQ(out, "Illegal move: f1g1\n");
    // The engine may castle too; whatever it plays must come back as a legal word.
    out = exchange(&s, {"new", "variant normal", "force",
                        "setboard r3k2r/pppq1ppp/2npbn2/4p3/4P3/2NPBN2/PPPQ1PPP/R3K2R w KQkq -",
                        "e1g1", "e8c8"});
    EXPECT_EQ(out, "");
    EXPECT_EQ(session_finish(&s), 0);
}

TEST(XboardAdjudication, ResultLinesThroughTheProtocol) {
    Session s;
    start_xboard(&s);
    std::string out = exchange(&s, {"new", "force", "f2f3", "e7e5", "g2g4", "d8h4"});
    EXPECT_EQ(out, "0-1 {Black mates}\n");
    // A rejected word still runs the check: the finished game reports again.
    out = exchange(&s, {"e2x4"});
    EXPECT_EQ(out, "Error (unknown command): e2x4\n0-1 {Black mates}\n");

    out = exchange(&s, {"setboard 7k/5Q2/6K1/8/8/8/8/8 b - -", "h8h7"});
    EXPECT_EQ(out, "Illegal move: h8h7\n1/2-1/2 {Stalemate}\n");
    out = exchange(&s, {"setboard 8/8/8/4k3/8/8/8/1N2K2b w - -", "b1c3", "h1e4", "c3e4"});
    EXPECT_EQ(out, "1/2-1/2 {Draw by insufficient material}\n");
    out = exchange(&s, {"new", "force", "g1f3", "g8f6", "f3g1", "f6g8", "g1f3", "g8f6", "f3g1",
                        "f6g8"});
    EXPECT_EQ(out, "1/2-1/2 {Draw by repetition}\n");
    // The engine's own mating move is followed by the result line.
    out = exchange(&s, {"setboard 6k1/5ppp/8/8/8/8/5PPP/R5K1 w - -", "sd 3", "go"});
    EXPECT_NE(out.find("move a1a8 \n1-0 {White mates}\n"), std::string::npos) << out;
    EXPECT_EQ(session_finish(&s), 0);
}

}  // namespace

namespace {

TEST(XboardGame, EndlessGameStopsBeforeTheHistoryIsFull) {
    Session s;
    start_xboard(&s);
    std::vector<std::string> lines = {"new", "force"};
    const char* dance[] = {"g1f3", "g8f6", "f3g1", "f6g8"};
    for (int i = 0; i < 4100; i++) lines.push_back(dance[i % 4]);
    std::string out = exchange(&s, lines);
    EXPECT_GT(count_of(out, "Illegal move (game too long): "), 0);
    EXPECT_EQ(count_of(out, "Illegal move: "), 0);
    // Neither an engine move nor a hint searches past the end of the history.
    out = exchange(&s, {"sd 3", "hint", "go"});
    EXPECT_EQ(lines_starting(out, "move ").size(), 0u) << out;
    EXPECT_EQ(lines_starting(out, "tellusererror Game too long").size(), 1u) << out;
    out = exchange(&s, {"new", "sd 2", "e2e4"});
    EXPECT_EQ(lines_starting(out, "move ").size(), 1u);
    EXPECT_EQ(session_finish(&s), 0);
}

}  // namespace
