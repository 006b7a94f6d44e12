// Alpha-beta search below the root: pruning, reductions, extensions and move-ordering memory.
#include "egbb/egbb.h"
#include "eval/eval.h"
#include "search/parameters.h"
#include "search/search.h"

namespace {

constexpr int MATE_SCORE_MIN = MATE_BOUND + 1;  // scores from here up are mates found

// Whether the bitbases are asked at this node: always at two thirds of the nominal line, nearer
// the root only after a capture or pawn move, deeper only as the load type allows.
bool bitbase_probe_due(int depth, int men) {
    int ply = pos.ply;
    int limit = (2 * (depth / ONE_PLY + ply)) / 3;
    if (ply == limit) return true;
    if (ply < limit) {
        if (pos.game_ply < 1) return false;
        const HistoryEntry& last = game_history[pos.game_ply - 1];
        if (last.type == MOVE_NONE) return false;  // a null move changes nothing on the board
        return last.captured != EMPTY || pos.piece[last.to] == PAWN ||
               last.type >= MOVE_PROMOTE_QUEEN;
    }
    return (egbb_load_type >= 1 && men <= 4) || egbb_load_type == 3;
}

bool probe_bitbases_here(int depth, int* score) {
    if (!egbb_loaded) return false;
    int count = men_on_board();
    if (count > egbb_men || !bitbase_probe_due(depth, count)) return false;
    return probe_bitbases_from_root(score);
}

// Quarter plies to add for the move just made; the first matching rule wins, except that the
// pawn-ending rule overrides any other.
int extension(bool pv_node, bool gives_check, bool mate_threat) {
    const HistoryEntry& now = game_history[pos.game_ply - 1];
    bool endgame = total_material < ENDGAME_MATERIAL;
    int row = now.to >> 3;
    bool pawn_moved = pos.piece[now.to] == PAWN;
    int ext = 0;

    if (gives_check || mate_threat) {
        ext = CHECK_EXTENSION.at(pv_node);
    } else if (now.captured != EMPTY && pos.game_ply >= 2 &&
               game_history[pos.game_ply - 2].captured != EMPTY &&
               game_history[pos.game_ply - 2].to == now.to &&
               piece_value[now.captured] - piece_value[game_history[pos.game_ply - 2].captured] <=
                   RECAPTURE_MAX_GAIN) {
        ext = RECAPTURE_EXTENSION.at(pv_node);
    } else if (endgame && pawn_moved && (row == 1 || row == 6)) {
        ext = PAWN_TO_SEVENTH_EXTENSION.at(pv_node);
    } else if (endgame && pawn_moved && (row == 2 || row == 5)) {
        ext = PAWN_TO_SIXTH_EXTENSION.at(pv_node);
    }

    // Trading the last piece into a pawn ending decides the game: look deeper.
    if (endgame && pos.piece_material[WHITE] == 0 && pos.piece_material[BLACK] == 0) {
        switch (now.captured) {
            case KNIGHT:
            case BISHOP: ext = PAWN_ENDING_MINOR_EXTENSION.at(pv_node); break;
            case ROOK: ext = PAWN_ENDING_ROOK_EXTENSION.at(pv_node); break;
            case QUEEN: ext = PAWN_ENDING_QUEEN_EXTENSION.at(pv_node); break;
            default: break;
        }
    }
    return ext;
}

void reward_history(Move m, int depth) {
    int& counter = ordering.history[m.from][m.to];
    counter += depth / ONE_PLY;
    if (counter > ordering.history_max) ordering.history_max = counter;
    if (ordering.history_max > HISTORY_LIMIT) {
        // Halving keeps the counters below the ordering scores of captures and killers.
        for (auto& row : ordering.history)
            for (int& c : row) c /= 2;
        ordering.history_max /= 2;
    }
}

void remember_cutoff(Move m, int score, int ply) {
    if (score < MATE_SCORE_MIN && pos.piece[m.to] == EMPTY && m.type < MOVE_PROMOTE_QUEEN) {
        if (!same_move(m, ordering.killer1[ply])) {
            ordering.killer2[ply] = ordering.killer1[ply];
            ordering.killer1[ply] = m;
        }
    }
    if (score >= MATE_SCORE_MIN) ordering.mate_killer[ply] = m;
}

}  // namespace

