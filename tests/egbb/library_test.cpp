// Our three-men bitbase library: a full sweep against an independent rule book, known facts, bad input.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <vector>

#include "egbb/library/library.h"
#include "platform/platform.h"

namespace {

using ProbeEntry = int (*)(int, int, int, int, int, int, int, int, int);
ProbeEntry probe_entry;

// The library's coding: piece codes, the side to move, squares from a1 = 0.
enum { W_QUEEN = 2, W_ROOK, W_BISHOP, W_KNIGHT, W_PAWN };
constexpr int WTM = 0, BTM = 1, MATED = -BITBASE_WIN, NOT_FOUND = BITBASE_NOT_FOUND;

int sq(const char* text) { return (text[1] - '1') * 8 + (text[0] - 'a'); }
int probe(int player, int wk, int bk, int code, int man) {
    return probe_entry(player, wk, bk, code, man, 0, 0, 0, 0);
}

class BitbaseLibrary : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        void* library = library_open(TOLVANE_BUILD_DIR "/egbb/egbbso64.so");
        ASSERT_NE(library, nullptr) << "the library was not built";
        auto load = reinterpret_cast<void (*)(const char*, int, int)>(
            library_symbol(library, "load_egbb_5men"));
        probe_entry = reinterpret_cast<ProbeEntry>(library_symbol(library, "probe_egbb_5men"));
        ASSERT_TRUE(load && probe_entry);
        load("./egbb/", 32 << 20, 0);
    }
    void SetUp() override {
        if (!probe_entry) GTEST_SKIP() << "library not loaded";
    }
};

// --- An independent rule book for a white man and two kings --------------------------------------

// King steps: the first four are the rook's lines, the last four the bishop's; all eight the queen's.
const int STEPS[8][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}, {1, 1}, {1, -1}, {-1, 1}, {-1, -1}};
const int JUMPS[8][2] = {{1, 2}, {2, 1}, {2, -1}, {1, -2}, {-1, -2}, {-2, -1}, {-2, 1}, {-1, 2}};

int step(int square, const int d[2]) {
    int file = (square & 7) + d[0], rank = (square >> 3) + d[1];
    return file < 0 || file > 7 || rank < 0 || rank > 7 ? -1 : rank * 8 + file;
}
bool adjacent(int a, int b) { return std::abs((a & 7) - (b & 7)) <= 1 && std::abs((a >> 3) - (b >> 3)) <= 1; }

// Squares the man attacks (-1 for those off the board); a ray ends on the first king it meets.
std::vector<int> targets(int code, int man, int wk, int bk) {
    static const int PAWN_TAKES[2][2] = {{-1, 1}, {1, 1}};
    if (code == W_PAWN) return {step(man, PAWN_TAKES[0]), step(man, PAWN_TAKES[1])};
    std::vector<int> out;
    if (code == W_KNIGHT)
        for (auto& d : JUMPS) out.push_back(step(man, d));
    for (int d = code == W_BISHOP ? 4 : 0; code != W_KNIGHT && d < (code == W_ROOK ? 4 : 8); d++)
        for (int s = step(man, STEPS[d]); s >= 0; s = s == wk || s == bk ? -1 : step(s, STEPS[d]))
            out.push_back(s);
    return out;
}
bool attacks(int code, int man, int wk, int king) {
    std::vector<int> t = targets(code, man, wk, king);
    return std::find(t.begin(), t.end(), king) != t.end();
}

bool legal(int player, int wk, int bk, int code, int man) {
    return man != wk && man != bk && !adjacent(wk, bk) && (code != W_PAWN || (man >= 8 && man < 56)) &&
           (player == BTM || !attacks(code, man, wk, bk));
}

