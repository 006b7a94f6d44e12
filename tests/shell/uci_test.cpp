// The UCI protocol through the real program, one test per command family: lines in, lines out.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "support/session.h"

namespace {

using Lines = std::vector<std::string>;

const std::string START_FEN = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";
const std::string ONE_MOVE_FEN = "7k/8/8/8/8/8/6q1/7K w - - 0 1";  // only Kxg2
const std::string STALEMATE_FEN = "7k/5Q2/6K1/8/8/8/8/8 b - - 0 1";

// The program in UCI mode, past its answer to "uci"; without bitbases on every system.
struct Uci : testing::Test {
    Session s;
    void SetUp() override {
        ASSERT_TRUE(session_start(&s, "path ./no-bitbases/\n"));
        session_send(&s, "uci");
        ASSERT_TRUE(session_expect(&s, "uciok"));
    }
    void TearDown() override {
        session_send(&s, "quit");
        EXPECT_EQ(session_finish(&s), 0);
    }
    // What the lines print, up to the readyok of an "isready" sent after them.
    std::string talk(const Lines& lines) {
        for (const std::string& line : lines) session_send(&s, line);
        session_send(&s, "isready");
        std::string out = session_until(&s, "readyok");
        return out.substr(0, out.size() - std::string("readyok\n").size());
    }
    // What the lines print, up to and including a bestmove line.
    std::string search(const Lines& lines) {
        for (const std::string& line : lines) session_send(&s, line);
        return session_until(&s, "bestmove");
    }
};

// The word after "bestmove", and after "ponder" when there is one.
std::string best_move(const std::string& out) {
    std::smatch m;
    return std::regex_search(out, m, std::regex("bestmove (\\S+)")) ? m[1].str() : "";
}

// The last line that starts with the prefix and holds the needle.
std::string last_line(const std::string& out, const std::string& prefix, const std::string& needle = "") {
    std::string found;
    for (size_t at = 0; at < out.size();) {
        size_t end = out.find('\n', at);
        if (end == std::string::npos) end = out.size();
        const std::string line = out.substr(at, end - at);
        if (line.rfind(prefix, 0) == 0 && line.find(needle) != std::string::npos) found = line;
        at = end + 1;
    }
    return found;
}

// The centipawns of the last line of the search with a score.
int last_score(const std::string& out) {
    std::smatch m;
    const std::string line = last_line(out, "info depth", " score cp ");
    return std::regex_search(line, m, std::regex(" score cp (-?\\d+)")) ? std::stoi(m[1].str()) : 99999;
}

// "uci" as the very first line, with no flag: whatever the console printed before, every UCI
// line starts a line of its own, and the entry's messages are info strings.
TEST(UciEntry, FirstLineUciAnswersWithIdentityAndOptions) {
    Session s;
    // A folder with no library: the default one is found next to a Windows engine.
    ASSERT_TRUE(session_start(&s, "path ./no-bitbases/\n"));
    session_send(&s, "uci");
    std::string out = session_until(&s, "uciok");
    EXPECT_NE(out.find("tolvane> \n"), std::string::npos) << out;
    EXPECT_EQ(out.find("tolvane> id"), std::string::npos) << out;
    EXPECT_NE(out.find("\ninfo string EgbbProbe not Loaded!\n"), std::string::npos) << out;
    EXPECT_EQ(out.find("\nEgbbProbe"), std::string::npos) << out;
    EXPECT_NE(out.find("\ninfo string Missing obliged file(s)random1.bin and/or random2.bin. "
                       "Rebel book not loaded!\n"),
              std::string::npos) << out;
    const std::string answer =
        "id name Tolvane v.4.88\n"
        "id author the Tolvane team\n"
        "option name Hash type spin default 32 min 1 max 65536\n"
        "option name Threads type spin default 1 min 1 max 256\n"
        "option name Clear Hash type button\n"
        "option name Ponder type check default false\n"
        "option name MultiPV type spin default 1 min 1 max 256\n"
        "option name Move Overhead type spin default 300 min 0 max 5000\n"
        "option name OwnBook type check default true\n"
        "option name Main Book type string default <empty>\n"
        "option name Tournament Book type string default <empty>\n"
        "option name Polyglot Book type string default <empty>\n"
        "option name Book Best Move type check default false\n"
        "option name Eval Cache type spin default 4 min 1 max 4095\n"
        "option name Bitbase Path type string default ./no-bitbases/\n"
        "option name Bitbase Men type spin default 5 min 0 max 5\n"
        "option name Bitbase Cache type spin default 32 min 0 max 2047\n"
        "option name Bitbase Load Type type spin default 0 min 0 max 3\n"
        "option name UCI_AnalyseMode type check default false\n"
        "option name UCI_Chess960 type check default false\n"
        "uciok\n";
    EXPECT_EQ(out.substr(out.find("id name")), answer);
    // Asked again, the same answer.
    session_send(&s, "uci");
    out = session_until(&s, "uciok");
    EXPECT_EQ(out, answer);
    session_send(&s, "quit");
    EXPECT_EQ(session_finish(&s), 0);
}

// The defaults come from the settings file and the command line; the console may come first.
TEST(UciEntry, DefaultsFollowTheSettingsAndTheConsoleMayComeFirst) {
    Session s;
    ASSERT_TRUE(session_start(&s, "hash 64\nownbook off\nmainbook my book.bin\nmen 4\n", {"hash", "16"}));
    session_send(&s, "help");
    session_send(&s, "uci");
    std::string out = session_until(&s, "uciok");
    EXPECT_NE(out.find("\nid name Tolvane v.4.88\n"), std::string::npos) << out;
    EXPECT_NE(out.find("option name Hash type spin default 16 min 1 max 65536\n"), std::string::npos);
    EXPECT_NE(out.find("option name OwnBook type check default false\n"), std::string::npos);
    EXPECT_NE(out.find("option name Main Book type string default my\n"), std::string::npos);
    EXPECT_NE(out.find("option name Bitbase Men type spin default 4 min 0 max 5\n"), std::string::npos);
    EXPECT_EQ(out.find("Rebel book"), std::string::npos) << "the book is off";
    session_send(&s, "quit");
    EXPECT_EQ(session_finish(&s), 0);
}

TEST_F(Uci, SmallCommandsAndUnknownWords) {
    EXPECT_EQ(talk({"debug on", "debug off", "debug", "register later", "ucinewgame", "stop",
                    "ponderhit", "hello there", "", "   ", "e2e4"}),
              "info string debug needs on or off\n"
              "info string Unknown command: hello\n"
              "info string Unknown command: e2e4\n");
    // Unknown words before a command are skipped: this is "debug on".
    std::string out = search({"joho debug on", "go depth 1"});
    EXPECT_NE(out.find("info string limits: "), std::string::npos) << out;
}

TEST_F(Uci, OptionsRefusedWithAReason) {
    EXPECT_EQ(talk({"setoption name Foo value 1", "setoption name Hash value 0",
                    "setoption name Hash value 65537", "setoption name Hash value 64MB",
                    "setoption name Ponder value maybe", "setoption name Ponder",
                    "setoption name Bitbase Men value 6", "setoption", "setoption name",
                    "setoption name value 3", "setoption value 3",
                    "setoption name Main Book value " + std::string(300, 'b')}),
              "info string No such option: Foo\n"
              "info string Option Hash needs a number from 1 to 65536: unchanged\n"
              "info string Option Hash needs a number from 1 to 65536: unchanged\n"
              "info string Option Hash needs a number from 1 to 65536: unchanged\n"
              "info string Option Ponder needs true or false: unchanged\n"
              "info string Option Ponder needs true or false: unchanged\n"
              "info string Option Bitbase Men needs a number from 0 to 5: unchanged\n"
              "info string setoption needs: name <option> [value <value>]\n"
              "info string setoption needs: name <option> [value <value>]\n"
              "info string setoption needs: name <option> [value <value>]\n"
              "info string setoption needs: name <option> [value <value>]\n"
              "info string Option Main Book takes at most 255 characters: unchanged\n");
    // Nothing changed.
    std::string out = talk({"uci"});
    EXPECT_NE(out.find("option name Hash type spin default 32 "), std::string::npos) << out;
    EXPECT_NE(out.find("option name Main Book type string default <empty>\n"), std::string::npos);
}

// Names in any case, names and values with spaces; what loads waits for isready and says so.
TEST_F(Uci, OptionsTakeEffect) {
    EXPECT_EQ(talk({"setoption name hash value 64", "setoption name main book value  my  book.bin ",
                    "setoption name OWNBOOK value False", "setoption name uci_chess960 value TRUE",
                    "setoption name Bitbase Men value 3", "setoption name Eval Cache value 8",
                    "setoption name Clear Hash", "setoption name Ponder value true"}),
              "");
    std::string out = talk({"uci"});
    for (const char* line : {"option name Hash type spin default 64 min 1 max 65536\n",
                             "option name Main Book type string default my  book.bin\n",
                             "option name OwnBook type check default false\n",
                             "option name UCI_Chess960 type check default true\n",
                             "option name Bitbase Men type spin default 3 min 0 max 5\n",
                             "option name Eval Cache type spin default 8 min 1 max 4095\n",
                             "option name Ponder type check default true\n"})
        EXPECT_NE(out.find(line), std::string::npos) << line << out;
    // The book and the bitbases load at the next isready, each saying how it went.
    EXPECT_EQ(talk({"setoption name OwnBook value true"}),
              "info string Missing obliged file(s)random1.bin and/or random2.bin. Rebel book not loaded!\n");
    EXPECT_EQ(talk({"setoption name Bitbase Path value /no/such/folder"}), "info string EgbbProbe not Loaded!\n");
    // Our library, named by a folder without its separator.
    const std::string library_folder = session_engine_folder() + "/egbb";
    EXPECT_EQ(talk({"setoption name Bitbase Path value " + library_folder}), "");
    out = talk({"uci"});
    EXPECT_NE(out.find("option name Bitbase Path type string default " + library_folder + "/\n"),
              std::string::npos) << out;
    // With the bitbases loaded a three-men ending is known exactly: a won score at once.
    out = search({"setoption name UCI_Chess960 value false", "position fen 8/8/8/4k3/8/8/8/R3K3 w - - 0 1",
                  "go depth 2"});
    EXPECT_NE(out.find("score cp 299"), std::string::npos) << out;
}

TEST_F(Uci, PositionsAllOrNothing) {
    EXPECT_EQ(talk({"position fen " + ONE_MOVE_FEN}), "");
    EXPECT_EQ(talk({"position fen 8/8/8/8/8/8/8/8 w - - 0 1",
                    "position startpos moves e2e4 e7e5 e1e2 e8e7 e2e1 e7e8 e1e3",
                    "position startpos moves e2e4 e7e5 e2e4",
                    "position startpos moves e2e4 e7e8q",
                    "position fen rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq",
                    "position fen " + START_FEN + " extra moves e2e4",
                    "position fen rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR x KQkq - 0 1",
                    "position fen rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - x 1",
                    "position", "position moves e2e4", "position startpos e2e4",
                    "position fen 4k3/8/8/8/8/8/8/4K2R w K - 0 1 moves e1h1"}),
              "info string Illegal position: 8/8/8/8/8/8/8/8 w - -\n"
              "info string Illegal move e1e3: the position stays as it was\n"
              "info string Illegal move e2e4: the position stays as it was\n"
              "info string Illegal move e7e8q: the position stays as it was\n"
              "info string Position refused: a FEN has 4 to 6 fields, this one 3\n"
              "info string Position refused: a FEN has 4 to 6 fields, this one 7\n"
              "info string Position refused: the side to move is w or b, not x\n"
              "info string Position refused: the move counters are numbers from 0\n"
              "info string Position refused: startpos or fen expected\n"
              "info string Position refused: startpos or fen expected\n"
              "info string Position refused: moves expected, not e2e4\n"
              "info string Illegal move e1h1: the position stays as it was\n");
    // Still the position of the first line: one legal move.
    EXPECT_EQ(best_move(search({"go depth 3"})), "h1g2");
}

// Moves of every kind are read, and each is played on the engine's board: the move after them
// is legal or illegal as the position they lead to says.
TEST_F(Uci, PositionsWithMovesOfEveryKind) {
    EXPECT_EQ(talk({"position startpos moves e2e4 a7a6 e4e5 d7d5 e5d6 c7d6",  // en passant
                    "position startpos moves e2e4 a7a6 e4e5 d7d5 e5d6 d5d4",
                    "position fen 4k3/1P6/8/8/8/8/8/4K3 w - - 0 1 moves b7b8n e8f7 b8a6",  // promotions
                    "position fen 4k3/1P6/8/8/8/8/8/4K3 w - - 0 1 moves b7b8N e8f7 b8b1",
                    "position fen 4k3/1P6/8/8/8/8/8/4K3 w - - 0 1 moves b7b8q e8f7 b8b1",
                    "position fen r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1 moves e1g1 e8c8 f1f8",  // castling
                    "position fen r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1 moves e1g1 e8c8 h1h8"}),
              "info string Illegal move d5d4: the position stays as it was\n"
              "info string Illegal move b8b1: the position stays as it was\n"
              "info string Illegal move h1h8: the position stays as it was\n");
    // After the castlings White's rook stands on f8, attacked by both of Black's.
    EXPECT_TRUE(std::regex_match(best_move(search({"position fen r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1 moves "
                                                   "e1g1 e8c8 f1f8", "go depth 3"})),
                                 std::regex("[dh]8f8")));
    EXPECT_TRUE(std::regex_match(best_move(search({"position fen " + ONE_MOVE_FEN + " moves h1g2 h8g8", "go depth 3"})),
                                 std::regex("g2[a-h][1-8]")));
}

// The draw rules see the whole game: a repetition inside the move list, and the FEN's
// halfmove counter, save the side that is a queen down.
TEST_F(Uci, RepetitionsAndTheFiftyMoveCounterCount) {
    const std::string lost = "position fen k7/8/8/8/8/8/q7/7K w - - ";
    std::string out = search({lost + "0 1", "go depth 4"});
    EXPECT_LT(last_score(out), -500) << out;
    out = search({lost + "0 1 moves h1g1 a2b2 g1h1 b2a2", "go depth 4"});
    EXPECT_EQ(last_score(out), 0) << out;
    EXPECT_EQ(best_move(out), "h1g1") << out;
    out = search({lost + "99 80", "go depth 4"});
    EXPECT_EQ(last_score(out), 0) << out;
}

// Castling in Chess960 is the king taking its own rook, in and out; in normal chess e1g1.
TEST_F(Uci, Chess960Castling) {
    const std::string fen = "position fen 1r3kr1/pppppppp/8/8/8/8/PPPPPPPP/1R3KR1 w GBgb - 0 1";
    EXPECT_EQ(talk({"setoption name UCI_Chess960 value true", fen + " moves f1g1 f8b8 g1h1"}), "");
    EXPECT_EQ(talk({fen + " moves f1h1", fen + " moves f1e1 f8g8 e1c1"}),
              "info string Illegal move f1h1: the position stays as it was\n"
              "info string Illegal move e1c1: the position stays as it was\n");
    EXPECT_EQ(best_move(search({fen, "go depth 2 searchmoves f1b1"})), "f1b1");
    EXPECT_EQ(best_move(search({"position fen r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1", "go depth 2 searchmoves e8a8"})),
              "e8a8");
    // The same castling in normal chess.
    EXPECT_EQ(best_move(search({"setoption name UCI_Chess960 value false",
                                "position fen r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1", "go depth 2 searchmoves e8c8"})),
              "e8c8");
    EXPECT_EQ(talk({"position fen r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1 moves e8a8"}),
              "info string Illegal move e8a8: the position stays as it was\n");
}

TEST_F(Uci, GoLimits) {
    std::string out = search({"position startpos", "go depth 5"});
    EXPECT_NE(out.find("\ninfo depth 5 "), std::string::npos) << out;
    EXPECT_EQ(out.find("info depth 6 "), std::string::npos) << out;
    EXPECT_TRUE(std::regex_search(out, std::regex("bestmove [a-h][12][a-h][34] ponder [a-h][78][a-h][56]\n"))) << out;
    // A node limit stops the search at its node; the summary before the answer counts them.
    out = search({"go nodes 3000"});
    EXPECT_TRUE(std::regex_search(last_line(out, "info depth"), std::regex(" nodes 300[012] "))) << out;
    // A mate in two is found and ends the search by itself.
    out = search({"position fen 7k/8/8/8/8/8/R7/1R5K w - - 0 1", "go mate 2"});
    EXPECT_NE(out.find(" score mate 2 "), std::string::npos) << out;
    // Being mated is a negative count of moves.
    out = search({"position fen 7k/8/8/8/8/8/R7/1R5K w - - 0 1 moves b1b7 h8g8", "go depth 3"});
    EXPECT_NE(out.find(" score mate 1 pv a2a8"), std::string::npos) << out;
    out = search({"position fen 7k/8/8/8/8/8/R7/1R5K w - - 0 1 moves b1b7", "go depth 3"});
    EXPECT_NE(out.find(" score mate -1 pv "), std::string::npos) << out;
    // The root's moves, and words that are not moves.
    out = search({"position startpos", "go depth 4 searchmoves a2a3 h2h3 z9z9"});
    EXPECT_TRUE(best_move(out) == "a2a3" || best_move(out) == "h2h3") << out;
    EXPECT_NE(out.find("info string searchmoves: z9z9 is not a legal move here\n"), std::string::npos);
    // No legal move: the null move.
    EXPECT_EQ(best_move(search({"position fen " + STALEMATE_FEN, "go depth 3"})), "0000");
    EXPECT_EQ(best_move(search({"position fen 7k/6Q1/6K1/8/8/8/8/8 b - - 0 1", "go wtime 1000"})), "0000");
}

// Clocks go through the xboard driver's time rules: its worked examples, seen through "debug".
TEST_F(Uci, ClocksFollowTheXboardTimeRules) {
    const struct {
        std::string go;
        std::string limits;
    } cases[] = {
        // "level 40 5 0" and "time 30000", the engine Black at the start of the game.
        {"go wtime 300000 btime 300000 movestogo 40", "move 299700 soft 3746 extended 11238 hard 61163 ms, moves to go 40"},
        // "level 0 2 12" and "time 1000": the increment rules a short clock.
        {"go wtime 10000 btime 10000 winc 12000 binc 12000", "move 9000 soft 4500 extended 9000 hard 9000"},
        {"go btime 1000 binc 10 wtime 5", "move 33 soft 16 extended 49 hard 132"},
        // Sudden death: forty moves assumed; the clock is a few milliseconds, or gone.
        {"go btime 12000", "move 11700 soft 146 extended 438 hard 2387 ms, moves to go 40"},
        {"go btime 100 wtime 100", "move -200 soft -2 extended -7 hard -40 ms, moves to go 40"},
        {"go btime -500", "move -800 soft -10 extended -30 hard -163 ms"},
        // movetime is "st" in milliseconds, and caps a clock.
        {"go movetime 250", "move 250 soft 250 extended 250 hard 250 ms"},
        {"go btime 300000 movetime 1000", "move 1000 soft 1000 extended 1000 hard 1000 ms"},
    };
    talk({"debug on", "position startpos moves e2e4"});
    for (const auto& c : cases) {
        std::string out = search({c.go + " depth 1"});  // the limits are set; no need to use them
        EXPECT_NE(out.find("info string limits: " + c.limits), std::string::npos) << c.go << "\n" << out;
        EXPECT_TRUE(std::regex_search(out, std::regex("bestmove [a-h][78][a-h][1-8]"))) << out;
    }
}

// isready is answered while the search goes on; stop ends it; an infinite search that ends
// by itself still waits for stop before it answers.
TEST_F(Uci, InfiniteSearchAndStop) {
    session_send(&s, "position startpos");
    session_send(&s, "go infinite");
    ASSERT_TRUE(session_expect(&s, "info depth 3 "));
    // A long search shows its progress, with the table's use, about once a second.
    std::string line;
    while (session_line(&s, &line) && line.find(" hashfull ") == std::string::npos) {
    }
    EXPECT_TRUE(std::regex_match(line, std::regex("info depth \\d+ seldepth \\d+ hashfull (\\d|[1-9]\\d\\d?|1000) "
                                                  "time \\d+ nodes \\d+ nps \\d+"))) << line;
    EXPECT_EQ(talk({}).find("bestmove"), std::string::npos);
    std::string out = search({"stop"});
    EXPECT_TRUE(std::regex_search(out, std::regex("bestmove [a-h][12][a-h][34]"))) << out;
    for (const std::string& position : Lines{"position fen " + STALEMATE_FEN, "position startpos"}) {
        session_send(&s, position);
        session_send(&s, "go infinite depth 2");
        EXPECT_EQ(talk({}).find("bestmove"), std::string::npos) << position;
        EXPECT_EQ(count_of(search({"stop"}), "bestmove"), 1);
    }
}

TEST_F(Uci, PonderHitAndPonderMiss) {
    // A hit turns the pondering into the timed search of the same go.
    session_send(&s, "position startpos moves e2e4 e7e5");
    session_send(&s, "go ponder movetime 300");
    ASSERT_TRUE(session_expect(&s, "info depth 3 "));
    EXPECT_EQ(talk({}).find("bestmove"), std::string::npos);
    std::string out = search({"ponderhit"});
    EXPECT_TRUE(std::regex_search(out, std::regex("bestmove [a-h][12][a-h][1-8]"))) << out;
    // A miss: stop, and the answer that follows is not played.
    session_send(&s, "go ponder wtime 60000 btime 60000");
    ASSERT_TRUE(session_expect(&s, "info depth 3 "));
    EXPECT_EQ(count_of(search({"stop"}), "bestmove"), 1);
    // A pondering search that ended by itself answers at the hit.
    session_send(&s, "go ponder depth 2");
    EXPECT_EQ(talk({}).find("bestmove"), std::string::npos);
    EXPECT_EQ(count_of(search({"ponderhit"}), "bestmove"), 1);
}

// Lines for after the search wait for it, in their order; nothing is lost.
TEST_F(Uci, LinesDuringASearchAreKept) {
    session_send(&s, "position startpos");
    session_send(&s, "go infinite");
    ASSERT_TRUE(session_expect(&s, "info depth 3 "));
    for (const char* line : {"position startpos moves e2e4", "setoption name Foo value 1", "debug on", "go depth 2"})
        session_send(&s, line);
    EXPECT_EQ(talk({}).find("bestmove"), std::string::npos);
    session_send(&s, "stop");
    std::string out = session_until(&s, "bestmove");  // the infinite search's answer
    out = session_until(&s, "bestmove");              // then the kept lines, in order
    EXPECT_EQ(out.find("info string No such option: Foo\ninfo string limits: "), 0u) << out;
    EXPECT_TRUE(std::regex_search(out, std::regex("bestmove [a-h][78][a-h][1-8]"))) << out;
}

// quit during a search answers first; so does an interface that goes away.
TEST(UciSession, QuitOrEndOfInputDuringASearch) {
    for (bool quit : {true, false}) {
        Session s;
        ASSERT_TRUE(session_start(&s));
        for (const char* line : {"uci", "position startpos", "go infinite"}) session_send(&s, line);
        ASSERT_TRUE(session_expect(&s, "info depth 3 "));
        if (quit) session_send(&s, "quit");
        EXPECT_EQ(session_finish(&s), 0);
        EXPECT_EQ(count_of(s.transcript, "\nbestmove "), 1) << s.transcript;
    }
}

TEST_F(Uci, BadInputIsRefusedAndNothingElseLost) {
    const std::string dance = " g1f3 g8f6 f3g1 f6g8";
    std::string game;
    for (int i = 0; i < 100; i++) game += dance;
    std::string too_long_game;
    for (int i = 0; i < 1025; i++) too_long_game += dance;
    EXPECT_EQ(talk({std::string(40000, 'x'), "position startpos moves" + std::string(100000, ' '),
                    "position startpos moves" + game, "position startpos moves" + too_long_game,
                    "go depth" + std::string(70000, '9')}),
              "info string Line of 32767 characters or more ignored\n"
              "info string Line of 32767 characters or more ignored\n"
              "info string Position refused: longer than 3994 half-moves\n"
              "info string Line of 32767 characters or more ignored\n");
    // The 400 plies were played: White to move at the start position, where the knights'
    // return is a repetition, and another legal move.
    std::string out = search({"go depth 3"});
    EXPECT_TRUE(std::regex_search(out, std::regex("bestmove [a-h][12][a-h][1-8]"))) << out;
    // Numbers out of range, words in the wrong place, values missing.
    out = search({"go depth 99999 nodes -5 wtime 99999999999 movestogo -3 mate 0 foo"});
    EXPECT_NE(out.find("info string go: foo ignored\n"), std::string::npos) << out;
    EXPECT_EQ(count_of(out, "bestmove"), 1);
    out = search({"go btime wtime 10 searchmoves depth"});
    EXPECT_NE(out.find("info string go: btime needs a number\n"), std::string::npos) << out;
    EXPECT_NE(out.find("info string go: depth needs a number\n"), std::string::npos) << out;
}

// The same position and limits through both protocols: the same tree, score, nodes and move.
// A depth, and a clock: with one legal move the search ends by itself after a few iterations,
// whatever the machine's speed, so a timed search can be compared whole.
TEST(UciVersusXboard, SameSearchAtAFixedDepthAndClock) {
    const struct {
        std::string fen;
        Lines xboard_limits;
        std::string go;
        int depth;  // of the last iteration
    } cases[] = {
        {"r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 4 4", {"sd 8"}, "go depth 7", 7},
        {"r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R b KQkq - 0 1", {"sd 8"}, "go depth 7", 7},
        {"8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1", {"sd 8"}, "go depth 7", 7},
        // Only Kxg2; the rook left behind gives the search something to see. "time" in force
        // mode, before "go", counts forty moves to go in "level 40 5 0".
        {"k7/8/8/8/8/8/6r1/r6K w - - 0 1", {"level 40 5 0", "time 30000", "otim 30000"},
         "go wtime 300000 btime 300000 movestogo 40", 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fen + " " + c.go);
        Session x;
        ASSERT_TRUE(session_start(&x));
        Lines xboard_lines{"xboard", "protover 2", "new", "force", "setboard " + c.fen};
        xboard_lines.insert(xboard_lines.end(), c.xboard_limits.begin(), c.xboard_limits.end());
        xboard_lines.push_back("go");
        for (const std::string& line : xboard_lines) session_send(&x, line);
        std::string xout = session_until(&x, "move ");
        session_send(&x, "quit");
        EXPECT_EQ(session_finish(&x), 0);
        // "7 35 12 4096 e2e4 e7e5": depth, score, time, nodes, line.
        std::smatch xm;
        const std::string xline = last_line(xout, std::to_string(c.depth) + " ");
        ASSERT_TRUE(std::regex_match(xline, xm, std::regex("(\\d+) (-?\\d+) \\d+ (\\d+) (.*\\S) ?"))) << xout;

        Session u;
        ASSERT_TRUE(session_start(&u));
        for (const std::string& line : Lines{"uci", "ucinewgame", "position fen " + c.fen, c.go})
            session_send(&u, line);
        std::string uout = session_until(&u, "bestmove");
        session_send(&u, "quit");
        EXPECT_EQ(session_finish(&u), 0);
        EXPECT_EQ(last_line(uout, "info depth " + std::to_string(c.depth + 1) + " "), "") << "one iteration more";
        std::smatch um;
        const std::string uline = last_line(uout, "info depth " + std::to_string(c.depth) + " ", " score ");
        ASSERT_TRUE(std::regex_search(uline, um, std::regex("nodes (\\d+) .*score cp (-?\\d+) pv (.*)"))) << uout;

        EXPECT_EQ(um[1].str(), xm[3].str()) << "nodes";
        EXPECT_EQ(um[2].str(), xm[2].str()) << "score";
        EXPECT_EQ(um[3].str(), xm[4].str()) << "line";
        EXPECT_EQ(best_move(uout), xout.substr(xout.rfind("move ") + 5, 4));
    }
}

}  // namespace