int search(int alpha, int beta, int depth) {
    const bool pv_node = beta - alpha > 1;
    const int ply = pos.ply;

    // The horizon, the end of the per-ply tables, or a full history stack.
    if (depth < ONE_PLY || ply >= MAX_PLY - 1 || pos.game_ply >= MAX_GAME_PLY) {
        return quiesce(alpha, beta);
    }
    // No early return below may leave an older line in this row.
    pv_length[ply] = ply;

    // Time and input.
    nodes++;
    if (nodes % check_interval == 0) check_time(alpha);
    if (stop_search) return 0;

    if (ply > 0) {
        // Mate-distance pruning: no line from here can beat a mate already found.
        if (alpha < ply - SCORE_INF) alpha = ply - SCORE_INF;
        if (beta > SCORE_INF - ply) beta = SCORE_INF - ply;
        if (alpha >= beta) return alpha;
        if (repetition_count(1) != 0) return 0;
    }

    // Table probe: the move to try first, whether a null move is worth trying, and a bound
    // when the stored search went deep enough.
    const HashMoveProbe probe = probe_hash_move(depth + pos.game_ply, beta);
    Move hash_move = probe.move;
    int null_ok = probe.null_ok;

    if (ply > 0) {
        // Table cutoffs.
        if (probe.flag == HASH_LOWER && probe.score >= beta) return beta;
        if (probe.flag == HASH_EXACT && !pv_node) return probe.score;
        if (probe.flag == HASH_UPPER && probe.score <= alpha) return alpha;
        // The bitbases know small endings exactly.
        int bitbase_score;
        if (probe_bitbases_here(depth, &bitbase_score)) return bitbase_score;
    }

    // Pruning before the moves: internal deepening, static cutoff, null move, futility.
    const bool in_check_now = in_check(pos.side) != 0;
    bool mate_threat = false;
    bool futile = false;

    if (ply > 0) {
        // Internal iterative deepening: a PV node without a table move finds one cheaply first.
        if (pv_node && !in_check_now && hash_move.from == 0 && hash_move.to == 0 &&
            depth >= IID_MIN_DEPTH) {
            search(alpha, beta, depth - IID_REDUCTION);
            HashMoveProbe found = probe_hash_move(depth + pos.game_ply, beta);
            hash_move.from = found.move.from;
            hash_move.to = found.move.to;
            if (!found.null_ok) null_ok = 0;
            pv_length[ply] = ply;
        }

        if (!pv_node && !in_check_now && beta < MATE_BOUND) {
            int eval = evaluate(-SCORE_INF, SCORE_INF);
            if (depth == ONE_PLY) {
                // Static cutoff: one ply cannot win back a clear margin.
                if (null_ok && eval - STATIC_CUTOFF_MARGIN >= beta) return eval - STATIC_CUTOFF_MARGIN;
            } else if (null_ok && eval >= beta &&
                       pos.piece_material[pos.side] >= NULL_MOVE_MIN_MATERIAL) {
                // Null move: if passing still holds beta, a real move will too.
                recompute_total_material();
                int r = NULL_MOVE_REDUCTION + (total_material > MIDDLEGAME_MATERIAL);
                for (int deeper : null_move_deeper_than) r += depth > deeper;
                null_depth = depth - ONE_PLY * r;
                make_null_move();
                int score = -search(-beta, -beta + 1, null_depth);
                unmake_move();
                if (stop_search) return 0;
                if (score >= beta) {
                    // With little material zugzwang is real: confirm with a reduced search.
                    if (null_depth > VERIFY_MIN_DEPTH && pos.piece_material[pos.side] < VERIFY_MATERIAL) {
                        score = search(alpha, beta, null_depth - VERIFY_REDUCTION);
                        if (stop_search) return 0;
                        pv_length[ply] = ply;
                    }
                    if (score >= beta) {
                        hash_store(HASH_LOWER, depth + pos.game_ply, beta, NO_MOVE);
                        return score < MATE_BOUND ? score : beta;
                    }
                } else if (score <= ply + MATE_THREAT_PLIES - SCORE_INF) {
                    // Passing gets us mated at once: something is threatened.
                    mate_threat = true;
                }
            }
            if (depth < FUTILITY_DEPTH && alpha > -MATE_BOUND) {
                futile = eval + futility_margin[depth / ONE_PLY] < beta;
            }
        }
    }

    // The moves.
    pv_length[ply] = ply;
    Move list[MAX_MOVES];
    int count = generate_moves(list, &ordering);

    // Ordering: the table move first, then the previous iteration's line.
    for (int i = 0; i < count; i++) {
        if (same_move(list[i], hash_move)) {
            list[i].score += HASH_MOVE_BONUS;
            break;
        }
    }
    mark_pv_move(list, count);

    // The move loop.
    int best = -SCORE_INF;
    Move best_move = NO_MOVE;
    int flag = HASH_UPPER;
    int legal = 0;
    for (int i = 0; i < count; i++) {
        pick_next_move(list, count, i);
        Move m = list[i];
        if (!make_move(m)) continue;
        legal++;
        bool gives_check = in_check(pos.side) != 0;
        recompute_total_material();
        int ext = extension(pv_node, gives_check, mate_threat);

        // Futility pruning: a quiet move cannot lift a hopeless static score to beta.
        if (futile && ext == 0 && legal > 1 && m.score < FUTILITY_SCORE_LIMIT) {
            unmake_move();
            continue;
        }

        int score;
        if (legal == 1) {
            score = -search(-beta, -alpha, depth - ONE_PLY + ext);
        } else {
            // Late-move pruning: this far down the list a quiet move rarely matters.
            if (legal > LATE_MOVE_COUNT && depth < LATE_MOVE_DEPTH && ext == 0 && !pv_node &&
                !in_check_now) {
                unmake_move();
                continue;
            }
            bool full_depth = true;
            bool reduce = !(depth < REDUCTION_MIN_DEPTH || legal < REDUCTION_MIN_MOVES || ext != 0 ||
                            in_check_now || follow_pv ||
                            m.score >= ordering.history_max * UNREDUCED_HISTORY_SHARE / 100);
            if (reduce) {
                bool one_ply = depth < TWO_PLY_REDUCTION_DEPTH || legal <= TWO_PLY_REDUCTION_MOVES ||
                               total_material <= MIDDLEGAME_MATERIAL ||
                               m.score >= ordering.history_max * ONE_PLY_HISTORY_SHARE / 100;
                score = -search(-alpha - 1, -alpha, depth - (one_ply ? 2 : 3) * ONE_PLY);
                if (score <= alpha) full_depth = false;
            }
            if (full_depth) {
                score = -search(-alpha - 1, -alpha, depth - ONE_PLY + ext);
                if (score > alpha && score < beta && !stop_search) {
                    score = -search(-beta, -alpha, depth - ONE_PLY + ext);
                }
            }
        }
        unmake_move();
        if (stop_search) return 0;

        if (score > best) {
            best = score;
            best_move = m;
            if (score > alpha) {
                reward_history(m, depth);
                if (score >= beta) {
                    remember_cutoff(m, score, ply);
                    hash_store(HASH_LOWER, depth + pos.game_ply, beta, m);
                    return score;
                }
                flag = HASH_EXACT;
                update_pv(m);
                alpha = score;
                if (ply == 0) show_thinking(score);
            }
        }
    }

    // Mate, stalemate, the fifty-move rule, then the store.
    if (legal == 0) {
        best = in_check_now ? ply - SCORE_INF : 0;
    } else if (pos.fifty >= 100) {
        return 0;
    }
    hash_store(flag, depth + pos.game_ply, best, best_move);
    return best;
}
