#!/usr/bin/env bash
# Planted faults: each line of MUTANTS below is applied alone to a scratch copy of the tree,
# which is rebuilt incrementally and tested; a mutant is "caught" when some test fails.
#   scripts/mutants.sh [BUILD_DIR]     (default /tmp/tolvane_mutants)
#   MUTANTS_ONLY=src/board scripts/mutants.sh   runs only the faults whose line matches the pattern
#   MUTANT_JOBS=2 runs each test pass two tests at a time (a quiet machine only)
# A mutant whose original text is no longer in its file is "stale" and not counted.
# Slow (a rebuild and a test run per mutant); not part of `make test` or CI. Runs niced, one job.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
work=${1:-/tmp/tolvane_mutants}
timeout_s=${MUTANT_TEST_TIMEOUT:-300}
only=${MUTANTS_ONLY:-}
jobs=${MUTANT_JOBS:-1}
mkdir -p "$work"
rm -rf "$work/tree" && mkdir -p "$work/tree"
tar -C "$root" --exclude=./build --exclude=./.git -cf - . | tar -C "$work/tree" -xf -
nice -n 19 cmake -S "$work/tree" -B "$work/build" -DCMAKE_BUILD_TYPE=Release >/dev/null || exit 2

# FILE|exact original text|replacement   (the first occurrence in FILE is replaced)
MUTANTS=$(cat <<'LIST'
src/board/make_move.cpp|if (square_attacked(p, p.king_square[me], me)) return false;|if (false) return false;
src/board/make_move.cpp|return p.piece[base + 5] == EMPTY && p.piece[base + 6] == EMPTY && !square_attacked(p, base + 5, me);|return p.piece[base + 5] == EMPTY && p.piece[base + 6] == EMPTY;
src/board/make_move.cpp|const int base = me == WHITE ? A1 : A8;|const int base = me == WHITE ? A8 : A1;
src/board/movegen.cpp|if (key == k.k1) return SCORE_KILLER1;|if (key == k.k2) return SCORE_KILLER1;
src/board/movegen.cpp|if (ply >= 2) {|if (ply >= 3) {
src/board/notation.cpp|return text[0] >= 'a' && text[0] <= 'h' && text[1] >= '1' && text[1] <= '8';|return text[0] >= 'a' && text[0] <= 'h' && text[1] >= '1' && text[1] <= '7';
src/board/notation.cpp|bool is_short_castle_target(int to) { return to == G1 \|\| to == G8; }|bool is_short_castle_target(int to) { return to == G1; }
src/board/setup.cpp|bool is_letter(char c) { return (c >= 'a' && c <= 'z') \|\| (c >= 'A' && c <= 'Z'); }|bool is_letter(char c) { return (c >= 'a' && c <= 'z'); }
src/board/setup.cpp|while (*text == ' ' \|\| *text == '\t') ++text;|while (*text == ' ') ++text;
src/eval/evaluate.cpp|if (s - margin >= beta) {|if (s - margin > beta) {
src/eval/evaluate.cpp|if (s + margin <= alpha) {|if (s + margin < alpha) {
src/eval/evaluate.cpp|inline int for_side_to_move(Evaluator& e, int white, int black) { return e.pos.side == WHITE ? white - black : black - white; }|inline int for_side_to_move(Evaluator& e, int white, int black) { return white - black; }
src/eval/pawns.cpp|return colour == WHITE ? e.pawn_rank[WHITE][x] : 7 - e.pawn_rank[BLACK][x];|return colour == WHITE ? e.pawn_rank[WHITE][x] : 6 - e.pawn_rank[BLACK][x];
src/eval/pawns.cpp|v.fwd = colour == WHITE ? -8 : 8;|v.fwd = colour == WHITE ? -8 : -8;
src/eval/pawns.cpp|inline int absolute_row(int colour, int rel_row) { return colour == WHITE ? rel_row : 7 - rel_row; }|inline int absolute_row(int colour, int rel_row) { return rel_row; }
src/search/search.cpp|if (last.type == MOVE_NONE) return false;|if (last.type == MOVE_NONE) return true;
src/search/search.cpp|return (egbb_load_type >= 1 && men <= 4) \|\| egbb_load_type == 3;|return (egbb_load_type >= 1 && men <= 3) \|\| egbb_load_type == 3;
src/search/quiesce.cpp|if (stand >= beta) return beta;|if (stand > beta) return beta;
src/search/quiesce.cpp|if (repetition_count(t.pos, 1) != 0) return 0;|if (repetition_count(t.pos, 2) != 0) return 0;
src/search/quiesce.cpp|if (t.nodes >= t.next_check_nodes) check_time(t, alpha);|if (t.nodes > t.next_check_nodes) check_time(t, alpha);
src/search/root_search.cpp|if (legal == 1 && it >= SINGLE_MOVE_ITERATIONS) break;|if (legal == 1 && it > SINGLE_MOVE_ITERATIONS) break;
src/search/root_search.cpp|t.eval.lazy_eval = score - own <= LAZY_EVAL_MARGIN ? 1 : 0;|t.eval.lazy_eval = score - own < LAZY_EVAL_MARGIN ? 1 : 0;
src/search/root_search.cpp|return moves > 0 && score >= SCORE_INF - (2 * static_cast<int64_t>(moves) - 1);|return moves > 0 && score >= SCORE_INF - (2 * static_cast<int64_t>(moves));
src/search/hash_table.cpp|if (hash_entries == 0) hash_entries = DEFAULT_HASH_ENTRIES;|if (hash_entries == 0) hash_entries = DEFAULT_HASH_ENTRIES / 2;
src/search/hash_table.cpp|if (!hash_megabytes_valid(megabytes)) return false;|if (false) return false;
src/search/time_control.cpp|time_check_armed = main_thread().iteration > 2 ? 1 : 0;|time_check_armed = main_thread().iteration > 3 ? 1 : 0;
src/search/time_control.cpp|search_start_ms = since_ms;|search_start_ms = since_ms - 1000;
src/search/time_control.cpp|if (total >= node_limit) {|if (total > node_limit) {
src/search/time_control.cpp|if (moves_to_go <= 0) moves_to_go += (-moves_to_go / mps + 1) * mps;|if (moves_to_go < 0) moves_to_go += (-moves_to_go / mps + 1) * mps;
src/search/time_control.cpp|tc.max_depth = tc.move_time_ms >= DEEP_SEARCH_TIME_MS ? MAX_PLY : SHORT_TIME_MAX_DEPTH;|tc.max_depth = MAX_PLY;
src/search/search_state.cpp|if (limit > 0 && share < t.next_check_nodes) t.next_check_nodes = share > 0 ? share : 1;|if (limit > 0 && share < t.next_check_nodes) t.next_check_nodes = share + 1;
src/search/threads.cpp|if (count < 1 \|\| count > MAX_THREADS) return false;|if (count < 1 \|\| count >= MAX_THREADS) return false;
src/search/threads.cpp|for (int i = 0; i < active_threads - 1; i++) total += helpers[i].state->nodes.load(std::memory_order_relaxed);|for (int i = 0; i < active_threads - 2; i++) total += helpers[i].state->nodes.load(std::memory_order_relaxed);
src/book/book_probe.cpp|if (captured != BOOK_EMPTY) toggle(captured, to_cell);|if (false) toggle(captured, to_cell);
src/book/book_probe.cpp|if (to_cell - from_cell == 20 && to_cell + 10 < BOOK_BOARD_SIZE) {|if (to_cell - from_cell == 20 && to_cell + 10 < BOOK_BOARD_SIZE - 1) {
src/book/book_probe.cpp|static bool is_border(int cell) { return cell % 10 == 0 \|\| cell % 10 == 9; }|static bool is_border(int cell) { return cell % 10 == 0; }
src/egbb/bitbases.cpp|if (white_king < 0 \|\| white_king > 63 \|\| black_king < 0 \|\| black_king > 63) return false;|if (white_king < 0 \|\| black_king < 0) return false;
src/egbb/bitbases.cpp|if (pair == EGBB_MAX_MEN - 2) return false;|if (pair == EGBB_MAX_MEN - 1) return false;
src/shell/uci.cpp|bool is_blank(char c) { return c == ' ' \|\| c == '\t' \|\| c == '\r' \|\| c == '\n' \|\| c == '\f' \|\| c == '\v'; }|bool is_blank(char c) { return c == ' ' \|\| c == '\t'; }
src/shell/uci.cpp|} else if (word == "searchmoves") {|} else if (word == "searchmove") {
src/shell/xboard.cpp|} else if (strcmp(command, "undo") == 0) {|} else if (strcmp(command, "undo ") == 0) {
src/shell/xboard.cpp|} else if (strcmp(command, "force") == 0) {|} else if (strcmp(command, "new") == 0) {
src/search/search_state.cpp|if (same_move(list[i], root_moves[j]) && list[i].type == root_moves[j].type) {|if (same_move(list[i], root_moves[j])) {
src/shell/uci_info.cpp|line.add(" multipv %d", k + 1);|line.add(" multipv %d", k);
src/book/polyglot_key.cpp|const int pushed = p.side == WHITE ? p.ep + 8 : p.ep - 8;|const int pushed = p.side == WHITE ? p.ep - 8 : p.ep + 8;
src/platform/input.cpp|if (length > 0 && line[length - 1] == '\r') length--;|if (false) length--;
src/tools/perft.cpp|for (int d = 0; d <= depth; ++d) {|for (int d = 0; d < depth; ++d) {
LIST
)

caught=0; survived=0; stale=0; unbuilt=0
while IFS= read -r line; do
    [ -z "$line" ] && continue
    [ -n "$only" ] && ! grep -qE -- "$only" <<<"$line" && continue
    # Fields are split on unescaped '|'; '\|' stands for a literal bar.
    IFS=$'\x01' read -r file original replacement <<<"$(printf '%s' "$line" | sed 's/\\|/\x02/g; s/|/\x01/g; s/\x02/|/g')"
    target="$work/tree/$file"
    if [ ! -f "$target" ] || ! grep -qF -- "$original" "$target"; then
        echo "stale     $file: $original"; stale=$((stale + 1)); continue
    fi
    cp "$target" "$target.orig"
    ORIGINAL="$original" REPLACEMENT="$replacement" perl -0pi -e \
        'my $o = $ENV{ORIGINAL}; my $r = $ENV{REPLACEMENT}; s/\Q$o\E/$r/' "$target"
    start=$(date +%s)
    rm -f "$work/last_test.log"
    if ! nice -n 19 cmake --build "$work/build" -j1 >"$work/last_build.log" 2>&1; then
        verdict=unbuilt   # a broken mutant, not a catch: the build log says why
    elif nice -n 19 ctest --test-dir "$work/build" -j"$jobs" --stop-on-failure --timeout "$timeout_s" \
            >"$work/last_test.log" 2>&1; then
        verdict=survived
    else
        verdict=caught
    fi
    mv "$target.orig" "$target"
    touch "$target"
    case $verdict in
        caught) caught=$((caught + 1)) ;; survived) survived=$((survived + 1)) ;; *) unbuilt=$((unbuilt + 1)) ;;
    esac
    # The first test that failed, for a caught mutant that built: which test carries the catch.
    by=""
    [ "$verdict" = caught ] && [ -s "$work/last_test.log" ] &&
        by=$(grep -m1 -oE '[0-9]+ - [^ ]+ \(Failed|Timeout\)' "$work/last_test.log" | sed 's/^[0-9]* - //; s/ (.*//')
    printf '%-9s %4ss  %s: %s%s\n' "$verdict" $(( $(date +%s) - start )) "$file" "$original" "${by:+   [$by]}"
done <<<"$MUTANTS"
echo "caught $caught, survived $survived, of $((caught + survived)) applied; stale $stale, unbuilt $unbuilt"
