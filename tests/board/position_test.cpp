// The keys from their seed, key updates, the consistency check, and attacks across edges and blockers.
#include <functional>

#include "board/board_test_support.h"

using namespace board_test;

namespace {

class PositionState : public BoardTest {};

// The keys are drawn from a fixed seed: every init gives the same keys, whatever was drawn since.
TEST_F(PositionState, KeysRestartFromTheSeed) {
    setup(START_POSITION);
    const uint64_t start_key = game.hash_key, piece0 = zobrist_piece[0], ep63 = zobrist_ep[63];
    random32();
    init_hash_keys();
    setup(START_POSITION);
    EXPECT_EQ(std::make_tuple(game.hash_key, zobrist_piece[0], zobrist_ep[63]), std::make_tuple(start_key, piece0, ep63));
}

TEST_F(PositionState, EnPassantCastlingAndSideEachChangeTheKey) {
    setup(START_POSITION);
    ASSERT_EQ(make_move(game, {52, 36, MOVE_DOUBLE_PUSH, 0}), 1);  // e2-e4 sets e3 even with no capturer
    EXPECT_EQ(game.ep, 44);
    game.ep = NO_SQUARE;
    EXPECT_EQ(game.hash_key ^ compute_hash_key(game), zobrist_ep[44]);
    const std::string after_e5 = "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR";
    const char* tails[4] = {"wKQkq-", "wKQkqe6", "wKQk-", "bKQkq-"};
    uint64_t key[4];
    for (int i = 0; i < 4; ++i) {
        setup(after_e5 + tails[i]);
        key[i] = game.hash_key;
    }
    EXPECT_NE(key[1], key[0]);
    EXPECT_NE(key[2], key[0]);
    EXPECT_EQ(key[0] ^ key[3], zobrist_side[WHITE] ^ zobrist_side[BLACK]);
}

TEST_F(PositionState, ConsistencyCheckSeesEachKindOfFault) {
    const std::function<void()> faults[] = {
        [] { game.hash_key ^= 1; },
        [] { game.piece_count[WHITE][KNIGHT]++; },
        [] { game.piece_material[BLACK] -= 1; },
        [] { game.king_square[WHITE] = 59; },
        [] { game.color[27] = WHITE; },    // a colour without a piece
        [] { game.piece[0] = EMPTY; },     // a piece vanished from one array only
        [] { game.castle_rook[0] = 62; },  // a right whose rook is not there
        [] { game.men[BLACK][KNIGHT] ^= 1; },   // a bitboard out of step with the mailbox
        [] { game.occupied[WHITE] ^= 1ull << 40; },
    };
    setup(START_POSITION);
    const BoardBytes good = board_of(game);
    for (size_t i = 0; i < std::size(faults); ++i) {
        faults[i]();
        EXPECT_FALSE(position_is_ok(game)) << "fault " << i;
        std::memcpy(static_cast<void*>(&game), good.bytes, sizeof good.bytes);
    }
    EXPECT_TRUE(position_is_ok(game));
}

TEST_F(PositionState, IsAttackedAndInCheck) {
    for (const auto& c : read_cases("board/attack_cases.txt")) {
        setup(c[0]);
        const int defender = c[2] == "w" ? WHITE : BLACK;
        const int got = c[1] == "king" ? in_check(game, defender) : is_attacked(game, std::stoi(c[1]), defender);
        EXPECT_EQ(got, std::stoi(c[3])) << c[0] << " square " << c[1];
    }
}

}  // namespace
