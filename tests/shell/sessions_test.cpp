// Sessions that need logic beyond a transcript: two programs compared or playing each other,
// stop moments at random, a move's time, and a game longer than the history.
#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <thread>

#include "support/session.h"

namespace {

using Lines = std::vector<std::string>;

// The last line of `out` that starts with `prefix`.
std::string last_line(const std::string& out, const std::string& prefix) {
    const std::string text = "\n" + out;
    const size_t at = text.rfind("\n" + prefix);
    return at == std::string::npos ? "" : text.substr(at + 1, text.find('\n', at + 1) - at - 1);
}

// The same position and limits through both protocols: the same tree, score, nodes and move. A
// depth, and a clock: with one legal move the search ends by itself after a few iterations,
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
        // Only Kxg2; "time" in force mode, before "go", counts forty moves to go in "level 40 5 0".
        {"k7/8/8/8/8/8/6r1/r6K w - - 0 1", {"level 40 5 0", "time 30000", "otim 30000"},
         "go wtime 300000 btime 300000 movestogo 40", 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fen + " " + c.go);
        Session x, u;
        ASSERT_TRUE(session_start(&x) && session_start(&u));
        Lines lines{"xboard", "protover 2", "new", "force", "setboard " + c.fen};
        lines.insert(lines.end(), c.xboard_limits.begin(), c.xboard_limits.end());
        for (const std::string& line : lines) session_send(&x, line);
        session_send(&x, "go");
        const std::string xout = session_until(&x, "move ");
        for (const std::string& line : Lines{"uci", "ucinewgame", "position fen " + c.fen, c.go}) session_send(&u, line);
        const std::string uout = session_until(&u, "bestmove"), depth = std::to_string(c.depth);
        EXPECT_EQ(last_line(uout, "info depth " + std::to_string(c.depth + 1) + " "), "") << "one iteration more";
        // "7 35 12 4096 e2e4 e7e5": depth, score, time, nodes, line; in UCI the last line with a score.
        const std::string xline = last_line(xout, depth + " ");
        const size_t score = uout.rfind(" score "), begin = uout.rfind('\n', score) + 1;
        const std::string uline = uout.substr(begin, uout.find('\n', score) - begin);
        EXPECT_TRUE(uline.starts_with("info depth " + depth + " ")) << uout;
        EXPECT_EQ(first_match(uline, "nodes (\\d+) "), first_match(xline, "^\\d+ -?\\d+ \\d+ (\\d+) ")) << xout << uout;
        EXPECT_EQ(first_match(uline, "score cp (-?\\d+) "), first_match(xline, "^\\d+ (-?\\d+) "));
        EXPECT_EQ(first_match(uline, " pv (.*\\S)"), first_match(xline, "^\\d+ -?\\d+ \\d+ \\d+ (.*\\S)"));
        EXPECT_EQ(first_match(uout, "bestmove (\\S+)"), first_match(xout, "\nmove (\\S+)"));
        EXPECT_FALSE(first_match(uout, "bestmove (\\S+)").empty());
    }
}

// A pause of up to a third of a second, the same on every run.
void pause_a_little(std::mt19937* random) { std::this_thread::sleep_for(std::chrono::milliseconds((*random)() % 300)); }

// Several threads: stop at any moment, ponderhit, a node limit over all threads, the count changed
// between searches up and down, and the end of input in the middle of a search, each with a move.
TEST(ThreadsSession, UciSearchesEndWithAMoveWhateverEndsThem) {
    Session s;
    ASSERT_TRUE(session_start(&s, "path ./no-bitbases/\n"));
    std::mt19937 random(25);
    session_send(&s, "uci");
    for (const char* threads : {"4", "2", "4", "1", "3"}) {
        SCOPED_TRACE(threads);
        session_send(&s, std::string("setoption name Threads value ") + threads);
        session_send(&s, "position startpos moves e2e4 c7c5 g1f3");
        for (const char* go : {"go infinite", "go ponder wtime 2000 btime 2000"}) {
            session_send(&s, go);
            pause_a_little(&random);
            session_send(&s, go[3] == 'i' ? "stop" : "ponderhit");
            EXPECT_NE(first_match(session_until(&s, "bestmove"), "bestmove (\\S+)"), "0000");
        }
        session_send(&s, "go nodes 20000");
        const std::string out = session_until(&s, "bestmove");
        const long long nodes = std::atoll(first_match(last_line(out, "info depth"), "nodes (\\d+)").c_str());
        EXPECT_GE(nodes, 20000) << out;
        EXPECT_LE(nodes, 30000) << out;
    }
    session_send(&s, "go infinite");
    pause_a_little(&random);
    EXPECT_EQ(session_finish(&s), 0);
    EXPECT_NE(first_match(s.transcript.substr(s.transcript.rfind("bestmove")), "bestmove (\\S+)"), "0000");
}

