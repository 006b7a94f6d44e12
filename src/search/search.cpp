// Alpha-beta search below the root: pruning, reductions, extensions and move-ordering memory.
#include <optional>
#include <utility>

#include "egbb/egbb.h"
#include "eval/eval.h"
#include "search/parameters.h"
#include "search/search.h"

namespace {

constexpr int MATE_SCORE_MIN = MATE_BOUND + 1;  // scores from here up are mates found

// Whether the bitbases are asked at this node: always at two thirds of the nominal line, nearer
// the root only after a capture or pawn move, deeper only as the load type allows.
bool bitbase_probe_due(SearchThread& t, int depth, int men) {
    int ply = t.pos.ply;
    int limit = (2 * (depth / ONE_PLY + ply)) / 3;
    if (ply == limit) return true;
    if (ply < limit) {
        if (t.pos.game_ply < 1) return false;
        const HistoryEntry& last = t.pos.history[t.pos.game_ply - 1];
        if (last.type == MOVE_NONE) return false;  // a null move changes nothing on the board
        return last.captured != EMPTY || t.pos.piece[last.to] == PAWN ||
               last.type >= MOVE_PROMOTE_QUEEN;
    }
    return (egbb_load_type >= 1 && men <= 4) || egbb_load_type == 3;
}

bool probe_bitbases_here(SearchThread& t, int depth, int* score) {
    if (!egbb_loaded) return false;
    int count = men_on_board(t.pos);
    if (count > egbb_men || !bitbase_probe_due(t, depth, count)) return false;
    return probe_bitbases_from_root(t.pos, score);
}

// What one node knows as its steps run. The window narrows and alpha rises as the node goes on.
struct Node {
    int alpha, beta;
    const int depth;
    const int ply;
    const bool pv_node;
    bool in_check = false;
    Move hash_move = NO_MOVE;  // only its from and to squares count
    int null_ok = 1;           // the table does not forbid a null move
    bool mate_threat = false;  // passing gets this side mated
    bool futile = false;       // quiet moves after the first cannot reach beta
};

// A position about to be searched to child_depth: below the horizon quiescence reads only the
// evaluation cache, above it the search reads the table first.
void prefetch_child(const SearchThread& t, uint64_t key, int child_depth) {
    if (child_depth < ONE_PLY) prefetch_eval_slot(t.eval.cache, key);
    else prefetch_slots(t.eval.cache, key);
}

// The table move is most often the first one searched: the slots of the position it leads to
// load while the node does its other work. Its kind is not stored, so it is guessed from the
// board; only a move of our man to a square not ours is looked at.
void prefetch_table_move(SearchThread& t, Move m, int child_depth) {
    const int from = m.from, to = m.to;
    if (t.pos.color[from] != t.pos.side || t.pos.color[to] == t.pos.side) return;
    m.type = MOVE_NORMAL;
    if (t.pos.piece[from] == PAWN) {
        if (to < 8 || to >= 56) m.type = MOVE_PROMOTE_QUEEN;
        else if (to - from == 16 || from - to == 16) m.type = MOVE_DOUBLE_PUSH;
        else if (t.pos.piece[to] == EMPTY && (to - from) % 8 != 0) m.type = MOVE_EN_PASSANT;
    }
    prefetch_child(t, key_after(t.pos, m), child_depth);
}

// Mate-distance pruning: no line from here can beat a mate already found. True when the window
// closes, and the node is worth its alpha.
bool mate_distance_closes(Node& n) {
    if (n.alpha < n.ply - SCORE_INF) n.alpha = n.ply - SCORE_INF;
    if (n.beta > SCORE_INF - n.ply) n.beta = SCORE_INF - n.ply;
    return n.alpha >= n.beta;
}

// Table cutoffs: a stored bound or exact score from a search at least as deep.
std::optional<int> table_cutoff(const Node& n, const HashMoveProbe& probe) {
    if (probe.flag == HASH_LOWER && probe.score >= n.beta) return n.beta;
    if (probe.flag == HASH_EXACT && !n.pv_node) return probe.score;
    if (probe.flag == HASH_UPPER && probe.score <= n.alpha) return n.alpha;
    return std::nullopt;
}

// Internal iterative deepening: a PV node without a table move finds one cheaply first.
void internal_iterative_deepening(SearchThread& t, Node& n) {
    search(t, n.alpha, n.beta, n.depth - IID_REDUCTION);
    const HashMoveProbe found = probe_hash_move(t.pos, n.depth + t.pos.game_ply, n.beta, t.null_depth);
    n.hash_move.from = found.move.from;
    n.hash_move.to = found.move.to;
    if (!found.null_ok) n.null_ok = 0;
    t.pv_length[n.ply] = n.ply;
}

// Null move: if passing still holds beta, a real move will too. A score ends the node; without
// one the node goes on, perhaps knowing of a mate threat.
std::optional<int> null_move(SearchThread& t, Node& n) {
    recompute_total_material(t);
    int r = NULL_MOVE_REDUCTION + (t.total_material > MIDDLEGAME_MATERIAL);
    for (int deeper : null_move_deeper_than) r += n.depth > deeper;
    t.null_depth = n.depth - ONE_PLY * r;
    make_null_move(t.pos);
    int score = -search(t, -n.beta, -n.beta + 1, t.null_depth);
    unmake_move(t.pos);
    if (stop_search) return 0;

    if (score >= n.beta) {
        // With little material zugzwang is real: confirm with a reduced search. A null move deeper
        // in the tree may have changed null_depth meanwhile; its latest value is the one used.
        if (t.null_depth > VERIFY_MIN_DEPTH && t.pos.piece_material[t.pos.side] < VERIFY_MATERIAL) {
            score = search(t, n.alpha, n.beta, t.null_depth - VERIFY_REDUCTION);
            if (stop_search) return 0;
            t.pv_length[n.ply] = n.ply;
        }
        if (score >= n.beta) {
            hash_store(t.pos, HASH_LOWER, n.depth + t.pos.game_ply, n.beta, NO_MOVE);
            return score < MATE_BOUND ? score : n.beta;
        }
    } else if (score <= n.ply + MATE_THREAT_PLIES - SCORE_INF) {
        n.mate_threat = true;
    }
    return std::nullopt;
}

// Pruning on the static evaluation, away from the PV and out of check: the static cutoff one ply
// from the horizon, the null move deeper, and the futility verdict for the move loop.
std::optional<int> prune_on_static_eval(SearchThread& t, Node& n) {
    const int eval = evaluate(t.eval, -SCORE_INF, SCORE_INF);
    if (n.depth == ONE_PLY) {
        // Static cutoff: one ply cannot win back a clear margin.
        if (n.null_ok && eval - STATIC_CUTOFF_MARGIN >= n.beta) return eval - STATIC_CUTOFF_MARGIN;
    } else if (n.null_ok && eval >= n.beta && t.pos.piece_material[t.pos.side] >= NULL_MOVE_MIN_MATERIAL) {
        if (const std::optional<int> score = null_move(t, n)) return score;
    }
    if (n.depth < FUTILITY_DEPTH && n.alpha > -MATE_BOUND) {
        n.futile = eval + futility_margin[n.depth / ONE_PLY] < n.beta;
    }
    return std::nullopt;
}

// The moves in their first order: the table move first, then the previous iteration's line. At
// the root, only the moves the driver allows. `*hash_index` is where the table move stands, -1
// when it is not in the list.
int ordered_moves(SearchThread& t, Move* list, const Node& n, int* hash_index) {
    int count = generate_moves(t.pos, list, &t.ordering);
    if (n.ply == 0) count = drop_shown_lines(t, list, keep_root_moves(list, count));
    *hash_index = -1;
    for (int i = 0; i < count; i++) {
        if (same_move(list[i], n.hash_move)) {
            list[i].score += HASH_MOVE_BONUS;
            *hash_index = i;
            break;
        }
    }
    mark_pv_move(t, list, count);
    return count;
}

// Quarter plies to add for the move just made; the first matching rule wins, except that the
// pawn-ending rule overrides any other.
int extension(SearchThread& t, const Node& n, bool gives_check) {
    const HistoryEntry& now = t.pos.history[t.pos.game_ply - 1];
    const bool endgame = t.total_material < ENDGAME_MATERIAL;
    const int row = now.to >> 3;
    const bool pawn_moved = t.pos.piece[now.to] == PAWN;
    int ext = 0;

    if (gives_check || n.mate_threat) {
        ext = CHECK_EXTENSION.at(n.pv_node);
    } else if (now.captured != EMPTY && t.pos.game_ply >= 2 &&
               t.pos.history[t.pos.game_ply - 2].captured != EMPTY &&
               t.pos.history[t.pos.game_ply - 2].to == now.to &&
               piece_value[now.captured] - piece_value[t.pos.history[t.pos.game_ply - 2].captured] <=
                   RECAPTURE_MAX_GAIN) {
        ext = RECAPTURE_EXTENSION.at(n.pv_node);
    } else if (endgame && pawn_moved && (row == 1 || row == 6)) {
        ext = PAWN_TO_SEVENTH_EXTENSION.at(n.pv_node);
    } else if (endgame && pawn_moved && (row == 2 || row == 5)) {
        ext = PAWN_TO_SIXTH_EXTENSION.at(n.pv_node);
    }

    // Trading the last piece into a pawn ending decides the game: look deeper.
    if (endgame && t.pos.piece_material[WHITE] == 0 && t.pos.piece_material[BLACK] == 0) {
        switch (now.captured) {
            case KNIGHT:
            case BISHOP: ext = PAWN_ENDING_MINOR_EXTENSION.at(n.pv_node); break;
            case ROOK: ext = PAWN_ENDING_ROOK_EXTENSION.at(n.pv_node); break;
            case QUEEN: ext = PAWN_ENDING_QUEEN_EXTENSION.at(n.pv_node); break;
            default: break;
        }
    }
    return ext;
}

// Futility and late-move pruning: moves after the first that are not searched unless extended,
// the quiet ones of a futile node and late ones near the horizon away from the PV. `number` is the
// move's place among the legal moves. Once this holds for a move it holds for every later one:
// the picked scores only fall and the count only grows.
bool pruned_unless_extended(const Node& n, Move m, int number) {
    if (number == 1) return false;
    if (n.futile && m.score < FUTILITY_SCORE_LIMIT) return true;
    return number > LATE_MOVE_COUNT && n.depth < LATE_MOVE_DEPTH && !n.pv_node && !n.in_check;
}

bool move_is_pruned(const Node& n, Move m, int legal, int ext) {
    return ext == 0 && pruned_unless_extended(n, m, legal);
}

// Whether a move might earn an extension, told before it is made and erring toward yes: every
// move under a mate threat, checks, the special moves, recaptures, trades of the last piece, and
// pawn moves in an ending.
bool may_be_extended(SearchThread& t, const Node& n, Move m) {
    if (n.mate_threat || m.type == MOVE_CASTLE || m.type == MOVE_EN_PASSANT || m.type >= MOVE_PROMOTE_QUEEN)
        return true;
    const int me = t.pos.side;
    const int captured = t.pos.piece[m.to];
    if (captured != EMPTY) {
        const HistoryEntry* last = t.pos.game_ply >= 1 ? &t.pos.history[t.pos.game_ply - 1] : nullptr;
        if (last != nullptr && last->captured != EMPTY && last->to == m.to) return true;
        if (captured != PAWN && t.pos.piece_material[me] == 0 && t.pos.piece_material[1 - me] == piece_value[captured])
            return true;
    }
    if (t.pos.piece[m.from] == PAWN) {
        const int material_after = t.pos.piece_material[WHITE] + t.pos.piece_material[BLACK] +
                                   t.pos.pawn_material[WHITE] + t.pos.pawn_material[BLACK] - piece_value[captured];
        if (material_after < ENDGAME_MATERIAL) return true;
    }
    return gives_check(t.pos, m);
}

// Late-move reduction, in quarter plies: none for the first moves, extended moves, checks, the
// previous line and well-tried quiet moves; two plies for the latest moves of a deep middlegame
// node, one otherwise.
int reduction(SearchThread& t, const Node& n, Move m, int legal, int ext) {
    if (n.depth < REDUCTION_MIN_DEPTH || legal < REDUCTION_MIN_MOVES || ext != 0 || n.in_check ||
        t.follow_pv || m.score >= t.ordering.history_max * UNREDUCED_HISTORY_SHARE / 100)
        return 0;
    const bool one_ply = n.depth < TWO_PLY_REDUCTION_DEPTH || legal <= TWO_PLY_REDUCTION_MOVES ||
                         t.total_material <= MIDDLEGAME_MATERIAL ||
                         m.score >= t.ordering.history_max * ONE_PLY_HISTORY_SHARE / 100;
    return one_ply ? ONE_PLY : 2 * ONE_PLY;
}

// The score of the move just made: the first move with the full window, later ones with a null
// window (reduced first where allowed), re-searched with the full window when they land inside.
int search_move(SearchThread& t, const Node& n, Move m, int legal, int ext) {
    const int depth = n.depth - ONE_PLY + ext;
    if (legal == 1) return -search(t, -n.beta, -n.alpha, depth);

    const int r = reduction(t, n, m, legal, ext);
    if (r > 0) {
        const int score = -search(t, -n.alpha - 1, -n.alpha, n.depth - ONE_PLY - r);
        if (score <= n.alpha) return score;
    }
    int score = -search(t, -n.alpha - 1, -n.alpha, depth);
    if (score > n.alpha && score < n.beta && !stop_search) score = -search(t, -n.beta, -n.alpha, depth);
    return score;
}

void reward_history(SearchThread& t, Move m, int depth) {
    int& counter = t.ordering.history[m.from][m.to];
    counter += depth / ONE_PLY;
    if (counter > t.ordering.history_max) t.ordering.history_max = counter;
    if (t.ordering.history_max > HISTORY_LIMIT) {
        // Halving keeps the counters below the ordering scores of captures and killers.
        for (auto& row : t.ordering.history)
            for (int& c : row) c /= 2;
        t.ordering.history_max /= 2;
    }
}

void remember_cutoff(SearchThread& t, Move m, int score, int ply) {
    if (score < MATE_SCORE_MIN && t.pos.piece[m.to] == EMPTY && m.type < MOVE_PROMOTE_QUEEN) {
        if (!same_move(m, t.ordering.killer1[ply])) {
            t.ordering.killer2[ply] = t.ordering.killer1[ply];
            t.ordering.killer1[ply] = m;
        }
    }
    if (score >= MATE_SCORE_MIN) t.ordering.mate_killer[ply] = m;
}

// The move loop: each move made, extended, perhaps pruned, searched, and the best kept; a cutoff
// ends it. Then mate, stalemate, the fifty-move rule, and the table store.
int search_moves(SearchThread& t, Node& n) {
    t.pv_length[n.ply] = n.ply;
    Move list[MAX_MOVES];
    int hash_index;
    const int count = ordered_moves(t, list, n, &hash_index);
    int best = -SCORE_INF;
    Move best_move = NO_MOVE;
    int flag = HASH_UPPER;
    int legal = 0;
    int ceiling = INT_MAX;  // the last pick's score: none of the rest is higher
    int extendable = -1;    // the moves left that may be extended, once nothing else is searched
    // The order is fixed once the list is scored, so each pick is made a move ahead: the slots of
    // the position it leads to load while the move before is searched.
    auto pick = [&](int j) {
        pick_next_move(list, count, j, ceiling);
        prefetch_child(t, key_after(t.pos, list[j]), n.depth - ONE_PLY);
    };
    // The table move's bonus lifts it above every other score, the previous line's included: it
    // is the first pick without a look at the rest (its slots were asked for after the probe).
    if (hash_index >= 0) std::swap(list[0], list[hash_index]);
    else if (count > 0) pick(0);
    for (int i = 0; i < count; i++) {
        const Move m = list[i];
        ceiling = m.score;
        if (i + 1 < count) pick(i + 1);
        // From here on a move that is not extended is pruned if legal and refused if not: only the
        // ones that may be extended are made, and once they are done, so is the node.
        if (pruned_unless_extended(n, m, legal + 1)) {
            if (extendable < 0) {
                extendable = 0;
                for (int j = i; j < count; j++) extendable += may_be_extended(t, n, list[j]);
            }
            if (extendable == 0) break;
            if (!may_be_extended(t, n, m)) continue;
            extendable--;
        }
        if (!make_move(t.pos, m)) continue;
        legal++;
        if (n.ply == 0 && t.is_main()) show_root_move(t, m, legal);
        const bool gives_check = in_check(t.pos, t.pos.side) != 0;
        recompute_total_material(t);
        const int ext = extension(t, n, gives_check);
        if (move_is_pruned(n, m, legal, ext)) {
            unmake_move(t.pos);
            continue;
        }
        const int score = search_move(t, n, m, legal, ext);
        unmake_move(t.pos);
        if (stop_search) return 0;

        // A new best; above alpha it earns history and joins the line, at beta it cuts off.
        if (score <= best) continue;
        best = score;
        best_move = m;
        if (score <= n.alpha) continue;
        reward_history(t, m, n.depth);
        if (score >= n.beta) {
            if (n.ply == 0) t.root_cutoff_move = m;
            remember_cutoff(t, m, score, n.ply);
            hash_store(t.pos, HASH_LOWER, n.depth + t.pos.game_ply, n.beta, m);
            return score;
        }
        flag = HASH_EXACT;
        update_pv(t, m);
        n.alpha = score;
        // Several lines are shown together once the depth is done.
        if (n.ply == 0 && t.is_main() && t.lines_wanted == 1) show_thinking(t, score);
    }

    // Mate, stalemate, the fifty-move rule, then the store.
    if (legal == 0) {
        best = n.in_check ? n.ply - SCORE_INF : 0;
    } else if (t.pos.fifty >= FIFTY_MOVE_PLIES) {
        return 0;
    }
    hash_store(t.pos, flag, n.depth + t.pos.game_ply, best, best_move);
    return best;
}

}  // namespace