// The value negamax-with-distance gives from the library's values of the successors.
int value_from_successors(int player, int wk, int bk, int code, int man) {
    int best = -NOT_FOUND;  // no move yet
    auto consider = [&](int child) {  // one ply further from the mate, seen by the mover
        best = std::max(best, child > 0 ? 1 - child : child < 0 ? -child - 1 : 0);
    };
    if (player == WTM) {
        for (auto& d : STEPS)
            if (int to = step(wk, d); to >= 0 && to != man && !adjacent(to, bk))
                consider(probe(BTM, to, bk, code, man));
        std::vector<int> moves = targets(code, man, wk, bk);
        if (code == W_PAWN) moves = {man + 8, man < 16 && man + 8 != wk && man + 8 != bk ? man + 16 : -1};
        for (int to : moves) {
            if (to < 0 || to == wk || to == bk) continue;
            if (code != W_PAWN || to < 56) consider(probe(BTM, wk, bk, code, to));
            else
                for (int promoted = W_QUEEN; promoted <= W_KNIGHT; promoted++)
                    consider(probe(BTM, wk, bk, promoted, to));
        }
        return best == -NOT_FOUND ? 0 : best;  // White has no check to be mated by
    }
    for (auto& d : STEPS)
        if (int to = step(bk, d); to >= 0 && !adjacent(to, wk) && (to == man || !attacks(code, man, wk, to)))
            consider(to == man ? 0 : probe(WTM, wk, to, code, man));  // taking the man leaves bare kings
    return best != -NOT_FOUND ? best : attacks(code, man, wk, bk) ? MATED : 0;
}

// --- Tests ---------------------------------------------------------------------------------------

TEST_F(BitbaseLibrary, EveryPositionAgreesWithItsSuccessorsAndItsMirror) {
    // With the mates fixed and every value backed up from its successors, the values can only
    // be the true distances: a wrong one would need a wrong one nearer to the mate.
    int longest[5] = {};
    for (int code = W_QUEEN; code <= W_PAWN; code++)
        for (int player = 0; player < 2; player++)
            for (int wk = 0; wk < 64; wk++)
                for (int bk = 0; bk < 64; bk++)
                    for (int man = 0; man < 64; man++) {
                        int v = probe(player, wk, bk, code, man);
                        int want = legal(player, wk, bk, code, man)
                                       ? value_from_successors(player, wk, bk, code, man) : NOT_FOUND;
                        ASSERT_EQ(v, want) << "code " << code << " player " << player << " kings " << wk
                                           << " " << bk << " man " << man;
                        // Black men are the white ones with the board turned and the sides exchanged.
                        ASSERT_EQ(probe(1 - player, bk ^ 56, wk ^ 56, code + 6, man ^ 56), v);
                        if (v > 0) longest[code - W_QUEEN] = std::max(longest[code - W_QUEEN], BITBASE_WIN - v);
                    }
    // The longest mates are well known: ten moves with the queen, sixteen with the rook; the
    // minor pieces never win.
    EXPECT_EQ(std::vector<int>(longest, longest + 4), (std::vector<int>{19, 31, 0, 0}));
    EXPECT_GT(longest[4], 31);
}

TEST_F(BitbaseLibrary, AnythingButAThreeMenPositionIsNotFound) {
    const int e1 = sq("e1"), e8 = sq("e8"), a1 = sq("a1");
    // Squares, sides and codes out of range must be refused before they index a table.
    for (int bad : {-1, 64, 1000, INT_MIN}) {
        EXPECT_EQ(probe(WTM, bad, e8, W_ROOK, a1), NOT_FOUND);
        EXPECT_EQ(probe(WTM, e1, bad, W_ROOK, a1), NOT_FOUND);
        EXPECT_EQ(probe(WTM, e1, e8, W_ROOK, bad), NOT_FOUND);
        EXPECT_EQ(probe(bad, e1, e8, W_ROOK, a1), NOT_FOUND);
        EXPECT_EQ(probe_entry(0, e1, bad, 0, 0, 0, 0, 0, 0), NOT_FOUND);
    }
    for (int code : {1, 7, 13, -2, 14, 99999}) EXPECT_EQ(probe(WTM, e1, e8, code, a1), NOT_FOUND);
    EXPECT_EQ(probe_entry(0, e1, e8, W_ROOK, a1, W_ROOK, sq("h1"), 0, 0), NOT_FOUND);
    // The man may stand in any pair, an empty pair's square does not matter, bare kings draw.
    EXPECT_EQ(probe_entry(0, e1, e8, 0, 17, 0, 0, W_ROOK, a1), probe(WTM, e1, e8, W_ROOK, a1));
    EXPECT_EQ(probe_entry(1, e1, e8, 0, 0, 0, 0, 0, 0), 0);
}

}  // namespace
