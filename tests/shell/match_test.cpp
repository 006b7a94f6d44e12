// Tolvane against Tolvane through the protocol: two programs, moves relayed, every move checked.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/session.h"

namespace {

struct GameRecord {
    int plies = 0;
    std::string result;        // the result line, empty when the ply cap ended the game
    std::vector<std::string> problems;
};

bool is_result_line(const std::string& line) {
    return line.rfind("1-0 {", 0) == 0 || line.rfind("0-1 {", 0) == 0 ||
           line.rfind("1/2-1/2 {", 0) == 0;
}

std::string describe(const GameRecord& r) {
    std::string text = std::to_string(r.plies) + " plies, result \"" + r.result + "\"";
    for (const std::string& p : r.problems) text += "\n  " + p;
    return text;
}

// Sends lines and a ping; returns the lines printed before the pong.
std::vector<std::string> talk(Session* s, const std::vector<std::string>& lines) {
    static int counter = 0;
    std::string pong = "pong " + std::to_string(++counter);
    for (const std::string& line : lines) session_send(s, line);
    session_send(s, "ping " + std::to_string(counter));
    std::vector<std::string> out;
    std::string line;
    while (session_line(s, &line)) {
        if (line == pong) return out;
        out.push_back(line);
    }
    out.push_back("<no answer: the program ended or hung>");
    return out;
}

// Both engines stay in force mode except for the one "go" that asks for each move.
GameRecord play_game(const std::vector<std::string>& setup, const std::string& limit,
                     int max_plies, bool black_starts = false) {
    GameRecord record;
    Session engines[2];
    for (Session& e : engines) {
        if (!session_start(&e)) {
            record.problems.push_back("could not start");
            return record;
        }
        std::vector<std::string> lines = {"xboard", "protover 2", "new", "force", limit};
        lines.insert(lines.end(), setup.begin(), setup.end());
        talk(&e, lines);
    }
    int mover = black_starts ? 1 : 0;
    std::string last_move;
    while (record.plies < max_plies && record.result.empty()) {
        // The engine searches undisturbed: nothing more is sent until its move line arrives.
        Session* e = &engines[mover];
        session_send(e, "force");
        if (!last_move.empty()) session_send(e, last_move);
        session_send(e, "go");
        std::vector<std::string> out;
        std::string line;
        while (session_line(e, &line)) {
            out.push_back(line);
            if (line.rfind("move ", 0) == 0 || line.rfind("Illegal", 0) == 0 ||
                line.rfind("Error", 0) == 0) {
                break;
            }
        }
        // What follows the move line (a result line) comes before the answer to a ping.
        for (const std::string& more : talk(e, {})) out.push_back(more);
        std::string move;
        for (const std::string& line : out) {
            if (line.rfind("move ", 0) == 0) move = line.substr(5);
            if (is_result_line(line)) record.result = line;
            if (line.rfind("Illegal", 0) == 0 || line.rfind("Error", 0) == 0 ||
                line.rfind("<no answer", 0) == 0) {
                record.problems.push_back("engine " + std::to_string(mover) + ": " + line);
            }
        }
        if (move.empty()) {
            // Only a finished game leaves the engine without a move.
            if (record.result.empty()) record.problems.push_back("no move and no result");
            break;
        }
        while (!move.empty() && move.back() == ' ') move.pop_back();
        last_move = move;
        record.plies++;
        mover = 1 - mover;
    }
    // The last move must be accepted by the other program too.
    std::vector<std::string> out = talk(&engines[mover], {"force", last_move});
    for (const std::string& line : out) {
        if (line.rfind("Illegal", 0) == 0 || line.rfind("Error", 0) == 0 ||
            line.rfind("<no answer", 0) == 0) {
            record.problems.push_back("last move: " + line);
        }
    }
    printf("  game: %s\n", describe(record).c_str());
    for (Session& e : engines) {
        session_send(&e, "quit");
        if (session_finish(&e) != 0) record.problems.push_back("bad exit status");
    }
    return record;
}

TEST(SelfPlay, ShortGameFromTheStart) {
    GameRecord r = play_game({}, "sd 3", 120);
    EXPECT_TRUE(r.problems.empty()) << describe(r);
    EXPECT_GT(r.plies, 0);
}

TEST(SelfPlay, ShortGameFromASetPositionWithBlackToMove) {
    GameRecord r = play_game(
        {"setboard r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R b KQkq - 3 3"}, "sd 2",
        120, true);
    EXPECT_TRUE(r.problems.empty()) << describe(r);
    EXPECT_GT(r.plies, 0);
}

TEST(SelfPlay, ShortChess960Game) {
    GameRecord r = play_game({"variant fischerandom",
                              "setboard bqnb1rkr/pp3ppp/3ppn2/2p5/5P2/P2P4/NPP1P1PP/BQ1BNRKR w KQkq -"},
                             "sd 3", 120);
    EXPECT_TRUE(r.problems.empty()) << describe(r);
    EXPECT_GT(r.plies, 0);
}

TEST(SelfPlay, EndgameToTheResultLine) {
    // A won rook ending: the game ends with a result line well before the cap.
    GameRecord r = play_game({"setboard 8/8/8/4k3/8/8/8/R3K3 w - -"}, "sd 4", 300);
    EXPECT_TRUE(r.problems.empty()) << describe(r);
}

}  // namespace