// "?" at any moment, a clock, analysis with "." and "exit", a hint, and quit during a search.
TEST(ThreadsSession, XboardSearchesEndWithAMoveWhateverEndsThem) {
    Session s;
    ASSERT_TRUE(session_start(&s, "path ./no-bitbases/\nthreads 4\n"));
    std::mt19937 random(960);
    session_exchange(&s, {"xboard", "protover 2"});
    for (const char* cores : {"4", "2", "3"}) {
        SCOPED_TRACE(cores);
        for (const std::string& line : Lines{std::string("cores ") + cores, "new", "st 30", "go"}) session_send(&s, line);
        pause_a_little(&random);
        session_send(&s, "?");
        ASSERT_TRUE(session_expect(&s, "move "));
        for (const char* line : {"level 0 0:02 0", "time 200", "go"}) session_send(&s, line);
        ASSERT_TRUE(session_expect(&s, "move "));
        for (const char* line : {"force", "analyze"}) session_send(&s, line);
        pause_a_little(&random);
        for (const char* line : {".", "exit"}) session_send(&s, line);
    }
    session_send(&s, "hint");
    ASSERT_TRUE(session_expect(&s, "Hint: "));
    session_send(&s, "go");
    pause_a_little(&random);
    session_send(&s, "quit");
    EXPECT_EQ(session_finish(&s), 0);
}

// A search that takes input it cannot see for a command stops at its first time check: a timed
// move that came at once, from a shallow depth, would show it.
TEST(PlatformSession, TimedMoveUsesItsTime) {
    Session s;
    ASSERT_TRUE(session_start(&s, "path ./no-bitbases/\n"));
    session_exchange(&s, {"xboard", "protover 2", "new", "st 2"});
    const auto start = std::chrono::steady_clock::now();
    session_send(&s, "go");
    const std::string out = session_until(&s, "move ");
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::seconds(1)) << out;
    EXPECT_NE(first_match(out, "\n([89]|\\d\\d) -?\\d+ \\d+ \\d+ "), "") << "a thinking line of depth 8 or more\n" << out;
}

// A mended fault: an endless game once ran past the end of the move history. Neither an engine
// move nor a hint searches past its end; the fifty-move rule is claimed meanwhile.
TEST(Xboard, EndlessGameStopsBeforeTheHistoryIsFull) {
    Session s;
    ASSERT_TRUE(session_start(&s, "path ./no-bitbases/\n"));
    Lines lines = {"xboard", "new", "force"};
    const char* dance[] = {"g1f3", "g8f6", "f3g1", "f6g8"};
    for (int i = 0; i < 4100; i++) lines.push_back(dance[i % 4]);
    std::string out = session_exchange(&s, lines);
    EXPECT_GT(count_of(out, "Illegal move (game too long): "), 0);
    EXPECT_GT(count_of(out, "1/2-1/2 {Draw by 50 move rule}"), 0);
    EXPECT_EQ(count_of(out, "Illegal move: "), 0);
    out = session_exchange(&s, {"sd 3", "hint", "go"});
    EXPECT_EQ(count_of(out, "move "), 0) << out;
    EXPECT_EQ(count_of(out, "tellusererror Game too long"), 1) << out;
    EXPECT_EQ(count_of(session_exchange(&s, {"new", "sd 2", "e2e4"}), "\nmove "), 1);
}

// Tolvane against Tolvane, both in force mode but for the one "go" that asks for each move: every
// move relayed is accepted, and a won ending ends with a result line.
TEST(SelfPlay, ShortGames) {
    const struct {
        Lines setup;
        int mover, max_plies;
    } games[] = {
        {{}, 0, 120},
        {{"setboard r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R b KQkq - 3 3"}, 1, 120},
        {{"variant fischerandom", "setboard bqnb1rkr/pp3ppp/3ppn2/2p5/5P2/P2P4/NPP1P1PP/BQ1BNRKR w KQkq -"}, 0, 120},
        {{"setboard 8/8/8/4k3/8/8/8/R3K3 w - -"}, 0, 300},
    };
    for (const auto& g : games) {
        SCOPED_TRACE(g.setup.empty() ? "start" : g.setup.back());
        Session engines[2];
        for (Session& e : engines) {
            ASSERT_TRUE(session_start(&e, "path ./no-bitbases/\n"));
            Lines lines = {"xboard", "protover 2", "new", "force", "sd 3"};
            lines.insert(lines.end(), g.setup.begin(), g.setup.end());
            session_exchange(&e, lines);
        }
        std::string move, out;
        int mover = g.mover, plies = 0;
        for (bool finished = false; !finished && plies < g.max_plies; plies++, mover = 1 - mover) {
            // The engine searches undisturbed: nothing more is sent until its move line arrives.
            for (const std::string& line : Lines{"force", move, "go"}) session_send(&engines[mover], line);
            out = last_line(session_until(&engines[mover], "move "), "move ") + "\n";
            out += session_exchange(&engines[mover], {});  // a result line comes before the pong
            ASSERT_EQ(count_of(out, "Illegal") + count_of(out, "Error"), 0) << out;
            finished = out.find(" {") != std::string::npos;
            move = first_match(out, "^move (\\S+)");
            ASSERT_FALSE(move.empty()) << out;
        }
        // The last move must be accepted by the other program too.
        out = session_exchange(&engines[mover], {"force", move});
        EXPECT_EQ(count_of(out, "Illegal") + count_of(out, "Error"), 0) << out;
        EXPECT_TRUE(out.find(" {") != std::string::npos || g.max_plies <= 120) << plies << " plies";
        for (Session& e : engines) EXPECT_EQ(session_finish(&e), 0);
    }
}

}  // namespace
