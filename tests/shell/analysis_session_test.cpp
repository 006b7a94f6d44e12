// Analysis through the real program: several lines, ordered and numbered, and status lines.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "support/session.h"

namespace {

// A mate in one among three captures; the mate is the one best move.
const std::string MATE_IN_ONE = "6k1/5ppp/8/8/8/8/5PPP/R5K1 w - - 0 1";
const std::regex THINKING("(\\d+) (-?\\d+) \\d+ \\d+ (\\S+).*");

// An xboard thinking line: depth, score and first move.
struct Thought {
    int depth = 0, score = 0;
    std::string move;
};

bool read_thought(const std::string& line, Thought* t) {
    std::smatch m;
    if (!std::regex_match(line, m, THINKING)) return false;
    *t = {std::stoi(m[1]), std::stoi(m[2]), m[3]};
    return true;
}

// Lines until one satisfies `done` (false if none came); `last` gets the last line read.
template <class Done>
bool read_until(Session* s, Done done, std::string* last = nullptr) {
    for (std::string line; session_line(s, &line);) {
        if (last) *last = line;
        if (done(line)) return true;
    }
    return false;
}

// Three captures, one of them mate: MultiPV 3 shows the mate first, then the other two, each
// depth's lines together and numbered 1 to 3.
TEST(AnalysisSession, MultiPvLinesInOrderOneBatchPerDepth) {
    Session s;
    ASSERT_TRUE(session_start(&s, "path ./no-bitbases/\n"));
    session_send(&s, "uci");
    ASSERT_TRUE(session_expect(&s, "uciok"));
    session_send(&s, "setoption name MultiPV value 3");
    session_send(&s, "position fen 6k1/5ppp/8/8/8/8/5PPP/R5K1 w - - 0 1");
    session_send(&s, "go depth 6");
    const std::string out = session_until(&s, "bestmove");
    EXPECT_NE(out.find("bestmove a1a8"), std::string::npos) << out;
    std::smatch m;
    std::string::const_iterator at = out.begin();
    int expected = 1, depth = 0;
    std::regex line("info depth (\\d+) .*multipv (\\d+) score (\\S+ -?\\d+)");
    while (std::regex_search(at, out.end(), m, line)) {
        const int d = std::stoi(m[1]), k = std::stoi(m[2]);
        if (k == 1) depth = d;
        EXPECT_EQ(k, expected) << out;
        EXPECT_EQ(d, depth) << out;
        if (k == 1) {
            EXPECT_EQ(m[3].str(), "mate 1") << out;
        }
        expected = k == 3 ? 1 : k + 1;
        at = m[0].second;
    }
    EXPECT_EQ(depth, 6) << out;
    // The searchmoves of a restricted root still give one line per allowed move at most.
    session_send(&s, "go depth 4 searchmoves g1f1");
    const std::string restricted = session_until(&s, "bestmove");
    EXPECT_NE(restricted.find("bestmove g1f1"), std::string::npos) << restricted;
    EXPECT_EQ(restricted.find("multipv 2"), std::string::npos) << restricted;
    session_send(&s, "quit");
    EXPECT_EQ(session_finish(&s), 0);
}

// currmove lines appear once a search has run a second, at most a few a second, and not in a
// short search.
TEST(AnalysisSession, CurrentMoveOnlyInALongSearch) {
    Session s;
    ASSERT_TRUE(session_start(&s, "path ./no-bitbases/\n"));
    session_send(&s, "uci");
    ASSERT_TRUE(session_expect(&s, "uciok"));
    session_send(&s, "position startpos");
    session_send(&s, "go depth 3");
    EXPECT_EQ(count_of(session_until(&s, "bestmove"), "currmove"), 0);
    session_send(&s, "go movetime 2500");
    const std::string out = session_until(&s, "bestmove");
    const int lines = count_of(out, "currmove");
    EXPECT_GE(lines, 1) << out;
    EXPECT_LE(lines, 8) << out;  // 1.5 s of status at four a second at most, and a margin
    session_send(&s, "quit");
    EXPECT_EQ(session_finish(&s), 0);
}

// xboard analysis: exclude takes the best move out and another becomes best, a bad move gets one
// message while the analysis goes on, include all brings the best move back; MultiPV 3 gives
// three lines per depth, best first; memory is fitted or refused.
TEST(AnalysisSession, XboardExcludeMultiPvAndMemory) {
    Session s;
    ASSERT_TRUE(session_start(&s, "path ./no-bitbases/\n"));
    session_send(&s, "xboard");
    std::string out = session_exchange(&s, {"protover 2"});
    EXPECT_NE(out.find("exclude=1 memory=1 option=\"MultiPV -spin 1 1 256\""), std::string::npos) << out;
    out = session_exchange(&s, {"memory 1", "memory 64", "memory 99999999", "exclude", "option Nothing=1"});
    EXPECT_EQ(count_of(out, "\n"), 4) << out;  // one line per refusal, none for the budget that fits
    EXPECT_NE(out.find("Error (memory must be 2 to "), std::string::npos) << out;
    EXPECT_NE(out.find("): memory 99999999\n"), std::string::npos) << out;

    Thought t;
    auto thinks = [&](const std::string& move) {
        return [&, move](const std::string& line) { return read_thought(line, &t) && t.move == move; };
    };
    session_exchange(&s, {"new", "force", "setboard " + MATE_IN_ONE, "exclude a1a8", "include a1a8"});
    session_send(&s, "analyze");
    ASSERT_TRUE(read_until(&s, thinks("a1a8")));
    EXPECT_GT(t.score, 32000);
    session_send(&s, "exclude a1a8");
    // The first line of the restarted analysis, then a few depths of it without the mate.
    ASSERT_TRUE(read_until(&s, [&](const std::string& line) { return read_thought(line, &t) && t.move != "a1a8"; }));
    EXPECT_TRUE(read_until(&s, [&](const std::string& line) {
        EXPECT_FALSE(read_thought(line, &t) && t.move == "a1a8") << line;
        return read_thought(line, &t) && t.depth >= 4;
    }));
    EXPECT_LT(t.score, 32000);
    session_send(&s, "exclude h8h9");
    std::string last;
    ASSERT_TRUE(read_until(&s, [](const std::string& line) { return line.rfind("Error", 0) == 0; }, &last));
    EXPECT_EQ(last, "Error (illegal move): exclude h8h9");
    ASSERT_TRUE(read_until(&s, [&](const std::string& line) {
        EXPECT_FALSE(read_thought(line, &t) && t.move == "a1a8") << line;
        return read_thought(line, &t) && t.depth >= 3;
    }));
    session_send(&s, "include all");
    ASSERT_TRUE(read_until(&s, thinks("a1a8")));
    session_send(&s, "exit");

    // The engine's own move with three lines: every depth's lines together, scores falling. The
    // choice of moves went with the position it was made for.
    session_exchange(&s, {"exclude a1a8", "setboard " + MATE_IN_ONE, "option MultiPV=3", "sd 5"});
    session_send(&s, "go");
    std::vector<Thought> lines;
    ASSERT_TRUE(read_until(&s, [&](const std::string& line) {
        if (read_thought(line, &t)) lines.push_back(t);
        return line.rfind("move ", 0) == 0;
    }, &last));
    EXPECT_EQ(last, "move a1a8 ");
    ASSERT_EQ(lines.size(), 12u);  // depths 1 to 4
    for (size_t i = 0; i < lines.size(); i++) {
        EXPECT_EQ(lines[i].depth, static_cast<int>(i / 3) + 1);
        if (i % 3 == 0) EXPECT_EQ(lines[i].move, "a1a8");
        else EXPECT_LE(lines[i].score, lines[i - 1].score);
    }
    session_send(&s, "quit");
    EXPECT_EQ(session_finish(&s), 0);
}

// UCI limits on two threads: "go mate 3" finds the mate and ends by itself; "go nodes 10000"
// ends at the limit summed over the threads, within the most a thread searches between looks.
TEST(AnalysisSession, UciMateAndNodeLimitsOnTwoThreads) {
    Session s;
    ASSERT_TRUE(session_start(&s, "path ./no-bitbases/\n"));
    session_send(&s, "uci");
    ASSERT_TRUE(session_expect(&s, "uciok"));
    session_send(&s, "setoption name Threads value 2");
    session_send(&s, "position fen r1b1kb1r/pppp1ppp/5q2/4n3/3KP3/2N3PN/PPP4P/R1BQ1B1R b kq - 0 1");
    session_send(&s, "go mate 3");
    std::string out = session_until(&s, "bestmove");
    EXPECT_NE(out.find("score mate 3 pv f8c5 d4c5 f6b6"), std::string::npos) << out;
    EXPECT_NE(out.find("bestmove f8c5"), std::string::npos) << out;
    for (const char* moves : {"", " moves e2e4", " moves d2d4 d7d5"}) {
        session_send(&s, std::string("position startpos") + moves);
        session_send(&s, "go nodes 10000");
        out = session_until(&s, "bestmove");
        std::smatch m;
        ASSERT_TRUE(std::regex_search(out, m, std::regex("nodes (\\d+) nps \\d+\n+bestmove"))) << out;
        EXPECT_GE(std::stoll(m[1]), 10000) << out;
        EXPECT_LE(std::stoll(m[1]), 10000 + 1024 + 64) << out;
    }
    session_send(&s, "quit");
    EXPECT_EQ(session_finish(&s), 0);
}

}  // namespace
