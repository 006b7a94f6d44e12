// Tolvane against Tolvane through the protocol: two programs, moves relayed, every move checked.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/session.h"

namespace {

struct Game {
    int plies = 0;
    bool finished = false;  // a result line came before the ply cap
    std::string problems;  // refusals, errors and missing answers, one per line
};

bool refused(const std::string& out) {
    return out.find("Illegal") != std::string::npos || out.find("Error") != std::string::npos;
}

// Both programs stay in force mode except for the one "go" that asks for each move.
Game play_game(const std::vector<std::string>& setup, int mover, int max_plies) {
    Game game;
    Session engines[2];
    for (Session& e : engines) {
        if (!session_start(&e)) return {0, false, "could not start"};
        session_exchange(&e, {"xboard", "protover 2", "new", "force", "sd 3"});
        session_exchange(&e, setup);
    }
    std::string move;
    for (; game.plies < max_plies && !game.finished; game.plies++, mover = 1 - mover) {
        Session* e = &engines[mover];
        for (const std::string& line : {std::string("force"), move, std::string("go")})
            if (!line.empty()) session_send(e, line);
        // The engine searches undisturbed: nothing more is sent until its move line arrives.
        std::string line;
        while (session_line(e, &line) && line.rfind("move ", 0) != 0 &&
               line.rfind("Illegal", 0) != 0 && line.rfind("Error", 0) != 0) {
        }
        // A result line comes before the answer to a ping.
        std::string out = line + "\n" + session_exchange(e, {});
        game.finished = out.find(" {") != std::string::npos;
        if (line.rfind("move ", 0) != 0 || refused(out)) {
            game.problems += "engine " + std::to_string(mover) + ": " + out;
            break;
        }
        move = line.substr(5, line.find_last_not_of(' ') - 4);
    }
    // The last move must be accepted by the other program too.
    std::string out = session_exchange(&engines[mover], {"force", move});
    if (game.problems.empty() && refused(out)) game.problems += "last move: " + out;
    for (Session& e : engines) {
        session_send(&e, "quit");
        if (session_finish(&e) != 0) game.problems += "bad exit status\n";
    }
    return game;
}

TEST(SelfPlay, ShortGames) {
    const struct {
        std::vector<std::string> setup;
        int mover;
        int max_plies;
    } games[] = {
        {{}, 0, 120},
        {{"setboard r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R b KQkq - 3 3"}, 1, 120},
        {{"variant fischerandom",
          "setboard bqnb1rkr/pp3ppp/3ppn2/2p5/5P2/P2P4/NPP1P1PP/BQ1BNRKR w KQkq -"}, 0, 120},
        // A won rook ending: a result line ends it well before the cap.
        {{"setboard 8/8/8/4k3/8/8/8/R3K3 w - -"}, 0, 300},
    };
    for (const auto& g : games) {
        Game game = play_game(g.setup, g.mover, g.max_plies);
        SCOPED_TRACE(g.setup.empty() ? "start" : g.setup.back());
        EXPECT_EQ(game.problems, "");
        EXPECT_GT(game.plies, 0);
        EXPECT_TRUE(game.finished || g.max_plies <= 120) << game.plies << " plies";
    }
}

}  // namespace
