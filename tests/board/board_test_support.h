// Shared by the board tests: a clean engine state, the perft suite, and the invariant walk.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <tuple>
#include <type_traits>
#include <vector>

#include "board/board.h"
#include "support/cases.h"
#include "tools/tools.h"

namespace board_test {

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
inline bool same_position(const BoardBytes& a, const Position& b) { return std::memcmp(a.bytes, &b, sizeof a.bytes) == 0; }

class BoardTest : public ::testing::Test {
protected:
    void SetUp() override { reset_engine_state(); }
    void TearDown() override { reset_engine_state(); }

    // Sets up a text in a variant; the test fails if the text is refused.
    static void setup(const std::string& text, const std::string& variant = "normal") {
        set_variant(variant.c_str());
        ASSERT_TRUE(setup_position(game, text.c_str())) << text;
        ASSERT_TRUE(position_is_ok(game)) << text;
    }
};

// tests/data/perft.epd: ";Dn" is the published leaf count at depth n.
inline std::vector<EpdLine> perft_suite() { return read_epd(std::string(TOLVANE_TEST_DATA) + "/perft.epd"); }
inline std::vector<uint64_t> perft_counts(const EpdLine& line) {
    std::vector<uint64_t> counts;
    for (char name[] = "D1"; name[1] <= '9' && line.number(name, -1) >= 0; ++name[1]) counts.push_back(line.number(name, -1));
    return counts;
}

// The one walk every board test trusts: at every node of the tree below the game position, the
// position is consistent and its key is the key from scratch; a null move's key is foretold;
// the bitboard count, is_legal, gives_check and key_after agree with what make_move does; the
// capture generator lists exactly the captures, queen promotions and en-passant captures; a
// refused move changes nothing and unmake restores every byte. Returns the leaves; the first
// fault stops the walk and is kept.
struct InvariantWalk {
    std::string fault;

    uint64_t run(int depth) {
        if (depth == 0 || !fault.empty()) return depth == 0;
        const BoardBytes start = board_of(game);
        std::string move;
        auto check = [&](bool ok, const char* what) {
            if (!ok && fault.empty()) fault = what + move;
        };
        check(position_is_ok(game) && game.hash_key == compute_hash_key(game), "inconsistent position");
        const uint64_t pass_key = key_after_null_move(game);
        make_null_move(game);
        check(game.hash_key == pass_key && game.hash_key == compute_hash_key(game), "key_after_null_move differs");
        unmake_move(game);
        Move list[MAX_MOVES], caps[MAX_MOVES];
        const int n = generate_moves(game, list), k = gen_captures(game, caps), counted = count_legal_moves(game);
        check(same_position(start, game), "a null move, a generator or the count changed the position");
        std::vector<std::tuple<int, int, int>> expected, got;
        for (int i = 0; i < k; ++i) got.emplace_back(caps[i].from, caps[i].to, caps[i].type);
        uint64_t leaves = 0;
        int legal = 0;
        for (int i = 0; i < n && fault.empty(); ++i) {
            const Move& m = list[i];
            move = " after " + std::to_string(m.from) + "-" + std::to_string(m.to) + " type " + std::to_string(m.type);
            if ((m.type == MOVE_NORMAL && game.color[m.to] == 1 - game.side) || m.type == MOVE_PROMOTE_QUEEN ||
                m.type == MOVE_EN_PASSANT)
                expected.emplace_back(m.from, m.to, m.type);
            const int predicted = is_legal(game, m);
            const bool check_predicted = gives_check(game, m);
            const uint64_t key_predicted = key_after(game, m);
            check(same_position(start, game), "is_legal, gives_check or key_after changed the position");
            const int game_ply = game.game_ply, made = make_move(game, m);
            check(made == predicted, "is_legal and make_move differ");
            if (!made) {
                check(same_position(start, game), "a refused move changed the position");
                continue;
            }
            ++legal;
            check(game.game_ply == game_ply + 1, "the history did not grow");
            check(check_predicted == (in_check(game, game.side) != 0), "gives_check differs");
            check(key_predicted == game.hash_key, "key_after differs from the key made");
            leaves += run(depth - 1);
            unmake_move(game);
            check(same_position(start, game), "unmake did not restore every byte");
        }
        move.clear();
        std::sort(expected.begin(), expected.end());
        std::sort(got.begin(), got.end());
        check(expected == got, "the capture generator lists other moves");
        if (fault.empty() && counted != legal)
            fault = "count_legal_moves " + std::to_string(counted) + ", legal " + std::to_string(legal);
        return leaves;
    }
};

}  // namespace board_test
