// Our bitbase library, loaded as the engine loads it: known endgame facts and a full self-check.
#include <gtest/gtest.h>

#include <cstdio>

#include "egbb/library/library.h"
#include "platform/platform.h"

namespace {

using LoadEntry = void (*)(const char*, int, int);
using ProbeEntry = int (*)(int, int, int, int, int, int, int, int, int);

void* library;
ProbeEntry probe_entry;

// Piece codes and the library's square numbering (a1 = 0).
enum { W_QUEEN = 2, W_ROOK, W_BISHOP, W_KNIGHT, W_PAWN, B_QUEEN = 8, B_PAWN = 12 };
constexpr int WHITE_TO_MOVE = 0, BLACK_TO_MOVE = 1;
constexpr int MATED = -BITBASE_WIN;

int sq(const char* text) { return (text[1] - '1') * 8 + (text[0] - 'a'); }

int probe(int player, int white_king, int black_king, int code, int square) {
    return probe_entry(player, white_king, black_king, code, square, 0, 0, 0, 0);
}

int probe(int player, const char* white_king, const char* black_king, int code,
          const char* square) {
    return probe(player, sq(white_king), sq(black_king), code, sq(square));
}

class BitbaseLibrary : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        library = library_open(TOLVANE_BUILD_DIR "/egbb/egbbso64.so");
        ASSERT_NE(library, nullptr) << "the library was not built";
        auto load = reinterpret_cast<LoadEntry>(library_symbol(library, "load_egbb_5men"));
        probe_entry = reinterpret_cast<ProbeEntry>(library_symbol(library, "probe_egbb_5men"));
        ASSERT_NE(load, nullptr);
        ASSERT_NE(probe_entry, nullptr);
        int64_t start = now_ms();
        load("./egbb/", 32 << 20, 0);
        printf("[ info     ] bitbase library solved in %lld ms\n",
               static_cast<long long>(now_ms() - start));
    }
    void SetUp() override {
        if (!probe_entry) GTEST_SKIP() << "library not loaded";
    }
};

// --- An independent rule book for three men, in the library's numbering -----------------------

bool adjacent(int a, int b) {
    int files = (a & 7) - (b & 7), ranks = (a >> 3) - (b >> 3);
    return files >= -1 && files <= 1 && ranks >= -1 && ranks <= 1;
}

int step(int square, int file_step, int rank_step) {
    int file = (square & 7) + file_step, rank = (square >> 3) + rank_step;
    return file < 0 || file > 7 || rank < 0 || rank > 7 ? -1 : rank * 8 + file;
}

const int king_steps[8][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}, {1, 1}, {1, -1}, {-1, 1}, {-1, -1}};
const int knight_jumps[8][2] = {{1, 2}, {2, 1}, {2, -1}, {1, -2}, {-1, -2}, {-2, -1}, {-2, 1}, {-1, 2}};

