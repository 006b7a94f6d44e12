// The search state: the stop request, the root moves, and what each thread clears and keeps.
#include <cstdint>
#include <cstring>

#include "egbb/egbb.h"
#include "eval/eval.h"
#include "search/parameters.h"
#include "search/search.h"

std::atomic<int> stop_search{STOP_NONE};
int root_move_count;

namespace {

Move root_moves[MAX_MOVES];  // what the root may search, when root_move_count is not 0

}  // namespace

void reset_search_state(SearchThread& t) {
    t.nodes = 0;
    // The first look at the clock comes an interval in, or at the node limit if that is sooner.
    // Only the main thread looks at the clock; the others look only at a node limit.
    // With a node limit each thread looks first when it has searched its share of the limit.
    const int64_t limit = time_control.node_limit;
    t.next_check_nodes = t.is_main() || limit > 0 ? check_interval : INT64_MAX;
    const int threads = active_search_threads();
    const int64_t share = threads > 1 && limit / threads > NODE_LIMIT_SHARE_MOST ? NODE_LIMIT_SHARE_MOST : limit / threads;
    if (limit > 0 && share < t.next_check_nodes) t.next_check_nodes = share > 0 ? share : 1;
    t.sel_depth = 0;
    t.follow_pv = 0;
    memset(t.pv, 0, sizeof(t.pv));
    memset(t.pv_length, 0, sizeof(t.pv_length));
    memset(&t.ordering, 0, sizeof(t.ordering));
    memset(t.iteration_score, 0, sizeof(t.iteration_score));
    t.iteration = 0;
    set_root_material(t.eval);
}

// The child's line follows the move; the child set its own length before it searched.
void update_pv(SearchThread& t, Move move) {
    int ply = t.pos.ply;
    if (ply < 0 || ply >= MAX_PLY) return;
    t.pv[ply][ply] = move;
    if (ply + 1 >= MAX_PLY) {
        t.pv_length[ply] = ply + 1;
        return;
    }
    int end = t.pv_length[ply + 1];
    if (end > MAX_PLY) end = MAX_PLY;
    for (int j = ply + 1; j < end; j++) t.pv[ply][j] = t.pv[ply + 1][j];
    t.pv_length[ply] = end > ply + 1 ? end : ply + 1;
}

int recompute_total_material(SearchThread& t) {
    t.total_material = t.pos.piece_material[WHITE] + t.pos.piece_material[BLACK] +
                     t.pos.pawn_material[WHITE] + t.pos.pawn_material[BLACK];
    return t.total_material;
}

// A bitbase score is a distance from this node; the search counts from the root.
// Counted from the root, a bitbase score must still be neither a mate score nor infinity.
static_assert(EGBB_SCORE_LIMIT + MAX_PLY < MATE_BOUND);

bool probe_bitbases_from_root(const Position& pos, int* score) {
    int found = 0;
    if (!probe_bitbases(pos, &found)) return false;
    if (found > 0) *score = found - pos.ply;
    else if (found < 0) *score = found + pos.ply;
    else *score = 0;
    return true;
}

int men_on_board(const Position& pos) {
    int men = 2;
    for (int c = 0; c < 2; c++) {
        for (int p = PAWN; p <= QUEEN; p++) men += pos.piece_count[c][p];
    }
    return men;
}

bool same_move(Move a, Move b) { return a.from == b.from && a.to == b.to; }

void pick_next_move(Move* list, int count, int index, int ceiling) {
    int best = index, best_score = list[index].score;
    if (best_score < ceiling) {
        for (int j = index + 1; j < count; j++) {
            // Kept free of branches: whether a move beats the best so far is a coin toss that
            // the processor would mispredict again and again.
            const int score = list[j].score;
            const bool better = score > best_score;
            best = better ? j : best;
            best_score = better ? score : best_score;
            if (best_score >= ceiling) break;  // nothing later can beat it
        }
    }
    if (best != index) {
        Move t = list[index];
        list[index] = list[best];
        list[best] = t;
    }
}

void mark_pv_move(SearchThread& t, Move* list, int count) {
    if (!t.follow_pv) return;
    t.follow_pv = 0;
    for (int i = 0; i < count; i++) {
        if (same_move(list[i], t.pv[0][t.pos.ply])) {
            list[i].score += PV_MOVE_BONUS;
            t.follow_pv = 1;
            return;
        }
    }
}

void set_root_moves(const Move* moves, int count) {
    if (count < 0) count = 0;
    if (count > MAX_MOVES) count = MAX_MOVES;
    for (int i = 0; i < count; i++) root_moves[i] = moves[i];
    root_move_count = count;
}

// Removing moves keeps the order of the rest, so ties among the kept ones break as before.
int keep_root_moves(Move* list, int count) {
    if (root_move_count == 0) return count;
    int kept = 0;
    for (int i = 0; i < count; i++) {
        for (int j = 0; j < root_move_count; j++) {
            if (same_move(list[i], root_moves[j]) && list[i].type == root_moves[j].type) {
                list[kept++] = list[i];
                break;
            }
        }
    }
    return kept;
}

int drop_shown_lines(const SearchThread& t, Move* list, int count) {
    if (t.shown_count == 0) return count;
    int kept = 0;
    for (int i = 0; i < count; i++) {
        bool shown = false;
        for (int j = 0; j < t.shown_count && !shown; j++) shown = same_move(list[i], t.shown[j]) && list[i].type == t.shown[j].type;
        if (!shown) list[kept++] = list[i];
    }
    return kept;
}

int count_root_moves(Position& pos) {
    if (root_move_count == 0) return count_legal_moves(pos);
    Move list[MAX_MOVES];
    int count = keep_root_moves(list, generate_moves(pos, list));
    int legal = 0;
    for (int i = 0; i < count; i++) {
        if (!make_move(pos, list[i])) continue;
        unmake_move(pos);
        legal++;
    }
    return legal;
}
