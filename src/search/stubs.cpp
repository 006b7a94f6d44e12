// Temporary stand-ins until the search is written; delete each as the real one lands.
#include "search/search.h"

TranspositionEntry* hash_table;
EvalCacheEntry* eval_cache;
uint32_t hash_entries = 838860;
uint32_t ecache_entries = 262144;
uint32_t hash_entries_for_mb(int) { return 1; }
uint32_t ecache_entries_for_mb(int) { return 1; }
void alloc_tables() {}
void free_tables() {}
void clear_tables() {}
int nodes, stop_search, follow_pv;
Move pv[MAX_PLY][MAX_PLY];
int pv_length[MAX_PLY];
Move killer1[MAX_PLY], killer2[MAX_PLY], mate_killer[MAX_PLY];
int history[64][64];
int history_max, null_depth, total_material;
TimeControl time_control;
int search_mode;
int64_t search_start_ms;
Move root_search() { return NO_MOVE; }
void set_time_st(int) {}
void set_time_sd(int) {}
void set_time_level(int, int) {}
void set_time_remaining(int) {}
void set_fixed_limits(int, int) {}