// Directions of the white man by code; knights and pawns are handled apart.
int directions(int code, const int (**list)[2]) {
    static const int rook[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
    static const int bishop[4][2] = {{1, 1}, {1, -1}, {-1, 1}, {-1, -1}};
    if (code == W_QUEEN) { *list = king_steps; return 8; }
    if (code == W_ROOK) { *list = rook; return 4; }
    if (code == W_BISHOP) { *list = bishop; return 4; }
    return 0;
}

// Does the white man on `man` attack `target`? `blocker` is the only other square in the way.
bool man_attacks(int code, int man, int target, int blocker) {
    if (code == W_PAWN) return target == step(man, -1, 1) || target == step(man, 1, 1);
    if (code == W_KNIGHT) {
        for (auto& j : knight_jumps)
            if (step(man, j[0], j[1]) == target) return true;
        return false;
    }
    const int (*list)[2];
    int n = directions(code, &list);
    for (int d = 0; d < n; d++)
        for (int s = step(man, list[d][0], list[d][1]); s >= 0; s = step(s, list[d][0], list[d][1])) {
            if (s == target) return true;
            if (s == blocker) break;
        }
    return false;
}

bool legal(int player, int white_king, int black_king, int code, int man) {
    if (white_king == black_king || man == white_king || man == black_king) return false;
    if (adjacent(white_king, black_king)) return false;
    if (code == W_PAWN && (man < 8 || man >= 56)) return false;
    return player == BLACK_TO_MOVE || !man_attacks(code, man, black_king, white_king);
}

// The mover's view of a successor's value: one ply further from the mate.
int backed_up(int child) {
    if (child > 0) return -(child - 1);
    if (child < 0) return -child - 1;
    return 0;
}

// The value negamax-with-distance gives from the library's values of the successors.
int value_from_successors(int player, int wk, int bk, int code, int man) {
    int best = -BITBASE_NOT_FOUND, moves = 0;
    auto consider = [&](int child) {
        moves++;
        int v = backed_up(child);
        if (v > best) best = v;
    };
    if (player == WHITE_TO_MOVE) {
        for (auto& k : king_steps) {
            int to = step(wk, k[0], k[1]);
            if (to < 0 || to == man || adjacent(to, bk)) continue;
            consider(probe(BLACK_TO_MOVE, to, bk, code, man));
        }
        if (code == W_PAWN) {
            int one = man + 8;
            if (one != wk && one != bk) {
                if (one >= 56) {
                    for (int promoted = W_QUEEN; promoted <= W_KNIGHT; promoted++)
                        consider(probe(BLACK_TO_MOVE, wk, bk, promoted, one));
                } else {
                    consider(probe(BLACK_TO_MOVE, wk, bk, code, one));
                    int two = man + 16;
                    if (man < 16 && two != wk && two != bk)
                        consider(probe(BLACK_TO_MOVE, wk, bk, code, two));
                }
            }
        } else if (code == W_KNIGHT) {
            for (auto& j : knight_jumps) {
                int to = step(man, j[0], j[1]);
                if (to >= 0 && to != wk && to != bk) consider(probe(BLACK_TO_MOVE, wk, bk, code, to));
            }
        } else {
            const int (*list)[2];
            int n = directions(code, &list);
            for (int d = 0; d < n; d++)
                for (int to = step(man, list[d][0], list[d][1]); to >= 0 && to != wk && to != bk;
                     to = step(to, list[d][0], list[d][1]))
                    consider(probe(BLACK_TO_MOVE, wk, bk, code, to));
        }
        return moves ? best : 0;  // White has no check to be mated by
    }
    for (auto& k : king_steps) {
        int to = step(bk, k[0], k[1]);
        if (to < 0 || to == wk || adjacent(to, wk)) continue;
        if (to == man) {
            consider(0);  // two bare kings
            continue;
        }
        if (man_attacks(code, man, to, wk)) continue;
        consider(probe(WHITE_TO_MOVE, wk, to, code, man));
    }
    if (moves) return best;
    return man_attacks(code, man, bk, wk) ? MATED : 0;
}

// --- Tests ---------------------------------------------------------------------------------

TEST_F(BitbaseLibrary, EveryPositionAgreesWithItsSuccessors) {
    // With the mates fixed and every value backed up from its successors, the values can only
    // be the true distances: a wrong one would need a wrong one nearer to the mate.
    int longest[5] = {};
    for (int code = W_QUEEN; code <= W_PAWN; code++)
        for (int player = 0; player < 2; player++)
            for (int wk = 0; wk < 64; wk++)
                for (int bk = 0; bk < 64; bk++)
                    for (int man = 0; man < 64; man++) {
                        int v = probe(player, wk, bk, code, man);
                        if (!legal(player, wk, bk, code, man)) {
                            ASSERT_EQ(v, BITBASE_NOT_FOUND) << code << " " << player << " "
                                                            << wk << " " << bk << " " << man;
                            continue;
                        }
                        ASSERT_EQ(v, value_from_successors(player, wk, bk, code, man))
                            << "code " << code << " player " << player << " kings " << wk
                            << " " << bk << " man " << man;
                        if (v > 0 && BITBASE_WIN - v > longest[code - W_QUEEN])
                            longest[code - W_QUEEN] = BITBASE_WIN - v;
                    }
    printf("[ info     ] longest wins in plies: KQK %d, KRK %d, KBK %d, KNK %d, KPK %d\n",
           longest[0], longest[1], longest[2], longest[3], longest[4]);
    // The longest mates of the piece endings are well known: ten moves with the queen,
    // sixteen with the rook; the minor pieces never win.
    EXPECT_EQ(longest[0], 19);
    EXPECT_EQ(longest[1], 31);
    EXPECT_EQ(longest[2], 0);
    EXPECT_EQ(longest[3], 0);
    EXPECT_GT(longest[4], 31);
}

TEST_F(BitbaseLibrary, BlackMenMirrorWhiteOnes) {
    for (int code = W_QUEEN; code <= W_PAWN; code++)
        for (int player = 0; player < 2; player++)
            for (int wk = 0; wk < 64; wk++)
                for (int bk = 0; bk < 64; bk++)
                    for (int man = 0; man < 64; man++)
                        ASSERT_EQ(probe(1 - player, bk ^ 56, wk ^ 56, code + 6, man ^ 56),
                                  probe(player, wk, bk, code, man));
    // Black's pawn marches down: Black to move promotes and wins.
    EXPECT_GT(probe(BLACK_TO_MOVE, "h1", "d2", B_PAWN, "e2"), 0);
    EXPECT_EQ(probe(WHITE_TO_MOVE, "h1", "h3", B_QUEEN, "g2"), MATED);
}

TEST_F(BitbaseLibrary, MatesAndTheirDistances) {
    EXPECT_EQ(probe(BLACK_TO_MOVE, "b6", "a8", W_QUEEN, "b7"), MATED);
    EXPECT_EQ(probe(WHITE_TO_MOVE, "b6", "a8", W_QUEEN, "h7"), BITBASE_WIN - 1);
    EXPECT_EQ(probe(BLACK_TO_MOVE, "b6", "a8", W_ROOK, "h8"), MATED);
    // Queen and rook are wins from anywhere the man is safe; the minor pieces are draws.
    EXPECT_GT(probe(WHITE_TO_MOVE, "a1", "e5", W_ROOK, "h8"), BITBASE_WIN - 40);
    EXPECT_LT(probe(BLACK_TO_MOVE, "a1", "e5", W_QUEEN, "h8"), -(BITBASE_WIN - 40));
    EXPECT_EQ(probe(BLACK_TO_MOVE, "a1", "e3", W_QUEEN, "e2"), 0);  // takes the queen
    EXPECT_EQ(probe(WHITE_TO_MOVE, "c6", "a8", W_BISHOP, "c5"), 0);
    EXPECT_EQ(probe(WHITE_TO_MOVE, "c6", "a8", W_KNIGHT, "c5"), 0);
    // Black to move, not in check, no move: stalemate.
    EXPECT_EQ(probe(BLACK_TO_MOVE, "b6", "a8", W_QUEEN, "c7"), 0);
    // The values stay far inside the search's non-mate range and above any evaluation.
    EXPECT_LT(BITBASE_WIN + 100, 32703);
    EXPECT_GT(BITBASE_WIN - 200, 10000);
}

TEST_F(BitbaseLibrary, KingAndPawnFacts) {
    // The pawn on the sixth with the kings in opposition: the move decides.
    EXPECT_GT(probe(WHITE_TO_MOVE, "d6", "e8", W_PAWN, "e6"), 0);  // e7 Kf7 Kd7
    EXPECT_EQ(probe(BLACK_TO_MOVE, "d6", "e8", W_PAWN, "e6"), 0);  // Kd8! and stalemate
    // White's king before the pawn on the fourth: whoever must give way loses the opposition.
    EXPECT_EQ(probe(WHITE_TO_MOVE, "e5", "e7", W_PAWN, "e4"), 0);
    EXPECT_LT(probe(BLACK_TO_MOVE, "e5", "e7", W_PAWN, "e4"), 0);
    // The king behind the pawn on the sixth only stalemates.
    EXPECT_EQ(probe(WHITE_TO_MOVE, "e5", "e7", W_PAWN, "e6"), 0);
    EXPECT_EQ(probe(BLACK_TO_MOVE, "e5", "e7", W_PAWN, "e6"), 0);
    // An unstoppable pawn (the square rule): the black king is outside its square.
    EXPECT_GT(probe(WHITE_TO_MOVE, "a1", "h5", W_PAWN, "c4"), 0);
    EXPECT_EQ(probe(WHITE_TO_MOVE, "a1", "f5", W_PAWN, "c4"), 0);
}

TEST_F(BitbaseLibrary, RookPawnWithTheKingInTheCornerIsADraw) {
    for (int player = 0; player < 2; player++)
        for (int wk = 0; wk < 64; wk++)
            for (int pawn = sq("a2"); pawn <= sq("a7"); pawn += 8) {
                if (!legal(player, wk, sq("a8"), W_PAWN, pawn)) continue;
                EXPECT_EQ(probe(player, wk, sq("a8"), W_PAWN, pawn), 0) << wk << " " << pawn;
                EXPECT_EQ(probe(player, wk + 7 - 2 * (wk & 7), sq("h8"), W_PAWN, pawn + 7), 0);
            }
}

TEST_F(BitbaseLibrary, KingOnAKeySquareWins) {
    // Pawn on e4: d6, e6 and f6 are its key squares; they win whoever moves, as long as the
    // black king cannot take the pawn at once.
    for (const char* key : {"d6", "e6", "f6"})
        for (int player = 0; player < 2; player++)
            for (int bk = 0; bk < 64; bk++) {
                if (!legal(player, sq(key), bk, W_PAWN, sq("e4")) || adjacent(bk, sq("e4")))
                    continue;
                int v = probe(player, sq(key), bk, W_PAWN, sq("e4"));
                EXPECT_NE(v, 0) << key << " " << bk << " player " << player;
                EXPECT_EQ(v > 0, player == WHITE_TO_MOVE);
            }
}

TEST_F(BitbaseLibrary, UnderPromotionAvoidsStalemate) {
    // c8=Q stalemates (a8 king, b6 covered by the white king); c8=R wins.
    EXPECT_EQ(probe(BLACK_TO_MOVE, "b6", "a8", W_QUEEN, "c8"), MATED);
    EXPECT_EQ(probe(BLACK_TO_MOVE, "c6", "a7", W_QUEEN, "c8"), 0);
    EXPECT_LT(probe(BLACK_TO_MOVE, "c6", "a7", W_ROOK, "c8"), 0);
    EXPECT_GT(probe(WHITE_TO_MOVE, "c6", "a7", W_PAWN, "c7"), 0);
}

TEST_F(BitbaseLibrary, AnythingElseIsNotFound) {
    const int e1 = sq("e1"), e8 = sq("e8"), a1 = sq("a1");
    EXPECT_EQ(probe_entry(0, e1, e8, W_ROOK, a1, W_ROOK, sq("h1"), 0, 0), BITBASE_NOT_FOUND);
    EXPECT_EQ(probe_entry(0, e1, e8, W_ROOK, a1, B_PAWN, sq("h7"), W_PAWN, sq("b2")),
              BITBASE_NOT_FOUND);
    // The man may stand in any pair; an empty pair's square does not matter.
    EXPECT_EQ(probe_entry(0, e1, e8, 0, 17, 0, 0, W_ROOK, a1),
              probe(WHITE_TO_MOVE, e1, e8, W_ROOK, a1));
    // Two bare kings are a draw.
    EXPECT_EQ(probe_entry(1, e1, e8, 0, 0, 0, 0, 0, 0), 0);
    // Input that is no position at all.
    for (int bad : {-1, 64, 1000, -2147483647 - 1}) {
        EXPECT_EQ(probe(WHITE_TO_MOVE, bad, e8, W_ROOK, a1), BITBASE_NOT_FOUND);
        EXPECT_EQ(probe(WHITE_TO_MOVE, e1, bad, W_ROOK, a1), BITBASE_NOT_FOUND);
        EXPECT_EQ(probe(WHITE_TO_MOVE, e1, e8, W_ROOK, bad), BITBASE_NOT_FOUND);
        EXPECT_EQ(probe(bad, e1, e8, W_ROOK, a1), BITBASE_NOT_FOUND);
        EXPECT_EQ(probe_entry(0, e1, bad, 0, 0, 0, 0, 0, 0), BITBASE_NOT_FOUND);
    }
    for (int code : {1, 7, 13, -2, 14, 99999})
        EXPECT_EQ(probe(WHITE_TO_MOVE, e1, e8, code, a1), BITBASE_NOT_FOUND);
    EXPECT_EQ(probe(WHITE_TO_MOVE, e1, e1, W_ROOK, a1), BITBASE_NOT_FOUND);     // one square
    EXPECT_EQ(probe(WHITE_TO_MOVE, e1, e8, W_ROOK, e8), BITBASE_NOT_FOUND);     // man on a king
    EXPECT_EQ(probe(WHITE_TO_MOVE, e1, sq("e2"), W_ROOK, a1), BITBASE_NOT_FOUND);  // kings touch
    EXPECT_EQ(probe(WHITE_TO_MOVE, e1, e8, W_PAWN, sq("e8") - 4), BITBASE_NOT_FOUND);  // rank 8
    EXPECT_EQ(probe(WHITE_TO_MOVE, e1, e8, W_PAWN, sq("d1")), BITBASE_NOT_FOUND);      // rank 1
    EXPECT_EQ(probe(WHITE_TO_MOVE, e1, e8, W_ROOK, sq("e5")), BITBASE_NOT_FOUND);  // Black in check
    EXPECT_EQ(probe(BLACK_TO_MOVE, e8, e1, B_QUEEN, sq("e5")), BITBASE_NOT_FOUND);  // White in check
}

}  // namespace
