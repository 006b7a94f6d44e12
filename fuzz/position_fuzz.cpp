// Position text: setup in each variant, then perft 2 with every make and unmake checked.
#include <cstdint>
#include <string>

#include "board/board.h"
#include "fuzz_support.h"

namespace {

constexpr const char* VARIANTS[] = {"normal", "fischerandom", "nocastle"};
constexpr size_t MAX_TEXT = 512;  // longer than any position text a line can carry

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    init_hash_keys();
    return 0;
}

// The first byte picks the variant; the rest is the position text.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0 || size > MAX_TEXT) return -1;
    set_variant(VARIANTS[data[0] % 3]);
    std::string text(reinterpret_cast<const char*>(data + 1), size - 1);

    // A refusal leaves the board as it was; an acceptance leaves a board that checks out.
    setup_position(game, START_POSITION);
    const BoardBytes before = board_of(game);
    if (!setup_position(game, text.c_str())) {
        FUZZ_CHECK(same_position(game, before));
        return 0;
    }
    FUZZ_CHECK(position_is_ok(game));
    FUZZ_CHECK(game.hash_key == compute_hash_key(game));
    game.ply = 0;
    game.game_ply = 0;
    checked_perft(2);
    return 0;
}
