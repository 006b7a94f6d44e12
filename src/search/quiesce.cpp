// Quiescence search: stand pat, then captures and queen promotions (every evasion when in check).
#include "egbb/egbb.h"
#include "eval/eval.h"
#include "search/parameters.h"
#include "search/search.h"

int quiesce(SearchThread& t, int alpha, int beta) {
    const int ply = t.pos.ply;
    // The per-ply tables end here; a full history stack cannot take another move either.
    if (ply >= MAX_PLY) return evaluate(t.eval, alpha, beta);
    // No early return below may leave an older line in this row.
    t.pv_length[ply] = ply;

    // Time and input.
    t.count_node();
    if (ply > t.sel_depth) t.sel_depth = ply;
    if (t.nodes >= t.next_check_nodes) check_time(t, alpha);
    if (stop_search) return 0;

    // A repeated position is a draw.
    if (repetition_count(t.pos, 1) != 0) return 0;

    // The bitbases know small endings exactly.
    int bitbase_score;
    if (egbb_loaded && men_on_board(t.pos) <= egbb_men && probe_bitbases_from_root(t.pos, &bitbase_score)) return bitbase_score;

    // No room for another move: the static score.
    if (ply >= MAX_PLY - 1 || t.pos.game_ply >= MAX_GAME_PLY) return evaluate(t.eval, alpha, beta);

    // Stand pat, unless in check, then the captures (every move when in check).
    const bool in_check_now = in_check(t.pos, t.pos.side) != 0;
    Move list[MAX_MOVES];
    int count;
    int delta = 0;
    if (!in_check_now) {
        int stand = evaluate(t.eval, alpha, beta);
        if (stand >= beta) return beta;
        if (stand > alpha) alpha = stand;
        // Delta pruning: with much material left, a capture must bring the score near alpha.
        recompute_total_material(t);
        delta = t.total_material < ENDGAME_MATERIAL ? 0 : alpha - stand - DELTA_MARGIN;
        count = gen_captures(t.pos, list);
    } else {
        count = generate_moves(t.pos, list, &t.ordering);
    }

    // The previous iteration's line first.
    mark_pv_move(t, list, count);

    // Out of check only promotions and the captures that are not losing and may bring the score
    // near alpha are searched.
    auto worth_searching = [&](const Move& m) {
        return in_check_now || m.type >= MOVE_PROMOTE_QUEEN ||
               (m.score != SCORE_BAD_CAPTURE_MARK && piece_value[t.pos.piece[m.to]] > delta);
    };

    // The move loop. The order is fixed once the list is scored, so each pick is made a move
    // ahead: the evaluation-cache slot of the position it leads to loads meanwhile.
    int legal = 0;
    int ceiling = INT_MAX;  // the last pick's score: none of the rest is higher
    auto pick = [&](int j) {  // whether list[j], picked now, will be searched
        pick_next_move(list, count, j, ceiling);
        const bool worth = worth_searching(list[j]);
        if (worth) prefetch_eval_slot(t.eval.cache, key_after(t.pos, list[j]));
        return worth;
    };
    bool next_worth = count > 0 && pick(0);
    for (int i = 0; i < count; i++) {
        const Move m = list[i];
        const bool worth = next_worth;
        ceiling = m.score;
        if (i + 1 < count) next_worth = pick(i + 1);
        if (!worth) continue;
        if (!make_move(t.pos, m)) continue;
        int score = -quiesce(t, -beta, -alpha);
        unmake_move(t.pos);
        if (stop_search) return 0;
        legal++;
        if (score >= beta) return beta;
        if (score > alpha) {
            update_pv(t, m);
            alpha = score;
        }
    }

    // Mated: no legal evasion.
    if (in_check_now && legal == 0) return ply - SCORE_INF;
    return alpha;
}
