// Choosing a move: root search, alpha-beta, quiescence, hash tables, time control, thinking output.
#pragma once

#include <atomic>
#include <climits>
#include <cstdint>
#include <vector>

#include "board/board.h"
#include "eval/eval.h"

constexpr int MATE_BOUND = 32703;  // beyond this in absolute value a score is a mate score

enum HashFlag { HASH_EXACT = 0, HASH_UPPER = 1, HASH_LOWER = 2, HASH_NONE = 3 };
enum SearchMode { MODE_THINK = 1, MODE_PONDER = 2, MODE_ANALYZE = 3 };
// Why the search stopped, kept in stop_search. The driver decides what a stop means (the xboard driver leaves the game when input stopped
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
// Above 4095 MB a 32-bit address space cannot hold the table; a 64-bit one can hold 65536 MB.
constexpr int MAX_HASH_MB = sizeof(void*) >= 8 ? 65536 : MAX_TABLE_MEGABYTES;
constexpr bool hash_megabytes_valid(int megabytes) { return megabytes >= 1 && megabytes <= MAX_HASH_MB; }
constexpr uint32_t DEFAULT_HASH_ENTRIES = 838860;  // DEFAULT_HASH_MB

constexpr int MIDDLEGAME_CHECK_INTERVAL = 16384;  // nodes between time checks
constexpr int ENDGAME_CHECK_INTERVAL = 1024;
// With several threads under a node limit, the most nodes a thread searches between looks at the
// total: a thread that lost its core for a while then overshoots the limit by at most this much.
constexpr int NODE_LIMIT_SHARE_MOST = 1024;

// A probe's copy of a table entry.
struct TranspositionEntry {
    uint64_t key;
    int flag;
    int depth;  // remaining depth in quarter plies plus game_ply
    int score;
    Move best_move;  // its squares only: a table move is matched by them
};

// A table slot as stored: two 64-bit words, four slots to a cache line. The first word is the
// key XORed with the second, so that a slot torn by two threads writing it at once fails the key
// check instead of giving one position's score or move to another.
struct HashSlot {
    std::atomic<uint64_t> check;  // key ^ data
    std::atomic<uint64_t> data;   // score (32 bits), depth (16), move_and_flag (16) from the low bits up
};

// The data word unpacked.
struct HashData {
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

// --- Hash tables (shared by every search thread) ----------------------------------------------
extern HashSlot* hash_table;
extern uint32_t hash_entries;  // slots; at least 1 when allocated
extern int hash_mb;            // the size the table was given, for messages

uint32_t hash_entries_for_mb(int megabytes);  // (N x 2^20) / 40; the default outside 1..MAX_HASH_MB
bool set_hash_mb(int megabytes);              // false (and nothing changed) outside the range
// The hash and evaluation cache settings whose tables, with each of `threads` threads' own state
// and caches, fit in `megabytes`: the caches at most a quarter of it and at most the ceiling
// setting, the table the rest. False when even the smallest tables do not fit.
bool tables_within(int megabytes, int threads, int ecache_ceiling_mb, int* hash, int* ecache);
int least_table_megabytes(int threads);  // the smallest budget tables_within accepts
void alloc_tables();   // the transposition table and the threads' evaluation caches; exits with status 1 on failure
bool resize_hash_table(int megabytes);  // a new, empty table; false (the old one kept) without memory
void free_tables();
void clear_tables();   // zero the table and every thread's cache
int  hash_full_permill();  // used slots per thousand, sampled from the start of the table
void hash_store(const Position& pos, int flag, int depth, int score, Move move);  // store rule with mate conversion
bool hash_probe(const Position& pos, TranspositionEntry* entry);  // copy of the slot on a key match
HashMoveProbe probe_hash_move(const Position& pos, int wanted_depth, int beta, int null_depth);
void prefetch_slots(const EvalCache& cache, uint64_t key);  // both tables will soon be probed for key
void prefetch_eval_slot(const EvalCache& cache, uint64_t key);  // the same for the evaluation cache alone
int score_to_hash(const Position& pos, int score);    // mate scores made node-relative (uses pos.ply)
int score_from_hash(const Position& pos, int score);

// --- Search threads ----------------------------------------------------------------------------
// One line of a multi-line search.
struct RootLine {
    int score;
    int length;
    Move moves[MAX_PLY];
};
constexpr int MAX_LINES = 256;
extern int multipv;          // lines the main thread searches for; 1: the one best line
bool set_multipv(int lines);  // false (nothing changed) outside 1..MAX_LINES

// What one search thread writes: its own copy of the root position and everything its search
// learns. Thread 0 is the main thread: it alone looks at the clock and the input, prints and
// plays. The others only search, sharing the hash table, the stop request and the limits.
struct SearchThread {
    explicit SearchThread(int thread_id) : id(thread_id), eval(pos) {}
    SearchThread(const SearchThread&) = delete;
    SearchThread& operator=(const SearchThread&) = delete;

