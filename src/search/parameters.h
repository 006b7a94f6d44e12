// The search's tuning in one place: margins, reductions, extensions, ordering bonuses, time rules.
#pragma once

#include <cstdint>

// Depths are counted in quarter plies, so that extensions can add fractions of a ply.
constexpr int ONE_PLY = 4;

// --- Margins (centipawns) ----------------------------------------------------------------------
constexpr int STATIC_CUTOFF_MARGIN = 150;  // what one ply is assumed unable to win back
constexpr int FUTILITY_DEPTH = 4 * ONE_PLY;  // futility is judged below this depth
constexpr int futility_margin[4] = {0, 125, 150, 175};  // by remaining whole plies, 0..3
constexpr int DELTA_MARGIN = 200;  // quiescence: how far below alpha a capture may leave us
constexpr int ASPIRATION_WINDOW = 100;    // each side of the last iteration's score
constexpr int ASPIRATION_WIDENING = 200;  // the first re-search after a fail; the second is open
// Lazy exits stay allowed while the root score is within this of the engine's own material.
constexpr int LAZY_EVAL_MARGIN = 150;

// --- Null move -----------------------------------------------------------------------------------
constexpr int NULL_MOVE_MIN_MATERIAL = 315;  // a lone minor piece or more: zugzwang is rare
constexpr int NULL_MOVE_REDUCTION = 3;       // whole plies, before the additions below
// Beyond each of these depths the null move is reduced one ply more (and once more in the middlegame).
constexpr int null_move_deeper_than[3] = {6 * ONE_PLY, 11 * ONE_PLY, 16 * ONE_PLY};
constexpr int VERIFY_MATERIAL = 1600;        // below this, a null-move cutoff is verified...
constexpr int VERIFY_MIN_DEPTH = 4 * ONE_PLY;  // ...when the null search went deeper than this,
constexpr int VERIFY_REDUCTION = 2 * ONE_PLY;  // by a search this much shallower
// A null move answered by mate within this many plies means a threat worth extending for.
constexpr int MATE_THREAT_PLIES = 2;

// --- Internal iterative deepening ----------------------------------------------------------------
constexpr int IID_MIN_DEPTH = 4 * ONE_PLY;
constexpr int IID_REDUCTION = 2 * ONE_PLY;

// --- Late moves: pruning and reductions ------------------------------------------------------------
constexpr int LATE_MOVE_COUNT = 20;            // pruned beyond this many legal moves...
constexpr int LATE_MOVE_DEPTH = 2 * ONE_PLY;   // ...below this depth
constexpr int REDUCTION_MIN_DEPTH = 2 * ONE_PLY;
constexpr int REDUCTION_MIN_MOVES = 4;         // the first moves are searched in full
// A quiet move whose history reaches this share of the best history (in percent) is not reduced,
// and one that reaches the second share is reduced by one ply only.
constexpr int UNREDUCED_HISTORY_SHARE = 66;
constexpr int ONE_PLY_HISTORY_SHARE = 33;
// The two-ply reduction needs this depth, more moves than this, and a middlegame.
constexpr int TWO_PLY_REDUCTION_DEPTH = 3 * ONE_PLY;
constexpr int TWO_PLY_REDUCTION_MOVES = 8;

// --- Extensions (quarter plies, by node kind) ------------------------------------------------------
struct Extension {
    int pv;     // on a PV node
    int other;  // elsewhere
    constexpr int at(bool pv_node) const { return pv_node ? pv : other; }
};
constexpr Extension CHECK_EXTENSION = {4, 2};        // also for a mate threat found by the null move
constexpr Extension RECAPTURE_EXTENSION = {4, 2};
constexpr int RECAPTURE_MAX_GAIN = 50;  // the recapture takes at most this much less than was taken
constexpr Extension PAWN_TO_SEVENTH_EXTENSION = {4, 2};
constexpr Extension PAWN_TO_SIXTH_EXTENSION = {2, 1};
// Trading the last piece into a pawn ending, by the piece taken.
constexpr Extension PAWN_ENDING_MINOR_EXTENSION = {4, 2};
constexpr Extension PAWN_ENDING_ROOK_EXTENSION = {6, 3};
constexpr Extension PAWN_ENDING_QUEEN_EXTENSION = {8, 4};

// --- Move ordering ---------------------------------------------------------------------------------
// The generator's scores stay below both bonuses; the table move goes before the last line's move.
constexpr int HASH_MOVE_BONUS = 20000000;
constexpr int PV_MOVE_BONUS = 10000000;
constexpr int FUTILITY_SCORE_LIMIT = 2000000;  // ordering scores from here up are never futile
constexpr int HISTORY_LIMIT = 2000000;  // halving keeps history below captures and killers

// --- Time rules --------------------------------------------------------------------------------------
constexpr int SAFETY_MARGIN_MS = 300;        // kept back from the clock for the interface, by default
constexpr int DEEP_SEARCH_TIME_MS = 3000;    // below this move time, iterations stop at...
constexpr int SHORT_TIME_MAX_DEPTH = 50;     // ...this depth
constexpr int GAME_MOVES_ASSUMED = 40;       // moves left when the whole game is one period
constexpr int SINGLE_MOVE_ITERATIONS = 4;    // enough to have a line and a score to show
constexpr int SHORT_MOVE_TIME_MS = 1000;     // below this hard limit, the endgame's time checks
// Past the extended limit the search goes on only while the score drops by more than this.
constexpr int SCORE_DROP_MARGIN = 20;

// A share of a time in milliseconds, in 64-bit integer arithmetic (product first, then quotient).
struct TimeShare {
    int64_t numerator, denominator;
    constexpr int64_t of(int64_t ms) const { return ms * numerator / denominator; }
};
// Incremental clock: when the clock holds less than SHORT_CLOCK_INCREMENTS increments, move on
// INCREMENT_SHARE of the increment; otherwise on CLOCK_SHARE of the clock plus the increment.
constexpr int64_t SHORT_CLOCK_INCREMENTS = 3;
constexpr TimeShare INCREMENT_SHARE = {75, 100};
constexpr TimeShare CLOCK_SHARE = {1, 30};
// The limits as shares of the move time (with moves to go, of the time per move).
constexpr TimeShare SOFT_LIMIT_SHARE = {1, 2};      // no new iteration after this
constexpr TimeShare EXTENDED_LIMIT_SHARE = {3, 2};  // a dropping score may think until this
constexpr TimeShare HARD_LIMIT_SHARE = {4, 1};      // incremental clock: never beyond this
// With moves to go, the hard limit is the move time times HARD_LIMIT_SCALE over the moves to go
// plus HARD_LIMIT_SPARE_MOVES: all of it for a period's last move, several even shares early on.
constexpr int64_t HARD_LIMIT_SCALE = 10;
constexpr int64_t HARD_LIMIT_SPARE_MOVES = 9;
