// Choosing a move: root search, alpha-beta, quiescence, hash tables, time control, thinking output.
#pragma once

#include <climits>
#include <cstdint>

#include "board/board.h"
#include "eval/eval.h"

constexpr int MATE_BOUND = 32703;  // beyond this in absolute value a score is a mate score

enum HashFlag { HASH_EXACT = 0, HASH_UPPER = 1, HASH_LOWER = 2, HASH_NONE = 3 };
enum SearchMode { MODE_THINK = 1, MODE_PONDER = 2, MODE_ANALYZE = 3 };
// Why the search stopped, kept in stop_search: any value but STOP_NONE makes every level return.
// The driver decides what a stop means (the xboard driver leaves the game when input stopped
// its own move).
enum StopReason { STOP_NONE = 0, STOP_TIME = 1, STOP_INPUT = 2, STOP_NODES = 3 };

constexpr int NO_TIME_LIMIT_MS = 33554432;
// Iterations run below this one; a build may lower it (the fuzzing build keeps every search short).
#if defined(TOLVANE_MAX_ITERATION)
constexpr int MAX_ITERATION = TOLVANE_MAX_ITERATION;
#else
constexpr int MAX_ITERATION = MAX_PLY;
#endif

constexpr int DEFAULT_HASH_MB = 32;
constexpr uint32_t DEFAULT_HASH_ENTRIES = 838860;  // DEFAULT_HASH_MB

constexpr int MIDDLEGAME_CHECK_INTERVAL = 16384;  // nodes between time checks
constexpr int ENDGAME_CHECK_INTERVAL = 1024;

// A probe's copy of a table entry.
struct TranspositionEntry {
    uint64_t key;
    int flag;
    int depth;  // remaining depth in quarter plies plus game_ply
    int score;
    Move best_move;  // its squares only: a table move is matched by them
};

// A table slot as stored: 16 bytes, four to a cache line.
struct HashSlot {
    uint64_t key;
    int32_t score;
    int16_t depth;
    uint16_t move_and_flag;  // from | to << 6 | flag << 12
};

struct HashMoveProbe {
    Move move;
    int flag;
    int null_ok;
    int score;
};

struct TimeControl {
    int moves_per_session;
    int increment_ms;
    int remaining_ms;
    int moves_to_go;
    int move_time_ms;
    int soft_limit_ms;
    int extended_limit_ms;
    int hard_limit_ms;
    int max_depth;
    int64_t node_limit;  // the search stops at this node count; 0: no limit
    int mate_moves;      // the search ends once it has found a mate in this many moves; 0: never
};

// --- Hash tables -----------------------------------------------------------------------------
extern HashSlot* hash_table;
extern uint32_t hash_entries;  // slots; at least 1 when allocated
extern int hash_mb;            // the size the table was given, for messages

uint32_t hash_entries_for_mb(int megabytes);  // (N x 2^20) / 40 in 32 bits; the default outside the range
bool set_hash_mb(int megabytes);              // false (and nothing changed) outside the range
void alloc_tables();   // the transposition table and the evaluation cache; exits with status 1 on failure
bool resize_hash_table(int megabytes);  // a new, empty table; false (the old one kept) without memory
void free_tables();
void clear_tables();   // zero both
int  hash_full_permill();  // used slots per thousand, sampled from the start of the table
void hash_store(int flag, int depth, int score, Move move);     // store rule with mate conversion
bool hash_probe(TranspositionEntry* entry);                      // copy of the slot on a key match
HashMoveProbe probe_hash_move(int wanted_depth, int beta);
void prefetch_slots(uint64_t key);  // a hint that both tables will soon be probed for key
void prefetch_eval_slot(uint64_t key);  // the same for the evaluation cache alone
int score_to_hash(int score);    // mate scores made node-relative (uses pos.ply)
int score_from_hash(int score);

// --- Search state ----------------------------------------------------------------------------
extern int64_t nodes;
extern int stop_search;  // a StopReason
extern int follow_pv;
extern Move pv[MAX_PLY][MAX_PLY];
extern int pv_length[MAX_PLY];
extern OrderingMemory ordering;  // killers and history, read by the move generator
extern int null_depth;
extern int total_material;  // both sides' material, pawns included, where the search last asked
extern int iteration;
extern int iteration_score[MAX_PLY + 1];
extern int sel_depth;             // the deepest ply a node of this search has reached
extern int root_move_count;       // moves the root may search; 0: every legal move

void update_pv(Move move);
int  recompute_total_material();  // stores and returns total_material
void reset_search_state();        // what the root search clears, the root material, the first check
int  men_on_board();              // pawns and pieces of both sides, kings included
bool probe_bitbases_from_root(int* score);  // a bitbase hit, as a score counted from the root
bool same_move(Move a, Move b);   // equal from and to squares
// The first of the best remaining ordering scores to index, the move there taking its place. No
// remaining score exceeds `ceiling` (the previous pick's): the first move at it is the pick.
void pick_next_move(Move* list, int count, int index, int ceiling = INT_MAX);
void mark_pv_move(Move* list, int count);               // the previous line's move, while followed
void set_root_moves(const Move* moves, int count);  // only these at the root (matched by squares
                                                    // and kind) until set again; 0: all of them
int  keep_root_moves(Move* list, int count);        // the allowed ones of a root list, in order
int  count_root_moves();                            // legal moves the root may search

// --- Search ----------------------------------------------------------------------------------
void clear_game_memory();  // what a new position must not inherit: both tables, the book's misses
// own_side: the colour the engine plays (EMPTY when none); the lazy-evaluation rule weighs its material.
Move root_search(int own_side);
int  search(int alpha, int beta, int depth);
int  quiesce(int alpha, int beta);

// --- Thinking output -----------------------------------------------------------------------------
// What the search shows while it thinks; a driver may replace either printer with its own.
extern void (*show_thinking)(int score);    // each new best root move; default print_thinking
extern void (*show_book_move)(Move move);   // a book answer at the root; default print_book_move
void print_thinking(int score);             // the xboard thinking line
void print_book_move(Move move);            // the xboard book line

// --- Time control and input polling ---------------------------------------------------------
extern TimeControl time_control;
extern int search_mode;
extern int64_t search_start_ms;
extern int time_check_armed;
extern int check_interval;
extern int64_t next_check_nodes;  // the node count at which the searches call check_time next
// Whether a waiting line stops the search; input_pending by default. It is asked at every check
// of a pondering or analysing search, and of a thinking one once its time check is armed, so a
// driver may also answer or swallow lines here (the xboard analysis answers ".") and report
// progress; tests replace it to search without a console.
extern bool (*poll_input)();

void set_time_st_ms(int ms);    // the most a move may take, from "st"; the search keeps a margin
void set_time_move_ms(int ms);  // every limit at ms, no depth limit
void set_time_sd(int depth);
void set_time_level(int moves_per_session, int increment_ms);
void set_time_remaining(int centiseconds, int own_side);  // the "time" rule; own_side as for root_search
// The allocation behind "time": the engine's clock, and the moves to go in the period (0 when
// the rest of the game is one period: the increment then rules, or forty moves are assumed).
void set_time_clock_ms(int remaining_ms, int moves_to_go);
void set_fixed_limits(int ms, int max_depth); // move time and the three limits, for tools and hint
// The pondering search under way goes on as a thinking one, its clock started at since_ms (a
// driver that sees the interface's word only at a check starts it when the word may have come).
void ponder_hit(int64_t since_ms);
void check_time(int alpha);
