// The broad search signature: middlegames, endgames, Chess960 and bitbase endings at fixed depths.
//
// Each position of tests/data/signature.epd is searched from cleared tables of the default sizes,
// with our bitbase library loaded, until its depth; the summed node count is the signature. It
// moves only when play changes: such a commit quotes the new value, and the README records it.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "board/board.h"
#include "egbb/egbb.h"
#include "search/search.h"

namespace {

constexpr int64_t BROAD_SIGNATURE_NODES = 1999262;

bool no_input() { return false; }

struct SignatureCase {
    std::string fen;
    bool chess960 = false;
    int depth = 0;
};

std::vector<SignatureCase> read_signature_positions() {
    std::vector<SignatureCase> cases;
    std::ifstream file(std::string(TOLVANE_TEST_DATA) + "/signature.epd");
    std::string line;
    while (std::getline(file, line)) {
        if (line.empty() || line[0] == '#') continue;
        SignatureCase c;
        std::istringstream fields(line);
        std::string placement, side, rights, ep, tag;
        fields >> placement >> side >> rights >> ep >> tag >> c.depth;
        c.fen = placement + " " + side + " " + rights + " " + ep;
        for (char r : rights) c.chess960 |= (r >= 'A' && r <= 'H') || (r >= 'a' && r <= 'h');
        cases.push_back(c);
    }
    return cases;
}

TEST(BroadSignature, SummedNodeCountAtFixedDepths) {
    poll_input = no_input;  // a test runner's standard input must not stop the search
    init_hash_keys();
    hash_entries = DEFAULT_HASH_ENTRIES;
    ecache_entries = DEFAULT_ECACHE_ENTRIES;
    alloc_tables();
    std::strcpy(egbb_path, TOLVANE_BUILD_DIR "/egbb/");
    ASSERT_EQ(load_bitbases(), 1);

    const auto cases = read_signature_positions();
    ASSERT_GE(cases.size(), 40u);
    int64_t total = 0;
    std::string counts;
    for (const SignatureCase& c : cases) {
        set_variant(c.chess960 ? "fischerandom" : "normal");
        ASSERT_TRUE(setup_position(game, c.fen.c_str())) << c.fen;
        clear_tables();
        set_fixed_limits(NO_TIME_LIMIT_MS, c.depth);
        search_mode = MODE_THINK;
        testing::internal::CaptureStdout();
        root_search(EMPTY);
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(stop_search, 0) << c.fen;
        total += searched_nodes();
        counts += c.fen + " ;depth " + std::to_string(c.depth) + ": " + std::to_string(searched_nodes()) + "\n";
    }
    unload_bitbases();
    free_tables();
    set_variant("normal");
    EXPECT_EQ(total, BROAD_SIGNATURE_NODES) << "The broad signature changed: " << total << "\n" << counts;
}

}  // namespace