int search(SearchThread& t, int alpha, int beta, int depth) {
    Node n{alpha, beta, depth, t.pos.ply, beta - alpha > 1};
    const int ply = n.ply;

    // The horizon, the end of the per-ply tables, or a full history stack.
    if (depth < ONE_PLY || ply >= MAX_PLY - 1 || t.pos.game_ply >= MAX_GAME_PLY) return quiesce(t, alpha, beta);
    // No early return below may leave an older line in this row.
    t.pv_length[ply] = ply;

    // Time and input.
    t.count_node();
    if (ply > t.sel_depth) t.sel_depth = ply;
    if (t.nodes >= t.next_check_nodes) check_time(t, alpha);
    if (stop_search) return 0;

    // Mate distance, then repetition: a repeated position is a draw.
    if (ply > 0) {
        if (mate_distance_closes(n)) return n.alpha;
        if (repetition_count(t.pos, 1) != 0) return 0;
    }

    // Table probe: the move to try first, whether a null move is worth trying, and a bound
    // when the stored search went deep enough.
    const HashMoveProbe probe = probe_hash_move(t.pos, depth + t.pos.game_ply, n.beta, t.null_depth);
    n.hash_move = probe.move;
    n.null_ok = probe.null_ok;
    if (ply > 0) {
        if (const std::optional<int> score = table_cutoff(n, probe)) return *score;
        prefetch_table_move(t, n.hash_move, depth - ONE_PLY);
        // Away from the PV a null move is likely: its position's slots load meanwhile too.
        if (!n.pv_node && n.beta < MATE_BOUND)
            prefetch_child(t, key_after_null_move(t.pos), depth - ONE_PLY * NULL_MOVE_REDUCTION);
        // The bitbases know small endings exactly.
        int bitbase_score;
        if (probe_bitbases_here(t, depth, &bitbase_score)) return bitbase_score;
    }

    // Internal iterative deepening, then pruning on the static evaluation away from the PV.
    n.in_check = in_check(t.pos, t.pos.side) != 0;
    if (ply > 0) {
        const bool no_hash_move = n.hash_move.from == 0 && n.hash_move.to == 0;
        if (n.pv_node && !n.in_check && no_hash_move && depth >= IID_MIN_DEPTH) internal_iterative_deepening(t, n);
        if (!n.pv_node && !n.in_check && n.beta < MATE_BOUND) {
            if (const std::optional<int> score = prune_on_static_eval(t, n)) return *score;
        }
    }

    // The moves.
    return search_moves(t, n);
}
