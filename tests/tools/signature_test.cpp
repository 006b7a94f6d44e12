// The broad search signature: middlegames, endgames, Chess960 and bitbase endings at fixed depths.
//
// Each position of tests/data/signature.epd is searched from cleared tables of the default sizes,
// with our bitbase library loaded, until its depth; the summed node count is the signature. It
// moves only when play changes: such a commit quotes the new value, and the README records it.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "board/board.h"
#include "egbb/egbb.h"
#include "search/search.h"
#include "tools/tools.h"

namespace {

constexpr int64_t BROAD_SIGNATURE_NODES = 1999262;

bool no_input() { return false; }

// Positions of an EPD file in tests/data, each with its ";depth N" or the default depth.
struct SignatureCase {
    EpdLine line;
    int depth;
};
std::vector<SignatureCase> read_positions(const char* name, int default_depth) {
    std::vector<SignatureCase> cases;
    for (const EpdLine& line : read_epd(std::string(TOLVANE_TEST_DATA) + "/" + name))
        cases.push_back({line, int(line.number("depth", default_depth))});
    return cases;
}

// Tables of the default sizes and our bitbase library, as the signature is counted with.
void prepare_signature_search() {
    poll_input = no_input;  // a test runner's standard input must not stop the search
    init_hash_keys();
    hash_entries = DEFAULT_HASH_ENTRIES;
    ecache_entries = DEFAULT_ECACHE_ENTRIES;
    alloc_tables();
    std::strcpy(egbb_path, TOLVANE_BUILD_DIR "/egbb/");
    ASSERT_EQ(load_bitbases(), 1);
}

// Whether the moves can be played one after the other from the game position.
bool playable(const Move* line, int length) {
    Position p = game;
    for (int i = 0; i < length; i++) {
        Move list[MAX_MOVES];
        const int n = generate_moves(p, list);
        bool found = false;
        for (int j = 0; j < n && !found; j++) found = same_move(list[j], line[i]) && list[j].type == line[i].type;
        if (!found || !make_move(p, line[i])) return false;
    }
    return true;
}

// Several threads search the signature positions and the perft positions: the move and the line
// shown are legal, the thread count may go up and down between searches, and one thread plays
// afterwards exactly as it did before any helper existed.
TEST(Threads, EveryCountPlaysLegalLinesAndOneThreadPlaysAsBefore) {
    ASSERT_NO_FATAL_FAILURE(prepare_signature_search());
    auto cases = read_positions("signature.epd", 0);
    const auto perft = read_positions("perft.epd", 7);
    cases.insert(cases.end(), perft.begin(), perft.end());
    std::vector<int64_t> one_thread;  // the nodes of each search with one thread, before helpers
    for (const int threads : {1, 2, 4, 1, 3, 1}) {
        ASSERT_TRUE(set_search_threads(threads));
        for (size_t i = 0; i < cases.size(); i++) {
            const SignatureCase& c = cases[i];
            ASSERT_TRUE(setup_epd(c.line)) << c.line.fen;
            clear_tables();
            set_fixed_limits(NO_TIME_LIMIT_MS, c.depth);
            search_mode = MODE_THINK;
            testing::internal::CaptureStdout();
            const Move m = root_search(EMPTY);
            testing::internal::GetCapturedStdout();
            const SearchThread& t = main_thread();
            EXPECT_TRUE(playable(&m, 1) || (m.from == 0 && m.to == 0 && !has_legal_move(game))) << c.line.fen;
            EXPECT_TRUE(same_move(t.pv[0][0], m) && playable(t.pv[0], t.pv_length[0])) << threads << " " << c.line.fen;
            if (threads > 1) continue;
            if (one_thread.size() < cases.size()) one_thread.push_back(searched_nodes());
            else EXPECT_EQ(searched_nodes(), one_thread[i]) << c.line.fen;
        }
    }
    unload_bitbases();
    free_tables();
    set_variant("normal");
}

TEST(BroadSignature, SummedNodeCountAtFixedDepths) {
    ASSERT_NO_FATAL_FAILURE(prepare_signature_search());
    const auto cases = read_positions("signature.epd", 0);
    ASSERT_GE(cases.size(), 40u);
    int64_t total = 0;
    std::string counts;
    for (const SignatureCase& c : cases) {
        ASSERT_TRUE(setup_epd(c.line)) << c.line.fen;
        clear_tables();
        set_fixed_limits(NO_TIME_LIMIT_MS, c.depth);
        search_mode = MODE_THINK;
        testing::internal::CaptureStdout();
        root_search(EMPTY);
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(stop_search, 0) << c.line.fen;
        total += searched_nodes();
        counts += c.line.fen + " ;depth " + std::to_string(c.depth) + ": " + std::to_string(searched_nodes()) + "\n";
    }
    unload_bitbases();
    free_tables();
    set_variant("normal");
    EXPECT_EQ(total, BROAD_SIGNATURE_NODES) << "The broad signature changed: " << total << "\n" << counts;
}

}  // namespace