    const int id;
    Position pos;
    Evaluator eval;             // evaluates pos, with this thread's caches
    OrderingMemory ordering;    // killers and history, read by the move generator
    Move pv[MAX_PLY][MAX_PLY];
    int pv_length[MAX_PLY];
    // Read by the main thread while this one searches (the node total), hence atomic; the thread
    // itself adds with a plain load and store.
    std::atomic<int64_t> nodes{0};  // 64 bits: a long analysis passes 2^31 nodes within the hour
    int64_t next_check_nodes = 0;   // the node count at which the searches call check_time next
    int follow_pv = 0;
    int null_depth = 0;
    int total_material = 0;  // both sides' material, pawns included, where the search last asked
    int iteration = 0;
    int iteration_score[MAX_PLY + 1];
    int sel_depth = 0;       // the deepest ply a node of this search has reached
    Move root_cutoff_move = NO_MOVE;  // the root move that last scored above the window

    // Several lines (the main thread's, with MultiPV above 1): each depth searches the best
    // line, then the best of the other moves, and so on; `lines` holds the last depth's, best first.
    int lines_wanted = 1;
    std::vector<RootLine> lines;
    int line_count = 0;
    Move shown[MAX_MOVES];   // the root moves of the lines found so far at this depth, left out
    int shown_count = 0;

    bool is_main() const { return id == 0; }
    void count_node() { nodes.store(nodes.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed); }
};

constexpr int MAX_THREADS = 256;
extern int search_threads;  // the threads setting: how many search from the next root_search on
bool set_search_threads(int count);  // false (nothing changed) outside 1..MAX_THREADS
SearchThread& main_thread();          // thread 0, which exists from the start
int  active_search_threads();         // the threads of the last or current search
int64_t searched_nodes();             // the nodes of those threads
bool resize_eval_caches();            // every thread's cache at the ecache setting; false without memory
void release_eval_caches();
void clear_eval_caches();
// The pool (threads.cpp): the helpers are started once and wait between searches.
void prepare_helpers();            // as many helpers as the threads setting asks, before a search
void start_helpers(int own_side);  // they search the game position
void stop_helpers();               // ends their search and waits for it; stop_search is kept
void stop_all_threads();           // ends the helper threads themselves, as the program ends
Move helper_move();                // the line's first move of the helper that went deepest; NO_MOVE if none

// Why the search stopped, seen by every thread: any value but STOP_NONE makes every level return.
extern std::atomic<int> stop_search;  // a StopReason
extern int root_move_count;           // moves the root may search; 0: every legal move

void update_pv(SearchThread& t, Move move);
int  recompute_total_material(SearchThread& t);  // stores and returns total_material
void reset_search_state(SearchThread& t);  // what the root search clears, the root material, the first check
int  men_on_board(const Position& pos);    // pawns and pieces of both sides, kings included
bool probe_bitbases_from_root(const Position& pos, int* score);  // a bitbase hit, as a score counted from the root
bool same_move(Move a, Move b);   // equal from and to squares
// The first of the best remaining ordering scores to index, the move there taking its place. No
// remaining score exceeds `ceiling` (the previous pick's): the first move at it is the pick.
void pick_next_move(Move* list, int count, int index, int ceiling = INT_MAX);
void mark_pv_move(SearchThread& t, Move* list, int count);  // the previous line's move, while followed
void set_root_moves(const Move* moves, int count);  // only these at the root (matched by squares
                                                    // and kind) until set again; 0: all of them
int  keep_root_moves(Move* list, int count);        // the allowed ones of a root list, in order
int  count_root_moves(Position& pos);               // legal moves the root may search
int  drop_shown_lines(const SearchThread& t, Move* list, int count);  // a root list without the lines' moves

// --- Search ----------------------------------------------------------------------------------
void clear_game_memory();  // what a new position must not inherit: both tables, the book's misses
// The game position searched by every thread; the main thread's move is played. own_side: the
// colour the engine plays (EMPTY when none); the lazy-evaluation rule weighs its material.
Move root_search(int own_side);
void start_thread_search(SearchThread& t);  // the game position and a fresh state, tables kept
Move iterative_deepening(SearchThread& t, int own_side);  // one thread's search: its best move
int  search(SearchThread& t, int alpha, int beta, int depth);
int  quiesce(SearchThread& t, int alpha, int beta);

// --- Thinking output -----------------------------------------------------------------------------
// What the search shows while it thinks. The search writes no text of its own: the shell defines
// these seams with its xboard lines as the defaults, and a driver may replace any of them. Only
// the main thread shows anything.
extern void (*show_thinking)(const SearchThread& t, int score);  // each new best root move
extern void (*show_book_move)(Move move);          // a book answer at the root
extern void (*show_lines)(const SearchThread& t);  // a multi-line depth, best first
// The root move about to be searched, by its number among the legal ones; default: nothing.
extern void (*show_root_move)(const SearchThread& t, Move move, int number);
// A root score that fell outside the aspiration window, a lower bound when it failed high; default nothing.
extern void (*show_bound)(const SearchThread& t, int score, bool lower);

// --- Time control and input polling (the main thread's) ------------------------------------------
extern TimeControl time_control;
extern int search_mode;
extern int64_t search_start_ms;
extern int time_check_armed;
extern int check_interval;
// Kept back from the clock for the interface and the line; SAFETY_MARGIN_MS unless set.
extern int move_overhead_ms;
constexpr int MAX_MOVE_OVERHEAD_MS = 5000;
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
void check_time(SearchThread& t, int alpha);  // the node limit, and the main thread's look at the clock and the input
