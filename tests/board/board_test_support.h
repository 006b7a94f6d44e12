// Shared by the board tests: a clean engine state, the perft suite reader, and checking walks.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "board/board.h"
#include "search/search.h"
#include "shell/shell.h"

namespace board_test {

// Orthodox chess, the "OO" notation, empty ordering tables, keys made: what every test starts from.
inline void reset_engine_state() {
    init_hash_keys();
    set_variant("normal");
    std::strcpy(castling, "OO");
    std::memset(killer1, 0, sizeof killer1);
    std::memset(killer2, 0, sizeof killer2);
    std::memset(mate_killer, 0, sizeof mate_killer);
    std::memset(history, 0, sizeof history);
    pos.ply = 0;
}

class BoardTest : public ::testing::Test {
protected:
    void SetUp() override { reset_engine_state(); }
    void TearDown() override { reset_engine_state(); }

    // Sets up a text in a variant and notation; the test fails if the text is refused.
    static void setup(const std::string& text, const char* variant = "normal", const char* notation = "OO") {
        set_variant(variant);
        std::strcpy(castling, notation);
        ASSERT_TRUE(setup_position(text.c_str())) << text;
        ASSERT_TRUE(position_is_ok()) << text;
    }
};

// One line of tests/data/perft.epd.
struct PerftCase {
    std::string fen;
    bool chess960 = false;
    std::vector<uint64_t> counts;  // counts[d - 1] is the count at depth d
};

inline bool castling_field_is_files(const std::string& fen) {
    std::istringstream words(fen);
    std::string placement, side, rights;
    words >> placement >> side >> rights;
    for (char c : rights)
        if ((c >= 'A' && c <= 'H') || (c >= 'a' && c <= 'h')) return true;
    return false;
}

inline std::vector<PerftCase> read_perft_suite() {
    std::vector<PerftCase> cases;
    std::ifstream file(std::string(TOLVANE_TEST_DATA) + "/perft.epd");
    std::string line;
    while (std::getline(file, line)) {
        if (line.empty() || line[0] == '#') continue;
        PerftCase c;
        size_t semicolon = line.find(';');
        c.fen = line.substr(0, semicolon);
        while (!c.fen.empty() && c.fen.back() == ' ') c.fen.pop_back();
        c.chess960 = castling_field_is_files(c.fen);
        while (semicolon != std::string::npos) {
            size_t next = line.find(';', semicolon + 1);
            std::istringstream field(line.substr(semicolon + 1, next - semicolon - 1));
            std::string tag;
            uint64_t count = 0;
            field >> tag >> count;
            if (tag.size() > 1 && tag[0] == 'D' && std::stoul(tag.substr(1)) == c.counts.size() + 1)
                c.counts.push_back(count);
            semicolon = next;
        }
        cases.push_back(c);
    }
    return cases;
}

inline void setup_case(const PerftCase& c) {
    set_variant(c.chess960 ? "fischerandom" : "normal");
    std::strcpy(castling, c.chess960 ? "HAha" : "OO");
    ASSERT_TRUE(setup_position(c.fen.c_str())) << c.fen;
}

// Every field of the Position, for comparing before and after.
inline bool same_position(const Position& a, const Position& b) {
    return std::memcmp(a.piece, b.piece, sizeof a.piece) == 0 && std::memcmp(a.color, b.color, sizeof a.color) == 0 &&
           a.side == b.side && std::memcmp(a.king_square, b.king_square, sizeof a.king_square) == 0 &&
           std::memcmp(a.piece_count, b.piece_count, sizeof a.piece_count) == 0 &&
           std::memcmp(a.piece_material, b.piece_material, sizeof a.piece_material) == 0 &&
           std::memcmp(a.pawn_material, b.pawn_material, sizeof a.pawn_material) == 0 && a.castle == b.castle &&
           std::memcmp(a.castle_rook, b.castle_rook, sizeof a.castle_rook) == 0 &&
           std::memcmp(a.castle_mask, b.castle_mask, sizeof a.castle_mask) == 0 && a.ep == b.ep &&
           a.fifty == b.fifty && a.ply == b.ply && a.game_ply == b.game_ply && a.hash_key == b.hash_key;
}

// Perft that checks position_is_ok after every make and unmake, that a refused move changes
// nothing, and that unmake restores every field; the first fault stops the walk and is reported.
struct CheckingPerft {
    std::string fault;

    uint64_t run(int depth) {
        if (depth == 0 || !fault.empty()) return 1;
        Move list[MAX_MOVES];
        int n = generate_moves(list);
        if (n > MAX_MOVES) {
            fault = "move list overrun";
            return 0;
        }
        uint64_t total = 0;
        for (int i = 0; i < n && fault.empty(); ++i) {
            const Position before = pos;
            if (!make_move(list[i])) {
                if (!same_position(before, pos)) fault = "refused move changed the position";
                continue;
            }
            if (!position_is_ok()) fault = "position_is_ok failed after make";
            if (pos.game_ply != before.game_ply + 1 || pos.ply != before.ply + 1) fault = "ply counters after make";
            total += run(depth - 1);
            unmake_move();
            if (!same_position(before, pos)) fault = "unmake did not restore every field";
            if (!position_is_ok()) fault = "position_is_ok failed after unmake";
            if (!fault.empty()) {
                fault += " (move " + std::to_string(list[i].from) + "-" + std::to_string(list[i].to) + " type " +
                         std::to_string(list[i].type) + ")";
            }
        }
        return total;
    }
};

}  // namespace board_test
