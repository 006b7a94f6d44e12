// Choosing a move: root search, alpha-beta, quiescence, hash tables, time control, thinking output.
#pragma once

#include <cstdint>

#include "board/board.h"

constexpr int SCORE_INF = 32767;
constexpr int MATE_BOUND = 32703;  // beyond this in absolute value a score is a mate score

constexpr int MIDDLEGAME_MATERIAL = 4020;  // total_material above: middlegame
constexpr int ENDGAME_MATERIAL = 3035;     // total_material below: endgame

enum HashFlag { HASH_EXACT = 0, HASH_UPPER = 1, HASH_LOWER = 2, HASH_NONE = 3 };
enum SearchMode { MODE_THINK = 1, MODE_PONDER = 2, MODE_ANALYZE = 3 };

constexpr int NO_TIME_LIMIT_MS = 33554432;

constexpr uint32_t DEFAULT_HASH_ENTRIES = 838860;    // 32 MB
constexpr uint32_t DEFAULT_ECACHE_ENTRIES = 262144;  // 4 MB
constexpr int MAX_TABLE_MEGABYTES = 4095;            // the largest size whose entry count fits 32 bits

constexpr int MIDDLEGAME_CHECK_INTERVAL = 16384;  // nodes between time checks
constexpr int ENDGAME_CHECK_INTERVAL = 1024;

struct TranspositionEntry {
    uint64_t key;
    int flag;
    int depth;  // remaining depth in quarter plies plus game_ply
    int score;
    Move best_move;
};

struct EvalCacheEntry {
    uint64_t key;
    int score;  // -SCORE_INF: no valid evaluation
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
};

// --- Hash tables -----------------------------------------------------------------------------
extern TranspositionEntry* hash_table;
extern EvalCacheEntry* eval_cache;
extern uint32_t hash_entries;   // TranspositionTable slots; at least 1 when allocated
extern uint32_t ecache_entries; // EvalCache slots; at least 1 when allocated

bool     table_megabytes_valid(int megabytes);  // 1..MAX_TABLE_MEGABYTES; else the default is used
uint32_t hash_entries_for_mb(int megabytes);    // (N x 2^20) / 40 in 32 bits, at least 1
uint32_t ecache_entries_for_mb(int megabytes);  // (N x 2^20) / 16 in 32 bits, at least 1
void alloc_tables();   // exits with status 1 on failure
void free_tables();
void clear_tables();   // zero both tables (every position setup)
void hash_store(int flag, int depth, int score, Move move);     // store rule with mate conversion
bool hash_probe(TranspositionEntry* entry);                      // copy of the slot on a key match
HashMoveProbe probe_hash_move(int wanted_depth, int beta);
int score_to_hash(int score);    // mate scores made node-relative (uses pos.ply)
int score_from_hash(int score);

// --- Search state ----------------------------------------------------------------------------
extern int64_t nodes;
extern int stop_search;
extern int follow_pv;
extern Move pv[MAX_PLY][MAX_PLY];
extern int pv_length[MAX_PLY];
extern OrderingMemory ordering;  // killers and history, read by the move generator
extern int null_depth;
extern int total_material;
extern int root_piece_material[2];
extern int root_pawn_material[2];
extern int iteration;
extern int iteration_score[MAX_PLY + 1];

void update_pv(Move move);
int  recompute_total_material();  // stores and returns total_material
void reset_search_state();        // what the root search clears, and the root material copies
int  men_on_board();              // pawns and pieces of both sides, kings included
bool same_move(Move a, Move b);   // equal from and to squares
void pick_next_move(Move* list, int count, int index);  // best remaining ordering score to index
void mark_pv_move(Move* list, int count);               // the previous line's move, while followed

// --- Search ----------------------------------------------------------------------------------
void clear_game_memory();  // what a new position must not inherit: both tables, the book's misses
Move root_search();
int  search(int alpha, int beta, int depth);
int  quiesce(int alpha, int beta);
void print_thinking(int score);

// --- Time control and input polling ---------------------------------------------------------
extern TimeControl time_control;
extern int search_mode;
extern int64_t search_start_ms;
extern int time_check_armed;
extern int check_interval;
extern bool (*poll_input)();  // input_pending; tests replace it to search without a live console

void set_time_st(int seconds);
void set_time_sd(int depth);
void set_time_level(int moves_per_session, int increment_seconds);
void set_time_remaining(int centiseconds);  // the "time" rule
void set_fixed_limits(int ms, int max_depth); // move time and the three limits, for tools and hint
void check_time(int alpha);
