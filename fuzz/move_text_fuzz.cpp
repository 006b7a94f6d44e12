// Move text: a word from the interface played on a position from the case, and every legal move
// there written as the engine writes it and read back as the same move.
#include <cstdint>
#include <string>

#include "book/book.h"
#include "fuzz_support.h"
#include "shell/shell.h"

namespace {

constexpr const char* VARIANTS[] = {"normal", "fischerandom", "nocastle"};

// Positions rich in special moves, each in a variant that knows them; the case may bring its own.
constexpr const char* POSITIONS[] = {
    START_POSITION,
    "r3k2r/pPppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPpP/R3K2R w KQkq a3",  // promotions both ways
    "bqnb1rkr/pp3ppp/3ppn2/2p5/5P2/P2P4/NPP1P1PP/BQ1BNRKR w HFhf -",        // Chess960, rook files
    "1r2k1r1/8/8/8/8/8/8/R3K1R1 w GAga -",
    "rk2r3/8/8/8/8/8/8/RK2R3 w KQkq -",
};

bool same_move(int game_ply_before, int type, int from, int to) {
    const HistoryEntry& e = game.history[game_ply_before];
    return game.game_ply == game_ply_before + 1 && e.from == from && e.to == to && e.type == type;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    init_hash_keys();
    return 0;
}

// The case: a byte for the variant and position, then the word; "/" in the word's place means
// the text after it up to a newline is the position and the word follows that newline.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0 || size > 512) return -1;
    set_variant(VARIANTS[data[0] % 3]);
    std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
    std::string text = POSITIONS[(data[0] / 3) % 5];
    if (!rest.empty() && rest[0] == '/') {
        size_t end = rest.find('\n');
        text = rest.substr(1, end == std::string::npos ? std::string::npos : end - 1);
        rest = end == std::string::npos ? "" : rest.substr(end + 1);
    }
    if (!setup_position(game, text.c_str())) return 0;
    game.ply = 0;
    game.game_ply = 0;
    const BoardBytes start = board_of(game);
    const int start_game_ply = game.game_ply;

    // The interface's word: played only when legal, and then the board still checks out.
    parse_user_move(rest.c_str());
    FUZZ_CHECK(position_is_ok(game));
    if (game.game_ply > 0) unmake_move(game);
    FUZZ_CHECK(same_position(game, start));

    // Algebraic notation reads the same words in book files and game collections.
    if (variant_kind == VARIANT_NORMAL) {
        Move played;
        if (play_san_move(rest.c_str(), &played) == SAN_OK) {
            FUZZ_CHECK(position_is_ok(game));
            unmake_move(game);
        }
        FUZZ_CHECK(same_position(game, start));
    }

    // Every legal move's own text is read back as that very move.
    MoveList list;
    const int n = generate_moves(game, list);
    for (int i = 0; i < n; i++) {
        if (!make_move(game, list[i])) continue;
        unmake_move(game);
        char word[MOVE_TEXT_SIZE];
        format_move(game, word, list[i], NOTATION_MOVE_LINE);
        std::string trimmed(word);
        while (!trimmed.empty() && trimmed.back() == ' ') trimmed.pop_back();
        parse_user_move(trimmed.c_str());
        FUZZ_CHECK(same_move(start_game_ply, list[i].type, list[i].from, list[i].to));
        unmake_move(game);
    }
    return 0;
}
