// Shared by the board tests: a clean engine state, the perft suite reader, and checking walks.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

#include "board/board.h"

namespace board_test {

constexpr const char* START = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNRwKQkq-";
constexpr const char* KIWIPETE = "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2RwKQkq-";

// Move-ordering memory the tests fill in and hand to the generator, as the search does its own.
inline OrderingMemory ordering_memory;

// Orthodox chess, empty ordering memory, keys made: what every test starts from.
inline void reset_engine_state() {
    init_hash_keys();
    set_variant("normal");
    std::memset(&ordering_memory, 0, sizeof ordering_memory);
    game.ply = 0;
}

// A position's board and counters without the history below them: what make and unmake must
// restore, small enough to keep at every node of a walk. Position has no padding, so comparing
// its bytes compares every field.
static_assert(std::has_unique_object_representations_v<Position>);
struct BoardBytes {
    unsigned char bytes[POSITION_BOARD_BYTES];
};
inline BoardBytes board_of(const Position& p) {
    BoardBytes b;
    std::memcpy(b.bytes, &p, sizeof b.bytes);
    return b;
}
inline void restore_board(Position& p, const BoardBytes& b) { std::memcpy(static_cast<void*>(&p), b.bytes, sizeof b.bytes); }
inline bool same_position(const BoardBytes& a, const Position& b) { return std::memcmp(a.bytes, &b, sizeof a.bytes) == 0; }

class BoardTest : public ::testing::Test {
protected:
    void SetUp() override { reset_engine_state(); }
    void TearDown() override { reset_engine_state(); }

    // Sets up a text in a variant; the test fails if the text is refused.
    static void setup(const std::string& text, const char* variant = "normal") {
        set_variant(variant);
        ASSERT_TRUE(setup_position(game, text.c_str())) << text;
        ASSERT_TRUE(position_is_ok(game)) << text;
    }
};

// One line of tests/data/perft.epd: castling letters that are files mark a Chess960 position.
struct PerftCase {
    std::string fen;
    bool chess960 = false;
    std::vector<uint64_t> counts;  // counts[d - 1] is the count at depth d
};

inline std::vector<PerftCase> read_perft_suite() {
    std::vector<PerftCase> cases;
    std::ifstream file(std::string(TOLVANE_TEST_DATA) + "/perft.epd");
    std::string line;
    while (std::getline(file, line)) {
        if (line.empty() || line[0] == '#') continue;
        PerftCase c;
        std::istringstream fields(line);
        std::string placement, side, rights, ep, tag;
        fields >> placement >> side >> rights >> ep;
        c.fen = placement + " " + side + " " + rights + " " + ep;
        for (char r : rights) c.chess960 |= (r >= 'A' && r <= 'H') || (r >= 'a' && r <= 'h');
        uint64_t count = 0;
        while (fields >> tag >> count)
            if (tag == ";D" + std::to_string(c.counts.size() + 1)) c.counts.push_back(count);
        cases.push_back(c);
    }
    return cases;
}

inline void setup_case(const PerftCase& c) {
    set_variant(c.chess960 ? "fischerandom" : "normal");
    ASSERT_TRUE(setup_position(game, c.fen.c_str())) << c.fen;
}

// Perft that checks position_is_ok after every make and unmake, that a refused move changes
// nothing, and that unmake restores every field; the first fault stops the walk and is reported.
struct CheckingPerft {
    std::string fault;

    uint64_t run(int depth) {
        Move list[MAX_MOVES];
        const int n = depth > 0 ? generate_moves(game, list) : 0;
        uint64_t total = depth == 0;
        for (int i = 0; i < n && fault.empty(); ++i) {
            const BoardBytes before = board_of(game);
            const int game_ply = game.game_ply, ply = game.ply;
            if (!make_move(game, list[i])) {
                if (!same_position(before, game)) fault = "refused move changed the position";
                continue;
            }
            if (!position_is_ok(game) || game.game_ply != game_ply + 1 || game.ply != ply + 1)
                fault = "inconsistent position after make";
            total += run(depth - 1);
            unmake_move(game);
            if (!same_position(before, game) || !position_is_ok(game)) fault = "unmake did not restore every field";
            if (!fault.empty()) fault += " (" + std::to_string(list[i].from) + "-" + std::to_string(list[i].to) + ")";
        }
        return total;
    }
};

}  // namespace board_test
